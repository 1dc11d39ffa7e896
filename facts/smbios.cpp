// SMBIOS entry point and structure walk with bounds checks on every field.
#include "facts/smbios.h"

#include <cstring>

namespace qv::facts {

namespace {

std::uint64_t little(std::string_view bytes, std::size_t offset, std::size_t width) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i)
        v |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    return v;
}

}  // namespace

std::optional<std::uint8_t> SmbiosStructure::byte(std::size_t offset) const {
    if (offset + 1 > formatted.size()) return std::nullopt;
    return static_cast<std::uint8_t>(little(formatted, offset, 1));
}
std::optional<std::uint16_t> SmbiosStructure::word(std::size_t offset) const {
    if (offset + 2 > formatted.size()) return std::nullopt;
    return static_cast<std::uint16_t>(little(formatted, offset, 2));
}
std::optional<std::uint32_t> SmbiosStructure::dword(std::size_t offset) const {
    if (offset + 4 > formatted.size()) return std::nullopt;
    return static_cast<std::uint32_t>(little(formatted, offset, 4));
}
std::optional<std::uint64_t> SmbiosStructure::qword(std::size_t offset) const {
    if (offset + 8 > formatted.size()) return std::nullopt;
    return little(formatted, offset, 8);
}

std::optional<std::string> SmbiosStructure::string(std::size_t offset) const {
    auto index = byte(offset);
    if (!index || *index == 0 || *index > strings.size()) return std::nullopt;
    std::string s = strings[*index - 1];
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    if (trim(s).empty()) return std::nullopt;
    return s;
}

std::vector<const SmbiosStructure*> Smbios::ofType(std::uint8_t type) const {
    std::vector<const SmbiosStructure*> out;
    for (const auto& s : structures)
        if (s.type == type) out.push_back(&s);
    return out;
}

Smbios parseSmbios(std::string_view entry, std::string_view table) {
    Smbios out;
    std::size_t maxCount = SIZE_MAX;
    if (entry.size() >= 0x09 && entry.substr(0, 5) == "_SM3_") {
        out.major = static_cast<unsigned char>(entry[0x07]);
        out.minor = static_cast<unsigned char>(entry[0x08]);
    } else if (entry.size() >= 0x1E && entry.substr(0, 4) == "_SM_") {
        out.major = static_cast<unsigned char>(entry[0x06]);
        out.minor = static_cast<unsigned char>(entry[0x07]);
        maxCount = static_cast<std::size_t>(little(entry, 0x1C, 2));
    } else if (entry.size() >= 0x0F && entry.substr(0, 5) == "_DMI_") {
        unsigned bcd = static_cast<unsigned char>(entry[0x0E]);
        out.major = static_cast<int>(bcd >> 4);
        out.minor = static_cast<int>(bcd & 0x0F);
        maxCount = static_cast<std::size_t>(little(entry, 0x0C, 2));
    }
    std::size_t pos = 0;
    while (pos + 4 <= table.size() && out.structures.size() < maxCount) {
        std::size_t length = static_cast<unsigned char>(table[pos + 1]);
        if (length < 4 || pos + length > table.size()) break;  // malformed or truncated header
        SmbiosStructure s;
        s.type = static_cast<std::uint8_t>(table[pos]);
        s.handle = static_cast<std::uint16_t>(little(table, pos + 2, 2));
        s.formatted = std::string(table.substr(pos, length));
        // The string set: NUL-terminated strings, ended by an empty string.
        std::size_t p = pos + length;
        bool closed = false;
        if (p + 1 < table.size() && table[p] == '\0' && table[p + 1] == '\0') {
            p += 2;
            closed = true;
        } else {
            while (p < table.size()) {
                const char* start = table.data() + p;
                const void* nul = std::memchr(start, '\0', table.size() - p);
                if (!nul) break;
                std::size_t len = static_cast<std::size_t>(static_cast<const char*>(nul) - start);
                p += len + 1;
                if (len == 0) {
                    closed = true;
                    break;
                }
                s.strings.emplace_back(start, len);
            }
        }
        if (!closed) break;  // the string set runs past the end: a truncated table
        bool end = s.type == 127;
        out.structures.push_back(std::move(s));
        pos = p;
        if (end) break;
    }
    out.present = !out.structures.empty();
    return out;
}

const Smbios& systemSmbios(Source& source) {
    return source.memo<Smbios>("smbios", [&source] {
        const auto& entry = source.file("/sys/firmware/dmi/tables/smbios_entry_point");
        const auto& table = source.file("/sys/firmware/dmi/tables/DMI", true);
        if (!table) return Smbios{};
        return parseSmbios(entry ? std::string_view(*entry) : std::string_view(), *table);
    });
}

namespace {

// The classes ask for most of them: all are read at once on the first.
const char* const kDmiIds[] = {
    "bios_date",      "bios_vendor",     "bios_version",   "board_name",     "board_serial",    "board_vendor",
    "board_version",  "chassis_asset_tag", "chassis_serial", "chassis_type",  "chassis_vendor",  "chassis_version",
    "product_name",   "product_serial",  "product_uuid",   "product_version", "sys_vendor",
};

void addDmiIds(Ahead& ahead) {
    for (const char* id : kDmiIds) ahead.files.push_back(std::string("/sys/class/dmi/id/") + id);
}

}  // namespace

void dmiIdsAhead(Source& source, Ahead& ahead) {
    // The kernel's copies of the table's strings stand in where the table cannot be read.
    if (!systemSmbios(source).present) addDmiIds(ahead);
}

std::optional<std::string> dmiId(Source& source, const std::string& name) {
    Ahead ahead;
    addDmiIds(ahead);
    source.prefetch(ahead);
    return source.attr("/sys/class/dmi/id/" + name);
}

}  // namespace qv::facts
