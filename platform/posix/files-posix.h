// The POSIX file layer: real files, CR LF text streams, case-insensitive resolution of paths.
#pragma once

#include "platform/platform.h"

namespace qv::posix {

class PosixFileSystem : public FileSystem {
public:
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

// Reads a whole line-oriented file: lines end at LF; one CR before the LF is part of the line end.
class FileTextReader : public TextReader {
public:
    explicit FileTextReader(int fd) : fd_(fd) {}
    ~FileTextReader() override;
    bool atEnd() override;
    std::string readLine() override;
    void close() override;

private:
    bool fill();
    int fd_;
    std::string buffer_;
    std::size_t pos_ = 0;
    bool eof_ = false;
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
