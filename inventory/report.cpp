// Report line format shared by the inventory driver and the collectors.
#include "inventory/report.h"

#include "inventory/values.h"

namespace qv::report {

std::string label(std::string_view name, std::size_t width) {
    std::string text = std::string(name) + ": ";
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

std::string displayText(const Value& v) { return inventory::plainText(v); }

void writeLine(RunContext& ctx, const std::string& text) {
    if (ctx.computerReport) ctx.computerReport->writeLine(text);
}

bool writeValue(RunContext& ctx, std::string_view name, const Value& v, const std::string& suffix) {
    if (!v.readable()) return false;
    writeLine(ctx, label(name) + displayText(v) + suffix);
    return true;
}

}  // namespace qv::report
