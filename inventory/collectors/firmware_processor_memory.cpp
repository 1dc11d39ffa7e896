// The firmware, processor and memory collectors, first of the hardware phase.
#include "database/records.h"
#include "database/schema.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/collectors/hardware_tables.h"
#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

namespace {

// A processor socket without a processor reports this id.
const char* const kEmptySocketId = "0000000000000000";

// A computed text shown after its label unless its source property cannot be read.
Value shownIf(bool readable, const std::string& text) { return readable ? Value::of(text) : Value::unreadable(); }

}  // namespace

void collectBios(TargetContext& ctx) {
    runCollector(
        ctx, {"**BIOS**", true, "Win32_BIOS"},
        [&](const Instance& inst) {
            std::string version;
            const bool versionRead = biosVersionText(inst, version);
            appendRecord(ctx, "BIOS",
                         {{"Description", textField(inst, "Description")},
                          {"Manufacturer", textField(inst, "Manufacturer")},
                          {"SMBIOSVersion", version},
                          {"ReleaseDate", textField(inst, "ReleaseDate")},
                          {"CurrentLanguage", textField(inst, "CurrentLanguage")},
                          {"SerialNumber", textField(inst, "SerialNumber")}});
            writeRecordLines(ctx, {{"Description", inst.get("Description")},
                                   {"Manufacturer", inst.get("Manufacturer")},
                                   {"SMBIOSBIOSVersion", shownIf(versionRead, version)},
                                   {"ReleaseDate", inst.get("ReleaseDate")},
                                   {"CurrentLanguage", inst.get("CurrentLanguage")},
                                   {"SerialNumber", inst.get("SerialNumber")}});
        },
        [&] { appendEmptyRecord(ctx, "BIOS"); });
}

void collectProcessors(TargetContext& ctx) {
    runCollector(
        ctx, {"**CPU**", false, "Win32_Processor"},
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
            appendRecord(ctx, "CPU",
                         {{"CPUID", cpuId},
                          {"CPUName", cpuName},
                          {"CPU", familyText},
                          {"CPUManufacturer", textField(inst, "Manufacturer")},
                          {"ProcessorId", textField(inst, "ProcessorId")},
                          {"Description", textField(inst, "Description")},
                          {"MaxClockSpeed", int32Field(inst, "MaxClockSpeed")},
                          {"CurrentClockSpeed", int32Field(inst, "CurrentClockSpeed")},
                          {"L2CacheSize", int32Field(inst, "L2CacheSize")}});
            report::writeValue(ctx, "ID", shownIf(id.readable(), cpuId));
            report::writeValue(ctx, "Name", shownIf(emptySocket || name.readable(), cpuName));
            report::writeValue(ctx, "Family", shownIf(family.readable(), familyText));
            report::writeValue(ctx, "MaxClockSpeed", inst.get("MaxClockSpeed"), " MHz");
            report::writeValue(ctx, "CurrentClockSpeed", inst.get("CurrentClockSpeed"), " MHz");
            report::writeValue(ctx, "L2CacheSize", inst.get("L2CacheSize"), " K");
            writeRecordLines(ctx, {{"Manufacturer", inst.get("Manufacturer")},
                                   {"Description", inst.get("Description")},
                                   {"ProcessorId", processorId}});
        },
        [&] { appendEmptyRecord(ctx, "CPU"); });
}

void collectPhysicalMemory(TargetContext& ctx) {
    runCollector(
        ctx, {"**RAM**", false, "Win32_PhysicalMemory"},
        [&](const Instance& inst) {
            const double capacity = numberOf(inst.get("Capacity"));
            appendRecord(ctx, "RAM",
                         {{"Capacity", capacity},
                          {"BankLabel", textField(inst, "BankLabel")},
                          {"Description", textField(inst, "Description")}});
            const Locale& locale = ctx.platform.system.locale();
            report::writeValue(ctx, "Description", inst.get("Description"));
            report::writeValue(ctx, "BankLabel", inst.get("BankLabel"));
            report::writeLine(ctx, report::label("Capacity") + formatGrouped(locale, capacity) + " Bytes");
            report::writeLine(ctx, report::kContinuation + formatGrouped(locale, capacity / kBytesPerMegabyte) + " MB\r\n");
        },
        [&] { appendEmptyRecord(ctx, "RAM"); });
}

}  // namespace qv::inventory
