// Decode tables and value forms of the environment, drive, firmware, processor and memory collectors.
#pragma once

#include <span>
#include <string>

#include "inventory/collectors/device_records.h"

namespace qv::inventory {

// Logical drives: "Type " + code + text.
extern const TypeTable kDriveTypeTable;
extern const TypeTable kMediaTypeTable;

// The processor families: the text alone, without its code.
extern const CodeTable kProcessorFamilies;
// The family text of a `Family` value: the listed text for a listed number, otherwise
// "Unlisted (" + the value + ")". Codes match as in decodeType (decimal texts too).
std::string processorFamilyText(const Value& family);

// The unit in which a drive's sizes are shown, chosen from its size in bytes.
struct SizeUnit {
    double divisor;
    int decimals;
    const char* name;  // written after one blank: "GB", "MB", "K"
};
SizeUnit sizeUnitFor(double sizeBytes);

// The stored form of an environment text: longer than 255 characters gives its first 253
// followed by "**"; otherwise the text whole.
std::string markedTo255(const std::string& text);

// A value as text the way the environment listing takes it: texts, numbers and Booleans convert;
// Null, unreadable values and lists do not (false).
bool valueAsText(const Value& v, std::string& out);

// The firmware version text: `SMBIOSBIOSVersion` trimmed + "." + major + "." + minor, cut to its
// column's width. False when one of the three cannot be read.
bool biosVersionText(const Instance& bios, std::string& out);

// A byte count kept in single precision (the column's width); a count beyond its range is 0.
double singlePrecision(double bytes);

}  // namespace qv::inventory
