// The input devices of /proc/bus/input/devices and the keyboard layout of the console and X.
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "facts/classes.h"
#include "facts/device-facts.h"

namespace qv::facts {

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
    if (text::asciiLower(d.name).find("trackball") != std::string::npos) return 4;
    if (d.bit("REL", 0) && d.bit("REL", 1) && d.bit("KEY", 0x110)) return 3;
    return 2;
}

namespace {

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

}  // namespace

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

}  // namespace qv::facts
