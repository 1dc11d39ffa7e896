// The enclosure, base board, disk, optical drive and tape drive collectors.
#include "database/records.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/collectors/device_records.h"
#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

void collectSystemEnclosure(TargetContext& ctx) {
    runCollector(
        ctx, {"**Chassis**", false, "Win32_SystemEnclosure"},
        [&](const Instance& inst) {
            writeRecordLines(ctx, {{"Description", inst.get("Description")},
                                   {"Manufacturer", inst.get("Manufacturer")},
                                   {"SMBIOSAssetTag", inst.get("SMBIOSAssetTag")}});
            appendRecord(ctx, "Chassis",
                         {{"SMBIOSAssetTag", textField(inst, "SMBIOSAssetTag")},
                          {"Manufacturer", textField(inst, "Manufacturer")},
                          {"Description", textField(inst, "Description")}});
        },
        [&] { appendEmptyRecord(ctx, "Chassis"); });
}

void collectBaseBoard(TargetContext& ctx) {
    runCollector(
        ctx, {"**Motherboard**", false, "Win32_BaseBoard"},
        [&](const Instance& inst) {
            appendRecord(ctx, "BaseBoard",
                         {{"Product", textField(inst, "Product")},
                          {"Version", textField(inst, "Version")},
                          {"Name", textField(inst, "Name")},
                          {"Manufacturer", textField(inst, "Manufacturer")},
                          {"SerialNumber", textField(inst, "SerialNumber")}});
            writeRecordLines(ctx, {{"Name", inst.get("Name")},
                                   {"Product", inst.get("Product")},
                                   {"Manufacturer", inst.get("Manufacturer")},
                                   {"SerialNumber", inst.get("SerialNumber")},
                                   {"Version", inst.get("Version")}});
        },
        [&] { appendEmptyRecord(ctx, "BaseBoard"); });
}

// Size and partitions start at 0 for every disk, so a disk whose values cannot be read never
// shows or stores the previous disk's.
void collectDiskDrives(TargetContext& ctx) {
    runCollector(
        ctx, {"**Hard Disk Detail**", false, "Win32_DiskDrive"},
        [&](const Instance& inst) {
            const double size = numberOf(inst.get("Size"));
            appendRecord(ctx, "HardDisk",
                         {{"InterfaceType", textField(inst, "InterfaceType")},
                          {"Model", textField(inst, "Model")},
                          {"Manufacturer", textField(inst, "Manufacturer")},
                          {"Description", textField(inst, "Description")},
                          {"Size", size},
                          {"Partitions", int32Field(inst, "Partitions")}});
            const Locale& locale = ctx.platform.system.locale();
            report::writeValue(ctx, "Description", inst.get("Description"));
            report::writeValue(ctx, "InterfaceType", inst.get("InterfaceType"));
            report::writeValue(ctx, "Manufacturer", inst.get("Manufacturer"));
            report::writeValue(ctx, "Model", inst.get("Model"));
            report::writeLine(ctx, report::label("Size") + formatGrouped(locale, size) + " Bytes");
            report::writeLine(ctx, report::kContinuation + formatGrouped(locale, size / kBytesPerGigabyte, 1) + " GB");
            report::writeValue(ctx, "Partitions", inst.get("Partitions"), "\r\n");
        },
        [&] { appendEmptyRecord(ctx, "HardDisk"); });
}

void collectOpticalDrives(TargetContext& ctx) {
    runCollector(
        ctx, {"**Optical Drive Detail**", false, "Win32_CDROMDrive"},
        [&](const Instance& inst) {
            appendRecord(ctx, "CD_DVD",
                         {{"Drive", textField(inst, "Drive")},
                          {"Name", textField(inst, "Name")},
                          {"Description", textField(inst, "Description")},
                          {"Manufacturer", textField(inst, "Manufacturer")}});
            writeRecordLines(ctx, {{"Drive", inst.get("Drive")},
                                   {"Description", inst.get("Description")},
                                   {"Manufacturer", inst.get("Manufacturer")}});
        },
        [&] { appendEmptyRecord(ctx, "CD_DVD"); });
}

void collectTapeDrives(TargetContext& ctx) {
    runCollector(
        ctx, {"**Tape Drive Detail**", false, "Win32_TapeDrive", "         Tape Drive: Not Installed"},
        [&](const Instance& inst) {
            writeRecordLines(ctx, {{"Name", inst.get("Name")},
                                   {"Model", inst.get("ID")},
                                   {"Description", inst.get("Description")},
                                   {"Manufacturer", inst.get("Manufacturer")},
                                   {"DeviceID", inst.get("DeviceID")}});
            appendRecord(ctx, "TapeDrive",
                         {{"DeviceID", textField(inst, "DeviceID")},
                          {"Name", textField(inst, "Name")},
                          {"Model", textField(inst, "ID")},
                          {"Description", textField(inst, "Description")},
                          {"Manufacturer", textField(inst, "Manufacturer")}});
        },
        [&] { appendEmptyRecord(ctx, "TapeDrive"); });
}

}  // namespace qv::inventory
