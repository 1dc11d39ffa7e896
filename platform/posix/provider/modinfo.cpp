// Finds the .modinfo section of an ELF kernel module with positioned reads (modules can be large).
#include "platform/posix/provider/modinfo.h"

#include <elf.h>
#include <sys/stat.h>

#include <cstring>
#include <vector>

namespace qv::posix::provider {

std::optional<std::string> moduleInfo(FileAccess& files, const std::string& path, const std::string& key) {
    auto st = files.status(path);
    if (!st || !S_ISREG(st->st_mode)) return std::nullopt;
    std::uint64_t fileSize = static_cast<std::uint64_t>(st->st_size);
    auto readAt = [&](void* buf, std::size_t size, std::uint64_t offset) {
        auto data = files.readAt(path, offset, size);
        if (!data) return false;
        std::memcpy(buf, data->data(), size);
        return true;
    };
    Elf64_Ehdr eh {};
    if (!readAt(&eh, sizeof eh, 0) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
        eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shnum == 0 || eh.e_shnum >= 4096 || eh.e_shstrndx >= eh.e_shnum)
        return std::nullopt;
    std::vector<Elf64_Shdr> sh(eh.e_shnum);
    if (eh.e_shoff >= fileSize || !readAt(sh.data(), sh.size() * sizeof(Elf64_Shdr), eh.e_shoff)) return std::nullopt;
    const Elf64_Shdr& names = sh[eh.e_shstrndx];
    std::vector<char> nameTable;
    if (names.sh_size < (1u << 20) && names.sh_offset <= fileSize && names.sh_size <= fileSize - names.sh_offset) {
        nameTable.resize(names.sh_size + 1, '\0');
        if (!readAt(nameTable.data(), names.sh_size, names.sh_offset)) nameTable.clear();
    }
    for (const auto& h : sh) {
        if (nameTable.empty() || h.sh_name >= nameTable.size() - 1) continue;
        if (std::strcmp(nameTable.data() + h.sh_name, ".modinfo") != 0) continue;
        if (h.sh_size > (1u << 20) || h.sh_offset > fileSize || h.sh_size > fileSize - h.sh_offset) break;
        std::string data(h.sh_size, '\0');
        if (!readAt(data.data(), data.size(), h.sh_offset)) break;
        std::string want = key + "=";
        std::size_t p = 0;
        while (p < data.size()) {
            auto end = data.find('\0', p);
            if (end == std::string::npos) end = data.size();
            if (data.compare(p, want.size(), want) == 0) return data.substr(p + want.size(), end - p - want.size());
            p = end + 1;
        }
        break;
    }
    return std::nullopt;
}

std::optional<std::string> moduleInfo(const std::string& hostPath, const std::string& key) {
    static const auto files = localFiles("/");
    return moduleInfo(*files, hostPath, key);
}

}  // namespace qv::posix::provider
