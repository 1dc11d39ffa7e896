// The POSIX file layer: real files, CR LF text streams, case-insensitive resolution of paths.
#pragma once

#include "platform/line_reader.h"
#include "platform/platform.h"

namespace qv::posix {

class PosixFileSystem : public FileSystem {
public:
    PathKind pathKind(const std::string& path) override;
    InstallResult installNew(const std::string& from, const std::string& to) override;
    bool fileExists(const std::string& path) override;
    std::unique_ptr<TextReader> openForReading(const std::string& path) override;
    std::unique_ptr<TextWriter> openForWriting(const std::string& path, bool append) override;
    bool copyFile(const std::string& from, const std::string& to) override;
    bool deleteFile(const std::string& path) override;
    bool fileLength(const std::string& path, std::uint64_t& length) override;
    bool fileVersion(const std::string& path, std::string& version) override;
    bool fileCreated(const std::string& path, DateTime& created) override;
    std::string currentDirectory() override;
    bool setCurrentDirectory(const std::string& path) override;
    std::string join(const std::string& dir, const std::string& name) override;

    // The path as given when it exists; otherwise each component matched case-insensitively
    // against the directory entries. The given path when nothing matches.
    static std::string resolve(const std::string& path);
};

// Lines of a file, as its bytes stand (the locale's charset is UTF-8, the internal text).
class FileTextReader : public ChunkedLineReader {
public:
    explicit FileTextReader(int fd) : fd_(fd) {}
    ~FileTextReader() override;

protected:
    std::size_t readChunk(char* into, std::size_t capacity) override;
    void closeSource() override;

private:
    int fd_;
};

class FileTextWriter : public TextWriter {
public:
    explicit FileTextWriter(int fd) : fd_(fd) {}
    ~FileTextWriter() override;
    bool writeLine(const std::string& text) override;
    void close() override;

private:
    int fd_;
};

}  // namespace qv::posix
