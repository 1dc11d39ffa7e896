// Building blocks of the device collectors.
#include "inventory/collectors/device_records.h"

#include <algorithm>
#include <stdexcept>

#include "classes/declarations.h"
#include "inventory/collector.h"
#include "inventory/report.h"
#include "inventory/rows.h"
#include "inventory/values.h"

namespace qv::inventory {

std::string decodeType(const Value& v, const TypeTable& table) {
    const CodeText* code = findCode(table.codes, codeOf(v));
    return "Type " + plainText(v) + (code ? code->text : table.otherText);
}

namespace {

const classes::TableDecl& declaredTable(const std::string& name) {
    if (const classes::TableDecl* t = classes::findTable(name)) return *t;
    throw std::out_of_range("no table " + name);
}

// A copied column's value: the property in the column's form.
database::Field copiedField(const classes::TableDecl& table, const classes::Column& c, const Value& v) {
    switch (c.type) {
        case classes::ColumnType::Integer: return static_cast<std::int64_t>(int32Of(v));
        case classes::ColumnType::Boolean: return booleanOf(v);
        default:
            if (table.keepsNull && v.isNull()) return std::monostate{};
            return trimmedText(v);
    }
}

}  // namespace

database::Fields recordFields(const Instance& inst, const std::string& table, const database::Fields& computed) {
    const classes::TableDecl& decl = declaredTable(table);
    database::Fields fields;
    for (const classes::Column& c : decl.columns) {
        if (!c.copied) continue;
        const bool given = std::any_of(computed.begin(), computed.end(), [&](const auto& f) { return f.first == c.name; });
        if (!given) fields.emplace_back(c.name, copiedField(decl, c, inst.get(c.property)));
    }
    fields.insert(fields.end(), computed.begin(), computed.end());
    return fields;
}

void writeRecordLines(TargetContext& ctx, const std::string& table, const Instance& inst,
                      std::initializer_list<Value> computed, std::size_t width, bool emptyLineAfter) {
    const classes::TableDecl& decl = declaredTable(table);
    const auto isComputed = [](const classes::ReportLine& line) { return line.property == nullptr; };
    if (static_cast<std::size_t>(std::count_if(decl.report.begin(), decl.report.end(), isComputed)) != computed.size())
        throw std::logic_error("computed report lines of " + table + " do not match");
    const Value* next = computed.begin();
    std::size_t index = 0;
    for (const classes::ReportLine& line : decl.report) {
        ++index;
        const Value& v = isComputed(line) ? *next++ : inst.get(line.property);
        if (!v.readable()) continue;
        const std::string end = emptyLineAfter && index == decl.report.size() ? "\r\n" : "";
        report::writeLine(ctx, report::label(line.label, width) + report::displayText(v) + line.suffix + end);
    }
}

void appendRecord(TargetContext& ctx, const std::string& table, const database::Fields& fields) {
    guarded(ctx, [&] { appendRow(ctx, table, fields); });
}

void appendRecord(TargetContext& ctx, const std::string& table, const Instance& inst, const database::Fields& computed) {
    guarded(ctx, [&] { appendRow(ctx, table, recordFields(inst, table, computed)); });
}

void appendEmptyRecord(TargetContext& ctx, const std::string& table) {
    guarded(ctx, [&] { appendEmptyRow(ctx, table); });
}

}  // namespace qv::inventory
