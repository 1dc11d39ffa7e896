// SMBIOS: the entry point and the structure table the firmware hands to the kernel, decoded defensively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "facts/source.h"

namespace qv::facts {

struct SmbiosStructure {
    std::uint8_t type = 0;
    std::uint16_t handle = 0;
    std::string formatted;             // the formatted area, header included (length bytes)
    std::vector<std::string> strings;  // the string set, 1-based in the fields
    std::optional<std::uint8_t> byte(std::size_t offset) const;
    std::optional<std::uint16_t> word(std::size_t offset) const;
    std::optional<std::uint32_t> dword(std::size_t offset) const;
    std::optional<std::uint64_t> qword(std::size_t offset) const;
    // The string a STRING field points at, trailing blanks removed; absent for index 0, an
    // index past the set, a field past the structure, or a blank string.
    std::optional<std::string> string(std::size_t offset) const;
};

struct Smbios {
    bool present = false;  // a table could be read and held at least one structure
    std::optional<int> major, minor;
    std::vector<SmbiosStructure> structures;
    std::vector<const SmbiosStructure*> ofType(std::uint8_t type) const;
};

// Decodes an entry point and its table. Truncated or malformed data ends the walk at the last
// whole structure; nothing is read outside the given bytes.
Smbios parseSmbios(std::string_view entryPoint, std::string_view table);

// The tables of the system under the source's root (readable by root only), parsed once per connection.
const Smbios& systemSmbios(Source& source);

// A field the kernel decodes from the first structure of types 0-3 (/sys/class/dmi/id/<name>).
std::optional<std::string> dmiId(Source& source, const std::string& name);
// The attributes dmiId reads, when the table is not there to answer.
void dmiIdsAhead(Source& source, Ahead& ahead);

}  // namespace qv::facts
