// The WMI back-end under Wine: connections and their failures, instances and their value kinds,
// the registry provider, share management, VARIANT conversion and the error texts.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>

#include "platform/win32/management-win32.h"
#include "platform/win32/variant-win32.h"
#include "platform/win32/wbem-errors-win32.h"

using namespace qv;

namespace {

std::string localName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

class WmiTest : public ::testing::Test {
protected:
    std::unique_ptr<TargetService> connectLocal(const std::string& space = "root\\cimv2") {
        PlatformError err;
        auto t = wmi.connect(localName(), space, err);
        EXPECT_TRUE(t) << err.number << " " << err.description;
        return t;
    }
    win32::WmiManagement wmi;
};

constexpr std::int32_t kTransportFailure = -2147217387;  // 0x80041015

}  // namespace

TEST_F(WmiTest, LocalComputerConnectsByNameAndLocalhostOthersFailWithNumberAndText) {
    for (const std::string& name : {localName(), std::string("localhost"), std::string("LOCALHOST")}) {
        PlatformError err;
        EXPECT_TRUE(wmi.connect(name, "root\\cimv2", err)) << name << ": " << err.number << " " << err.description;
    }
    PlatformError err;
    EXPECT_FALSE(wmi.connect("NOSUCHPC", "root\\cimv2", err));
    EXPECT_EQ(err.number, kTransportFailure);
    EXPECT_EQ(err.description, "Transport failure ");

    // Names that cannot be names never reach the service.
    for (const char* bad : {".", "..", "", "a\\b", "PC:1", "x*", "a/b"}) {
        PlatformError refused;
        EXPECT_FALSE(wmi.connect(bad, "root\\cimv2", refused)) << bad;
        EXPECT_EQ(refused.number, kErrInvalidComputerName) << bad;
        EXPECT_EQ(refused.description, kErrInvalidComputerNameText) << bad;
    }
}

TEST_F(WmiTest, InstancesCarryTextIntegerBooleanAndNullValues) {
    auto t = connectLocal();
    ASSERT_TRUE(t);
    Instances systems;
    PlatformError err;
    ASSERT_TRUE(t->execQuery("Select * from Win32_ComputerSystem", systems, err)) << err.description;
    ASSERT_EQ(systems.size(), 1u);
    const Instance& cs = systems[0];
    EXPECT_EQ(cs.get("Name").kind, Value::Kind::Text);
    EXPECT_EQ(cs.get("name").text, localName());  // names are looked up ignoring case
    EXPECT_EQ(cs.get("DomainRole").kind, Value::Kind::Int);
    // 64-bit numbers arrive as decimal texts.
    const Value& ram = cs.get("TotalPhysicalMemory");
    ASSERT_EQ(ram.kind, Value::Kind::Text);
    EXPECT_GT(std::stoll(ram.text), 0);
    EXPECT_GE(cs.get("NumberOfProcessors").integer, 1);
    // A property the provider does not give cannot be read; it is not Null.
    EXPECT_EQ(cs.get("NoSuchProperty").kind, Value::Kind::Unreadable);
    for (const auto& [name, value] : cs.properties) EXPECT_NE(name.rfind("__", 0), 0u) << name;

    Instances bios;
    ASSERT_TRUE(t->instancesOf("Win32_BIOS", bios, err));
    ASSERT_EQ(bios.size(), 1u);
    EXPECT_EQ(bios[0].get("Manufacturer").kind, Value::Kind::Text);
    EXPECT_EQ(bios[0].get("ReleaseDate").text.size(), 25u);  // the service's date-time text
    EXPECT_EQ(bios[0].get("SMBIOSMajorVersion").kind, Value::Kind::Int);

    Instances os;
    ASSERT_TRUE(t->instancesOf("Win32_OperatingSystem", os, err));
    ASSERT_EQ(os.size(), 1u);
    EXPECT_EQ(os[0].get("Primary").kind, Value::Kind::Bool);
    EXPECT_TRUE(os[0].get("Primary").boolean);

    Instances processors;
    ASSERT_TRUE(t->instancesOf("Win32_Processor", processors, err));
    ASSERT_FALSE(processors.empty());
    EXPECT_EQ(processors[0].get("UniqueId").kind, Value::Kind::Null);
}

TEST_F(WmiTest, ListsAndSixteenBitElementsComeWhole) {
    auto t = connectLocal();
    ASSERT_TRUE(t);
    PlatformError err;
    Instances enclosures;
    ASSERT_TRUE(t->instancesOf("Win32_SystemEnclosure", enclosures, err));
    ASSERT_EQ(enclosures.size(), 1u);
    const Value& types = enclosures[0].get("ChassisTypes");
    ASSERT_EQ(types.kind, Value::Kind::List);
    ASSERT_FALSE(types.list.empty());
    for (const Value& item : types.list) {
        EXPECT_EQ(item.kind, Value::Kind::Int);
        EXPECT_GE(item.integer, 1);
        EXPECT_LE(item.integer, 0xFFFF);
    }
    Instances configs;
    ASSERT_TRUE(t->execQuery("Select * from Win32_NetworkAdapterConfiguration Where IPEnabled = True", configs, err));
    bool sawAddressList = false;
    for (const Instance& c : configs) {
        const Value& dns = c.get("DNSServerSearchOrder");
        EXPECT_TRUE(dns.kind == Value::Kind::List || dns.kind == Value::Kind::Null);
        const Value& addresses = c.get("IPAddress");
        if (addresses.kind != Value::Kind::List) continue;
        sawAddressList = true;
        for (const Value& a : addresses.list) EXPECT_EQ(a.kind, Value::Kind::Text);
    }
    EXPECT_TRUE(sawAddressList);
}

TEST_F(WmiTest, CountsAgreeWithInstancesAndMissingClassesGiveNoRows) {
    auto t = connectLocal();
    ASSERT_TRUE(t);
    for (const char* cls : {"Win32_LogicalDisk", "Win32_Service", "Win32_NetworkAdapter", "Win32_Printer"}) {
        std::int64_t count = -1;
        Instances all;
        PlatformError err;
        ASSERT_TRUE(t->countInstances(cls, count, err)) << cls << err.description;
        ASSERT_TRUE(t->instancesOf(cls, all, err)) << cls;
        EXPECT_EQ(count, static_cast<std::int64_t>(all.size())) << cls;
    }
    std::int64_t services = 0;
    PlatformError err;
    ASSERT_TRUE(t->countInstances("Win32_Service", services, err));
    EXPECT_GT(services, 0);

    // A class the service lacks: no rows, whether it says so or not.
    Instances none;
    none.push_back(Instance{});
    if (!t->execQuery("Select * from Win32_BaseService WHERE Name='WINS'", none, err)) {
        EXPECT_NE(err.number, 0);
    }
    EXPECT_TRUE(none.empty());
    std::int64_t count = -1;
    if (t->countInstances("Win32_NoSuchClass", count, err)) {
        EXPECT_EQ(count, 0);
    }

    // A query the service cannot parse fails with a number and a text.
    PlatformError bad;
    EXPECT_FALSE(t->execQuery("Select from", none, bad));
    EXPECT_NE(bad.number, 0);
    EXPECT_FALSE(bad.description.empty());
}

TEST_F(WmiTest, RegistryProviderReadsKeysValuesAndTexts) {
    const char* key = "Software\\QvWmiTest\\Entry";
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), ERROR_SUCCESS);
    const char name[] = "Tool";
    const char version[] = "1.0";
    DWORD number = 7;
    RegSetValueExA(h, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name);
    RegSetValueExA(h, "DisplayVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), sizeof version);
    RegSetValueExA(h, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegSetValueExA(h, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), sizeof version);
    RegCloseKey(h);
    HKEY empty = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\QvWmiTest\\Empty", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &empty, nullptr);
    RegCloseKey(empty);

    for (const char* space : {"root\\default:StdRegProv", "root\\Default:StdRegProv"}) {
        auto reg = connectLocal(space);
        ASSERT_TRUE(reg) << space;
        std::vector<std::string> names;
        ASSERT_TRUE(reg->enumKey(kHiveLocalMachine, "Software\\QvWmiTest", names));
        EXPECT_EQ(names, (std::vector<std::string>{"Empty", "Entry"}));
        // A key with nothing under it is an empty list, not a failure.
        EXPECT_TRUE(reg->enumKey(kHiveLocalMachine, "Software\\QvWmiTest\\Empty", names));
        EXPECT_TRUE(names.empty());
        EXPECT_FALSE(reg->enumKey(kHiveLocalMachine, "Software\\QvWmiTest\\Missing", names));

        std::vector<std::int32_t> types;
        ASSERT_TRUE(reg->enumValues(kHiveLocalMachine, key, names, types));
        ASSERT_EQ(names.size(), types.size());
        std::map<std::string, std::int32_t> byName;
        for (std::size_t i = 0; i < names.size(); ++i) byName[names[i]] = types[i];
        EXPECT_EQ(byName["DisplayName"], REG_SZ);
        EXPECT_EQ(byName["Count"], REG_DWORD);

        std::string text;
        ASSERT_TRUE(reg->getStringValue(kHiveLocalMachine, key, "DisplayName", text));
        EXPECT_EQ(text, "Tool");
        ASSERT_TRUE(reg->getStringValue(kHiveLocalMachine, key, "", text));  // the default value
        EXPECT_EQ(text, "1.0");
        EXPECT_FALSE(reg->getStringValue(kHiveLocalMachine, key, "Missing", text));
    }
    // The provider's class sits in root\cimv2 too; the classes-root hive has subkeys.
    auto cimv2 = connectLocal();
    ASSERT_TRUE(cimv2);
    std::vector<std::string> roots;
    ASSERT_TRUE(cimv2->enumKey(kHiveClassesRoot, "", roots));
    EXPECT_FALSE(roots.empty());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\QvWmiTest\\Entry");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\QvWmiTest\\Empty");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\QvWmiTest");
}

TEST_F(WmiTest, RegistryProviderInAMissingNamespaceFailsToConnect) {
    PlatformError err;
    EXPECT_FALSE(wmi.connect(localName(), "root\\nosuchspace:StdRegProv", err));
    EXPECT_NE(err.number, 0);
    EXPECT_FALSE(err.description.empty());
    EXPECT_FALSE(wmi.connect(localName(), "root\\default:NoSuchProvider", err));
    EXPECT_NE(err.number, 0);
}

TEST_F(WmiTest, ShareManagementWithoutTheShareClassRefusesWithoutCrashing) {
    auto t = connectLocal();
    ASSERT_TRUE(t);
    EXPECT_NE(t->createShare("C:\\", "CInv", 0, "Temp Public Share"), 0);
    Instance share;
    share.set("Name", Value::of("CInv"));
    EXPECT_FALSE(t->deleteShare(share));
    EXPECT_FALSE(t->deleteShare(Instance{}));
}

TEST(Win32Variant, ValuesFollowTheVariantTypeAndTheDeclaredWidth) {
    win32::Variant text;
    text.v.vt = VT_BSTR;
    text.v.bstrVal = SysAllocString(L"K\x00F6ln");
    EXPECT_EQ(win32::valueOfVariant(text.v, CIM_STRING).text, "K\xC3\xB6ln");

    win32::Variant number;
    number.v.vt = VT_I4;
    number.v.lVal = -1;
    EXPECT_EQ(win32::valueOfVariant(number.v, CIM_SINT32).integer, -1);
    EXPECT_EQ(win32::valueOfVariant(number.v, CIM_UINT32).integer, 4294967295LL);
    EXPECT_EQ(win32::valueOfVariant(number.v, 0).integer, -1);

    win32::Variant flag;
    flag.v.vt = VT_BOOL;
    flag.v.boolVal = VARIANT_TRUE;
    EXPECT_EQ(win32::valueOfVariant(flag.v, CIM_BOOLEAN).kind, Value::Kind::Bool);
    EXPECT_TRUE(win32::valueOfVariant(flag.v, CIM_BOOLEAN).boolean);

    win32::Variant real;
    real.v.vt = VT_R8;
    real.v.dblVal = 2.5;
    EXPECT_DOUBLE_EQ(win32::valueOfVariant(real.v, CIM_REAL64).real, 2.5);

    win32::Variant null;
    null.v.vt = VT_NULL;
    EXPECT_EQ(win32::valueOfVariant(null.v, CIM_STRING).kind, Value::Kind::Null);
    win32::Variant empty;
    EXPECT_EQ(win32::valueOfVariant(empty.v, CIM_STRING).kind, Value::Kind::Null);

    // 16-bit elements delivered in 32-bit slots with garbage above: cut to their width.
    win32::Variant list;
    list.v.vt = VT_ARRAY | VT_I4;
    list.v.parray = SafeArrayCreateVector(VT_I4, 0, 2);
    LONG values[] = {0x7A3B0003, 0x00000011};
    for (LONG i = 0; i < 2; ++i) SafeArrayPutElement(list.v.parray, &i, &values[i]);
    Value masked = win32::valueOfVariant(list.v, CIM_UINT16 | CIM_FLAG_ARRAY);
    ASSERT_EQ(masked.kind, Value::Kind::List);
    ASSERT_EQ(masked.list.size(), 2u);
    EXPECT_EQ(masked.list[0].integer, 3);
    EXPECT_EQ(masked.list[1].integer, 17);

    win32::Variant texts;
    texts.v.vt = VT_ARRAY | VT_BSTR;
    texts.v.parray = SafeArrayCreateVector(VT_BSTR, 0, 2);
    const wchar_t* words[] = {L"fd00::2", L"192.0.2.2"};
    for (LONG i = 0; i < 2; ++i) {
        BSTR b = SysAllocString(words[i]);
        SafeArrayPutElement(texts.v.parray, &i, b);
        SysFreeString(b);
    }
    Value addresses = win32::valueOfVariant(texts.v, CIM_STRING | CIM_FLAG_ARRAY);
    ASSERT_EQ(addresses.list.size(), 2u);
    EXPECT_EQ(addresses.list[1].text, "192.0.2.2");
}

TEST(Win32ErrorTexts, ServiceNumbersFromTheTableOthersFromTheSystem) {
    EXPECT_EQ(win32::errorDescription(static_cast<std::int32_t>(0x80041010)), "Invalid class ");
    EXPECT_EQ(win32::errorDescription(static_cast<std::int32_t>(0x80041002)), "Not found ");
    EXPECT_EQ(win32::errorDescription(static_cast<std::int32_t>(0x8004100E)), "Invalid namespace ");
    // The system's wording differs between Windows and Wine; its line end becomes one blank.
    const std::string rpc = win32::errorDescription(static_cast<std::int32_t>(0x800706BA));
    EXPECT_NE(rpc.find("RPC server"), std::string::npos) << rpc;
    EXPECT_TRUE(rpc.ends_with(". ")) << rpc;
    EXPECT_EQ(rpc.find_first_of("\r\n"), std::string::npos);
    const std::string denied = win32::errorDescription(static_cast<std::int32_t>(0x80070005));
    EXPECT_NE(denied.find("denied"), std::string::npos) << denied;
    EXPECT_TRUE(denied.ends_with(". ")) << denied;
    std::string unknown = win32::errorDescription(static_cast<std::int32_t>(0x8004FFFF));
    EXPECT_FALSE(unknown.empty());
    EXPECT_EQ(unknown.back(), ' ');
}
