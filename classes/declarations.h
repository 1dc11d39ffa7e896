// The management classes the program reads and the inventory tables it fills, each declared once as data.
#pragma once

#include <span>
#include <string_view>

namespace qv::classes {

// The property types of the management service's class definitions.
enum class CimType {
    String, Boolean, Datetime, Reference, Object, Char16,
    Uint8, Sint8, Uint16, Sint16, Uint32, Sint32, Uint64, Sint64,
    Real32, Real64,
};

// One property of a class, as the class's published definition types it.
struct Property {
    const char* name;
    CimType type;
    bool array = false;
};

// A class: its name and the properties the program reads of it, in the order it reads them.
struct ClassDecl {
    const char* name;
    std::span<const Property> properties;
};

// The column types, numbered as the data-access catalog numbers them.
enum class ColumnType { VarWChar = 202, Integer = 3, Single = 4, Double = 5, Date = 7, Boolean = 11 };

// A column: its type and width, and the property of the management class (or the registry
// value) its value comes from. `copied` columns hold that property's value in the column's form,
// which the collectors take from the declaration: a text column the plain text with blanks
// trimmed (a list's first element), which the writer cuts to the width; an Integer column the
// number when it fits 32 bits (else 0); a Boolean column the value read as a Boolean. The others
// are made by the collector from the property (a decode, a number, a date, a marked text) or,
// without a property, alone (a counter, a count, a constant).
struct Column {
    const char* name;
    ColumnType type;
    int size;                        // characters, for VarWChar only; 0 otherwise
    const char* property = nullptr;  // null for the key columns and the collector's own values
    bool copied = false;
    const char* label = nullptr;     // the name people read for the column; null: its own name
};

// One line of a record in the computer's report: its label, the property it shows as returned
// (null: a value the collector computes, handed over in the order of such lines) and the text
// after the value. A line whose value cannot be read is left out.
struct ReportLine {
    const char* label;
    const char* property = nullptr;
    const char* suffix = "";
};

// A table: its parent (the table the foreign key, name + "FKey", refers to; null for DeviceID),
// its own primary key (or null), the classes its rows come from (none for the registry's
// tables), its category columns (after the three key columns) and, where the report shows a
// record as lines of labels, those lines in their order. `keepsNull`: a copied text keeps a Null
// as Null, where other tables store the empty text.
struct TableDecl {
    const char* name;
    const char* parent;
    const char* primaryKey;
    std::span<const ClassDecl* const> classes;
    std::span<const Column> columns;
    std::span<const ReportLine> report = {};
    bool keepsNull = false;
};

// The classes, by the names C++ can spell: classes::Win32_BIOS.name is "Win32_BIOS".
extern const ClassDecl Win32_ComputerSystem;
extern const ClassDecl Win32_ComputerSystemProduct;
extern const ClassDecl Win32_OperatingSystem;
extern const ClassDecl Win32_BaseService;
extern const ClassDecl Win32_Environment;
extern const ClassDecl Win32_LogicalDisk;
extern const ClassDecl Win32_BIOS;
extern const ClassDecl Win32_Processor;
extern const ClassDecl Win32_PhysicalMemory;
extern const ClassDecl Win32_SystemEnclosure;
extern const ClassDecl Win32_BaseBoard;
extern const ClassDecl Win32_DiskDrive;
extern const ClassDecl Win32_CDROMDrive;
extern const ClassDecl Win32_TapeDrive;
extern const ClassDecl Win32_PointingDevice;
extern const ClassDecl Win32_Keyboard;
extern const ClassDecl Win32_PortConnector;
extern const ClassDecl Win32_SerialPort;
extern const ClassDecl Win32_ParallelPort;
extern const ClassDecl Win32_USBController;
extern const ClassDecl Win32_SCSIController;
extern const ClassDecl Win32_POTSModem;
extern const ClassDecl Win32_SoundDevice;
extern const ClassDecl Win32_DesktopMonitor;
extern const ClassDecl Win32_VideoController;
extern const ClassDecl Win32_NetworkAdapter;
extern const ClassDecl Win32_NetworkAdapterConfiguration;
extern const ClassDecl Win32_NetworkClient;
extern const ClassDecl Win32_NetworkProtocol;
extern const ClassDecl Win32_Share;
extern const ClassDecl Win32_Printer;

// Every class, in the order the collectors first read them.
std::span<const ClassDecl* const> classList();
// The class of that name, ignoring case; null for one not declared.
const ClassDecl* findClass(std::string_view name);
// The property of that name in the class, ignoring case; null for one not declared.
const Property* findProperty(const ClassDecl& c, std::string_view name);

// Every table in creation order: DeviceID, SoftwareKey, HardwareKey, then the category tables.
std::span<const TableDecl> tableList();
// The table of that name (exact match), or null.
const TableDecl* findTable(std::string_view name);

}  // namespace qv::classes
