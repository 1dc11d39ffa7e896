// The logical-drive collector: type decodes, sizes shown in a unit chosen from the drive's size.
#include "database/records.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/collectors/hardware_tables.h"
#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

namespace {

// The decoded text, empty (and no report line) when the code cannot be read.
std::string typeText(const Value& code, const TypeTable& table) {
    return code.readable() ? decodeType(code, table) : std::string();
}

// Bytes grouped, then the same count in the drive's unit on a continuation line.
void writeSizeLines(TargetContext& ctx, const char* name, const Value& bytes, const SizeUnit& unit) {
    if (!bytes.readable()) return;
    const Locale& locale = ctx.platform.system.locale();
    const double n = numberOf(bytes);
    report::writeLine(ctx, report::label(name) + formatGrouped(locale, n) + " Bytes");
    report::writeLine(ctx, report::kContinuation + formatGrouped(locale, n / unit.divisor, unit.decimals) + " " +
                               unit.name);
}

}  // namespace

void collectLogicalDrives(TargetContext& ctx) {
    runCollector(
        ctx, {"**Logical Disk Drives**", true, "Win32_LogicalDisk"},
        [&](const Instance& inst) {
            const Value& freeSpace = inst.get("FreeSpace");
            const Value& size = inst.get("Size");
            const std::string driveType = typeText(inst.get("DriveType"), kDriveTypeTable);
            const std::string mediaType = typeText(inst.get("MediaType"), kMediaTypeTable);
            appendRecord(ctx, "LogicalDrives",
                         {{"Name", textField(inst, "Name")},
                          {"Description", textField(inst, "Description")},
                          {"DriveType", driveType},
                          {"FileSystem", textField(inst, "FileSystem")},
                          {"FreeSpace", singlePrecision(numberOf(freeSpace))},
                          {"MaxSpace", singlePrecision(numberOf(size))},
                          {"MediaType", mediaType}});

            report::writeValue(ctx, "Name", inst.get("Name"));
            report::writeValue(ctx, "Description", inst.get("Description"));
            if (inst.get("DriveType").readable()) report::writeLine(ctx, report::label("DriveType") + driveType);
            report::writeValue(ctx, "FileSystem", inst.get("FileSystem"));
            if (decimalNumberOf(size)) {
                const SizeUnit unit = sizeUnitFor(numberOf(size));
                writeSizeLines(ctx, "FreeSpace", freeSpace, unit);
                writeSizeLines(ctx, "Size", size, unit);
            } else {
                report::writeValue(ctx, "FreeSpace", freeSpace);
                report::writeValue(ctx, "Size", size);
            }
            if (inst.get("MediaType").readable()) report::writeLine(ctx, report::label("MediaType") + mediaType + "\r\n");
        },
        [&] { appendEmptyRecord(ctx, "LogicalDrives"); });
}

}  // namespace qv::inventory
