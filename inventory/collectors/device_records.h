// Building blocks of the device collectors: type-code decode tables, record fields, report lines.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

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

// A text column: the property's trimmed text (Null and unreadable give the empty text), which the
// writer cuts to the column's width.
database::Field textField(const Instance& inst, const char* property);
// A text column that keeps Null as Null (serial and parallel ports).
database::Field nullableTextField(const Instance& inst, const char* property);
// A 32-bit integer column: a number that does not fit (or is not a number) is 0.
database::Field int32Field(const Instance& inst, const char* property);
// The sequence number of the devices of one kind on one computer: a 16-bit counter from 1 that
// stops growing at its largest value.
struct SequenceCounter {
    std::int16_t value = 1;
    void next() {
        if (value < INT16_MAX) ++value;
    }
    std::string text() const { return std::to_string(value); }
};

// One report line of a record: the label's name and the value shown after it.
struct RecordLine {
    std::string_view name;
    Value value;
};
// Writes the lines of one record with labels `width` wide. A line whose value cannot be read is
// left out; the last line, when written, ends with an empty line.
void writeRecordLines(TargetContext& ctx, std::initializer_list<RecordLine> lines, std::size_t width = 21);

// Appends one row, absorbing any failure: a lost row never stops the collector.
void appendRecord(TargetContext& ctx, const std::string& table, const database::Fields& fields);
void appendEmptyRecord(TargetContext& ctx, const std::string& table);

}  // namespace qv::inventory
