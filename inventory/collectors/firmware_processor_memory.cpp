// The firmware, processor and memory collectors, first of the hardware phase.
#include "classes/declarations.h"
#include "database/records.h"
#include "database/schema.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/collectors/device_records.h"
#include "inventory/collectors/hardware_tables.h"
#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

namespace {

// A processor socket without a processor reports this id.
const char* const kEmptySocketId = "0000000000000000";

}  // namespace

void collectBios(TargetContext& ctx) {
    runCollector(
        ctx, {"**BIOS**", true, classes::Win32_BIOS.name},
        [&](const Instance& inst) {
            std::string version;
            const bool versionRead = biosVersionText(inst, version);
            appendRecord(ctx, "BIOS", inst, {{"SMBIOSVersion", version}});
            writeRecordLines(ctx, "BIOS", inst, {shownIf(versionRead, version)});
        },
        [&] { appendEmptyRecord(ctx, "BIOS"); });
}

void collectProcessors(TargetContext& ctx) {
    runCollector(
        ctx, {"**CPU**", false, classes::Win32_Processor.name},
        [&](const Instance& inst) {
            const Value& id = inst.get("DeviceID");
            const Value& name = inst.get("Name");
            const Value& family = inst.get("Family");
            const Value& processorId = inst.get("ProcessorId");
            // The id and name are shown as stored.
            const std::string cpuId = cutTo(id, database::columnWidth("CPU", "CPUID"));
            const bool emptySocket = processorId.kind == Value::Kind::Text && processorId.text == kEmptySocketId;
            if (emptySocket) {
                report::writeLine(ctx, "   Empty Socket  Present");
                report::writeLine(ctx, "**CPU NOT INSTALLED**");
            }
            const std::string cpuName =
                emptySocket ? "**NOT INSTALLED**" : cutTo(name, database::columnWidth("CPU", "CPUName"));
            const std::string familyText = family.readable() ? processorFamilyText(family) : std::string();
            appendRecord(ctx, "CPU", inst, {{"CPUID", cpuId}, {"CPUName", cpuName}, {"CPU", familyText}});
            writeRecordLines(ctx, "CPU", inst,
                             {shownIf(id.readable(), cpuId), shownIf(emptySocket || name.readable(), cpuName),
                              shownIf(family.readable(), familyText)});
        },
        [&] { appendEmptyRecord(ctx, "CPU"); });
}

void collectPhysicalMemory(TargetContext& ctx) {
    runCollector(
        ctx, {"**RAM**", false, classes::Win32_PhysicalMemory.name},
        [&](const Instance& inst) {
            const double capacity = numberOf(inst.get("Capacity"));
            appendRecord(ctx, "RAM", inst, {{"Capacity", capacity}});
            // The capacity in bytes, and in megabytes on a continuation line.
            const Locale& locale = ctx.platform.system.locale();
            writeRecordLines(ctx, "RAM", inst,
                             {Value::of(formatGrouped(locale, capacity) + " Bytes\r\n" + report::kContinuation +
                                        formatGrouped(locale, capacity / kBytesPerMegabyte) + " MB")});
        },
        [&] { appendEmptyRecord(ctx, "RAM"); });
}

}  // namespace qv::inventory
