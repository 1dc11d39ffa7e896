// Collectors of modems, sound devices, monitors, video adapters, network adapters and printers.
#include "classes/declarations.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/collectors/device_records.h"
#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

namespace {

// Video adapter and printer lines are one character wider than the others.
constexpr std::size_t kWideLabel = 22;

const CodeText kVideoArchitectureCodes[] = {
    {1, ": Other"}, {2, ": Unknown"}, {3, ": CGA"},   {4, ": EGA"},   {5, ": VGA"},
    {6, ": SVGA"},  {7, ": MDA"},     {8, ": HGC"},   {9, ": MCGA"},  {10, ": 8514A"},
    {11, ": XGA"},  {12, ": Linear Frame Buffer"},    {160, ": PC-98"},
};

// The adapter memory line's value: megabytes with one decimal. Null shows nothing; a value that
// is not a number leaves the line out.
Value adapterMemoryText(TargetContext& ctx, const Value& ram) {
    if (ram.isNull()) return Value::null();
    const Locale& locale = ctx.platform.system.locale();
    const std::optional<double> bytes = localeNumberOf(locale, ram);
    if (!bytes) return Value::unreadable();
    return Value::of(formatGrouped(locale, *bytes / kBytesPerMegabyte, 1) + " MB");
}

}  // namespace

const TypeTable kVideoArchitectureTable{kVideoArchitectureCodes, ": Not Listed"};

void collectModems(TargetContext& ctx) {
    SequenceCounter counter;
    runCollector(
        ctx, {"**Modem Devices**", false, classes::Win32_POTSModem.name},
        [&](const Instance& inst) {
            const std::string reference = "Modem" + counter.text();
            counter.next();
            appendRecord(ctx, "Modem", inst, {{"Reference", reference}});
            report::writeLine(ctx, "              " + reference);
            writeRecordLines(ctx, "Modem", inst);
        },
        [&] { appendEmptyRecord(ctx, "Modem"); });
}

void collectSoundDevices(TargetContext& ctx) {
    SequenceCounter counter;
    runCollector(
        ctx, {"**Audio Devices**", false, classes::Win32_SoundDevice.name},
        [&](const Instance& inst) {
            const std::string reference = "Audio" + counter.text();
            counter.next();
            appendRecord(ctx, "Audio", inst, {{"Reference", reference}});
            report::writeLine(ctx, "              " + reference);
            writeRecordLines(ctx, "Audio", inst);
        },
        [&] { appendEmptyRecord(ctx, "Audio"); });
}

void collectDesktopMonitors(TargetContext& ctx) {
    runCollector(
        ctx, {"**Video Devices**", false, classes::Win32_DesktopMonitor.name},
        [&](const Instance& inst) {
            appendRecord(ctx, "Monitor", inst);
            writeRecordLines(ctx, "Monitor", inst);
        },
        [&] { appendEmptyRecord(ctx, "Monitor"); });
}

void collectVideoControllers(TargetContext& ctx) {
    runCollector(
        ctx, {"**Video Adapter Settings**", false, classes::Win32_VideoController.name},
        [&](const Instance& inst) {
            const Value& architecture = inst.get("VideoArchitecture");
            const Value architectureText =
                architecture.readable() ? Value::of(decodeType(architecture, kVideoArchitectureTable)) : Value::unreadable();
            appendRecord(ctx, "VideoAdapter", inst,
                         {{"Architecture", architectureText.readable() ? architectureText.text : std::string()}});
            writeRecordLines(ctx, "VideoAdapter", inst, {adapterMemoryText(ctx, inst.get("AdapterRAM")), architectureText},
                             kWideLabel);
        },
        [&] { appendEmptyRecord(ctx, "VideoAdapter"); });
}

// Network adapters differ from the pattern: their heading stands only above adapters found,
// and is written once the query has run.
void collectNetworkAdapters(TargetContext& ctx) {
    const std::string className = classes::Win32_NetworkAdapter.name;
    std::int64_t count = 0;
    if (!countInstances(ctx, className, count) || count == 0) {
        appendEmptyRecord(ctx, "NetworkAdapters");
        report::writeLine(ctx, "         Not Reported\r\n");
        return;
    }
    Instances adapters;
    runQuery(ctx, "Select * from " + className, adapters);
    report::writeLine(ctx, "*Network Adapters*");
    for (const Instance& inst : adapters) {
        guarded(ctx, [&] {
            appendRecord(ctx, "NetworkAdapters", inst);
            writeRecordLines(ctx, "NetworkAdapters", inst);
        });
    }
}

void collectPrinters(TargetContext& ctx) {
    SequenceCounter counter;
    runCollector(
        ctx, {"**Installed Printers**", false, classes::Win32_Printer.name},
        [&](const Instance& inst) {
            const std::string number = counter.text();
            counter.next();
            const bool isDefault = booleanOf(inst.get("Default"));
            appendRecord(ctx, "Printers", inst, {{"Reference", "Printer" + number}, {"Default", isDefault}});
            report::writeLine(ctx, "             Printer" + number);
            writeRecordLines(ctx, "Printers", inst, {Value::of(isDefault)}, kWideLabel);
        },
        [&] { appendEmptyRecord(ctx, "Printers"); });
}

}  // namespace qv::inventory
