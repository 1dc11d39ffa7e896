// The enclosure, base board, disk, optical drive and tape drive collectors.
#include "classes/declarations.h"
#include "database/records.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/collectors/device_records.h"
#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

void collectSystemEnclosure(TargetContext& ctx) {
    runCollector(
        ctx, {"**Chassis**", false, classes::Win32_SystemEnclosure.name},
        [&](const Instance& inst) {
            writeRecordLines(ctx, "Chassis", inst);
            appendRecord(ctx, "Chassis", inst);
        },
        [&] { appendEmptyRecord(ctx, "Chassis"); });
}

void collectBaseBoard(TargetContext& ctx) {
    runCollector(
        ctx, {"**Motherboard**", false, classes::Win32_BaseBoard.name},
        [&](const Instance& inst) {
            appendRecord(ctx, "BaseBoard", inst);
            writeRecordLines(ctx, "BaseBoard", inst);
        },
        [&] { appendEmptyRecord(ctx, "BaseBoard"); });
}

// Size and partitions start at 0 for every disk, so a disk whose values cannot be read never
// shows or stores the previous disk's.
void collectDiskDrives(TargetContext& ctx) {
    runCollector(
        ctx, {"**Hard Disk Detail**", false, classes::Win32_DiskDrive.name},
        [&](const Instance& inst) {
            const double size = numberOf(inst.get("Size"));
            appendRecord(ctx, "HardDisk", inst, {{"Size", size}});
            // The size in bytes, and in gigabytes on a continuation line.
            const Locale& locale = ctx.platform.system.locale();
            writeRecordLines(ctx, "HardDisk", inst,
                             {Value::of(formatGrouped(locale, size) + " Bytes\r\n" + report::kContinuation +
                                        formatGrouped(locale, size / kBytesPerGigabyte, 1) + " GB")});
        },
        [&] { appendEmptyRecord(ctx, "HardDisk"); });
}

void collectOpticalDrives(TargetContext& ctx) {
    runCollector(
        ctx, {"**Optical Drive Detail**", false, classes::Win32_CDROMDrive.name},
        [&](const Instance& inst) {
            appendRecord(ctx, "CD_DVD", inst);
            writeRecordLines(ctx, "CD_DVD", inst);
        },
        [&] { appendEmptyRecord(ctx, "CD_DVD"); });
}

void collectTapeDrives(TargetContext& ctx) {
    runCollector(
        ctx, {"**Tape Drive Detail**", false, classes::Win32_TapeDrive.name, "         Tape Drive: Not Installed"},
        [&](const Instance& inst) {
            writeRecordLines(ctx, "TapeDrive", inst);
            appendRecord(ctx, "TapeDrive", inst);
        },
        [&] { appendEmptyRecord(ctx, "TapeDrive"); });
}

}  // namespace qv::inventory
