// PCI names and the device classes: input devices, ports, USB and SCSI controllers, modems,
// sound devices, monitors and video controllers.
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "management/linux/classes.h"

namespace qv::posix::provider {

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

std::string restOfLine(const std::string& ids, std::size_t p) {
    auto nl = ids.find('\n', p);
    return trim(std::string_view(ids).substr(p, nl == std::string::npos ? std::string::npos : nl - p));
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

// Natural order: ttyS2 before ttyS10.
bool naturalLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& x) {
        auto p = x.find_last_not_of("0123456789");
        std::string stem = x.substr(0, p + 1);
        auto n = parseUnsigned(x.substr(p + 1)).value_or(0);
        return std::make_pair(stem, n);
    };
    return split(a) < split(b);
}

// Walks up from a sysfs device directory to the first ancestor holding `file`.
std::optional<std::string> ancestorAttr(Source& s, std::string dir, const std::string& file, int depth = 8) {
    for (int k = 0; k < depth && dir.size() > 1; ++k) {
        if (auto v = s.attr(dir + "/" + file)) return v;
        auto slash = dir.find_last_of('/');
        if (slash == std::string::npos || slash == 0) break;
        dir = dir.substr(0, slash);
    }
    return std::nullopt;
}

// One block of /proc/bus/input/devices.
struct InputDevice {
    unsigned bus = 0, vendor = 0, product = 0;
    std::string name, sysfs, handlers;
    std::map<std::string, std::vector<std::uint64_t>> bits;  // PROP, EV, KEY, REL, ABS
    bool bit(const std::string& map, unsigned n) const {
        auto it = bits.find(map);
        if (it == bits.end() || n / 64 >= it->second.size()) return false;
        return (it->second[n / 64] >> (n % 64)) & 1u;
    }
    bool handler(const std::string& prefix) const {
        for (const auto& h : splitWords(handlers))
            if (startsWith(h, prefix)) return true;
        return false;
    }
};

std::vector<InputDevice> inputDevices(Source& s) {
    std::vector<InputDevice> out;
    const auto& f = s.file("/proc/bus/input/devices");
    if (!f) return out;
    InputDevice cur;
    bool any = false;
    auto field = [](const std::string& line, const std::string& key) -> std::string {
        auto p = line.find(key + "=");
        if (p == std::string::npos) return {};
        auto e = line.find(' ', p);
        return line.substr(p + key.size() + 1, e == std::string::npos ? std::string::npos : e - p - key.size() - 1);
    };
    for (const auto& line : splitLines(*f)) {
        if (trim(line).empty()) {
            if (any) out.push_back(cur);
            cur = {};
            any = false;
            continue;
        }
        any = true;
        if (startsWith(line, "I:")) {
            cur.bus = static_cast<unsigned>(parseUnsigned(field(line, "Bus"), 16).value_or(0));
            cur.vendor = static_cast<unsigned>(parseUnsigned(field(line, "Vendor"), 16).value_or(0));
            cur.product = static_cast<unsigned>(parseUnsigned(field(line, "Product"), 16).value_or(0));
        } else if (startsWith(line, "N: Name=")) {
            cur.name = unquote(trim(line.substr(8)));
        } else if (startsWith(line, "S: Sysfs=")) {
            cur.sysfs = trim(line.substr(9));
        } else if (startsWith(line, "H: Handlers=")) {
            cur.handlers = line.substr(12);
        } else if (startsWith(line, "B: ")) {
            auto eq = line.find('=');
            if (eq == std::string::npos) continue;
            auto words = splitWords(line.substr(eq + 1));
            std::vector<std::uint64_t> v;
            for (auto it = words.rbegin(); it != words.rend(); ++it) v.push_back(parseUnsigned(*it, 16).value_or(0));
            cur.bits[trim(line.substr(3, eq - 3))] = v;
        }
    }
    if (any) out.push_back(cur);
    return out;
}

bool isKeyboard(const InputDevice& d) {
    if (!d.handler("kbd")) return false;
    for (unsigned k : {16u, 17u, 18u, 19u, 20u, 21u, 22u, 23u, 24u, 25u, 30u, 31u, 32u, 33u, 34u, 35u, 36u, 37u, 38u,
                       44u, 45u, 46u, 47u, 48u, 49u, 50u})
        if (!d.bit("KEY", k)) return false;
    return true;
}

bool isPointing(const InputDevice& d) {
    if (d.handler("mouse")) return true;
    if (d.bit("EV", 2) && d.bit("REL", 0) && d.bit("REL", 1)) return true;
    return d.bit("EV", 3) && d.bit("ABS", 0) && d.bit("ABS", 1) && (d.bit("KEY", 0x14a) || d.bit("KEY", 0x145));
}

int deviceInterface(unsigned bus) {
    switch (bus) {
        case 0x03: return 162;  // USB
        case 0x11: return 4;    // i8042: PS/2
        case 0x13: return 3;    // RS-232
        case 0x04: return 6;    // HP-HIL
        case 0x17: return 8;    // ADB
        case 0x05: case 0x06: case 0x18: case 0x1C: return 1;
        default: return 2;
    }
}

int pointingType(const InputDevice& d) {
    bool abs = d.bit("EV", 3);
    if (d.bit("PROP", 5)) return 5;
    if (d.bit("PROP", 1) && abs) return 8;
    if (d.bit("PROP", 0) && abs && d.bit("KEY", 0x145)) return 7;
    if (lower(d.name).find("trackball") != std::string::npos) return 4;
    if (d.bit("REL", 0) && d.bit("REL", 1) && d.bit("KEY", 0x110)) return 3;
    return 2;
}

struct LayoutRow {
    const char* xkb;
    const char* klid;
};
const LayoutRow kLayouts[] = {
    {"us", "00000409"}, {"gb", "00000809"}, {"uk", "00000809"}, {"de", "00000407"}, {"fr", "0000040C"},
    {"es", "0000040A"}, {"it", "00000410"}, {"ru", "00000419"}, {"ch", "00000807"}, {"jp", "00000411"},
    {"br", "00000416"}, {"pt", "00000816"}, {"nl", "00000413"}, {"be", "0000080C"}, {"se", "0000041D"},
    {"dk", "00000406"}, {"no", "00000414"}, {"fi", "0000040B"}, {"pl", "00000415"}, {"cz", "00000405"},
    {"hu", "0000040E"}, {"tr", "0000041F"}, {"ca", "00001009"}, {"latam", "0000080A"},
};

std::optional<std::string> keyboardLayout(Source& s) {
    std::optional<std::string> xkb;
    if (const auto& f = s.file("/etc/default/keyboard")) xkb = keyValue(*f, "XKBLAYOUT");
    if (!xkb)
        if (const auto& f = s.file("/etc/X11/xorg.conf.d/00-keyboard.conf"))
            for (const auto& line : splitLines(*f)) {
                auto w = splitWords(line);
                if (w.size() >= 3 && w[0] == "Option" && unquote(w[1]) == "XkbLayout") xkb = unquote(w[2]);
            }
    if (!xkb)
        if (const auto& f = s.file("/etc/vconsole.conf"))
            if (auto km = keyValue(*f, "KEYMAP")) xkb = km->substr(0, km->find_first_of("-_"));
    if (!xkb || xkb->empty()) return std::nullopt;
    std::string first = xkb->substr(0, xkb->find(','));
    if (first == "uk") first = "gb";
    for (const auto& row : kLayouts)
        if (first == row.xkb) return std::string(row.klid);
    return std::nullopt;
}

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

std::string pnpVendorName(Source& s, const std::string& code) {
    for (const char* path : {"/usr/share/hwdata/pnp.ids", "/usr/share/misc/pnp.ids"})
        if (const auto& f = s.packagedFile(path)) {
            auto p = f->find("\n" + code + "\t");
            if (f->compare(0, code.size() + 1, code + "\t") == 0) p = 0;
            else if (p != std::string::npos) p += 1;
            if (p != std::string::npos) return restOfLine(*f, p + code.size() + 1);
        }
    return code;
}

struct Edid {
    std::optional<std::string> name, maker;
    std::optional<int> width, height, refresh;
};

Edid parseEdid(Source& s, const std::string& data) {
    Edid e;
    if (data.size() < 128) return e;
    auto u = [&](std::size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(data[k])); };
    if (u(0) != 0x00 || u(1) != 0xFF) return e;
    unsigned id = (u(8) << 8) | u(9);
    std::string code;
    for (int shift : {10, 5, 0}) {
        unsigned c = (id >> shift) & 0x1F;
        if (c < 1 || c > 26) {
            code.clear();
            break;
        }
        code += static_cast<char>('A' + c - 1);
    }
    if (!code.empty()) e.maker = pnpVendorName(s, code);
    bool timing = false;
    for (std::size_t d : {0x36u, 0x48u, 0x5Au, 0x6Cu}) {
        if (u(d) == 0 && u(d + 1) == 0) {
            if (u(d + 3) == 0xFC) {
                std::string t = data.substr(d + 5, 13);
                t = t.substr(0, t.find('\n'));
                t = trim(t);
                if (!t.empty()) e.name = t;
            }
        } else if (!timing) {
            timing = true;
            unsigned clock = (u(d) | (u(d + 1) << 8)) * 10000u;
            unsigned hActive = u(d + 2) + 256 * (u(d + 4) >> 4), hBlank = u(d + 3) + 256 * (u(d + 4) & 0x0F);
            unsigned vActive = u(d + 5) + 256 * (u(d + 7) >> 4), vBlank = u(d + 6) + 256 * (u(d + 7) & 0x0F);
            e.width = static_cast<int>(hActive);
            e.height = static_cast<int>(vActive);
            unsigned total = (hActive + hBlank) * (vActive + vBlank);
            if (total) e.refresh = static_cast<int>((clock + total / 2) / total);
        }
    }
    return e;
}

struct Connector {
    std::string card, dir;
    Edid edid;
    std::optional<int> width, height;
};

std::vector<Connector> connectedMonitors(Source& s) {
    std::vector<Connector> out;
    for (const auto& name : s.list("/sys/class/drm")) {
        auto dash = name.find('-');
        if (!startsWith(name, "card") || dash == std::string::npos) continue;
        std::string dir = "/sys/class/drm/" + name;
        if (s.attr(dir + "/status").value_or("") != "connected") continue;
        Connector c{name.substr(0, dash), dir, {}, {}, {}};
        if (const auto& edid = s.file(dir + "/edid")) c.edid = parseEdid(s, *edid);
        if (auto mode = s.attr(dir + "/modes")) {
            unsigned w = 0, h = 0;
            if (std::sscanf(mode->c_str(), "%ux%u", &w, &h) == 2) {
                c.width = static_cast<int>(w);
                c.height = static_cast<int>(h);
            }
        }
        if (!c.width) c.width = c.edid.width;
        if (!c.height) c.height = c.edid.height;
        out.push_back(std::move(c));
    }
    return out;
}

const char* const kPciAttrs[] = {"class", "vendor", "device", "subsystem_vendor", "subsystem_device", "revision"};

// Every attribute pciDevice reads of a folder, asked for at once.
void prefetchPci(Source& s, const std::string& dir) {
    std::vector<std::string> paths;
    for (const char* attr : kPciAttrs) paths.push_back(dir + "/" + attr);
    s.prefetch(paths);
}

}  // namespace

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

Instances pointingDevice(Source& s) {
    Instances out;
    for (const auto& d : inputDevices(s)) {
        if (!isPointing(d) || isKeyboard(d)) continue;
        Instance i;
        i.set("DeviceID", Value::of(d.sysfs));
        i.set("Name", Value::of(d.name));
        i.set("Caption", Value::of(d.name));
        i.set("Description", Value::of(d.name));
        std::optional<std::string> maker;
        if (d.bus == 0x03 && !d.sysfs.empty()) maker = ancestorAttr(s, "/sys" + d.sysfs, "manufacturer");
        i.set("Manufacturer", textOrNull(maker));
        i.set("DeviceInterface", Value::of(deviceInterface(d.bus)));
        i.set("PointingType", Value::of(pointingType(d)));
        out.push_back(std::move(i));
    }
    return out;
}

Instances keyboard(Source& s) {
    Instances out;
    auto layout = keyboardLayout(s);
    for (const auto& d : inputDevices(s)) {
        if (!isKeyboard(d)) continue;
        bool full = true;
        for (unsigned k : {59u, 60u, 61u, 62u, 63u, 64u, 65u, 66u, 67u, 68u, 87u, 88u}) full = full && d.bit("KEY", k);
        Instance i;
        i.set("DeviceID", Value::of(d.sysfs));
        i.set("Name", Value::of(d.name));
        i.set("Caption", Value::of(full ? std::string("Enhanced (101- or 102-key)") : d.name));
        std::string description = d.name;
        if (d.bus == 0x11) description = "Standard PS/2 Keyboard";
        else if (d.bus == 0x03 || d.bus == 0x05 || d.bus == 0x18) description = "HID Keyboard Device";
        i.set("Description", Value::of(description));
        i.set("Layout", textOrNull(layout));
        out.push_back(std::move(i));
    }
    return out;
}

// Whether a UART stands behind each 8250-style port.
void portsAhead(Source& s, Ahead& ahead) {
    for (const auto& n : s.list("/sys/class/tty"))
        if (startsWith(n, "ttyS")) ahead.files.push_back("/sys/class/tty/" + n + "/type");
}

Instances serialPort(Source& s) {
    Ahead ahead;
    portsAhead(s, ahead);
    s.prefetch(ahead);
    std::vector<std::string> names;
    for (const auto& n : s.list("/sys/class/tty")) {
        if (startsWith(n, "ttyS")) {
            if (s.attr("/sys/class/tty/" + n + "/type").value_or("0") == "0") continue;  // no UART behind it
        } else if (!startsWith(n, "ttyUSB") && !startsWith(n, "ttyACM") && !startsWith(n, "ttyAMA")) {
            continue;
        }
        names.push_back(n);
    }
    std::sort(names.begin(), names.end(), naturalLess);
    Instances out;
    for (const auto& n : names) {
        std::string dir = "/sys/class/tty/" + n + "/device";
        std::optional<std::string> description;
        std::string provider = "RS232 Serial Port";
        if (startsWith(n, "ttyS") || startsWith(n, "ttyAMA")) {
            description = std::string("Communications Port");
        } else {
            if (auto real = s.resolve(dir)) description = ancestorAttr(s, *real, "product", 3);
            if (startsWith(n, "ttyACM") && s.attr(dir + "/bInterfaceClass").value_or("") == "02" &&
                s.attr(dir + "/bInterfaceSubClass").value_or("") == "02")
                provider = "Modem Device";
        }
        Instance i;
        i.set("DeviceID", Value::of(n));
        i.set("Name", Value::of(description ? *description + " (" + n + ")" : n));
        i.set("Caption", Value::of(description ? *description + " (" + n + ")" : n));
        i.set("Description", textOrNull(description));
        i.set("ProviderType", Value::of(provider));
        out.push_back(std::move(i));
    }
    return out;
}

Instances parallelPort(Source& s) {
    std::set<std::string> names;
    for (const char* dir : {"/sys/class/ppdev", "/sys/bus/parport/devices", "/proc/sys/dev/parport"})
        for (const auto& n : s.list(dir))
            if (startsWith(n, "parport") && n.size() > 7) names.insert(n);
    std::vector<std::string> sorted(names.begin(), names.end());
    std::sort(sorted.begin(), sorted.end(), naturalLess);
    Instances out;
    for (const auto& n : sorted) {
        Instance i;
        i.set("DeviceID", Value::of(n));
        i.set("Name", Value::of("Printer Port (" + n + ")"));
        i.set("Caption", Value::of("Printer Port (" + n + ")"));
        i.set("Description", Value::of("Printer Port"));
        out.push_back(std::move(i));
    }
    return out;
}

Instances usbController(Source& s) {
    Instances out;
    for (const auto& d : pciDevices(s))
        if ((d.classCode >> 8) == 0x0C03 && (d.classCode & 0xFF) != 0xFE) out.push_back(pciInstance(s, d));
    return out;
}

// Storage controllers are described by their own name, as network adapters are.
Instances scsiController(Source& s) {
    Instances out;
    for (const auto& d : pciDevices(s)) {
        unsigned sub = d.classCode >> 8;
        if (sub == 0x0100 || sub == 0x0104 || sub == 0x0107 || sub == 0x0180 || d.classCode == 0x010802) {
            Instance i = pciInstance(s, d);
            PciNames names = pciNames(s, d);
            i.set("Name", Value::of(names.device));
            i.set("Caption", Value::of(names.device));
            i.set("Description", Value::of(names.device));
            i.set("Manufacturer", textOrNull(names.vendor));
            out.push_back(std::move(i));
        }
    }
    return out;
}

Instances potsModem(Source& s) {
    Instances out;
    for (const auto& d : pciDevices(s)) {
        if ((d.classCode >> 8) != 0x0703) continue;
        Instance i = pciInstance(s, d);
        i.set("DeviceType", Value::of("Internal Modem"));
        i.set("AttachedTo", Value::null());
        std::string drv = driverName(s, "/sys/bus/pci/devices/" + d.address);
        i.set("ProviderName", drv.empty() ? Value::null() : Value::of(drv));
        out.push_back(std::move(i));
    }
    for (const auto& n : s.list("/sys/class/tty")) {
        if (!startsWith(n, "ttyACM")) continue;
        std::string dir = "/sys/class/tty/" + n + "/device";
        if (s.attr(dir + "/bInterfaceClass").value_or("") != "02" || s.attr(dir + "/bInterfaceSubClass").value_or("") != "02")
            continue;
        auto real = s.resolve(dir);
        std::string usb = real ? real->substr(0, real->find_last_of('/')) : dir + "/..";
        auto vid = s.attr(usb + "/idVendor"), pid = s.attr(usb + "/idProduct");
        auto product = s.attr(usb + "/product"), maker = s.attr(usb + "/manufacturer");
        Instance i;
        std::string id = "USB\\VID_" + upper(vid.value_or("0000")) + "&PID_" + upper(pid.value_or("0000")) + "\\" + n;
        i.set("DeviceID", Value::of(id));
        i.set("Caption", textOrNull(product));
        i.set("Name", textOrNull(product));
        i.set("Description", textOrNull(product));
        i.set("AttachedTo", Value::of("/dev/" + n));
        i.set("DeviceType", Value::of("External Modem"));
        std::string drv = driverName(s, dir);
        i.set("ProviderName", maker ? Value::of(*maker) : drv.empty() ? Value::null() : Value::of(drv));
        out.push_back(std::move(i));
    }
    return out;
}

Instances soundDevice(Source& s) {
    Instances out;
    std::set<std::string> cardsWithCodecs;
    for (const auto& c : s.list("/sys/bus/hdaudio/devices")) {
        std::string dir = "/sys/bus/hdaudio/devices/" + c;
        auto vendor = s.attr(dir + "/vendor_name"), chip = s.attr(dir + "/chip_name");
        auto vid = parseUnsigned(s.attr(dir + "/vendor_id").value_or(""), 16);
        if (!vid) continue;
        auto sub = parseUnsigned(s.attr(dir + "/subsystem_id").value_or(""), 16).value_or(0);
        auto rev = parseUnsigned(s.attr(dir + "/revision_id").value_or(""), 16).value_or(0);
        char id[96];
        std::snprintf(id, sizeof id, "HDAUDIO\\FUNC_01&VEN_%04X&DEV_%04X&SUBSYS_%08X&REV_%04X",
                      static_cast<unsigned>(*vid >> 16) & 0xFFFF, static_cast<unsigned>(*vid) & 0xFFFF,
                      static_cast<unsigned>(sub), static_cast<unsigned>(rev) & 0xFFFF);
        std::string name = trim(vendor.value_or("") + " " + chip.value_or(""));
        Instance i;
        i.set("DeviceID", Value::of(id));
        i.set("Name", name.empty() ? Value::null() : Value::of(name));
        i.set("Caption", name.empty() ? Value::null() : Value::of(name));
        i.set("Manufacturer", textOrNull(vendor));
        out.push_back(std::move(i));
        auto card = c.substr(0, c.find('D'));  // hdaudioC0D2 → hdaudioC0
        cardsWithCodecs.insert("card" + card.substr(std::min<std::size_t>(card.size(), 8)));
    }
    // Other cards (USB audio, on-board codecs without the HD-audio bus): one device per card.
    std::vector<std::string> longNames;
    if (const auto& cards = s.file("/proc/asound/cards"))
        for (const auto& line : splitLines(*cards)) longNames.push_back(trim(line));
    for (const auto& card : s.list("/sys/class/sound")) {
        if (!startsWith(card, "card") || cardsWithCodecs.count(card)) continue;
        std::string number = card.substr(4);
        std::optional<std::string> name, maker;
        std::string id;
        auto real = s.resolve("/sys/class/sound/" + card + "/device");
        if (auto usbid = s.attr("/proc/asound/" + card + "/usbid")) {
            std::string usb = real ? real->substr(0, real->find_last_of('/')) : "";
            name = s.attr(usb + "/product");
            maker = s.attr(usb + "/manufacturer");
            id = "USB\\VID_" + upper(usbid->substr(0, 4)) + "&PID_" + upper(usbid->substr(std::min<std::size_t>(5, usbid->size())));
        } else if (real) {
            if (auto pci = pciDevice(s, *real)) {
                id = pnpDeviceId(*pci);
                maker = pciVendorName(s, pci->vendor);
            }
        }
        if (!name)
            for (std::size_t k = 0; k + 1 < longNames.size(); ++k)
                if (startsWith(longNames[k], number + " ")) name = longNames[k + 1];
        if (id.empty()) id = "SOUND\\" + card;
        Instance i;
        i.set("DeviceID", Value::of(id));
        i.set("Name", textOrNull(name));
        i.set("Caption", textOrNull(name));
        i.set("Manufacturer", textOrNull(maker));
        out.push_back(std::move(i));
    }
    return out;
}

Instances desktopMonitor(Source& s) {
    Instances out;
    int k = 1;
    for (const auto& c : connectedMonitors(s)) {
        Instance i;
        i.set("DeviceID", Value::of("DesktopMonitor" + std::to_string(k++)));
        std::string name = c.edid.name.value_or("Generic PnP Monitor");
        i.set("Name", Value::of(name));
        i.set("Caption", Value::of(name));
        i.set("MonitorManufacturer", textOrNull(c.edid.maker));
        i.set("ScreenWidth", intOrNull(c.width ? std::optional<std::int64_t>(*c.width) : std::nullopt));
        i.set("ScreenHeight", intOrNull(c.height ? std::optional<std::int64_t>(*c.height) : std::nullopt));
        out.push_back(std::move(i));
    }
    return out;
}

Instances videoController(Source& s) {
    Instances out;
    auto monitors = connectedMonitors(s);
    int k = 1;
    for (const auto& d : pciDevices(s)) {
        if ((d.classCode >> 16) != 0x03) continue;
        std::string dir = "/sys/bus/pci/devices/" + d.address;
        Instance i;
        i.set("DeviceID", Value::of("VideoController" + std::to_string(k++)));
        std::string name = pciName(s, d);
        i.set("Name", Value::of(name));
        i.set("Caption", Value::of(name));
        i.set("PNPDeviceID", Value::of(pnpDeviceId(d)));
        i.set("AdapterCompatibility", textOrNull(pciVendorName(s, d.vendor)));
        std::optional<std::uint64_t> ram = parseUnsigned(s.attr(dir + "/mem_info_vram_total").value_or(""));
        if (!ram)
            if (const auto& res = s.file(dir + "/resource"))
                for (const auto& line : splitLines(*res)) {
                    auto w = splitWords(line);
                    if (w.size() < 3) continue;
                    auto start = parseUnsigned(w[0], 16), end = parseUnsigned(w[1], 16), flags = parseUnsigned(w[2], 16);
                    if (start && end && flags && *end > *start && (*flags & 0x2000))
                        ram = std::max(ram.value_or(0), *end - *start + 1);
                }
        // The property is 32 bits wide: larger memories saturate.
        i.set("AdapterRAM", ram ? Value::of(static_cast<std::int64_t>(std::min<std::uint64_t>(*ram, 0xFFFFFFFFu)))
                                : Value::null());
        int arch = 2;
        if (d.classCode == 0x030000) arch = 5;
        else if (d.classCode == 0x030001) arch = 10;
        else if ((d.classCode >> 8) == 0x0301) arch = 11;
        i.set("VideoArchitecture", Value::of(arch));
        std::optional<std::string> mode;
        auto size = s.attr("/sys/class/graphics/fb0/virtual_size");
        auto bpp = parseUnsigned(s.attr("/sys/class/graphics/fb0/bits_per_pixel").value_or(""));
        if (size && bpp && *bpp > 0 && *bpp <= 32) {
            auto comma = size->find(',');
            if (comma != std::string::npos)
                mode = size->substr(0, comma) + " x " + size->substr(comma + 1) + " x " +
                       std::to_string(std::uint64_t{1} << *bpp) + " colors";
        }
        i.set("VideoModeDescription", textOrNull(mode));
        std::optional<std::int64_t> refresh;
        std::string card;
        if (auto drm = s.list(dir + "/drm"); !drm.empty())
            for (const auto& c : drm)
                if (startsWith(c, "card")) card = c;
        for (const auto& m : monitors)
            if (m.card == card && m.edid.refresh) refresh = *m.edid.refresh;
        i.set("CurrentRefreshRate", intOrNull(refresh));
        i.set("VideoMode", Value::null());
        i.set("VideoProcessor", textOrNull(pciDeviceName(s, d.vendor, d.device)));
        out.push_back(std::move(i));
    }
    return out;
}

}  // namespace qv::posix::provider
