// Collectors of modems, sound devices, monitors, video adapters, network adapters and printers.
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
        ctx, {"**Modem Devices**", false, "Win32_POTSModem"},
        [&](const Instance& inst) {
            const std::string reference = "Modem" + counter.text();
            counter.next();
            appendRecord(ctx, "Modem",
                         {{"AttachedTo", textField(inst, "AttachedTo")},
                          {"ServiceType", textField(inst, "DeviceType")},
                          {"ProviderName", textField(inst, "ProviderName")},
                          {"ID", textField(inst, "DeviceID")},
                          {"Reference", reference},
                          {"Caption", textField(inst, "Caption")}});
            report::writeLine(ctx, "              " + reference);
            writeRecordLines(ctx, {{"Caption", inst.get("Caption")},
                                   {"AttachedTo", inst.get("AttachedTo")},
                                   {"DeviceID", inst.get("DeviceID")},
                                   {"DeviceType", inst.get("DeviceType")},
                                   {"ProviderName", inst.get("ProviderName")}});
        },
        [&] { appendEmptyRecord(ctx, "Modem"); });
}

void collectSoundDevices(TargetContext& ctx) {
    SequenceCounter counter;
    runCollector(
        ctx, {"**Audio Devices**", false, "Win32_SoundDevice"},
        [&](const Instance& inst) {
            const std::string reference = "Audio" + counter.text();
            counter.next();
            appendRecord(ctx, "Audio",
                         {{"Reference", reference},
                          {"Name", textField(inst, "Name")},
                          {"Manufacturer", textField(inst, "Manufacturer")},
                          {"ID", textField(inst, "DeviceID")}});
            report::writeLine(ctx, "              " + reference);
            writeRecordLines(ctx, {{"Name", inst.get("Name")},
                                   {"Manufacturer", inst.get("Manufacturer")},
                                   {"DeviceID", inst.get("DeviceID")}});
        },
        [&] { appendEmptyRecord(ctx, "Audio"); });
}

void collectDesktopMonitors(TargetContext& ctx) {
    runCollector(
        ctx, {"**Video Devices**", false, "Win32_DesktopMonitor"},
        [&](const Instance& inst) {
            appendRecord(ctx, "Monitor",
                         {{"ID", textField(inst, "DeviceID")},
                          {"Name", textField(inst, "Name")},
                          {"Manufacturer", textField(inst, "MonitorManufacturer")},
                          {"ScreenHeight", int32Field(inst, "ScreenHeight")},
                          {"ScreenWidth", int32Field(inst, "ScreenWidth")}});
            writeRecordLines(ctx, {{"MonitorID", inst.get("DeviceID")},
                                   {"MonitorName", inst.get("Name")},
                                   {"ScreenHeight", inst.get("ScreenHeight")},
                                   {"ScreenWidth", inst.get("ScreenWidth")},
                                   {"MonitorManufacturer", inst.get("MonitorManufacturer")}});
        },
        [&] { appendEmptyRecord(ctx, "Monitor"); });
}

void collectVideoControllers(TargetContext& ctx) {
    runCollector(
        ctx, {"**Video Adapter Settings**", false, "Win32_VideoController"},
        [&](const Instance& inst) {
            const Value& architecture = inst.get("VideoArchitecture");
            const Value architectureText =
                architecture.readable() ? Value::of(decodeType(architecture, kVideoArchitectureTable)) : Value::unreadable();
            appendRecord(ctx, "VideoAdapter",
                         {{"Architecture", architectureText.readable() ? architectureText.text : std::string()},
                          {"VideoMode", textField(inst, "VideoModeDescription")},
                          {"Processor", textField(inst, "VideoProcessor")},
                          {"ID", textField(inst, "DeviceID")},
                          {"Name", textField(inst, "Name")},
                          {"AdapterRAM", int32Field(inst, "AdapterRAM")},
                          {"RefreshRate", int32Field(inst, "CurrentRefreshRate")}});
            writeRecordLines(ctx,
                             {{"ID", inst.get("DeviceID")},
                              {"Name", inst.get("Name")},
                              {"AdapterRAM", adapterMemoryText(ctx, inst.get("AdapterRAM"))},
                              {"Architecture", architectureText},
                              {"VideoModeDescription", inst.get("VideoModeDescription")},
                              {"CurrentRefreshRate", inst.get("CurrentRefreshRate")},
                              {"VideoMode", inst.get("VideoMode")},
                              {"VideoProcessor", inst.get("VideoProcessor")}},
                             kWideLabel);
        },
        [&] { appendEmptyRecord(ctx, "VideoAdapter"); });
}

// Network adapters differ from the pattern: their heading stands only above adapters found,
// and is written once the query has run.
void collectNetworkAdapters(TargetContext& ctx) {
    std::int64_t count = 0;
    if (!countInstances(ctx, "Win32_NetworkAdapter", count) || count == 0) {
        appendEmptyRecord(ctx, "NetworkAdapters");
        report::writeLine(ctx, "         Not Reported\r\n");
        return;
    }
    Instances adapters;
    runQuery(ctx, "Select * from Win32_NetworkAdapter", adapters);
    report::writeLine(ctx, "*Network Adapters*");
    for (const Instance& inst : adapters) {
        guarded(ctx, [&] {
            appendRecord(ctx, "NetworkAdapters",
                         {{"MACAddress", textField(inst, "MACAddress")},
                          {"ServiceName", textField(inst, "ServiceName")},
                          {"AdapterType", textField(inst, "AdapterType")},
                          {"Description", textField(inst, "Description")},
                          {"DeviceID", textField(inst, "DeviceID")},
                          {"Manufacturer", textField(inst, "Manufacturer")},
                          {"Speed", int32Field(inst, "Speed")},
                          {"MaxSpeed", int32Field(inst, "MaxSpeed")}});
            writeRecordLines(ctx, {{"Description", inst.get("Description")},
                                   {"DeviceID", inst.get("DeviceID")},
                                   {"MACAddress", inst.get("MACAddress")},
                                   {"AdapterType", inst.get("AdapterType")},
                                   {"Manufacturer", inst.get("Manufacturer")},
                                   {"Speed", inst.get("Speed")},
                                   {"MaxSpeed", inst.get("MaxSpeed")},
                                   {"ServiceName", inst.get("ServiceName")}});
        });
    }
}

void collectPrinters(TargetContext& ctx) {
    SequenceCounter counter;
    runCollector(
        ctx, {"**Installed Printers**", false, "Win32_Printer"},
        [&](const Instance& inst) {
            const std::string number = counter.text();
            counter.next();
            const bool isDefault = booleanOf(inst.get("Default"));
            appendRecord(ctx, "Printers",
                         {{"DriverName", textField(inst, "DriverName")},
                          {"PortName", textField(inst, "PortName")},
                          {"Reference", "Printer" + number},
                          {"Name", textField(inst, "DeviceID")},
                          {"Default", isDefault}});
            report::writeLine(ctx, "             Printer" + number);
            writeRecordLines(ctx,
                             {{"Name", inst.get("DeviceID")},
                              {"DriverName", inst.get("DriverName")},
                              {"PortName", inst.get("PortName")},
                              {"Default", Value::of(isDefault)}},
                             kWideLabel);
        },
        [&] { appendEmptyRecord(ctx, "Printers"); });
}

}  // namespace qv::inventory
