// Building blocks of the device collectors: type-code decode tables, record fields, report lines.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "database/records.h"
#include "inventory/values.h"
#include "core/target_context.h"

namespace qv::inventory {

// A decode table whose texts are appended after the code, with the text of an unlisted value.
struct TypeTable {
    CodeTable codes;
    const char* otherText;  // for a value that matches no code
};

// "Type " + the value as returned + the table's text for its codeOf (a whole number, also as a
// decimal text); anything else (Null, Booleans, other texts) takes otherText.
std::string decodeType(const Value& v, const TypeTable& table);

// Pointing devices and port connectors.
extern const TypeTable kDeviceInterfaceTable;
extern const TypeTable kPointingTypeTable;
extern const TypeTable kPortTypeTable;
// Video adapters.
extern const TypeTable kVideoArchitectureTable;

// The row of one instance of a table's class: every column the table's declaration copies from a
// property, in its column's form, and the collector's `computed` columns, which take the place of
// a copy of the same name. Throws std::out_of_range for a table not declared.
database::Fields recordFields(const Instance& inst, const std::string& table, const database::Fields& computed = {});

// The sequence number of the devices of one kind on one computer: a 16-bit counter from 1 that
// stops growing at its largest value.
struct SequenceCounter {
    std::int16_t value = 1;
    void next() {
        if (value < INT16_MAX) ++value;
    }
    std::string text() const { return std::to_string(value); }
};

// A computed text shown on its report line unless its source property cannot be read.
inline Value shownIf(bool readable, const std::string& text) { return readable ? Value::of(text) : Value::unreadable(); }

// Writes the table's declared report lines of one record with labels `width` wide: the
// properties of `inst`, and the values the collector computes (`computed`, in the order of those
// lines; their count must match). A line whose value cannot be read is left out; the last line,
// when written, ends with an empty line unless `emptyLineAfter` is false.
void writeRecordLines(TargetContext& ctx, const std::string& table, const Instance& inst,
                      std::initializer_list<Value> computed = {}, std::size_t width = 21, bool emptyLineAfter = true);

// Appends one row, absorbing any failure: a lost row never stops the collector.
void appendRecord(TargetContext& ctx, const std::string& table, const database::Fields& fields);
// The same for the row of one instance (recordFields).
void appendRecord(TargetContext& ctx, const std::string& table, const Instance& inst,
                  const database::Fields& computed = {});
void appendEmptyRecord(TargetContext& ctx, const std::string& table);

}  // namespace qv::inventory
