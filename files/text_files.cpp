// Text-file access through the platform file layer.
#include "files/text_files.h"

#include "console/console.h"

namespace qv::files {

bool fileExists(RunContext& ctx, const std::string& path) { return ctx.platform.files.fileExists(path); }
bool fileExists(TargetContext& ctx, const std::string& path) { return ctx.platform.files.fileExists(path); }

bool openForReading(RunContext& ctx, const std::string& path, std::unique_ptr<TextReader>& stream) {
    if (!fileExists(ctx, path)) return false;
    auto opened = ctx.platform.files.openForReading(path);
    if (!opened) return false;
    stream = std::move(opened);
    return true;
}

bool openForWriting(RunContext& ctx, const std::string& path, std::unique_ptr<TextWriter>& stream) {
    auto opened = ctx.platform.files.openForWriting(path, false);
    if (!opened) {
        console::writeConsoleLine(ctx, "*** File: " + path + " cannot be opened for writing! ***", true);
        return false;
    }
    stream = std::move(opened);
    return true;
}

bool openForAppending(RunContext& ctx, const std::string& path, std::unique_ptr<TextWriter>& stream) {
    auto opened = ctx.platform.files.openForWriting(path, true);
    if (!opened) {
        console::writeConsoleLine(ctx, "*** File: " + path + " cannot be opened for Appending! ***", true);
        return false;
    }
    stream = std::move(opened);
    return true;
}

}  // namespace qv::files
