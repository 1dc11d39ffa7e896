// The registry reader: hive lookup, value conversion by type, environment expansion.
#include "environment/registry_reader.h"

#include <cctype>

#include "platform/text.h"

namespace qv::environment {

namespace {

std::string bytesText(const std::vector<unsigned char>& data, std::size_t n) {
    return std::string(data.begin(), data.begin() + static_cast<long>(std::min(n, data.size())));
}

}  // namespace

std::string expandEnvironmentReferences(System& system, const std::string& text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t open = text.find('%', i);
        if (open == std::string::npos) break;
        std::size_t close = text.find('%', open + 1);
        if (close == std::string::npos) break;
        std::string name = text.substr(open + 1, close - open - 1), value;
        out += text.substr(i, open - i);
        if (!name.empty() && system.environmentVariable(name, value)) {
            out += value;
            i = close + 1;
        } else {
            out += text.substr(open, close - open);
            i = close;
        }
    }
    out += text.substr(i);
    return out;
}

RegEntry getRegEntry(Platform& platform, std::string& hive, const std::string& key, const std::string& valueName,
                     std::int32_t& dataType) {
    const std::string name = text::asciiUpper(hive);
    const Hive* found = nullptr;
    for (const Hive& h : kHives)
        if (name == h.abbreviation || name == h.name) found = &h;
    if (!found) {
        dataType = -1;
        platform.system.messageBox("Invalid HKey");
        return {};
    }
    hive = std::to_string(static_cast<std::int32_t>(found->handle));
    RegistryValue raw;
    if (platform.registry.read(found->handle, key, valueName, raw) != RegistryStatus::Ok) {
        dataType = -1;
        return {};
    }
    dataType = raw.type;
    const std::size_t n = raw.data.size();
    switch (raw.type) {
        case 0:
        case 3: return raw.data;
        case 1: return n == 0 ? std::string() : bytesText(raw.data, n - 1);
        case 2: {
            if (n == 0) return std::string();
            std::string s = bytesText(raw.data, n - 1);
            for (char& c : s)
                if (c == '"') c = ' ';
            s = text::trimBlanks(s);
            std::string expanded;
            if (platform.system.expandEnvironmentStrings(s, expanded)) {
                s = expanded;
            } else {
                s = expandEnvironmentReferences(platform.system, s);
                if (s.size() > 259) s.resize(259);  // the expansion buffer holds 260 characters
            }
            for (char& c : s)
                if (c == '\0') c = ' ';
            return text::trimBlanks(s);
        }
        case 4: {
            if (n < 4) {
                dataType = -1;
                return {};
            }
            std::uint32_t v = static_cast<std::uint32_t>(raw.data[0]) | (static_cast<std::uint32_t>(raw.data[1]) << 8) |
                              (static_cast<std::uint32_t>(raw.data[2]) << 16) | (static_cast<std::uint32_t>(raw.data[3]) << 24);
            return static_cast<std::int32_t>(v);
        }
        case 7: return n < 2 ? std::string() : bytesText(raw.data, n - 2);
        default: {
            std::string code = std::to_string(raw.type);
            platform.system.messageBox("Unsupported Registry DataType: " + code);
            dataType = -1;
            return std::string("Unsupported DataType: " + code);
        }
    }
}

std::string regEntryText(const RegEntry& e) {
    if (auto s = std::get_if<std::string>(&e)) return *s;
    if (auto i = std::get_if<std::int32_t>(&e)) return std::to_string(*i);
    if (auto b = std::get_if<std::vector<unsigned char>>(&e)) return std::string(b->begin(), b->end());
    return {};
}

}  // namespace qv::environment
