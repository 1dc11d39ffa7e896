// The logical-drive collector: type decodes, sizes shown in a unit chosen from the drive's size.
#include <optional>

#include "classes/declarations.h"
#include "database/records.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/collectors/device_records.h"
#include "inventory/collectors/hardware_tables.h"
#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

namespace {

// The decoded text, empty (and no report line) when the code cannot be read.
std::string typeText(const Value& code, const TypeTable& table) {
    return code.readable() ? decodeType(code, table) : std::string();
}

// The report value of a size: bytes grouped, then the same count in the drive's unit on a
// continuation line; a value that is not a number as returned.
Value sizeLines(TargetContext& ctx, const Value& bytes, const std::optional<SizeUnit>& unit) {
    if (!bytes.readable() || !unit) return bytes;
    const Locale& locale = ctx.platform.system.locale();
    const double n = numberOf(bytes);
    return Value::of(formatGrouped(locale, n) + " Bytes\r\n" + report::kContinuation +
                     formatGrouped(locale, n / unit->divisor, unit->decimals) + " " + unit->name);
}

}  // namespace

void collectLogicalDrives(TargetContext& ctx) {
    runCollector(
        ctx, {"**Logical Disk Drives**", true, classes::Win32_LogicalDisk.name},
        [&](const Instance& inst) {
            const Value& freeSpace = inst.get("FreeSpace");
            const Value& size = inst.get("Size");
            const Value& driveCode = inst.get("DriveType");
            const Value& mediaCode = inst.get("MediaType");
            const std::string driveType = typeText(driveCode, kDriveTypeTable);
            const std::string mediaType = typeText(mediaCode, kMediaTypeTable);
            appendRecord(ctx, "LogicalDrives", inst,
                         {{"DriveType", driveType},
                          {"FreeSpace", singlePrecision(numberOf(freeSpace))},
                          {"MaxSpace", singlePrecision(numberOf(size))},
                          {"MediaType", mediaType}});
            // Both sizes in the unit chosen from the drive's size, when it is a number.
            std::optional<SizeUnit> unit;
            if (decimalNumberOf(size)) unit = sizeUnitFor(numberOf(size));
            writeRecordLines(ctx, "LogicalDrives", inst,
                             {shownIf(driveCode.readable(), driveType), sizeLines(ctx, freeSpace, unit), sizeLines(ctx, size, unit),
                              shownIf(mediaCode.readable(), mediaType)});
        },
        [&] { appendEmptyRecord(ctx, "LogicalDrives"); });
}

}  // namespace qv::inventory
