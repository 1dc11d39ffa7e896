// Drive shares and file facts for reading a target's program files.
#include "inventory/collectors/target_files.h"

#include "files/run_log.h"
#include "files/text_files.h"
#include "inventory/collector.h"
#include "platform/text.h"

namespace qv::inventory {

namespace {

// "X:\..." with an ASCII letter: the only form a disk share can be made for.
bool beginsWithDrive(const std::string& path) {
    if (path.size() < 3) return false;
    unsigned char c = static_cast<unsigned char>(path[0]);
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return letter && path[1] == ':' && path[2] == '\\';
}

using text::equalsIgnoringCase;

}  // namespace

bool targetIsLocal(const TargetContext& ctx) {
    return equalsIgnoringCase(ctx.currentTarget, ctx.run.env.sLocalComputer) ||
           ctx.platform.identity.isLocalComputer(ctx.currentTarget);
}

TargetFiles::~TargetFiles() { releaseAll(); }

bool TargetFiles::throughShares() const {
    return ctx_.targetServices && ctx_.targetServices->filesThroughShares() && !targetIsLocal(ctx_);
}

std::optional<std::string> TargetFiles::accessPath(const std::string& filePath) {
    if (!ctx_.targetServices) return std::nullopt;
    if (!throughShares()) return filePath;
    if (!beginsWithDrive(filePath)) return std::nullopt;
    const char letter = text::asciiUpper(filePath.substr(0, 1))[0];
    auto found = drives_.find(letter);
    if (found == drives_.end()) found = drives_.emplace(letter, openDrive(letter)).first;
    if (found->second.base.empty()) return std::nullopt;
    return found->second.base + filePath.substr(2);
}

TargetFiles::Drive TargetFiles::openDrive(char letter) {
    Drive drive;
    const std::string server = "\\\\" + ctx_.currentTarget + "\\";
    // The administrative share needs nothing made and nothing left behind.
    const std::string admin = server + letter + "$";
    bool adminAnswers = false;
    guarded(ctx_, [&] { adminAnswers = ctx_.platform.files.pathKind(admin + "\\") == PathKind::Folder; });
    if (adminAnswers) {
        drive.base = admin;
        return drive;
    }
    const std::string name = std::string(1, letter) + "Inv";
    const std::string path = std::string(1, letter) + ":\\";
    deleteShares(name, path, true);
    bool made = false;
    guarded(ctx_, [&] {
        management::Result<std::int32_t> result = ctx_.targetServices->createShare(path, name, 0, kTemporaryShareDescription);
        made = result && *result == 0;
    });
    if (made) {
        drive.base = server + name;
        drive.shareName = name;
        drive.sharePath = path;
    }
    return drive;
}

void TargetFiles::releaseAll() {
    for (auto& [letter, drive] : drives_) {
        if (drive.shareName.empty()) continue;
        // A share that stays (the connection dropped, the delete refused) is said, never left
        // without a word; the next run's clean-up removes it.
        if (!deleteShares(drive.shareName, drive.sharePath, false))
            files::logLine(ctx_, "  Error: Unable to delete share " + drive.shareName + " (" + text::shownSafely(drive.sharePath) +
                                     ") on " + ctx_.shownTarget + "; the next inventory removes it");
        drive.shareName.clear();
    }
    drives_.clear();
}

// Deletes the shares of that name and path the target lists; with leftOverOnly, only those that
// carry this program's description (what an earlier run could not delete). A share of another
// owner under the same name is never touched. False when the target could not be asked or a
// delete was refused.
bool TargetFiles::deleteShares(const std::string& name, const std::string& path, bool leftOverOnly) {
    bool deleted = false;
    guarded(ctx_, [&] {
        Instances found;
        if (!runQuery(ctx_, "Select * from Win32_Share Where Name = '" + name + "'", found)) return;
        deleted = true;
        for (const Instance& share : found) {
            const Value& n = share.get("Name");
            const Value& p = share.get("Path");
            const Value& d = share.get("Description");
            if (n.kind != Value::Kind::Text || !equalsIgnoringCase(n.text, name)) continue;
            if (p.kind == Value::Kind::Text && !equalsIgnoringCase(p.text, path)) continue;
            if (leftOverOnly && (d.kind != Value::Kind::Text || d.text != kTemporaryShareDescription)) continue;
            if (!ctx_.targetServices->deleteShare(share)) deleted = false;
        }
    });
    return deleted;
}

bool TargetFiles::exists(const std::string& accessPath) {
    if (throughShares()) return files::fileExists(ctx_, accessPath);
    if (!ctx_.targetServices) return false;
    management::Result<bool> found = ctx_.targetServices->fileExists(accessPath);
    return found && *found;
}

void TargetFiles::prefetch(const std::vector<std::string>& filePaths) {
    if (!ctx_.targetServices || throughShares() || filePaths.empty()) return;
    std::vector<management::Ask> asks;
    asks.reserve(filePaths.size());
    for (const std::string& path : filePaths) asks.push_back(management::Ask::file(path));
    ctx_.targetServices->prefetch(asks);
}

FileFacts TargetFiles::facts(const std::string& accessPath) {
    FileFacts facts;
    if (!throughShares()) {
        guarded(ctx_, [&] {
            if (!ctx_.targetServices) return;
            if (management::Result<FileFacts> read = ctx_.targetServices->fileFacts(accessPath)) facts = std::move(*read);
        });
        return facts;
    }
    guarded(ctx_, [&] {
        std::string version;
        if (ctx_.platform.files.fileVersion(accessPath, version)) facts.version = version;
    });
    guarded(ctx_, [&] {
        DateTime created;
        if (ctx_.platform.files.fileCreated(accessPath, created)) facts.created = created;
    });
    return facts;
}

}  // namespace qv::inventory
