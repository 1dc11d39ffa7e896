// The registry reader: hive names, value types, expansion, failures and message boxes.
#include <gtest/gtest.h>

#include "environment/registry_reader.h"
#include "fixture/platform.h"
#include "tests/support/sim_run.h"

using qv::environment::getRegEntry;
using qv::environment::RegEntry;

namespace {

struct Harness {
    std::unique_ptr<qv::fixture::FixturePlatform> fixture;
    std::unique_ptr<qv::Platform> platform;
    explicit Harness(const std::string& json) {
        std::string dir = qvtest::makeTempDir();
        qvtest::writeFile(dir + "/f.json", json);
        std::string error;
        fixture = qv::fixture::FixturePlatform::load(dir + "/f.json", error);
        EXPECT_TRUE(fixture) << error;
        platform = std::make_unique<qv::Platform>(fixture->platform());
    }
    RegEntry read(std::string hive, const std::string& key, const std::string& name, std::int32_t& type) {
        type = 0;
        return getRegEntry(*platform, hive, key, name, type);
    }
};

const char* kRegistry = R"({
  "environment": {"SystemRoot": "C:\\WINDOWS"},
  "registry": {
    "HKLM\\Software\\Test": {
      "Text": {"type": 1, "data": "hello"},
      "Expand": {"type": 2, "data": "%SystemRoot%\\system32"},
      "Quoted": {"type": 2, "data": "\"%SystemRoot%\\system32\""},
      "Unknown": {"type": 2, "data": "%NOPE%\\x"},
      "Multi": {"type": 7, "data": ["A", "B"]},
      "Dword": {"type": 4, "data": 1},
      "Negative": {"type": 4, "data": 4294967295},
      "Binary": {"type": 3, "data": "00ff10"},
      "None": {"type": 0, "data": ""},
      "Qword": {"type": 11, "data": "0100000000000000"},
      "Empty": {"type": 1, "data": ""}
    }
  }
})";

}  // namespace

TEST(RegistryReader, ValueTypes) {
    Harness h(kRegistry);
    std::int32_t type = 0;
    EXPECT_EQ(std::get<std::string>(h.read("hklm", "Software\\Test", "Text", type)), "hello");
    EXPECT_EQ(type, 1);
    EXPECT_EQ(std::get<std::string>(h.read("HKEY_LOCAL_MACHINE", "Software\\Test", "Expand", type)), "C:\\WINDOWS\\system32");
    EXPECT_EQ(type, 2);
    EXPECT_EQ(std::get<std::string>(h.read("HKLM", "Software\\Test", "Quoted", type)), "C:\\WINDOWS\\system32");
    EXPECT_EQ(std::get<std::string>(h.read("HKLM", "Software\\Test", "Unknown", type)), "%NOPE%\\x");
    EXPECT_EQ(std::get<std::string>(h.read("HKLM", "Software\\Test", "Multi", type)), std::string("A\0B", 3));
    EXPECT_EQ(type, 7);
    EXPECT_EQ(std::get<std::int32_t>(h.read("HKLM", "Software\\Test", "Dword", type)), 1);
    EXPECT_EQ(std::get<std::int32_t>(h.read("HKLM", "Software\\Test", "Negative", type)), -1);
    EXPECT_EQ(std::get<std::vector<unsigned char>>(h.read("HKLM", "Software\\Test", "Binary", type)),
              (std::vector<unsigned char>{0x00, 0xff, 0x10}));
    EXPECT_EQ(type, 3);
    EXPECT_TRUE(std::get<std::vector<unsigned char>>(h.read("HKLM", "Software\\Test", "None", type)).empty());
    EXPECT_EQ(std::get<std::string>(h.read("HKLM", "Software\\Test", "Empty", type)), "");
    EXPECT_EQ(type, 1);
}

TEST(RegistryReader, FailuresGiveTypeMinusOne) {
    Harness h(kRegistry);
    std::int32_t type = 0;
    std::string hive = "hklm";
    getRegEntry(*h.platform, hive, "Software\\Test", "Text", type);
    EXPECT_EQ(hive, "-2147483646");  // the handle as signed decimal
    EXPECT_TRUE(std::holds_alternative<std::monostate>(h.read("HKLM", "Software\\Missing", "Text", type)));
    EXPECT_EQ(type, -1);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(h.read("HKLM", "Software\\Test", "Missing", type)));
    EXPECT_EQ(type, -1);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(h.read("HKXX", "Software\\Test", "Text", type)));
    EXPECT_EQ(type, -1);
    EXPECT_EQ(std::get<std::string>(h.read("HKLM", "Software\\Test", "Qword", type)), "Unsupported DataType: 11");
    EXPECT_EQ(type, -1);
}
