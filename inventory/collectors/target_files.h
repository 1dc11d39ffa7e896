// Reading a target's program files: at their own path locally, through a drive share remotely.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "core/target_context.h"

namespace qv::inventory {

// True when the current target is the computer that runs the inventory: its name (any case),
// ".", "localhost", one of its DNS names or addresses.
bool targetIsLocal(const TargetContext& ctx);

// How a remote target's files are reached, drive by drive, for the whole of one computer's
// inventory. The drive's administrative share (C$ and the like) is used when it answers, and
// nothing is created. Otherwise a temporary share is made once for the drive: name = the drive
// letter + "Inv", path = "X:\", readable by the target's Administrators only; a share of that
// name and path that an earlier run of this program left behind is removed first. Every share made
// is deleted when this object ends, on every path out of the inventory. A path that does not
// begin with a drive ("X:\") is refused without asking the target.
class TargetShares {
public:
    explicit TargetShares(TargetContext& ctx) : ctx_(ctx) {}
    ~TargetShares();
    TargetShares(const TargetShares&) = delete;
    TargetShares& operator=(const TargetShares&) = delete;

    // "\\" + target + "\" + share + the file path without its drive letter and colon; nullopt
    // when no share of the file's drive can be had (then the log is the caller's to write).
    std::optional<std::string> accessPath(const std::string& filePath);
    // Deletes every share this object made.
    void releaseAll();

private:
    struct Drive {
        std::string base;       // "\\TARGET\C$" or "\\TARGET\CInv"; empty when none can be had
        std::string shareName;  // the temporary share made, empty when none
        std::string sharePath;
    };
    Drive openDrive(char letter);
    bool deleteShares(const std::string& name, const std::string& path, bool leftOverOnly);

    TargetContext& ctx_;
    std::map<char, Drive> drives_;
};

// The description the program gives its temporary shares; a share with it is the program's own.
inline constexpr const char* kTemporaryShareDescription = "Temp Public Share";

// The file version (empty when none) and creation time (absent when unknown) of a file path.
struct FileFacts {
    std::string version;
    std::optional<DateTime> created;
};
FileFacts readFileFacts(TargetContext& ctx, const std::string& accessPath);

}  // namespace qv::inventory
