// The property-type table: texts typed as DCOM types them; the fixture's and Linux provider's kinds.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <set>

#include "management/local/provider.h"
#include "management/property_types.h"
#include "fixture/platform.h"
#include "platform/text.h"
#include "tests/management/type_check.h"
#include "tests/facts/tree.h"
#include "tests/support/sim_run.h"
#include "tests/support/connection_calls.h"

using qv::Value;
using qv::management::CimType;
using qv::management::PropertyType;
using qv::management::typedValue;
using namespace qvtest::types;

namespace {

Value list(std::vector<Value> items) { return Value::ofList(std::move(items)); }

// The classes of the table, each once, in table order.
std::vector<std::string> tableClasses() {
    std::vector<std::string> out;
    for (const auto& row : qv::management::propertyTable())
        if (out.empty() || out.back() != row.className) out.push_back(row.className);
    return out;
}

// A value of the type in the fixture's form: whole numbers up to 32 bits and Booleans as JSON
// values, 64-bit numbers and date-times as texts, as the scripting layer gives them. Each number is
// its type's largest, so that no width is lost on the way. (The table has no other types; a row of
// another type gets a text, which its check then refuses.)
nlohmann::ordered_json fixtureSample(CimType type) {
    switch (type) {
        case CimType::Boolean: return true;
        case CimType::Datetime: return "20261208093005.000000+060";
        case CimType::Uint64: return "18446744073709551615";
        case CimType::Uint16: return 65535;
        case CimType::Uint32: return 4294967295u;
        default: return "text";
    }
}

}  // namespace

TEST(PropertyTypes, TextsTypeAsTheDcomPathTypesThem) {
    // Every row is found again whatever the letter case, and no property is listed twice.
    std::set<std::string> rows;
    for (const auto& row : qv::management::propertyTable()) {
        EXPECT_TRUE(rows.insert(qv::text::asciiLower(std::string(row.className) + "." + row.property)).second)
            << row.className << "." << row.property;
        auto found = qv::management::propertyType(qv::text::asciiUpper(row.className), qv::text::asciiLower(row.property));
        ASSERT_TRUE(found) << row.className << "." << row.property;
        EXPECT_TRUE(found->type == row.type && found->array == row.array) << row.className << "." << row.property;
    }
    EXPECT_FALSE(qv::management::propertyType("Win32_BIOS", "NoSuchProperty"));

    const Value bad = Value::unreadable();
    const struct {
        PropertyType type;
        std::string text;
        Value want;
    } byType[] = {
        {{CimType::String, false}, " padded ", Value::of(" padded ")},
        {{CimType::Datetime, false}, "20261208093005.000000+060", Value::of("20261208093005.000000+060")},
        {{CimType::Reference, false}, "\\\\WS01\\root\\cimv2:Win32_BIOS=@", Value::of("\\\\WS01\\root\\cimv2:Win32_BIOS=@")},
        {{CimType::Uint64, false}, "18446744073709551615", Value::of("18446744073709551615")},  // texts over DCOM
        {{CimType::Sint64, false}, "-42", Value::of("-42")},
        {{CimType::Uint32, false}, "4294967295", Value::of(std::int64_t{4294967295})},
        {{CimType::Uint32, false}, " +7\r\n", Value::of(7)},
        {{CimType::Uint32, false}, "4294967296", bad},
        {{CimType::Uint32, false}, "-1", bad},
        {{CimType::Uint32, false}, "0x10", bad},
        {{CimType::Uint32, false}, "", bad},
        {{CimType::Uint32, false}, "12 MB", bad},
        {{CimType::Sint32, false}, "-2147483648", Value::of(std::int64_t{-2147483648LL})},
        {{CimType::Uint16, false}, "65535", Value::of(65535)},
        {{CimType::Uint16, false}, "65536", bad},
        {{CimType::Sint16, false}, "-32769", bad},
        {{CimType::Uint8, false}, "255", Value::of(255)},
        {{CimType::Sint8, false}, "-128", Value::of(-128)},
        {{CimType::Sint8, false}, "128", bad},
        {{CimType::Char16, false}, "\xC3\xA9", Value::of(0xE9)},  // the character's code
        {{CimType::Char16, false}, "ab", bad},
        {{CimType::Boolean, false}, "TRUE", Value::of(true)},
        {{CimType::Boolean, false}, " false ", Value::of(false)},
        {{CimType::Boolean, false}, "1", Value::of(true)},
        {{CimType::Boolean, false}, "yes", bad},
        {{CimType::Real64, false}, "2.5e-3", Value::of(0.0025)},
        {{CimType::Real64, false}, "1,5", bad},  // never the user's decimal point
        {{CimType::Real32, false}, "0.1", Value::of(static_cast<double>(0.1f))},
        {{CimType::Real32, false}, "1e39", bad},
        {{CimType::Object, false}, "<INSTANCE/>", bad},  // embedded objects cannot be read over DCOM either
        {{CimType::Uint32, true}, "255", list({Value::of(255)})},  // one element of an array
    };
    for (const auto& c : byType)
        EXPECT_TRUE(same(typedValue(c.type, c.text), c.want))
            << qv::management::cimTypeName(c.type.type) << " \"" << c.text << "\"";

    const struct {
        const char *className, *property;
        std::vector<std::string> texts;
        Value want;
    } byProperty[] = {
        {"win32_computersystem", "DOMAINROLE", {"5"}, Value::of(5)},
        {"Win32_ComputerSystem", "TotalPhysicalMemory", {"17179869184"}, Value::of("17179869184")},
        {"Win32_ComputerSystem", "DomainRole", {"1", "2"}, bad},  // a scalar takes one text
        {"Win32_NetworkAdapterConfiguration", "IPAddress", {"10.0.0.1", "fe80::1"},
         list({Value::of("10.0.0.1"), Value::of("fe80::1")})},
        {"Win32_NetworkAdapterConfiguration", "IPXFrameType", {"1", "x"}, list({Value::of(1), bad})},
        {"Win32_NetworkAdapterConfiguration", "DNSServerSearchOrder", {}, list({})},
        {"Win32_BIOS", "NoSuchProperty", {"7", "8"}, list({Value::of("7"), Value::of("8")})},  // kept as texts
    };
    for (const auto& c : byProperty) {
        EXPECT_TRUE(same(typedValue(c.className, c.property, c.texts), c.want)) << c.className << "." << c.property;
        if (c.texts.size() == 1) {
            EXPECT_TRUE(same(typedValue(c.className, c.property, c.texts[0]), c.want)) << c.className << "." << c.property;
        }
    }
    EXPECT_TRUE(same(typedValue("Win32_BIOS", "NoSuchProperty", "7"), Value::of("7")));
    EXPECT_TRUE(same(typedValue("Win32_NetworkAdapterConfiguration", "IPAddress", "10.0.0.1"), list({Value::of("10.0.0.1")})));
}

// The fixture's documented value forms for every listed property, and the share the fixture makes
// itself, reach the program with the kinds the DCOM path gives.
TEST(PropertyTypes, FixtureValuesHaveTheTableKinds) {
    nlohmann::ordered_json classes = nlohmann::ordered_json::object();
    for (const auto& row : qv::management::propertyTable()) {
        nlohmann::ordered_json v = fixtureSample(row.type);
        if (row.array) v = nlohmann::ordered_json::array({v, v});
        nlohmann::ordered_json& instances = classes[row.className];
        if (instances.empty()) instances.push_back(nlohmann::ordered_json::object());
        instances[0][row.property] = v;
    }
    // Off the documented form: a 64-bit number as a JSON number beyond the signed range.
    classes["Win32_ComputerSystem"].push_back({{"TotalPhysicalMemory", 18446744073709551615ull}});
    const std::string dir = qvtest::makeTempDir();
    qvtest::writeFile(dir + "/fixture.json",
                      qvtest::standardFixture("\"wmi\": {\"WS01\": {\"classes\": " + classes.dump() + "}}"));
    std::string error;
    auto fixture = qv::fixture::FixturePlatform::load(dir + "/fixture.json", error);
    ASSERT_TRUE(fixture) << error;
    qv::PlatformError err;
    auto connected = fixture->connector().connect("WS01");
    ASSERT_TRUE(connected) << connected.error().error.description;
    auto& target = *connected;

    Findings found;
    for (const std::string& cls : tableClasses()) {
        qv::Instances instances;
        EXPECT_TRUE(qv::calls::instancesOf(*target, cls, instances, err)) << cls;
        check(cls, instances, found);
    }
    auto share = target->createShare("C:\\DATA", "QvTypes", 0, "Made by the test");
    ASSERT_TRUE(share && *share == 0);
    qv::Instances made;
    ASSERT_TRUE(qv::calls::execQuery(*target, "Select * from Win32_Share Where Name = 'QvTypes'", made, err));
    ASSERT_EQ(made.size(), 1u);
    check("Win32_Share", made, found);

    EXPECT_EQ(found.answered.size(), qv::management::propertyTable().size());
    const KnownException known[] = {
        {"Win32_ComputerSystem.TotalPhysicalMemory",
         "a JSON number beyond the signed 64-bit range wraps to a negative Int where DCOM gives the digits as a text; "
         "the fixture documents 64-bit values as texts, and mending the wrap would change the report of such input"},
    };
    for (const std::string& p : unexpected(found, known, true)) ADD_FAILURE() << p;
}

namespace {

// The bytes of one SMBIOS structure: `fields` sets bytes at their offsets in the whole structure.
std::string smbios(std::uint8_t type, std::size_t length, std::vector<std::pair<std::size_t, std::uint8_t>> fields,
                   const std::vector<std::string>& strings) {
    std::vector<std::uint8_t> body(length - 4, 0);
    for (const auto& [offset, byte] : fields) body.at(offset - 4) = byte;
    return qvtest::smbiosStructure(type, static_cast<std::uint16_t>(type), body, strings);
}

// A 128-byte EDID: maker DEL, a 1920x1080 preferred mode at 60 Hz and the monitor's name.
std::string edid() {
    std::string e(128, '\0');
    const unsigned char head[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x10, 0xAC};
    std::copy(std::begin(head), std::end(head), e.begin());
    const unsigned char timing[] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40};
    std::copy(std::begin(timing), std::end(timing), e.begin() + 0x36);
    e.replace(0x48, 18, std::string("\0\0\0\xFC\0DELL P2419H\n  ", 18));
    return e;
}

// A computer with something of every kind the collectors read: firmware tables, devices of every
// class, an adapter with a lease, Samba, CUPS, a service, mounts and packages.
void buildEveryKind(qvtest::Tree& t) {
    std::string table = smbios(0, 0x18, {{0x04, 1}, {0x05, 2}, {0x08, 3}}, {"Vendor", "1.40", "03/15/2019"}) +
                        smbios(1, 0x1B, {{0x04, 1}, {0x05, 2}, {0x06, 3}, {0x07, 4}, {0x08, 0x33}},
                               {"Maker", "Model", "1.0", "SN-1"}) +
                        smbios(2, 0x0F, {{0x04, 1}, {0x05, 2}, {0x06, 3}, {0x07, 4}}, {"Maker", "Board", "1.0", "BSN"}) +
                        smbios(3, 0x15, {{0x04, 1}, {0x05, 3}, {0x07, 2}, {0x08, 3}}, {"Maker", "CSN", "Asset"}) +
                        smbios(4, 0x2A, {{0x04, 1}, {0x06, 0xC6}, {0x07, 2}, {0x10, 3}, {0x14, 0xF8}, {0x15, 0x11},
                                         {0x16, 0x10}, {0x17, 0x0E}, {0x18, 0x41}},
                               {"CPU 1", "Intel", "Core"}) +
                        smbios(8, 0x09, {{0x04, 1}, {0x06, 2}, {0x08, 0x10}}, {"JUSB1", "USB 1"}) +
                        smbios(13, 0x16, {{0x15, 1}}, {"en|US|iso8859-1"}) +
                        smbios(17, 0x1B, {{0x0D, 0x20}, {0x10, 1}, {0x11, 2}}, {"DIMM_A1", "BANK 0"}) +
                        smbios(127, 4, {}, {});
    const std::string pci = "/sys/devices/pci0000:00/0000:00:0";
    auto function = [&](char slot, const char* cls) {
        const std::string dir = pci + slot + ".0";
        t.file(dir + "/class", cls).file(dir + "/vendor", "0x8086\n").file(dir + "/device", "0x10d3\n");
        t.link(std::string("/sys/bus/pci/devices/0000:00:0") + slot + ".0", "../../.." + dir.substr(4));
        return dir;
    };
    const std::string video = function('2', "0x030000\n");
    t.file(video + "/resource", "0x00000000e0000000 0x00000000efffffff 0x000000000014220c\n").dir(video + "/drm/card0");
    function('3', "0x0c0330\n");
    function('5', "0x010700\n");
    const std::string modem = function('4', "0x070300\n"), nic = function('7', "0x020000\n");
    t.dir(modem + "/driver_modem").link(modem + "/driver", "driver_modem");
    t.dir(nic + "/driver_e1000e").link(nic + "/driver", "driver_e1000e");
    t.link("/sys/class/sound/card0/device", "../../.." + function('6', "0x040300\n").substr(4));
    t.link("/sys/class/net/eth0/device", "../../.." + nic.substr(4));
    t.file("/sys/firmware/dmi/tables/DMI", table)
        .file("/sys/firmware/dmi/tables/smbios_entry_point",
              qvtest::smbios3EntryPoint(3, 2, static_cast<std::uint32_t>(table.size())))
        .file("/proc/sys/kernel/hostname", "every\n")
        .file("/proc/sys/kernel/osrelease", "6.1.0\n")
        .file("/proc/meminfo", "MemTotal: 16303452 kB\n")
        .file("/proc/cpuinfo", "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 158\n"
                               "model name\t: Core\nstepping\t: 13\ncpu MHz\t\t: 3600.1\nphysical id\t: 0\n\n")
        .file("/sys/devices/system/cpu/cpu0/cache/index2/level", "2\n")
        .file("/sys/devices/system/cpu/cpu0/cache/index2/size", "256K\n")
        .file("/etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12\"\nID=debian\nVENDOR_NAME=\"Debian\"\n")
        .file("/etc/debian_version", "12.5\n")
        .file("/etc/machine-id", "0123456789abcdef0123456789abcdef\n")
        .file("/usr/share/misc/pci.ids", "8086  Intel Corporation\n\t10d3  82574L Gigabit Network Connection\n")
        .file("/proc/asound/cards", " 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n                      HDA Intel PCH\n")
        .file("/sys/devices/usb1/manufacturer", "Logitech\n")
        .file("/etc/default/locale", "LANG=de_DE.UTF-8\n")
        .file("/etc/default/keyboard", "XKBLAYOUT=\"de\"\n")
        .file("/etc/environment", "EDITOR=vi\n")
        .file("/run/systemd/seats/seat0", "ACTIVE=2\n")
        .file("/run/systemd/sessions/2", "USER=alice\nSEAT=seat0\n")
        .file("/proc/bus/input/devices",
              "I: Bus=0011 Vendor=0001 Product=0001 Version=ab41\nN: Name=\"AT keyboard\"\nS: Sysfs=/devices/serio0/input0\n"
              "H: Handlers=kbd event0\nB: EV=120013\nB: KEY=402000000 3803078f800d001 feffffdfffefffff fffffffffffffffe\n\n"
              "I: Bus=0003 Vendor=046d Product=c077 Version=0111\nN: Name=\"USB Mouse\"\nS: Sysfs=/devices/usb1/input3\n"
              "H: Handlers=mouse0 event3\nB: EV=17\nB: KEY=70000 0 0 0 0\nB: REL=903\n\n")
        .file("/sys/class/drm/card0-HDMI-A-1/status", "connected\n")
        .file("/sys/class/drm/card0-HDMI-A-1/edid", edid())
        .file("/sys/class/graphics/fb0/virtual_size", "1920,1080\n")
        .file("/sys/class/graphics/fb0/bits_per_pixel", "32\n")
        .file("/sys/class/tty/ttyS0/type", "4\n")
        .dir("/sys/class/ppdev/parport0")
        .file("/sys/block/sda/size", "1953525168\n")
        .file("/sys/block/sda/device/vendor", "ATA\n")
        .file("/sys/block/sda/device/model", "Disk\n")
        .file("/sys/block/sda/sda1/partition", "1\n")
        .file("/sys/block/sr0/device/vendor", "HL-DT-ST\n")
        .file("/sys/block/sr0/device/model", "DVDRAM\n")
        .file("/sys/class/scsi_tape/st0/device/vendor", "HP\n")
        .file("/sys/class/scsi_tape/st0/device/model", "Ultrium\n")
        .file("/proc/filesystems", "nodev\tproc\n\text4\nnodev\tnfs4\n\tcifs\n")
        .file("/proc/self/mountinfo", "27 1 8:1 / / rw - ext4 /dev/sda1 rw\n")
        .file("/proc/net/protocols", "protocol  size sockets\nTCP 2 3\n")
        .file("/proc/net/route", "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\n"
                                 "eth0\t00000000\t0102A8C0\t0003\t0\t0\t0\t00000000\n")
        .file("/sys/class/net/eth0/type", "1\n")
        .file("/sys/class/net/eth0/ifindex", "2\n")
        .file("/sys/class/net/eth0/address", "00:1b:21:aa:bb:00\n")
        .file("/sys/class/net/eth0/flags", "0x1003\n")
        .file("/sys/class/net/eth0/speed", "1000\n")
        .file("/sys/class/net/eth0/operstate", "up\n")
        .file("/var/lib/dhcp/dhclient.eth0.leases",
              "lease {\n  interface \"eth0\";\n  fixed-address 192.168.2.10;\n  option dhcp-lease-time 86400;\n"
              "  option dhcp-server-identifier 192.168.2.1;\n  option domain-name \"corp.example.org\";\n"
              "  option domain-name-servers 192.168.2.53;\n  expire 1 2025/12/08 12:00:00;\n}\n")
        .file("/etc/samba/smb.conf", "[global]\n   workgroup = ACME\n   wins server = 10.1.1.1 10.1.1.2\n"
                                     "   netbios scope = scope\n   server string = File server\n"
                                     "[data]\n   path = /srv/data\n   comment = Team data\n")
        .file("/etc/samba/lmhosts", "")
        .file("/etc/cups/printers.conf",
              "<DefaultPrinter laser>\nMakeModel HP LaserJet\nDeviceURI socket://10.1.1.50\n</Printer>\n")
        .dir("/run/systemd/system")
        .file("/lib/systemd/system/smbd.service", "[Unit]\nDescription=Samba\n[Service]\nExecStart=/usr/sbin/smbd\n")
        .file("/sys/fs/cgroup/system.slice/smbd.service/cgroup.procs", "812\n")
        .file("/proc/modules", "cifs 1 0 - Live 0x0\n");
}

// What the provider leaves Null on every Linux computer: no owner, licences, product suites or IPX;
// no video mode nor maximum speed (Windows leaves them Null too); a PCI modem has no port.
const std::set<std::string> kAlwaysNull = {
    "Win32_ComputerSystem.PrimaryOwnerName", "Win32_ComputerSystem.PrimaryOwnerContact",
    "Win32_OperatingSystem.Organization", "Win32_OperatingSystem.RegisteredUser",
    "Win32_OperatingSystem.NumberOfLicensedUsers", "Win32_OperatingSystem.OSProductSuite",
    "Win32_POTSModem.AttachedTo", "Win32_VideoController.VideoMode", "Win32_NetworkAdapter.MaxSpeed",
    "Win32_NetworkAdapterConfiguration.IPXAddress", "Win32_NetworkAdapterConfiguration.IPXNetworkNumber",
    "Win32_NetworkAdapterConfiguration.IPXVirtualNetNumber", "Win32_NetworkAdapterConfiguration.IPXFrameType",
    "Win32_NetworkAdapterConfiguration.IPXMediaType",
};

}  // namespace

// The Linux provider gives every listed property it answers the kind the table says: over a tree
// with something of every kind, and over this computer's own files.
TEST(PropertyTypes, LinuxProviderValuesHaveTheTableKinds) {
    qvtest::Tree tree;
    buildEveryKind(tree);
    auto options = qvtest::optionsFor(tree);
    options.probes.interfaceAddresses = [] {
        return std::vector<qv::facts::InterfaceAddress>{{"eth0", false, "192.168.2.10", "255.255.255.0", true},
                                                                  {"eth0", true, "fe80::1", "64", true}};
    };
    options.probes.birthTime = [](const std::string&) { return std::optional<std::time_t>(1700000000); };
    options.probes.fsSpace = [](const std::string&) {
        return std::optional<qv::facts::FsSpace>({1u << 30, 1u << 20});
    };
    Findings everyKind, here;
    auto everyKindProvider = qv::management::local::makeLocalProvider(options), hereProvider = qv::management::local::makeLocalProvider();
    const std::pair<qv::management::TargetConnection*, Findings*> runs[] = {{everyKindProvider.get(), &everyKind},
                                                             {hereProvider.get(), &here}};
    for (const auto& [provider, found] : runs)
        for (const std::string& cls : tableClasses()) {
            qv::Instances instances;
            qv::PlatformError err;
            EXPECT_TRUE(qv::calls::instancesOf(*provider, cls, instances, err)) << cls << ": " << err.description;
            check(cls, instances, *found);
        }
    // The tree answers every listed property but those the provider leaves Null on every computer.
    for (const auto& row : qv::management::propertyTable()) {
        const std::string key = std::string(row.className) + "." + row.property;
        EXPECT_NE(everyKind.answered.count(key), kAlwaysNull.count(key)) << key;
    }
    EXPECT_GT(here.checked, 0);
    for (const Findings* found : {&everyKind, &here})
        for (const std::string& p : unexpected(*found, {}, false)) ADD_FAILURE() << p;
}
