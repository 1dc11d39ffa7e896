// Temporary shares and file facts for reading a target's program files.
#include "inventory/collectors/target_files.h"


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

bool targetIsLocal(const TargetContext& ctx) { return ctx.currentTarget == ctx.run.env.sLocalComputer; }

TemporaryShare::TemporaryShare(TargetContext& ctx, const std::string& filePath) : ctx_(ctx) {
    if (!ctx.targetServices || !beginsWithDrive(filePath)) return;
    name_ = filePath.substr(0, 1) + "Inv";
    path_ = filePath.substr(0, 3);
    accessPath_ = "\\\\" + ctx.currentTarget + "\\" + name_ + filePath.substr(2);
    guarded(ctx, [&] { created_ = ctx.targetServices->createShare(path_, name_, 0, "Temp Public Share") == 0; });
}

TemporaryShare::~TemporaryShare() { release(); }

void TemporaryShare::release() {
    if (!created_) return;
    created_ = false;
    guarded(ctx_, [&] {
        Instances found;
        runQuery(ctx_, "Select * from Win32_Share Where Name = '" + name_ + "'", found);
        for (const Instance& share : found) {
            // Only the share this object made: same name and same path.
            const Value& name = share.get("Name");
            const Value& path = share.get("Path");
            if (name.kind != Value::Kind::Text || !equalsIgnoringCase(name.text, name_)) continue;
            if (path.kind == Value::Kind::Text && !equalsIgnoringCase(path.text, path_)) continue;
            ctx_.targetServices->deleteShare(share);
        }
    });
}

FileFacts readFileFacts(TargetContext& ctx, const std::string& accessPath) {
    // A file that cannot be read in any way just has no version or date.
    FileFacts facts;
    guarded(ctx, [&] {
        std::string version;
        if (ctx.platform.files.fileVersion(accessPath, version)) facts.version = version;
    });
    guarded(ctx, [&] {
        DateTime created;
        if (ctx.platform.files.fileCreated(accessPath, created)) facts.created = created;
    });
    return facts;
}

}  // namespace qv::inventory
