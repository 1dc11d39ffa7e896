// Connected monitors: the DRM connectors and what their EDID says, makers named from pnp.ids.
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "facts/classes.h"
#include "facts/device-facts.h"

namespace qv::facts {

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

}  // namespace qv::facts
