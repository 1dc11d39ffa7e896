// Test support: synthetic Linux file trees (sysfs, procfs, /etc, SMBIOS blobs) for the local provider.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "facts/source.h"

namespace qvtest {

// A temporary root directory, removed at the end of the test.
class Tree {
public:
    Tree();
    ~Tree();
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;
    const std::string& root() const { return root_; }
    // Writes root + path (parents created).
    Tree& file(const std::string& path, const std::string& content);
    Tree& dir(const std::string& path);
    Tree& link(const std::string& path, const std::string& target);  // symlink root + path → target as given
    Tree& remove(const std::string& path);                           // recursive
    void setTime(const std::string& path, std::time_t mtime);

private:
    std::string root_;
};

// One SMBIOS structure: type, handle, formatted area after the 4-byte header, string set.
std::string smbiosStructure(std::uint8_t type, std::uint16_t handle, const std::vector<std::uint8_t>& body,
                            const std::vector<std::string>& strings);
std::string smbios3EntryPoint(std::uint8_t major, std::uint8_t minor, std::uint32_t tableSize);

// Probes that never ask the running system (fixed clock, no interfaces unless given).
qv::facts::Probes quietProbes();

// Options for a tree with quiet probes.
qv::facts::Options optionsFor(const Tree& tree);

// Property text of an instance for comparisons: Null as "<null>", lists joined by ",".
std::string text(const qv::Instance& instance, const std::string& property);

}  // namespace qvtest

namespace qvtest {
// A minimal ELF64 kernel module whose .modinfo section holds the given key=value strings.
std::string kernelModule(const std::vector<std::string>& modinfo);
}  // namespace qvtest
