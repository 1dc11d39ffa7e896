// The device classes: input devices, ports, USB and SCSI controllers, modems, sound devices,
// monitors and video controllers.
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "facts/classes.h"
#include "facts/device-facts.h"

namespace qv::facts {

namespace {

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

}  // namespace

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
        std::string id = "USB\\VID_" + text::asciiUpper(vid.value_or("0000")) + "&PID_" + text::asciiUpper(pid.value_or("0000")) + "\\" + n;
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
            id = "USB\\VID_" + text::asciiUpper(usbid->substr(0, 4)) + "&PID_" + text::asciiUpper(usbid->substr(std::min<std::size_t>(5, usbid->size())));
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

}  // namespace qv::facts
