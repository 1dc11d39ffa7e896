// An output folder written whole or not at all: files go into a hidden folder beside it, which
// takes its place only once everything is written.
#pragma once

#include <cstdio>
#include <set>
#include <string>

namespace qv::qvdb {

// A file written piece by piece through a buffer; the first failure is kept and reported by close.
class FileOut {
public:
    FileOut() = default;
    FileOut(const FileOut&) = delete;
    FileOut& operator=(const FileOut&) = delete;
    ~FileOut();
    // Creates or truncates `path`; with `onlyNew` a file there already is refused.
    bool open(const std::string& path, std::string& error, bool onlyNew = false);
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
    // `target` is the folder the user asked for, `documentsFolder` the one QV.mdb and QV.log are
    // in (may be empty when unknown); nothing is touched until `begin`.
    explicit StagedFolder(std::string target, std::string documentsFolder = {})
        : target_(std::move(target)), documents_(std::move(documentsFolder)) {}
    StagedFolder(const StagedFolder&) = delete;
    StagedFolder& operator=(const StagedFolder&) = delete;
    // Removes the hidden folder unless `commit` succeeded, and gives up the target's lock.
    ~StagedFolder();

    // Takes the target's lock (another run writing it: refused with its pid), removes what
    // interrupted runs left beside the target, and makes the hidden folder (and the target's
    // parents); false with a message when the place cannot be written, or when the target is a
    // folder that is neither empty nor qvdb's own output (marked by the file .qvdb-output), is the
    // documents folder or holds it, or holds QV.mdb or QV.log: such folders are never replaced.
    bool begin(std::string& error);
    // The folder to write into meanwhile.
    const std::string& path() const { return staging_; }
    // Writes one new file below the hidden folder (`relative` may hold one level of subfolder,
    // made on demand); false with a message when it fails (disk full, no permission, a file of
    // that name written already).
    bool writeFile(const std::string& relative, const std::string& content, std::string& error);
    // The same new file opened for writing piece by piece.
    bool openFile(const std::string& relative, FileOut& file, std::string& error);
    // Puts the hidden folder in the target's place (an earlier folder there is replaced whole).
    bool commit(std::string& error);

    const std::string& target() const { return target_; }

private:
    std::string target_;
    std::string documents_;
    std::string staging_;
    std::string lockPath_;
    int lockFd_ = -1;
    bool committed_ = false;
};

// The hidden folders of unfinished runs in this process (their writing cut short by a signal)
// are removed; safe to call from a thread of its own while the run goes on.
void removeUnfinishedOutput();

// File names of one folder of an output, each written once.
struct FileNames {
    std::set<std::string> taken;  // in lower case: a case-blind disk takes PC1 and pc1 for one file
};

// A name for `wanted` (any text, a computer's name) ending in `extension` (".json"), unique in
// `names` also where case is not told apart: characters other than letters, digits, '-', '_' and
// '.' become '_', a name Windows reserves (CON, PRN, AUX, NUL, COM0-9, LPT0-9, with any
// extension) gets a leading '_', a name longer than 200 bytes is cut and given a hash of the
// whole, and a name taken already gets "-2", "-3"...
std::string uniqueFileName(FileNames& names, const std::string& wanted, const std::string& extension);

// Writes `content` to `path` (created or truncated; with `onlyNew` a file there already is
// refused); false with a message.
bool writeWholeFile(const std::string& path, const std::string& content, std::string& error, bool onlyNew = false);

}  // namespace qv::qvdb
