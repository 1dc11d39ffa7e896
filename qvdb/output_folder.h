// An output folder written whole or not at all: files go into a hidden folder beside it, which
// takes its place only once everything is written.
#pragma once

#include <cstdio>
#include <string>

namespace qv::qvdb {

// A file written piece by piece through a buffer; the first failure is kept and reported by close.
class FileOut {
public:
    FileOut() = default;
    FileOut(const FileOut&) = delete;
    FileOut& operator=(const FileOut&) = delete;
    ~FileOut();
    bool open(const std::string& path, std::string& error);
    void write(const std::string& text) { write(text.data(), text.size()); }
    void write(const char* data, std::size_t size);
    // Flushes and closes; false with a message when any write failed.
    bool close(std::string& error);

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    int errno_ = 0;
};

class StagedFolder {
public:
    // `target` is the folder the user asked for; nothing is touched until `begin`.
    explicit StagedFolder(std::string target) : target_(std::move(target)) {}
    StagedFolder(const StagedFolder&) = delete;
    StagedFolder& operator=(const StagedFolder&) = delete;
    // Removes the hidden folder unless `commit` succeeded.
    ~StagedFolder();

    // Makes the hidden folder (and the target's parents); false with a message when the place
    // cannot be written, or when the target is a folder that is neither empty nor qvdb's own
    // output (marked by the file .qvdb-output), which is never replaced.
    bool begin(std::string& error);
    // The folder to write into meanwhile.
    const std::string& path() const { return staging_; }
    // Writes one file below the hidden folder (`relative` may hold one level of subfolder, made
    // on demand); false with a message when it fails (disk full, no permission).
    bool writeFile(const std::string& relative, const std::string& content, std::string& error);
    // Puts the hidden folder in the target's place (an earlier folder there is replaced whole).
    bool commit(std::string& error);

    const std::string& target() const { return target_; }

private:
    std::string target_;
    std::string staging_;
    bool committed_ = false;
};

// Writes `content` to `path` (created or truncated); false with a message.
bool writeWholeFile(const std::string& path, const std::string& content, std::string& error);

}  // namespace qv::qvdb
