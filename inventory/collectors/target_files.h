// Reading a target's program files: through its connection, or through a drive share.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/target_context.h"
#include "management/connection.h"

namespace qv::inventory {

// True when the current target is the computer that runs the inventory: its name (any case),
// ".", "localhost", one of its DNS names or addresses.
bool targetIsLocal(const TargetContext& ctx);

// How a computer's own files (registered applications, drivers) are read, for the whole of one
// computer's inventory: by the computer's own path through its connection, which reads them where
// they lie (the local computer, a computer whose files the transport reaches itself). A Windows
// computer reached over its management service alone lends them through a drive share: the
// drive's administrative share (C$ and the like) when it answers, and nothing is created.
// Otherwise a temporary share is made once for the drive: name = the drive letter + "Inv",
// path = "X:\", readable by the target's Administrators only; a share of that name and path that
// an earlier run of this program left behind is removed first. Every share made is deleted when
// this object ends, on every path out of the inventory. A path that does not begin with a drive
// ("X:\") cannot be shared and is refused without asking the target.
class TargetFiles {
public:
    explicit TargetFiles(TargetContext& ctx) : ctx_(ctx) {}
    ~TargetFiles();
    TargetFiles(const TargetFiles&) = delete;
    TargetFiles& operator=(const TargetFiles&) = delete;

    // Where `filePath` is read: the path itself, or "\\" + target + "\" + share + the path
    // without its drive letter and colon; nullopt when no share of the file's drive can be had
    // (then the log is the caller's to write).
    std::optional<std::string> accessPath(const std::string& filePath);
    // Whether the file at an access path answers, and its version and creation time (a file that
    // cannot be read in any way just has no version or date).
    bool exists(const std::string& accessPath);
    management::FileFacts facts(const std::string& accessPath);
    // Sends ahead the reads of these files where the connection reads them itself (through
    // shares nothing is sent ahead: a share is made only when a file of its drive is read).
    void prefetch(const std::vector<std::string>& filePaths);
    bool sendsAhead() const { return ctx_.targetServices && ctx_.targetServices->sendsAhead() && !throughShares(); }
    // Deletes every share this object made.
    void releaseAll();

private:
    struct Drive {
        std::string base;       // "\\TARGET\C$" or "\\TARGET\CInv"; empty when none can be had
        std::string shareName;  // the temporary share made, empty when none
        std::string sharePath;
    };
    bool throughShares() const;
    Drive openDrive(char letter);
    bool deleteShares(const std::string& name, const std::string& path, bool leftOverOnly);

    TargetContext& ctx_;
    std::map<char, Drive> drives_;
};

// The description the program gives its temporary shares; a share with it is the program's own.
inline constexpr const char* kTemporaryShareDescription = "Temp Public Share";

using management::FileFacts;

}  // namespace qv::inventory
