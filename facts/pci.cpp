// PCI devices in sysfs and their names from pci.ids or udev's database.
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "facts/classes.h"
#include "facts/device-facts.h"

namespace qv::facts {

namespace {

const std::string* pciIds(Source& s) {
    for (const char* path : {"/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids", "/usr/share/pci.ids"})
        if (const auto& f = s.packagedFile(path)) return &*f;
    return nullptr;
}

std::string hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04x", v & 0xFFFF);
    return buf;
}

// Position just after "vvvv  " of a vendor line, or npos.
std::size_t vendorLine(const std::string& ids, unsigned vendor) {
    std::string key = hex4(vendor) + "  ";
    if (ids.compare(0, key.size(), key) == 0) return key.size();
    auto p = ids.find("\n" + key);
    return p == std::string::npos ? p : p + 1 + key.size();
}

// The same, remembered for the connection: a computer has few vendors, each looked up many
// times, and each search may cross the whole list (over a megabyte).
std::size_t vendorLine(Source& s, const std::string& ids, unsigned vendor) {
    auto& lines = s.memo<std::map<unsigned, std::size_t>>("pci.ids vendor lines", [] { return std::map<unsigned, std::size_t>(); });
    auto it = lines.find(vendor);
    if (it == lines.end()) it = lines.emplace(vendor, vendorLine(ids, vendor)).first;
    return it->second;
}

std::optional<std::string> udevPci(Source& s, const std::string& address, const std::string& key) {
    if (const auto& f = s.file("/run/udev/data/+pci:" + address))
        for (const auto& line : splitLines(*f))
            if (startsWith(line, "E:" + key + "=")) return line.substr(key.size() + 3);
    return std::nullopt;
}

struct GenericClass {
    unsigned classCode, mask;
    const char* text;
};
// Generic names when no id list names a device (what the standard driver calls it).
const GenericClass kGeneric[] = {
    {0x0C0300, 0xFFFFFF, "Standard Universal PCI to USB Host Controller"},
    {0x0C0310, 0xFFFFFF, "Standard OpenHCD USB Host Controller"},
    {0x0C0320, 0xFFFFFF, "Standard Enhanced PCI to USB Host Controller"},
    {0x0C0330, 0xFFFFFF, "USB xHCI Compliant Host Controller"},
    {0x0C0340, 0xFFFFFF, "USB4 Host Router"},
    {0x0C0300, 0xFFFF00, "USB Host Controller"},
    {0x010802, 0xFFFFFF, "Standard NVM Express Controller"},
    {0x010000, 0xFFFF00, "SCSI storage controller"},
    {0x010400, 0xFFFF00, "RAID bus controller"},
    {0x010700, 0xFFFF00, "Serial Attached SCSI controller"},
    {0x018000, 0xFFFF00, "Mass storage controller"},
    {0x030000, 0xFFFF00, "VGA compatible controller"},
    {0x030100, 0xFFFF00, "XGA compatible controller"},
    {0x030200, 0xFFFF00, "3D controller"},
    {0x030000, 0xFF0000, "Display controller"},
    {0x070300, 0xFFFF00, "Modem"},
    {0x020000, 0xFFFF00, "Ethernet controller"},
    {0x028000, 0xFFFF00, "Network controller"},
};

}  // namespace

std::string restOfLine(const std::string& ids, std::size_t p) {
    auto nl = ids.find('\n', p);
    return trim(std::string_view(ids).substr(p, nl == std::string::npos ? std::string::npos : nl - p));
}

std::string genericName(unsigned classCode) {
    for (const auto& g : kGeneric)
        if ((classCode & g.mask) == g.classCode) return g.text;
    return "PCI device";
}

// "Vendor Device", else the generic class text with the ids.
std::string pciName(Source& s, const PciDevice& d) {
    auto v = pciVendorName(s, d.vendor);
    auto n = pciDeviceName(s, d.vendor, d.device);
    if (!v) v = udevPci(s, d.address, "ID_VENDOR_FROM_DATABASE");
    if (!n) n = udevPci(s, d.address, "ID_MODEL_FROM_DATABASE");
    if (v && n) return *v + " " + *n;
    if (n) return *n;
    return genericName(d.classCode) + " [" + hex4(d.vendor) + ":" + hex4(d.device) + "]";
}

namespace {

const char* const kPciAttrs[] = {"class", "vendor", "device", "subsystem_vendor", "subsystem_device", "revision"};

// Every attribute pciDevice reads of a folder, asked for at once.
void prefetchPci(Source& s, const std::string& dir) {
    std::vector<std::string> paths;
    for (const char* attr : kPciAttrs) paths.push_back(dir + "/" + attr);
    s.prefetch(paths);
}

}  // namespace

Instance pciInstance(Source& s, const PciDevice& d) {
    Instance i;
    std::string name = pciName(s, d);
    i.set("DeviceID", Value::of(pnpDeviceId(d)));
    i.set("PNPDeviceID", Value::of(pnpDeviceId(d)));
    i.set("Name", Value::of(name));
    i.set("Caption", Value::of(name));
    i.set("Description", Value::of(genericName(d.classCode)));
    i.set("Manufacturer", textOrNull(pciVendorName(s, d.vendor)));
    return i;
}

std::optional<PciDevice> pciDevice(Source& s, const std::string& sysfsDir) {
    // A PCI function is listed under its address on the PCI bus: it is read there, as the list
    // of functions reads it, whatever path led to it. A folder not listed there is no function.
    std::string dir = sysfsDir;
    const std::string bus = "/sys/bus/pci/devices";
    if (const auto& functions = s.list(bus); !functions.empty() && !startsWith(dir, bus + "/")) {
        std::string name = baseName(dir);
        if (!std::binary_search(functions.begin(), functions.end(), name)) return std::nullopt;
        dir = bus + "/" + name;
    }
    prefetchPci(s, dir);
    auto cls = s.attr(dir + "/class");
    auto vendor = s.attr(dir + "/vendor");
    if (!cls || !vendor) return std::nullopt;
    PciDevice d;
    auto resolved = s.resolve(dir);
    d.address = baseName(resolved.value_or(dir));
    auto hex = [&](const std::string& f) { return static_cast<unsigned>(parseUnsigned(s.attr(dir + "/" + f).value_or(""), 16).value_or(0)); };
    d.classCode = hex("class");
    d.vendor = hex("vendor");
    d.device = hex("device");
    d.subVendor = hex("subsystem_vendor");
    d.subDevice = hex("subsystem_device");
    d.revision = hex("revision");
    return d;
}

void pciAhead(Source& s, Ahead& ahead) {
    for (const auto& name : s.list("/sys/bus/pci/devices")) {
        std::string dir = "/sys/bus/pci/devices/" + name;
        for (const char* attr : kPciAttrs) ahead.files.push_back(dir + "/" + attr);
        ahead.resolved.push_back(dir);
    }
}

std::vector<PciDevice> pciDevices(Source& s) {
    std::vector<PciDevice> out;
    Ahead ahead;
    pciAhead(s, ahead);
    s.prefetch(ahead);
    for (const auto& name : s.list("/sys/bus/pci/devices"))
        if (auto d = pciDevice(s, "/sys/bus/pci/devices/" + name)) out.push_back(*d);
    return out;
}

PciNames pciNames(Source& s, const PciDevice& d) {
    PciNames out;
    auto device = pciDeviceName(s, d.vendor, d.device);
    if (!device) device = udevPci(s, d.address, "ID_MODEL_FROM_DATABASE");
    out.vendor = pciVendorName(s, d.vendor);
    if (!out.vendor) out.vendor = udevPci(s, d.address, "ID_VENDOR_FROM_DATABASE");
    out.listed = device.has_value();
    out.device = device ? *device : genericName(d.classCode) + " [" + hex4(d.vendor) + ":" + hex4(d.device) + "]";
    return out;
}

std::optional<std::string> pciVendorName(Source& s, unsigned vendor) {
    const std::string* ids = pciIds(s);
    if (!ids) return std::nullopt;
    auto p = vendorLine(s, *ids, vendor);
    if (p == std::string::npos) return std::nullopt;
    return restOfLine(*ids, p);
}

std::optional<std::string> pciDeviceName(Source& s, unsigned vendor, unsigned device) {
    const std::string* ids = pciIds(s);
    if (!ids) return std::nullopt;
    auto p = vendorLine(s, *ids, vendor);
    if (p == std::string::npos) return std::nullopt;
    std::string key = "\t" + hex4(device) + "  ";
    for (p = ids->find('\n', p); p != std::string::npos && p + 1 < ids->size(); p = ids->find('\n', p + 1)) {
        char c = (*ids)[p + 1];
        if (c != '\t' && c != '#') break;  // the next vendor
        if (ids->compare(p + 1, key.size(), key) == 0) return restOfLine(*ids, p + 1 + key.size());
    }
    return std::nullopt;
}

std::string pnpDeviceId(const PciDevice& d) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "PCI\\VEN_%04X&DEV_%04X&SUBSYS_%04X%04X&REV_%02X\\", d.vendor & 0xFFFF,
                  d.device & 0xFFFF, d.subDevice & 0xFFFF, d.subVendor & 0xFFFF, d.revision & 0xFF);
    return std::string(buf) + d.address;
}

std::string driverName(Source& s, const std::string& dir) {
    auto l = s.link(dir + "/driver");
    return l ? baseName(*l) : std::string();
}

}  // namespace qv::facts
