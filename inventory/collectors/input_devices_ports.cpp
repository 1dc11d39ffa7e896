// Collectors of pointing devices, keyboards, port connectors, serial and parallel ports, USB and SCSI controllers.
#include "classes/declarations.h"
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

// A device collector that copies its table's columns and shows its declared report lines.
void copyAndShow(TargetContext& ctx, const char* heading, const classes::ClassDecl& c, const char* table) {
    runCollector(
        ctx, {heading, false, c.name},
        [&](const Instance& inst) {
            appendRecord(ctx, table, inst);
            writeRecordLines(ctx, table, inst);
        },
        [&] { appendEmptyRecord(ctx, table); });
}

}  // namespace

const TypeTable kDeviceInterfaceTable{kDeviceInterfaceCodes, ": Not Listed"};
const TypeTable kPointingTypeTable{kPointingTypeCodes, ": Not Listed"};
const TypeTable kPortTypeTable{kPortTypeCodes, ": Unlisted"};

void collectPointingDevices(TargetContext& ctx) {
    runCollector(
        ctx, {"**Pointing Device**", false, classes::Win32_PointingDevice.name},
        [&](const Instance& inst) {
            const Value interfaceText = decodedProperty(inst, "DeviceInterface", kDeviceInterfaceTable);
            const Value pointingText = decodedProperty(inst, "PointingType", kPointingTypeTable);
            appendRecord(ctx, "PointDevice", inst,
                         {{"Interface", fieldText(interfaceText)}, {"PointerType", fieldText(pointingText)}});
            writeRecordLines(ctx, "PointDevice", inst, {interfaceText, pointingText});
        },
        [&] { appendEmptyRecord(ctx, "PointDevice"); });
}

void collectKeyboards(TargetContext& ctx) {
    runCollector(
        ctx, {"**Keyboard**", false, classes::Win32_Keyboard.name},
        [&](const Instance& inst) {
            const database::Fields row = recordFields(inst, "Keyboard");
            // The keyboard's row follows its report lines.
            writeRecordLines(ctx, "Keyboard", inst);
            appendRecord(ctx, "Keyboard", row);
        },
        [&] { appendEmptyRecord(ctx, "Keyboard"); });
}

void collectPortConnectors(TargetContext& ctx) {
    runCollector(
        ctx, {"**Port Connections**", false, classes::Win32_PortConnector.name},
        [&](const Instance& inst) {
            // Only a connector that reports its port type is listed.
            const Value& portType = inst.get("PortType");
            if (!portType.readable() || portType.isNull()) return;
            const std::string portText = decodeType(portType, kPortTypeTable);
            appendRecord(ctx, "PortCon", inst, {{"PortType", portText}});
            writeRecordLines(ctx, "PortCon", inst, {Value::of(portText)});
        },
        [&] { appendEmptyRecord(ctx, "PortCon"); });
}

// Serial and parallel ports keep a Null property as Null in their rows.
void collectSerialPorts(TargetContext& ctx) { copyAndShow(ctx, "**Serial Ports**", classes::Win32_SerialPort, "SerialPorts"); }

void collectParallelPorts(TargetContext& ctx) {
    copyAndShow(ctx, "**Parallel Ports**", classes::Win32_ParallelPort, "ParallelPorts");
}

void collectUsbControllers(TargetContext& ctx) {
    SequenceCounter counter;
    runCollector(
        ctx, {"**USB**", false, classes::Win32_USBController.name},
        [&](const Instance& inst) {
            const std::string number = counter.text();
            counter.next();
            appendRecord(ctx, "USB", inst, {{"Reference", "USB" + number}});
            report::writeLine(ctx, "               USB " + number);
            writeRecordLines(ctx, "USB", inst);
        },
        [&] { appendEmptyRecord(ctx, "USB"); });
}

void collectScsiControllers(TargetContext& ctx) {
    SequenceCounter counter;
    runCollector(
        ctx, {"**SCSI Devices**", false, classes::Win32_SCSIController.name},
        [&](const Instance& inst) {
            const std::string number = counter.text();
            counter.next();
            appendRecord(ctx, "SCSI", inst, {{"Reference", "SCSIDevice" + number}});
            report::writeLine(ctx, "       SCSI Device " + number);
            writeRecordLines(ctx, "SCSI", inst);
        },
        [&] { appendEmptyRecord(ctx, "SCSI"); });
}

}  // namespace qv::inventory
