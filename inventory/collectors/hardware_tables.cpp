// Decode tables and value forms of the environment, drive, firmware, processor and memory collectors.
#include "inventory/collectors/hardware_tables.h"

#include <cfloat>
#include <cmath>

#include "database/schema.h"
#include "inventory/values.h"

namespace qv::inventory {

namespace {

const CodeText kDriveTypeCodes[] = {
    {1, ": No Root Directory"}, {2, ": Removable Disk"}, {3, ": Local Disk"},
    {4, ": Network Drive"},     {5, ": Compact Disc"},   {6, ": RAM Disk"},
};

// Code 2 has no blank between "-" and "512"; the text is kept as the system has always written it.
const CodeText kMediaTypeCodes[] = {
    {0, ": Format is unknown"},
    {1, ": 5 1/4-Inch Floppy Disk - 1.2Mb - 512 bytes/sector"},
    {2, ": 3 1/2-Inch Floppy Disk - 1.44Mb -512 bytes/sector"},
    {3, ": 3 1/2-Inch Floppy Disk - 2.88Mb - 512 bytes/sector"},
    {4, ": 3 1/2-Inch Floppy Disk - 20.8Mb - 512 bytes/sector"},
    {5, ": 3 1/2-Inch Floppy Disk - 720Kb - 512 bytes/sector"},
    {6, ": 5 1/4-Inch Floppy Disk - 360Kb - 512 bytes/sector"},
    {7, ": 5 1/4-Inch Floppy Disk - 320Kb - 512 bytes/sector"},
    {8, ": 5 1/4-Inch Floppy Disk - 320Kb - 1024 bytes/sector"},
    {9, ": 5 1/4-Inch Floppy Disk - 180Kb - 512 bytes/sector"},
    {10, ": 5 1/4-Inch Floppy Disk - 160Kb - 512 bytes/sector"},
    {11, ": Removable media other than floppy"},
    {12, ": Fixed hard disk media"},
    {13, ": 3 1/2-Inch Floppy Disk - 120Mb - 512 bytes/sector"},
    {14, ": 3 1/2-Inch Floppy Disk - 640Kb - 512 bytes/sector"},
    {15, ": 5 1/4-Inch Floppy Disk - 640Kb - 512 bytes/sector"},
    {16, ": 5 1/4-Inch Floppy Disk - 720Kb - 512 bytes/sector"},
    {17, ": 3 1/2-Inch Floppy Disk - 1.2Mb - 512 bytes/sector"},
    {18, ": 3 1/2-Inch Floppy Disk - 1.23Mb - 1024 bytes/sector"},
    {19, ": 5 1/4-Inch Floppy Disk - 1.23Mb - 1024 bytes/sector"},
    {20, ": 3 1/2-Inch Floppy Disk - 128Mb - 512 bytes/sector"},
    {21, ": 3 1/2-Inch Floppy Disk - 230Mb - 512 bytes/sector"},
    {22, ": 8-Inch Floppy Disk - 256Kb - 128 bytes/sector"},
};

const CodeText kFamilyCodes[] = {
    {1, "Other"}, {2, "Unknown"}, {3, "8086"},
    {4, "80286"}, {5, "80386"}, {6, "80486"},
    {7, "8087"}, {8, "80287"}, {9, "80387"},
    {10, "80487"}, {11, "Pentium brand"}, {12, "Pentium Pro"},
    {13, "Pentium II"}, {14, "Pentium processor with MMX technology"}, {15, "Celeron"},
    {16, "Pentium II Xeon"}, {17, "Pentium III"}, {18, "M1 Family"},
    {19, "M2 Family"}, {24, "K5 Family"}, {25, "K6 Family"},
    {26, "K6-2"}, {27, "K6-3"}, {28, "AMD Athlon Processor Family"},
    {29, "AMD\u00AE Duron Processor"}, {30, "AMD2900 Family"}, {31, "K6-2+"},
    {32, "Power PC Family"}, {33, "Power PC 601"}, {34, "Power PC 603"},
    {35, "Power PC 603+"}, {36, "Power PC 604"}, {37, "Power PC 620"},
    {38, "Power PC X704"}, {39, "Power PC 750"}, {48, "Alpha Family"},
    {49, "Alpha 21064"}, {50, "Alpha 21066"}, {51, "Alpha 21164"},
    {52, "Alpha 21164PC"}, {53, "Alpha 21164a"}, {54, "Alpha 21264"},
    {55, "Alpha 21364"}, {64, "MIPS Family"}, {65, "MIPS R4000"},
    {66, "MIPS R4200"}, {67, "MIPS R4400"}, {68, "MIPS R4600"},
    {69, "MIPS R10000"}, {80, "SPARC Family"}, {81, "SuperSPARC"},
    {82, "microSPARC II"}, {83, "microSPARC IIep"}, {84, "UltraSPARC"},
    {85, "UltraSPARC II"}, {86, "UltraSPARC IIi"}, {87, "UltraSPARC III"},
    {88, "UltraSPARC IIIi"}, {96, "68040"}, {97, "68xxx Family"},
    {98, "68000"}, {99, "68010"}, {100, "68020"},
    {101, "68030"}, {112, "Hobbit Family"}, {120, "Crusoe TM5000 Family"},
    {121, "Crusoe TM3000 Family"}, {128, "Weitek"}, {130, "Itanium Processor"},
    {144, "PA-RISC Family"}, {145, "PA-RISC 8500"}, {146, "PA-RISC 8000"},
    {147, "PA-RISC 7300LC"}, {148, "PA-RISC 7200"}, {149, "PA-RISC 7100LC"},
    {150, "PA-RISC 7100"}, {160, "V30 Family"}, {176, "Pentium III Xeon"},
    {177, "Pentium III Processor with Intel SpeedStep Technology"}, {178, "Pentium 4"}, {179, "Intel Xeon"},
    {180, "AS400 Family"}, {181, "Intel Xeon processor MP"}, {182, "AMD AthlonXP Family"},
    {183, "AMD AthlonMP Family"}, {184, "Intel Itanium 2"}, {185, "AMD Opteron Family"},
    {190, "K7"}, {200, "IBM390 Family"}, {201, "G4"},
    {202, "G5"}, {250, "i860"}, {251, "i960"},
    {260, "SH-3"}, {261, "SH-4"}, {280, "ARM"},
    {281, "StrongARM"}, {300, "6x86"}, {301, "MediaGX"},
    {302, "MII"}, {320, "WinChip"}, {350, "DSP"},
    {500, "Video Processor"},
};

}  // namespace

const TypeTable kDriveTypeTable{kDriveTypeCodes, ": Unknown"};
const TypeTable kMediaTypeTable{kMediaTypeCodes, ": Unknown"};
const CodeTable kProcessorFamilies{kFamilyCodes};

std::string processorFamilyText(const Value& family) {
    const CodeText* code = findCode(kProcessorFamilies, codeOf(family));
    return code ? code->text : "Unlisted (" + plainText(family) + ")";
}

SizeUnit sizeUnitFor(double sizeBytes) {
    if (sizeBytes >= kBytesPerGigabyte) return {kBytesPerGigabyte, 1, "GB"};
    if (sizeBytes > kBytesPerMegabyte) return {kBytesPerMegabyte, 2, "MB"};
    return {kBytesPerKilobyte, 3, "K"};
}

std::string markedTo255(const std::string& text) {
    if (characterCount(text) <= 255) return text;
    return firstCharacters(text, 253) + "**";
}

bool valueAsText(const Value& v, std::string& out) {
    switch (v.kind) {
        case Value::Kind::Text:
        case Value::Kind::Int:
        case Value::Kind::Double:
        case Value::Kind::Bool: out = plainText(v); return true;
        default: out.clear(); return false;
    }
}

bool biosVersionText(const Instance& bios, std::string& out) {
    out.clear();
    const Value& version = bios.get("SMBIOSBIOSVersion");
    const Value& major = bios.get("SMBIOSMajorVersion");
    const Value& minor = bios.get("SMBIOSMinorVersion");
    if (!version.readable() || !major.readable() || !minor.readable()) return false;
    out = firstCharacters(trimBlanks(plainText(version)) + "." + plainText(major) + "." + plainText(minor),
                          database::columnWidth("BIOS", "SMBIOSVersion"));
    return true;
}

double singlePrecision(double bytes) {
    if (!std::isfinite(bytes) || std::fabs(bytes) > FLT_MAX) return 0.0;
    return static_cast<double>(static_cast<float>(bytes));
}

}  // namespace qv::inventory
