// Collectors of pointing devices, keyboards, port connectors, serial and parallel ports, USB and SCSI controllers.
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/collectors/device_records.h"
#include "inventory/report.h"

namespace qv::inventory {

namespace {

const CodeText kDeviceInterfaceCodes[] = {
    {1, ": Other"},     {2, ": Unknown"},   {3, ": Serial"},    {4, ": PS/2"},
    {5, ": Infrared"},  {6, ": HP-HIL"},    {7, ": Bus mouse"}, {8, ": ADB (Apple Desktop Bus)"},
    {160, ": Bus mouse DB-9"}, {161, ": Bus mouse micro-DIN"}, {162, ": USB"},
};

const CodeText kPointingTypeCodes[] = {
    {1, ": Other"},       {2, ": Unknown"},     {3, ": Mouse"},
    {4, ": Track Ball"},  {5, ": Track Point"}, {6, ": Glide Point"},
    {7, ": Touch Pad"},   {8, ": Touch Screen"}, {9, ": Mouse - Optical Sensor"},
};

const CodeText kPortTypeCodes[] = {
    {0, ": None"},
    {1, ": Parallel Port XT/AT Compatible"},
    {2, ": Parallel Port PS/2"},
    {3, ": Parallel Port ECP"},
    {4, ": Parallel Port EPP"},
    {5, ": Parallel Port ECP/EPP"},
    {6, ": Serial Port XT/AT Compatible"},
    {7, ": Serial Port 16450 Compatible"},
    {8, ": Serial Port 16550 Compatible"},
    {9, ": Serial Port 16550A Compatible"},
    {10, ": SCSI Port"},
    {11, ": MIDI Port"},
    {12, ": Joy Stick Port"},
    {13, ": Keyboard Port"},
    {14, ": Mouse Port"},
    {15, ": SSA SCSI"},
    {16, ": USB"},
    {17, ": FireWire (IEEE P1394)"},
    {18, ": PCMCIA Type II"},
    {19, ": PCMCIA Type II-III"},
    {20, ": Cardbus"},
    {21, ": Access Bus Port"},
    {22, ": SCSI II"},
    {23, ": SCSI Wide"},
    {24, ": PC-98"},
    {25, ": PC-98-Hireso"},
    {26, ": PC-H98"},
    {27, ": Audio Port"},
    {28, ": Modem Port"},
    {29, ": Network Port"},
    {30, ": 8251 Compatible"},
    {31, ": 8251 FIFO Compatible"},
};

// The decoded text of a property, or an unreadable value (no line) when the property cannot be read.
Value decodedProperty(const Instance& inst, const char* property, const TypeTable& table) {
    const Value& v = inst.get(property);
    return v.readable() ? Value::of(decodeType(v, table)) : Value::unreadable();
}

std::string fieldText(const Value& v) { return v.readable() ? v.text : std::string(); }

}  // namespace

const TypeTable kDeviceInterfaceTable{kDeviceInterfaceCodes, ": Not Listed"};
const TypeTable kPointingTypeTable{kPointingTypeCodes, ": Not Listed"};
const TypeTable kPortTypeTable{kPortTypeCodes, ": Unlisted"};

void collectPointingDevices(TargetContext& ctx) {
    runCollector(
        ctx, {"**Pointing Device**", false, "Win32_PointingDevice"},
        [&](const Instance& inst) {
            const Value interfaceText = decodedProperty(inst, "DeviceInterface", kDeviceInterfaceTable);
            const Value pointingText = decodedProperty(inst, "PointingType", kPointingTypeTable);
            appendRecord(ctx, "PointDevice",
                         {{"Interface", fieldText(interfaceText)},
                          {"PointerType", fieldText(pointingText)},
                          {"Description", textField(inst, "Description")},
                          {"Manufacturer", textField(inst, "Manufacturer")}});
            writeRecordLines(ctx, {{"Description", inst.get("Description")},
                                   {"Manufacturer", inst.get("Manufacturer")},
                                   {"DeviceInterface", interfaceText},
                                   {"PointingType", pointingText}});
        },
        [&] { appendEmptyRecord(ctx, "PointDevice"); });
}

void collectKeyboards(TargetContext& ctx) {
    runCollector(
        ctx, {"**Keyboard**", false, "Win32_Keyboard"},
        [&](const Instance& inst) {
            const database::Fields row = {{"Caption", textField(inst, "Caption")},
                                          {"Layout", textField(inst, "Layout")},
                                          {"Description", textField(inst, "Description")}};
            // The keyboard's row follows its report lines.
            writeRecordLines(ctx, {{"Caption", inst.get("Caption")},
                                   {"Description", inst.get("Description")},
                                   {"Layout", inst.get("Layout")}});
            appendRecord(ctx, "Keyboard", row);
        },
        [&] { appendEmptyRecord(ctx, "Keyboard"); });
}

void collectPortConnectors(TargetContext& ctx) {
    runCollector(
        ctx, {"**Port Connections**", false, "Win32_PortConnector"},
        [&](const Instance& inst) {
            // Only a connector that reports its port type is listed.
            const Value& portType = inst.get("PortType");
            if (!portType.readable() || portType.isNull()) return;
            const std::string portText = decodeType(portType, kPortTypeTable);
            appendRecord(ctx, "PortCon",
                         {{"Tag", textField(inst, "Tag")},
                          {"ExtRefDesignator", textField(inst, "ExternalReferenceDesignator")},
                          {"IntRefDesignator", textField(inst, "InternalReferenceDesignator")},
                          {"PortType", portText}});
            writeRecordLines(ctx, {{"Tag", inst.get("Tag")},
                                   {"ExtRefDesignator", inst.get("ExternalReferenceDesignator")},
                                   {"IntRefDesignator", inst.get("InternalReferenceDesignator")},
                                   {"PortType", Value::of(portText)}});
        },
        [&] { appendEmptyRecord(ctx, "PortCon"); });
}

void collectSerialPorts(TargetContext& ctx) {
    runCollector(
        ctx, {"**Serial Ports**", false, "Win32_SerialPort"},
        [&](const Instance& inst) {
            appendRecord(ctx, "SerialPorts",
                         {{"ProviderType", nullableTextField(inst, "ProviderType")},
                          {"Description", nullableTextField(inst, "Description")},
                          {"PortID", nullableTextField(inst, "DeviceID")}});
            writeRecordLines(ctx, {{"DeviceID", inst.get("DeviceID")},
                                   {"Description", inst.get("Description")},
                                   {"ProviderType", inst.get("ProviderType")}});
        },
        [&] { appendEmptyRecord(ctx, "SerialPorts"); });
}

void collectParallelPorts(TargetContext& ctx) {
    runCollector(
        ctx, {"**Parallel Ports**", false, "Win32_ParallelPort"},
        [&](const Instance& inst) {
            appendRecord(ctx, "ParallelPorts", {{"PortID", nullableTextField(inst, "DeviceID")}});
            writeRecordLines(ctx, {{"DeviceID", inst.get("DeviceID")}});
        },
        [&] { appendEmptyRecord(ctx, "ParallelPorts"); });
}

void collectUsbControllers(TargetContext& ctx) {
    SequenceCounter counter;
    runCollector(
        ctx, {"**USB**", false, "Win32_USBController"},
        [&](const Instance& inst) {
            const std::string number = counter.text();
            counter.next();
            appendRecord(ctx, "USB",
                         {{"Reference", "USB" + number},
                          {"ID", textField(inst, "DeviceID")},
                          {"Name", textField(inst, "Name")}});
            report::writeLine(ctx, "               USB " + number);
            writeRecordLines(ctx, {{"DeviceID", inst.get("DeviceID")}, {"Name", inst.get("Name")}});
        },
        [&] { appendEmptyRecord(ctx, "USB"); });
}

void collectScsiControllers(TargetContext& ctx) {
    SequenceCounter counter;
    runCollector(
        ctx, {"**SCSI Devices**", false, "Win32_SCSIController"},
        [&](const Instance& inst) {
            const std::string number = counter.text();
            counter.next();
            appendRecord(ctx, "SCSI",
                         {{"ID", textField(inst, "DeviceID")},
                          {"Reference", "SCSIDevice" + number},
                          {"Description", textField(inst, "Description")}});
            report::writeLine(ctx, "       SCSI Device " + number);
            writeRecordLines(ctx, {{"DeviceID", inst.get("DeviceID")}, {"Description", inst.get("Description")}});
        },
        [&] { appendEmptyRecord(ctx, "SCSI"); });
}

}  // namespace qv::inventory
