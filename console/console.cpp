// Console host: start/end around the platform console, the line writer and the pause prompt.
#include "console/console.h"

namespace qv::console {

namespace {
const char* const kDefaultPrompt = "Press any key to continue . . . ";
}

void start(RunContext& ctx) { ctx.platform.console.start(ctx.controlEvents); }

void end(RunContext& ctx) { ctx.platform.console.end(); }

void setTitle(RunContext& ctx, const std::string& title) { ctx.platform.console.setTitle(title); }

std::size_t writeConsoleLine(RunContext& ctx, const std::string& text, bool newline) {
    std::string out = newline ? text + "\r\n" : text;
    if (out.empty()) return 0;
    return ctx.platform.console.write(out);
}

void writeConsoleLine(TargetContext& ctx, const std::string& text, bool newline) {
    ctx.output.put({OutputItem::Kind::Console, newline ? text + "\r\n" : text, {}, {}});
}

void pauseForKey(RunContext& ctx, const std::string& prompt, bool newline) {
    const std::string shown = prompt.empty() ? std::string(kDefaultPrompt) : prompt;
    // A Linux terminal stays open after the program ends: there is nothing to wait for.
    if (ctx.conventions == Conventions::Linux || !ctx.platform.console.pauseForKey(shown)) {
        // Nobody can press a key: the wait and its last line are left out, the lines before it
        // (the end line) still reach the output.
        const std::size_t lineEnd = shown.rfind("\r\n");
        if (lineEnd != std::string::npos) ctx.platform.console.write(shown.substr(0, lineEnd + 2));
        return;
    }
    if (newline) ctx.platform.console.write("\r\n");
}

bool breakRequested(const RunContext& ctx, int& type) {
    if (!ctx.controlEvents.flag.load()) return false;
    type = ctx.controlEvents.type.load();
    return type == 0 || type == 1 || type == 2;
}

}  // namespace qv::console
