// Decode tables and value forms of the environment, drive, firmware, processor and memory collectors.
#include <gtest/gtest.h>

#include "inventory/collectors/hardware_tables.h"

using namespace qv;
using namespace qv::inventory;

TEST(HardwareTables, DriveAndMediaTypes) {
    EXPECT_EQ(decodeType(Value::of(3), kDriveTypeTable), "Type 3: Local Disk");
    EXPECT_EQ(decodeType(Value::of(0), kDriveTypeTable), "Type 0: Unknown");
    EXPECT_EQ(decodeType(Value::of(7), kDriveTypeTable), "Type 7: Unknown");
    EXPECT_EQ(decodeType(Value::null(), kDriveTypeTable), "Type : Unknown");
    EXPECT_EQ(decodeType(Value::of(2), kMediaTypeTable), "Type 2: 3 1/2-Inch Floppy Disk - 1.44Mb -512 bytes/sector");
    EXPECT_EQ(decodeType(Value::of(0), kMediaTypeTable), "Type 0: Format is unknown");
    EXPECT_EQ(decodeType(Value::of(22), kMediaTypeTable), "Type 22: 8-Inch Floppy Disk - 256Kb - 128 bytes/sector");
    EXPECT_EQ(decodeType(Value::of(99), kMediaTypeTable), "Type 99: Unknown");
    EXPECT_EQ(decodeType(Value::of(-1), kMediaTypeTable), "Type -1: Unknown");
}

TEST(HardwareTables, ProcessorFamilies) {
    ASSERT_EQ(kProcessorFamilies.size(), 103u);
    std::int64_t previous = 0;
    for (const CodeText& c : kProcessorFamilies) {
        EXPECT_GT(c.code, previous) << "codes ascend, each once";
        previous = c.code;
    }
    EXPECT_EQ(processorFamilyText(Value::of(15)), "Celeron");
    EXPECT_EQ(processorFamilyText(Value::of(29)), "AMD\xC2\xAE Duron Processor");
    EXPECT_EQ(processorFamilyText(Value::of(1)), "Other");
    EXPECT_EQ(processorFamilyText(Value::of(177)), "Pentium III Processor with Intel SpeedStep Technology");
    EXPECT_EQ(processorFamilyText(Value::of(500)), "Video Processor");
    EXPECT_EQ(processorFamilyText(Value::of(15.0)), "Celeron");
    EXPECT_EQ(processorFamilyText(Value::of(191)), "Unlisted (191)");
    EXPECT_EQ(processorFamilyText(Value::of(0)), "Unlisted (0)");
    EXPECT_EQ(processorFamilyText(Value::of("15")), "Celeron");
    EXPECT_EQ(processorFamilyText(Value::of("fifteen")), "Unlisted (fifteen)");
    EXPECT_EQ(processorFamilyText(Value::null()), "Unlisted ()");
}

TEST(HardwareTables, SizeUnitThresholds) {
    struct Case {
        double bytes;
        const char* unit;
        int decimals;
    } cases[] = {
        {1073741824.0, "GB", 1}, {80026361856.0, "GB", 1}, {1073741823.0, "MB", 2}, {1048577.0, "MB", 2},
        {1048576.0, "K", 3},     {0.0, "K", 3},            {-5.0, "K", 3},
    };
    for (const Case& c : cases) {
        SizeUnit u = sizeUnitFor(c.bytes);
        EXPECT_STREQ(u.name, c.unit) << c.bytes;
        EXPECT_EQ(u.decimals, c.decimals) << c.bytes;
    }
    Locale en;
    EXPECT_EQ(formatGrouped(en, 1048576.0 / sizeUnitFor(1048576.0).divisor, 3), "1,024.000");
    EXPECT_EQ(formatGrouped(en, 1457664.0 / sizeUnitFor(1457664.0).divisor, 2), "1.39");
    EXPECT_EQ(formatGrouped(en, 80026361856.0 / sizeUnitFor(80026361856.0).divisor, 1), "74.5");
}

TEST(HardwareTables, EnvironmentLengthRule) {
    EXPECT_EQ(markedTo255(std::string(255, 'a')), std::string(255, 'a'));
    EXPECT_EQ(markedTo255(std::string(256, 'a')), std::string(253, 'a') + "**");
    EXPECT_EQ(markedTo255(std::string(400, 'b')).size(), 255u);
    // Characters, not bytes: 300 two-byte characters keep 253 of them.
    std::string wide;
    for (int i = 0; i < 300; ++i) wide += "\xC3\xA9";
    EXPECT_EQ(markedTo255(wide).size(), 253u * 2 + 2);
    EXPECT_EQ(markedTo255(std::string("a\0b", 3)), std::string("a\0b", 3));

    std::string out;
    EXPECT_TRUE(valueAsText(Value::of(42), out));
    EXPECT_EQ(out, "42");
    EXPECT_TRUE(valueAsText(Value::of(""), out));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(valueAsText(Value::null(), out));
    EXPECT_FALSE(valueAsText(Value::unreadable(), out));
    EXPECT_FALSE(valueAsText(Value::ofList({Value::of("x")}), out));
}

TEST(HardwareTables, BiosVersionText) {
    Instance bios;
    bios.set("SMBIOSBIOSVersion", Value::of("  A05 "));
    bios.set("SMBIOSMajorVersion", Value::of(2));
    bios.set("SMBIOSMinorVersion", Value::of(3));
    std::string out;
    ASSERT_TRUE(biosVersionText(bios, out));
    EXPECT_EQ(out, "A05.2.3");
    bios.set("SMBIOSBIOSVersion", Value::of("ASUS P4P800 ACPI BIOS Revision 1019"));
    ASSERT_TRUE(biosVersionText(bios, out));
    EXPECT_EQ(out, "ASUS P4P800 ACPI");
    bios.set("SMBIOSMinorVersion", Value::null());
    bios.set("SMBIOSBIOSVersion", Value::of("1.2"));
    ASSERT_TRUE(biosVersionText(bios, out));
    EXPECT_EQ(out, "1.2.2.");
    Instance partial;
    partial.set("SMBIOSBIOSVersion", Value::of("A05"));
    EXPECT_FALSE(biosVersionText(partial, out));
    EXPECT_EQ(out, "");
}

TEST(HardwareTables, SinglePrecisionBytes) {
    EXPECT_EQ(singlePrecision(1073741824.0), 1073741824.0);
    EXPECT_EQ(singlePrecision(80026361856.0), static_cast<double>(static_cast<float>(80026361856.0)));
    EXPECT_NE(singlePrecision(80026361857.0), 80026361857.0);
    EXPECT_EQ(singlePrecision(1e300), 0.0);
    EXPECT_EQ(singlePrecision(-5.0), -5.0);
}
