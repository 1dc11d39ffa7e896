// Test support: synthetic Linux file trees for the local provider.
#include "tests/facts/tree.h"

#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <fstream>

#include "tests/support/sim_run.h"

namespace qvtest {

namespace fs = std::filesystem;

Tree::Tree() : root_(makeTempDir()) {}
Tree::~Tree() {
    std::error_code ec;
    fs::remove_all(root_, ec);
}

Tree& Tree::file(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(root_ + path).parent_path());
    std::ofstream out(root_ + path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return *this;
}

Tree& Tree::dir(const std::string& path) {
    fs::create_directories(root_ + path);
    return *this;
}

Tree& Tree::link(const std::string& path, const std::string& target) {
    fs::create_directories(fs::path(root_ + path).parent_path());
    fs::create_symlink(target, root_ + path);
    return *this;
}

Tree& Tree::remove(const std::string& path) {
    fs::remove_all(root_ + path);
    return *this;
}

void Tree::setTime(const std::string& path, std::time_t mtime) {
    utimbuf t{mtime, mtime};
    ::utime((root_ + path).c_str(), &t);
}

std::string smbiosStructure(std::uint8_t type, std::uint16_t handle, const std::vector<std::uint8_t>& body,
                            const std::vector<std::string>& strings) {
    std::string s;
    s += static_cast<char>(type);
    s += static_cast<char>(body.size() + 4);
    s += static_cast<char>(handle & 0xFF);
    s += static_cast<char>(handle >> 8);
    for (auto b : body) s += static_cast<char>(b);
    for (const auto& str : strings) {
        s += str;
        s += '\0';
    }
    if (strings.empty()) s += '\0';
    s += '\0';
    return s;
}

std::string smbios3EntryPoint(std::uint8_t major, std::uint8_t minor, std::uint32_t tableSize) {
    std::string e = "_SM3_";
    e.resize(24, '\0');
    e[0x06] = 0x18;
    e[0x07] = static_cast<char>(major);
    e[0x08] = static_cast<char>(minor);
    for (int k = 0; k < 4; ++k) e[0x0C + k] = static_cast<char>((tableSize >> (8 * k)) & 0xFF);
    return e;
}

qv::facts::Probes quietProbes() {
    qv::facts::Probes p;
    p.interfaceAddresses = [] { return std::vector<qv::facts::InterfaceAddress>{}; };
    p.fsSpace = [](const std::string&) { return std::optional<qv::facts::FsSpace>{}; };
    p.processorId = [] { return std::optional<std::string>("BFEBFBFF000906EA"); };
    p.birthTime = [](const std::string&) { return std::optional<std::time_t>{}; };
    p.environment = [](const std::string&) { return std::optional<std::string>{}; };
    p.machine = [] { return std::string("x86_64"); };
    p.now = [] { return std::time_t{1765180800}; };  // 2025-12-08 08:00:00 UTC
    return p;
}

qv::facts::Options optionsFor(const Tree& tree) {
    qv::facts::Options o;
    o.root = tree.root();
    o.probes = quietProbes();
    return o;
}

std::string text(const qv::Instance& instance, const std::string& property) {
    const qv::Value& v = instance.get(property);
    switch (v.kind) {
        case qv::Value::Kind::Unreadable: return "<unreadable>";
        case qv::Value::Kind::Null: return "<null>";
        case qv::Value::Kind::Bool: return v.boolean ? "True" : "False";
        case qv::Value::Kind::Int: return std::to_string(v.integer);
        case qv::Value::Kind::Double: return std::to_string(v.real);
        case qv::Value::Kind::Text: return v.text;
        case qv::Value::Kind::List: {
            std::string s;
            for (const auto& item : v.list) s += (s.empty() ? "" : ",") + item.text;
            return s;
        }
    }
    return {};
}

}  // namespace qvtest

#include <elf.h>

#include <cstring>

namespace qvtest {

std::string kernelModule(const std::vector<std::string>& modinfo) {
    const std::string names = std::string("\0.shstrtab\0.modinfo\0", 20);
    std::string info;
    for (const auto& s : modinfo) info += s + '\0';
    std::size_t namesAt = sizeof(Elf64_Ehdr), infoAt = namesAt + names.size();
    std::size_t shAt = (infoAt + info.size() + 7) & ~std::size_t{7};
    Elf64_Ehdr eh {};
    std::memcpy(eh.e_ident, ELFMAG, SELFMAG);
    eh.e_ident[EI_CLASS] = ELFCLASS64;
    eh.e_ident[EI_DATA] = ELFDATA2LSB;
    eh.e_ident[EI_VERSION] = EV_CURRENT;
    eh.e_type = ET_REL;
    eh.e_machine = EM_X86_64;
    eh.e_version = EV_CURRENT;
    eh.e_ehsize = sizeof(Elf64_Ehdr);
    eh.e_shoff = shAt;
    eh.e_shentsize = sizeof(Elf64_Shdr);
    eh.e_shnum = 3;
    eh.e_shstrndx = 1;
    Elf64_Shdr sh[3] {};
    sh[1].sh_name = 1;
    sh[1].sh_type = SHT_STRTAB;
    sh[1].sh_offset = namesAt;
    sh[1].sh_size = names.size();
    sh[2].sh_name = 11;
    sh[2].sh_type = SHT_PROGBITS;
    sh[2].sh_offset = infoAt;
    sh[2].sh_size = info.size();
    std::string out(reinterpret_cast<const char*>(&eh), sizeof eh);
    out += names + info;
    out.resize(shAt, '\0');
    out.append(reinterpret_cast<const char*>(sh), sizeof sh);
    return out;
}

}  // namespace qvtest
