// Reading a target's program file: at its own path locally, through a temporary share remotely.
#pragma once

#include <optional>
#include <string>

#include "run/target_context.h"

namespace qv::inventory {

// True when the current target is the computer that runs the inventory (exact name compare).
bool targetIsLocal(const TargetContext& ctx);

// A temporary disk share on the current target for the drive of one file: name = the path's first
// character + "Inv", path = its first three characters. Created by the constructor, deleted by
// release() or the destructor, and only when this object created it: a share that was already
// there under that name is refused by Create and never touched. A path that does not begin with a
// drive ("X:\") is refused without asking the target.
class TemporaryShare {
public:
    TemporaryShare(TargetContext& ctx, const std::string& filePath);
    ~TemporaryShare();
    TemporaryShare(const TemporaryShare&) = delete;
    TemporaryShare& operator=(const TemporaryShare&) = delete;

    bool created() const { return created_; }
    // "\\" + target + "\" + share name + the file path without its drive letter and colon.
    const std::string& accessPath() const { return accessPath_; }
    // Deletes the share now (every share of that name and path that the query finds).
    void release();

private:
    TargetContext& ctx_;
    std::string name_, path_, accessPath_;
    bool created_ = false;
};

// The file version (empty when none) and creation time (absent when unknown) of a file path.
struct FileFacts {
    std::string version;
    std::optional<DateTime> created;
};
FileFacts readFileFacts(TargetContext& ctx, const std::string& accessPath);

}  // namespace qv::inventory
