// Building blocks of the device collectors: type-code decode tables, record fields, report lines.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "database/records.h"
#include "run/target_context.h"

namespace qv::inventory {

// One row of a decode table: a numeric code and the text appended after it.
struct TypeCode {
    std::int64_t code;
    const char* text;
};
struct TypeTable {
    std::span<const TypeCode> codes;
    const char* otherText;  // for a value that matches no code
};

// "Type " + the value as returned + the table's text. A whole number equal to a listed code matches,
// also when it comes as a decimal text; anything else (Null, Booleans, other texts) takes otherText.
std::string decodeType(const Value& v, const TypeTable& table);
// The listed code a value matches by the same rule, or null.
const TypeCode* listedCode(const Value& v, std::span<const TypeCode> codes);

// Pointing devices and port connectors.
extern const TypeTable kDeviceInterfaceTable;
extern const TypeTable kPointingTypeTable;
extern const TypeTable kPortTypeTable;
// Video adapters.
extern const TypeTable kVideoArchitectureTable;

// A text column: the property cut to n (Null and unreadable give the empty text).
database::Field textField(const Instance& inst, const char* property, std::size_t n);
// A text column that keeps Null as Null (serial and parallel ports).
database::Field nullableTextField(const Instance& inst, const char* property, std::size_t n);
// A 32-bit integer column: a number that does not fit (or is not a number) is 0.
database::Field int32Field(const Instance& inst, const char* property);
// The Boolean a value converts to: numbers are true when not zero, texts "True"/"False" or a
// number; anything else (Null, unreadable, other texts) is false.
bool booleanOf(const Value& v);

// A number grouped by the locale with a fixed count of decimals: 1536.0 with 1 gives "1,536.0".
std::string formatGroupedFixed(const Locale& locale, double value, int decimals);

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
