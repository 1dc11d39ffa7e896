// Decode tables and sequence numbers of the device collectors.
#include <gtest/gtest.h>

#include "inventory/collectors/device_records.h"

using qv::Value;
using namespace qv::inventory;

TEST(DeviceDecode, CodesTextsAndFallbacks) {
    struct Case {
        const TypeTable* table;
        Value value;
        const char* text;
    } cases[] = {
        {&kDeviceInterfaceTable, Value::of(4), "Type 4: PS/2"},
        {&kDeviceInterfaceTable, Value::of(9), "Type 9: Not Listed"},
        {&kDeviceInterfaceTable, Value::of(8), "Type 8: ADB (Apple Desktop Bus)"},
        {&kDeviceInterfaceTable, Value::of(162), "Type 162: USB"},
        {&kDeviceInterfaceTable, Value::of(0), "Type 0: Not Listed"},
        {&kPointingTypeTable, Value::of(2), "Type 2: Unknown"},
        {&kPointingTypeTable, Value::of(9), "Type 9: Mouse - Optical Sensor"},
        {&kPointingTypeTable, Value::of(10), "Type 10: Not Listed"},
        {&kPortTypeTable, Value::of(2), "Type 2: Parallel Port PS/2"},
        {&kPortTypeTable, Value::of(0), "Type 0: None"},
        {&kPortTypeTable, Value::of(17), "Type 17: FireWire (IEEE P1394)"},
        {&kPortTypeTable, Value::of(31), "Type 31: 8251 FIFO Compatible"},
        {&kPortTypeTable, Value::of(32), "Type 32: Unlisted"},
        {&kPortTypeTable, Value::of(160), "Type 160: Unlisted"},
        {&kPortTypeTable, Value::of(-1), "Type -1: Unlisted"},
        {&kVideoArchitectureTable, Value::of(5), "Type 5: VGA"},
        {&kVideoArchitectureTable, Value::of(12), "Type 12: Linear Frame Buffer"},
        {&kVideoArchitectureTable, Value::of(160), "Type 160: PC-98"},
        {&kVideoArchitectureTable, Value::of(13), "Type 13: Not Listed"},
        // Whole numbers of any kind match, decimal texts too; other texts, Booleans and Null never do.
        {&kDeviceInterfaceTable, Value::of(4.0), "Type 4: PS/2"},
        {&kDeviceInterfaceTable, Value::of(4.5), "Type 4.5: Not Listed"},
        {&kDeviceInterfaceTable, Value::of("4"), "Type 4: PS/2"},
        {&kDeviceInterfaceTable, Value::of(" 162 "), "Type  162 : USB"},
        {&kDeviceInterfaceTable, Value::of("4.0"), "Type 4.0: Not Listed"},
        {&kDeviceInterfaceTable, Value::of("-"), "Type -: Not Listed"},
        {&kPortTypeTable, Value::of("-0"), "Type -0: None"},
        {&kPortTypeTable, Value::of("-"), "Type -: Unlisted"},
        {&kPortTypeTable, Value::of(""), "Type : Unlisted"},
        {&kDeviceInterfaceTable, Value::of(true), "Type True: Not Listed"},
        {&kDeviceInterfaceTable, Value::null(), "Type : Not Listed"},
    };
    for (const Case& c : cases) EXPECT_EQ(decodeType(c.value, *c.table), c.text);
}

TEST(DeviceDecode, TablesAreComplete) {
    EXPECT_EQ(kDeviceInterfaceTable.codes.size(), 11u);
    EXPECT_EQ(kPointingTypeTable.codes.size(), 9u);
    EXPECT_EQ(kVideoArchitectureTable.codes.size(), 13u);
    // The port types are the codes 0 to 31 without gaps.
    ASSERT_EQ(kPortTypeTable.codes.size(), 32u);
    for (std::int64_t code = 0; code < 32; ++code) EXPECT_EQ(kPortTypeTable.codes[code].code, code);
}

TEST(DeviceValues, SequenceCounterStopsAtItsLargestValue) {
    SequenceCounter c;
    EXPECT_EQ(c.text(), "1");
    c.next();
    EXPECT_EQ(c.text(), "2");
    for (int i = 0; i < 40000; ++i) c.next();
    EXPECT_EQ(c.text(), "32767");
}
