// Finds the .modinfo section of an ELF kernel module with positioned reads (modules can be large).
#include "platform/posix/provider/modinfo.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace qv::posix::provider {

namespace {

bool readAt(int fd, void* buf, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::pread(fd, static_cast<char*>(buf) + done, size - done, static_cast<off_t>(offset + done));
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::optional<std::string> moduleInfo(const std::string& hostPath, const std::string& key) {
    int fd = ::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> result;
    struct stat st {};
    Elf64_Ehdr eh {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && readAt(fd, &eh, sizeof eh, 0) &&
        std::memcmp(eh.e_ident, ELFMAG, SELFMAG) == 0 && eh.e_ident[EI_CLASS] == ELFCLASS64 &&
        eh.e_shentsize == sizeof(Elf64_Shdr) && eh.e_shnum > 0 && eh.e_shnum < 4096 && eh.e_shstrndx < eh.e_shnum) {
        std::uint64_t fileSize = static_cast<std::uint64_t>(st.st_size);
        std::vector<Elf64_Shdr> sh(eh.e_shnum);
        if (eh.e_shoff < fileSize && readAt(fd, sh.data(), sh.size() * sizeof(Elf64_Shdr), eh.e_shoff)) {
            const Elf64_Shdr& names = sh[eh.e_shstrndx];
            std::vector<char> nameTable;
            if (names.sh_size < (1u << 20) && names.sh_offset <= fileSize && names.sh_size <= fileSize - names.sh_offset) {
                nameTable.resize(names.sh_size + 1, '\0');
                if (!readAt(fd, nameTable.data(), names.sh_size, names.sh_offset)) nameTable.clear();
            }
            for (const auto& h : sh) {
                if (nameTable.empty() || h.sh_name >= nameTable.size() - 1) continue;
                if (std::strcmp(nameTable.data() + h.sh_name, ".modinfo") != 0) continue;
                if (h.sh_size > (1u << 20) || h.sh_offset > fileSize || h.sh_size > fileSize - h.sh_offset) break;
                std::string data(h.sh_size, '\0');
                if (!readAt(fd, data.data(), data.size(), h.sh_offset)) break;
                std::string want = key + "=";
                std::size_t p = 0;
                while (p < data.size()) {
                    auto end = data.find('\0', p);
                    if (end == std::string::npos) end = data.size();
                    if (data.compare(p, want.size(), want) == 0) {
                        result = data.substr(p + want.size(), end - p - want.size());
                        break;
                    }
                    p = end + 1;
                }
                break;
            }
        }
    }
    ::close(fd);
    return result;
}

}  // namespace qv::posix::provider
