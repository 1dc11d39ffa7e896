// The WMI back-end under Wine: connections and their failures, instances and their value kinds,
// the classes the collectors read, the registry provider, shares, VARIANTs and error texts.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <wbemcli.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "management/dcom/bounded-call.h"
#include "management/dcom/com.h"
#include "management/dcom/connection.h"
#include "management/dcom/variant.h"
#include "management/dcom/wbem-errors.h"
#include "programs/win32.h"
#include "tests/support/connection_calls.h"

using namespace qv;
using Kind = Value::Kind;
using management::TargetConnection;
namespace dcom = management::dcom;

namespace {

std::string localName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

bool underWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

template <class T>
std::string why(const management::Result<T>& r) {
    return r ? std::string() : std::to_string(r.error().error.number) + " " + r.error().error.description;
}

// This computer's identity, except that one loopback address stands for another computer: the
// probe of it stays on this computer, where nothing listens on the management port under Wine.
class OneLoopbackElsewhere : public win32::Win32Identity {
public:
    static constexpr const char* kElsewhere = "127.0.0.3";
    bool isLocalComputer(const std::string& name) override {
        return name != kElsewhere && Win32Identity::isLocalComputer(name);
    }
};

class WmiTest : public ::testing::Test {
protected:
    std::unique_ptr<TargetConnection> local() {
        auto t = wmi.connect(localName());
        EXPECT_TRUE(t) << why(t);
        return t ? std::move(*t) : nullptr;
    }
    Instance only(TargetConnection& t, const std::string& cls) {
        Instances all;
        PlatformError err;
        EXPECT_TRUE(qv::calls::instancesOf(t, cls, all, err)) << cls;
        EXPECT_EQ(all.size(), 1u) << cls;
        return all.empty() ? Instance{} : all[0];
    }
    programs::Win32Program platform;
    management::Connector& wmi = platform.connector;
};

}  // namespace

TEST_F(WmiTest, ConnectsToTheLocalComputerRefusesOtherNamesWithNumberAndText) {
    // The local computer by any of its names or addresses.
    for (const char* local : {"localhost", "127.0.0.2"}) {
        auto c = wmi.connect(local);
        EXPECT_TRUE(c) << local << " " << why(c);
    }
    EXPECT_TRUE(local());
    // An address where nothing listens on the management port fails at the reachability probe
    // as a computer that is off does. (Only loopback addresses: the probe goes out for real.)
    if (underWine()) {
        OneLoopbackElsewhere identity;
        management::Connector elsewhere{identity, platform.limits, platform.network, platform.localTransport,
                                        platform.remoteTransport};
        platform.limits.probeMs = 300;
        auto c = elsewhere.connect(OneLoopbackElsewhere::kElsewhere);
        ASSERT_FALSE(c);
        EXPECT_EQ(c.error().error.number, management::kErrRpcServerUnavailable);
        EXPECT_EQ(c.error().error.description, management::kErrRpcServerUnavailableText);
    }
    // A namespace that does not exist fails with the service's number and text.
    {
        auto lock = dcom::providerLock();
        auto missing = dcom::bindNamespace("\\\\.\\root\\nosuchspace", "StdRegProv", platform.limits.connectMs);
        ASSERT_FALSE(missing);
        EXPECT_EQ(missing.error().error.description, dcom::errorDescription(missing.error().error.number));
    }
    for (const char* bad : {".", "", "a\\b", "PC:1", "x*"}) {
        auto refused = wmi.connect(bad);
        ASSERT_FALSE(refused) << bad;
        EXPECT_EQ(refused.error().error.number, management::kErrInvalidComputerName) << bad;
        EXPECT_EQ(refused.error().error.description, management::kErrInvalidComputerNameText) << bad;
    }
}

TEST_F(WmiTest, InstancesCarryEveryValueKindAndAbsentPropertiesAreUnreadable) {
    auto t = local();
    ASSERT_TRUE(t);
    Instance cs = only(*t, "Win32_ComputerSystem");
    EXPECT_EQ(cs.get("name").text, localName());
    EXPECT_EQ(cs.get("DomainRole").kind, Kind::Int);
    ASSERT_EQ(cs.get("TotalPhysicalMemory").kind, Kind::Text);  // 64-bit numbers come as texts
    EXPECT_GT(std::stoll(cs.get("TotalPhysicalMemory").text), 0);
    EXPECT_EQ(cs.get("NoSuchProperty").kind, Kind::Unreadable);
    for (const auto& [name, value] : cs.properties) EXPECT_NE(name.rfind("__", 0), 0u) << name;
    EXPECT_EQ(only(*t, "Win32_BIOS").get("ReleaseDate").text.size(), 25u);
    EXPECT_EQ(only(*t, "Win32_OperatingSystem").get("Primary").kind, Kind::Bool);
    EXPECT_EQ(only(*t, "Win32_Processor").get("UniqueId").kind, Kind::Null);
    // 16-bit list elements arrive with garbage in the high word under Wine.
    const Value types = only(*t, "Win32_SystemEnclosure").get("ChassisTypes");
    ASSERT_EQ(types.kind, Kind::List);
    ASSERT_FALSE(types.list.empty());
    for (const Value& item : types.list) EXPECT_TRUE(item.kind == Kind::Int && item.integer >= 1 && item.integer <= 0xFFFF);
    Instances configs;
    PlatformError err;
    ASSERT_TRUE(qv::calls::execQuery(*t, "Select * from Win32_NetworkAdapterConfiguration Where IPEnabled = True", configs, err));
    ASSERT_FALSE(configs.empty());
    EXPECT_TRUE(configs[0].get("DNSServerSearchOrder").kind == Kind::List || configs[0].get("DNSServerSearchOrder").isNull());
    EXPECT_FALSE(qv::calls::execQuery(*t, "Select from", configs, err));
    EXPECT_NE(err.number, 0);
}

// Which classes the collectors read this platform answers: printed as a table; under Wine the
// known answers are checked. Wine gives no class object for a class without instances, so a
// class it lacks (-1) and an empty one (0) look alike there, and a query of either gives no rows,
// as for a class that cannot be read: the program reports it so, rather than guessing its contents.
TEST_F(WmiTest, ClassesTheCollectorsReadCountAsTheirInstances) {
    const std::pair<const char*, int> classes[] = {
        {"Win32_ComputerSystem", 1}, {"Win32_ComputerSystemProduct", 1}, {"Win32_OperatingSystem", 1},
        {"Win32_BaseService", -1},   {"Win32_Service", 1},   {"Win32_Environment", -1},    {"Win32_LogicalDisk", 1},
        {"Win32_BIOS", 1},           {"Win32_Processor", 1}, {"Win32_PhysicalMemory", 1},  {"Win32_SystemEnclosure", 1},
        {"Win32_BaseBoard", 1},      {"Win32_DiskDrive", 1}, {"Win32_CDROMDrive", 0},      {"Win32_TapeDrive", 0},
        {"Win32_PointingDevice", 0}, {"Win32_Keyboard", 0},  {"Win32_PortConnector", 0},   {"Win32_SerialPort", 0},
        {"Win32_ParallelPort", 0},   {"Win32_USBController", 0}, {"Win32_SCSIController", 0}, {"Win32_POTSModem", 0},
        {"Win32_SoundDevice", 1},    {"Win32_DesktopMonitor", 1}, {"Win32_VideoController", 1}, {"Win32_NetworkAdapter", 1},
        {"Win32_Printer", 0},        {"Win32_NetworkAdapterConfiguration", 1}, {"Win32_NetworkClient", 0},
        {"Win32_NetworkProtocol", 0}, {"Win32_Share", -1},   {"Win32_SystemDriver", 0},
    };
    auto t = local();
    ASSERT_TRUE(t);
    IWbemLocator* locator = nullptr;
    IWbemServices* services = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                               reinterpret_cast<void**>(&locator)), S_OK);
    ASSERT_EQ(locator->ConnectServer(dcom::Bstr("root\\cimv2").get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                     &services), S_OK);
    std::cout << "class                              object    instances\n";
    for (const auto& [cls, wine] : classes) {
        IWbemClassObject* object = nullptr;
        const HRESULT hr = services->GetObject(dcom::Bstr(cls).get(), 0, nullptr, &object, nullptr);
        if (object) object->Release();
        std::int64_t count = -1;
        Instances all;
        PlatformError err;
        EXPECT_TRUE(qv::calls::countInstances(*t, cls, count, err) && qv::calls::instancesOf(*t, cls, all, err)) << cls;
        EXPECT_EQ(count, static_cast<std::int64_t>(all.size())) << cls;
        std::printf("%-35s%08lX  %lld\n", cls, static_cast<unsigned long>(hr), static_cast<long long>(count));
        if (!underWine()) continue;
        EXPECT_EQ(SUCCEEDED(hr), wine >= 1) << cls;
        EXPECT_TRUE(wine >= 1 ? count >= 1 : count == 0) << cls;
    }
    std::fflush(stdout);
    // A query of a class the platform lacks gives no rows, with or without a condition.
    Instances none;
    PlatformError err;
    ASSERT_TRUE(qv::calls::execQuery(*t, "Select * from Win32_BaseService WHERE Name='WINS'", none, err));
    EXPECT_TRUE(none.empty());
    services->Release();
    locator->Release();
    // Share management on a platform without Win32_Share is refused, not a crash.
    auto made = t->createShare("C:\\", "CInv", 0, "Temp Public Share");
    EXPECT_FALSE(made && *made == 0);
    Instance share;
    share.set("Name", Value::of("CInv"));
    EXPECT_FALSE(t->deleteShare(share));
}

TEST_F(WmiTest, RegistryProviderReadsKeysValuesAndTexts) {
    const char* key = "Software\\QvWmiTest\\Entry";
    HKEY h = nullptr, empty = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), ERROR_SUCCESS);
    DWORD number = 7;
    RegSetValueExA(h, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>("Tool"), 5);
    RegSetValueExA(h, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegSetValueExA(h, "", 0, REG_SZ, reinterpret_cast<const BYTE*>("1.0"), 4);
    RegCloseKey(h);
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\QvWmiTest\\Empty", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &empty, nullptr);
    RegCloseKey(empty);

    auto reg = local();
    ASSERT_TRUE(reg);
    std::vector<std::string> names;
    ASSERT_TRUE(qv::calls::enumKey(*reg, kHiveLocalMachine, "Software\\QvWmiTest", names));
    EXPECT_EQ(names, (std::vector<std::string>{"Empty", "Entry"}));
    EXPECT_TRUE(qv::calls::enumKey(*reg, kHiveLocalMachine, "Software\\QvWmiTest\\Empty", names));  // nothing under it
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(qv::calls::enumKey(*reg, kHiveLocalMachine, "Software\\QvWmiTest\\Missing", names));
    std::vector<std::int32_t> types;
    ASSERT_TRUE(qv::calls::enumValues(*reg, kHiveLocalMachine, key, names, types));
    ASSERT_EQ(names.size(), 3u);
    ASSERT_EQ(types.size(), 3u);
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(types[i], names[i] == "Count" ? REG_DWORD : REG_SZ) << names[i];
    std::string text;
    EXPECT_TRUE(qv::calls::getStringValue(*reg, kHiveLocalMachine, key, "DisplayName", text) && text == "Tool") << text;
    EXPECT_TRUE(qv::calls::getStringValue(*reg, kHiveLocalMachine, key, "", text) && text == "1.0") << text;
    EXPECT_FALSE(qv::calls::getStringValue(*reg, kHiveLocalMachine, key, "Missing", text));
    // Every connection reads the registry.
    auto cimv2 = local();
    ASSERT_TRUE(cimv2);
    EXPECT_TRUE(qv::calls::enumKey(*cimv2, kHiveClassesRoot, "", names) && !names.empty());
    for (const char* k : {"Software\\QvWmiTest\\Entry", "Software\\QvWmiTest\\Empty", "Software\\QvWmiTest"})
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, k);
}

// The probe hands over the connection it made, and fails where nothing listens (loopback only).
TEST(Win32Network, TheProbeHandsOverTheConnectionItMade) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof at;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&at), &size), 0);
    const unsigned port = ntohs(at.sin_port);
    management::SystemNetwork network;
    {
        std::optional<management::Socket> made = network.probe("127.0.0.1", port, 2000);
        ASSERT_TRUE(made && made->open());
        SOCKET accepted = accept(listener, nullptr, nullptr);
        ASSERT_NE(accepted, INVALID_SOCKET);
        ASSERT_EQ(send(static_cast<SOCKET>(made->handle()), "qv", 2, 0), 2);  // a blocking socket that works
        char got[2] = {};
        EXPECT_EQ(recv(accepted, got, 2, MSG_WAITALL), 2);
        EXPECT_EQ(std::string(got, 2), "qv");
        closesocket(accepted);
    }
    closesocket(listener);
    // The port is closed now: refused at once, within the limit.
    EXPECT_FALSE(network.probe("127.0.0.1", port, 300));
    WSACleanup();
}

// This computer's files are read in place through its connection, not through a share.
TEST_F(WmiTest, TheLocalConnectionReadsFilesInPlace) {
    auto t = local();
    ASSERT_TRUE(t);
    EXPECT_FALSE(t->filesThroughShares());
    char system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
    const std::string kernel = std::string(system) + "\\kernel32.dll";
    auto found = t->fileExists(kernel);
    EXPECT_TRUE(found && *found) << kernel;
    auto facts = t->fileFacts(kernel);
    ASSERT_TRUE(facts);
    EXPECT_EQ(std::count(facts->version.begin(), facts->version.end(), '.'), 3) << facts->version;
    EXPECT_TRUE(facts->created);
    auto missing = t->fileExists(std::string(system) + "\\qv-no-such-file.dll");
    EXPECT_TRUE(missing && !*missing);
    auto none = t->fileFacts(std::string(system) + "\\qv-no-such-file.dll");
    EXPECT_TRUE(none && none->version.empty() && !none->created);
}

TEST(Win32Values, VariantsFollowTheDeclaredWidthAndErrorTextsEndInABlank) {
    dcom::Variant number, list;
    number.v.vt = VT_I4;
    number.v.lVal = -1;
    EXPECT_EQ(dcom::valueOfVariant(number.v, CIM_SINT32).integer, -1);
    EXPECT_EQ(dcom::valueOfVariant(number.v, CIM_UINT32).integer, 4294967295LL);
    list.v.vt = VT_ARRAY | VT_I4;
    list.v.parray = SafeArrayCreateVector(VT_I4, 0, 1);
    LONG garbage = 0x7A3B0003, at = 0;
    SafeArrayPutElement(list.v.parray, &at, &garbage);
    Value masked = dcom::valueOfVariant(list.v, CIM_UINT16 | CIM_FLAG_ARRAY);
    ASSERT_EQ(masked.list.size(), 1u);
    EXPECT_EQ(masked.list[0].integer, 3);

    EXPECT_EQ(dcom::errorDescription(static_cast<std::int32_t>(0x80041010)), "Invalid class ");
    // The system's own texts (worded differently by Windows and Wine), line end made one blank.
    for (std::uint32_t n : {0x800706BAu, 0x80070005u, 0x8004FFFFu}) {
        const std::string text = dcom::errorDescription(static_cast<std::int32_t>(n));
        EXPECT_TRUE(text.size() > 2 && text.ends_with(" ") && text[text.size() - 2] != ' ') << text;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    }
}
