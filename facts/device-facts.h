// What the device builders read: PCI names, input devices, keyboard layouts and monitors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "facts/classes.h"

namespace qv::facts {

// The text after position p up to the end of its line, trimmed: a name in an id list.
std::string restOfLine(const std::string& ids, std::size_t p);
// The generic name of a PCI class code, as the standard driver calls such a device.
std::string genericName(unsigned classCode);
// "Vendor Device", else the generic class text with the ids.
std::string pciName(Source& s, const PciDevice& d);
// The Plug and Play identity, name, description and maker of a PCI device.
Instance pciInstance(Source& s, const PciDevice& d);

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
std::vector<InputDevice> inputDevices(Source& s);
bool isKeyboard(const InputDevice& d);
bool isPointing(const InputDevice& d);
int deviceInterface(unsigned bus);  // the pointing device's interface code for its bus
int pointingType(const InputDevice& d);
// The Windows keyboard layout id of the configured XKB (or console) layout.
std::optional<std::string> keyboardLayout(Source& s);

// What a monitor's EDID says of it.
struct Edid {
    std::optional<std::string> name, maker;
    std::optional<int> width, height, refresh;
};
Edid parseEdid(Source& s, const std::string& data);
// A connected DRM connector: its card, folder, EDID and current mode.
struct Connector {
    std::string card, dir;
    Edid edid;
    std::optional<int> width, height;
};
std::vector<Connector> connectedMonitors(Source& s);

}  // namespace qv::facts
