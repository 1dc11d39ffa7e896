// Building blocks of the device collectors.
#include "inventory/collectors/device_records.h"

#include "inventory/collector.h"
#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

std::string decodeType(const Value& v, const TypeTable& table) {
    const CodeText* code = findCode(table.codes, codeOf(v));
    return "Type " + plainText(v) + (code ? code->text : table.otherText);
}

database::Field textField(const Instance& inst, const char* property) { return trimmedText(inst.get(property)); }

database::Field nullableTextField(const Instance& inst, const char* property) {
    const Value& v = inst.get(property);
    if (v.isNull()) return std::monostate{};
    return trimmedText(v);
}

database::Field int32Field(const Instance& inst, const char* property) {
    return static_cast<std::int64_t>(int32Of(inst.get(property)));
}

void writeRecordLines(TargetContext& ctx, std::initializer_list<RecordLine> lines, std::size_t width) {
    std::size_t index = 0;
    for (const RecordLine& line : lines) {
        ++index;
        if (!line.value.readable()) continue;
        const std::string end = index == lines.size() ? "\r\n" : "";
        report::writeLine(ctx, report::label(line.name, width) + report::displayText(line.value) + end);
    }
}

void appendRecord(TargetContext& ctx, const std::string& table, const database::Fields& fields) {
    guarded(ctx, [&] { database::appendRow(ctx, table, fields); });
}

void appendEmptyRecord(TargetContext& ctx, const std::string& table) {
    guarded(ctx, [&] { database::appendEmptyRow(ctx, table); });
}

}  // namespace qv::inventory
