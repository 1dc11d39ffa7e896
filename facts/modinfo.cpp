// Finds the .modinfo section of an ELF kernel module with positioned reads (modules can be large).
#include "facts/modinfo.h"

#include <elf.h>
#include <sys/stat.h>

#include <cstring>
#include <vector>

namespace qv::facts {

namespace {

// What is known of one module file as its pieces come in.
struct Module {
    std::size_t index = 0;  // in the paths asked for
    std::string path;
    std::uint64_t size = 0;
    Elf64_Ehdr header {};
    std::vector<Elf64_Shdr> sections;
    std::vector<char> names;  // the section names, ending in a NUL
};

// Whether [offset, offset + size) lies within a file of fileSize bytes.
bool within(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

}  // namespace

std::vector<std::optional<std::string>> moduleInfos(FileAccess& files, const std::vector<std::string>& paths,
                                                    const std::string& key) {
    std::vector<std::optional<std::string>> out(paths.size());
    files.prefetchStatuses(paths);
    std::vector<Module> live;  // the modules still being read
    for (std::size_t k = 0; k < paths.size(); ++k)
        if (auto st = files.status(paths[k]); st && S_ISREG(st->st_mode))
            live.push_back({k, paths[k], static_cast<std::uint64_t>(st->st_size), {}, {}, {}});
    // Each step reads one piece of every module still being read, all at once: its header, then
    // its section headers, then their names, then the .modinfo section. A module whose piece is
    // missing or makes no sense drops out, as does one that is done.
    auto step = [&](auto rangeOf, auto take) {
        std::vector<FileAccess::Range> ranges;
        std::vector<std::size_t> asked;
        for (std::size_t i = 0; i < live.size(); ++i)
            if (auto r = rangeOf(live[i])) ranges.push_back({live[i].path, r->first, r->second}), asked.push_back(i);
        auto pieces = ranges.empty() ? std::vector<std::optional<std::string>>() : files.readRanges(ranges);
        std::vector<Module> next;
        for (std::size_t j = 0; j < asked.size() && j < pieces.size(); ++j)
            if (pieces[j] && take(live[asked[j]], *pieces[j])) next.push_back(std::move(live[asked[j]]));
        live = std::move(next);
    };
    using Piece = std::optional<std::pair<std::uint64_t, std::size_t>>;
    step([](const Module&) -> Piece { return std::make_pair(0, sizeof(Elf64_Ehdr)); },
         [](Module& m, const std::string& data) {
             std::memcpy(&m.header, data.data(), sizeof m.header);
             const auto& eh = m.header;
             return std::memcmp(eh.e_ident, ELFMAG, SELFMAG) == 0 && eh.e_ident[EI_CLASS] == ELFCLASS64 &&
                    eh.e_shentsize == sizeof(Elf64_Shdr) && eh.e_shnum > 0 && eh.e_shnum < 4096 &&
                    eh.e_shstrndx < eh.e_shnum;
         });
    step([](const Module& m) -> Piece {
             if (m.header.e_shoff >= m.size) return std::nullopt;
             return std::make_pair(m.header.e_shoff, std::size_t{m.header.e_shnum} * sizeof(Elf64_Shdr));
         },
         [](Module& m, const std::string& data) {
             m.sections.resize(m.header.e_shnum);
             std::memcpy(m.sections.data(), data.data(), data.size());
             return true;
         });
    step([](const Module& m) -> Piece {
             const Elf64_Shdr& names = m.sections[m.header.e_shstrndx];
             if (names.sh_size >= (1u << 20) || !within(names.sh_offset, names.sh_size, m.size)) return std::nullopt;
             return std::make_pair(names.sh_offset, static_cast<std::size_t>(names.sh_size));
         },
         [](Module& m, const std::string& data) {
             m.names.assign(data.begin(), data.end());
             m.names.push_back('\0');
             return true;
         });
    const std::string want = key + "=";
    step([](const Module& m) -> Piece {
             for (const auto& h : m.sections) {
                 if (h.sh_name >= m.names.size() - 1 || std::strcmp(m.names.data() + h.sh_name, ".modinfo") != 0) continue;
                 if (h.sh_size > (1u << 20) || !within(h.sh_offset, h.sh_size, m.size)) return std::nullopt;
                 return std::make_pair(h.sh_offset, static_cast<std::size_t>(h.sh_size));
             }
             return std::nullopt;
         },
         [&](Module& m, const std::string& data) {
             std::size_t p = 0;
             while (p < data.size()) {
                 auto end = data.find('\0', p);
                 if (end == std::string::npos) end = data.size();
                 if (data.compare(p, want.size(), want) == 0) {
                     out[m.index] = data.substr(p + want.size(), end - p - want.size());
                     break;
                 }
                 p = end + 1;
             }
             return false;
         });
    return out;
}

std::optional<std::string> moduleInfo(FileAccess& files, const std::string& path, const std::string& key) {
    return moduleInfos(files, {path}, key).front();
}

std::optional<std::string> moduleInfo(const std::string& hostPath, const std::string& key) {
    static const auto files = localFiles("/");
    return moduleInfo(*files, hostPath, key);
}

}  // namespace qv::facts
