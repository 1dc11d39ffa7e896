// Report line format shared by the inventory driver and the collectors.
#include "inventory/report.h"

#include "files/text_files.h"
#include "inventory/values.h"

namespace qv::report {

std::string label(std::string_view name, std::size_t width) {
    // A question ends in its question mark and one blank: "     Part of Domain? ".
    std::string text = std::string(name) + (name.ends_with('?') ? " " : ": ");
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

std::string displayText(const Value& v) { return inventory::plainText(v); }

std::unique_ptr<TextWriter> openReport(RunContext& ctx, const std::string& path) {
    // One open: a report of the computer in another letter case is appended to (the file layer
    // resolves the name), else the report is created.
    return files::inBlocks(ctx.platform.files.openForWriting(path, true));
}

void writeLine(TargetContext& ctx, const std::string& text) { ctx.output.put({OutputItem::Kind::Report, text, {}, {}}); }

bool writeValue(TargetContext& ctx, std::string_view name, const Value& v, const std::string& suffix) {
    if (!v.readable()) return false;
    writeLine(ctx, label(name) + displayText(v) + suffix);
    return true;
}

}  // namespace qv::report
