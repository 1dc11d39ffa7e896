// Logical disks (mounted file systems) and the disk, optical and tape drives of /sys/block.
#include <algorithm>
#include <set>

#include "facts/classes.h"

namespace qv::facts {

namespace {

const std::set<std::string> kNetworkFs = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "9p",
                                          "ceph", "glusterfs", "afs"};

const char* driveTypeText(int type) {
    switch (type) {
        case 2: return "Removable Disk";
        case 3: return "Local Fixed Disk";
        case 4: return "Network Connection";
        case 5: return "CD-ROM Disc";
        case 6: return "RAM Disk";
        default: return "Unknown";
    }
}

// The sysfs block directory of a device number, resolved ("/sys/devices/.../block/sda/sda1").
std::optional<std::string> blockDir(Source& s, const std::string& majorMinor) {
    return s.resolve("/sys/dev/block/" + majorMinor);
}

// A disk's or partition's folder under /sys/block, where the disks' attributes are read, when
// the resolved folder is one of a listed disk ("/sys/devices/.../block/sda/sda1" is
// "/sys/block/sda/sda1"); the resolved folder itself otherwise.
std::string canonicalBlock(Source& s, const std::string& dir) {
    auto at = dir.rfind("/block/");
    if (at == std::string::npos) return dir;
    std::string rest = dir.substr(at + 7);
    const auto& disks = s.list("/sys/block");
    if (!std::binary_search(disks.begin(), disks.end(), rest.substr(0, rest.find('/')))) return dir;
    return "/sys/block/" + rest;
}

bool removableBlock(Source& s, const std::string& resolved) {
    if (resolved.find("/usb") != std::string::npos) return true;
    std::string dir = canonicalBlock(s, resolved);
    auto own = s.attr(dir + "/removable");
    if (!own && s.exists(dir + "/partition")) own = s.attr(dir.substr(0, dir.rfind('/')) + "/removable");
    return own.value_or("0") == "1";
}

bool excludedDisk(const std::string& name) {
    for (const char* p : {"loop", "ram", "zram", "dm-", "md", "nbd", "sr", "fd", "zd"})
        if (startsWith(name, p)) return true;
    return startsWith(name, "mmcblk") && (name.find("boot") != std::string::npos || endsWith(name, "rpmb"));
}

std::optional<std::string> vendorText(Source& s, const std::string& deviceDir) {
    auto v = s.attr(deviceDir + "/vendor");
    if (v && startsWith(*v, "0x")) {
        auto id = parseUnsigned(*v, 16);
        return id ? pciVendorName(s, static_cast<unsigned>(*id)) : std::nullopt;
    }
    if (!v)
        if (auto pciVendor = s.attr(deviceDir + "/device/vendor"))
            if (auto id = parseUnsigned(*pciVendor, 16)) return pciVendorName(s, static_cast<unsigned>(*id));
    return v;
}

std::optional<std::string> interfaceType(Source& s, const std::string& block) {
    auto dev = s.resolve("/sys/block/" + block + "/device");
    if (!dev) return std::nullopt;
    if (dev->find("/usb") != std::string::npos) return std::string("USB");
    if (dev->find("/fw") != std::string::npos || dev->find("sbp") != std::string::npos) return std::string("1394");
    if (dev->find("/ata") != std::string::npos) return std::string("IDE");  // SATA reports as IDE, as Windows does
    return std::string("SCSI");  // SCSI, SAS, NVMe, virtio, MMC
}

// The mounts that are logical disks: block devices (a device mounted in several places once, at
// its root where it is), network file systems, and RAM disks the file-system table names.
std::vector<const Mount*> diskMounts(Source& s) {
    std::set<std::string> nodev;
    if (const auto& f = s.file("/proc/filesystems"))
        for (const auto& line : splitLines(*f)) {
            auto w = splitWords(line);
            if (w.size() == 2 && w[0] == "nodev") nodev.insert(w[1]);
        }
    std::set<std::string> fstabRam;
    if (const auto& f = s.file("/etc/fstab"))
        for (const auto& line : splitLines(*f)) {
            auto w = splitWords(line);
            if (w.size() >= 3 && !startsWith(w[0], "#") && (w[2] == "tmpfs" || w[2] == "ramfs")) fstabRam.insert(w[1]);
        }
    // Bind mounts repeat a device: keep the mount of its root, else the first.
    std::vector<const Mount*> kept;
    std::set<std::string> seenDevices;
    const auto& all = mounts(s);
    for (const auto& m : all) {
        bool network = kNetworkFs.count(m.fsType) > 0;
        bool ram = (m.fsType == "tmpfs" || m.fsType == "ramfs") && fstabRam.count(m.mountPoint);
        bool block = startsWith(m.source, "/dev/") && !nodev.count(m.fsType) && m.fsType != "squashfs";
        if (!network && !ram && !block) continue;
        if (block) {
            if (seenDevices.count(m.device)) continue;
            const Mount* chosen = &m;
            if (m.root != "/")
                for (const auto& other : all)
                    if (other.device == m.device && other.root == "/") {
                        chosen = &other;
                        break;
                    }
            seenDevices.insert(m.device);
            kept.push_back(chosen);
        } else {
            kept.push_back(&m);
        }
    }
    return kept;
}

}  // namespace

void opticalDrivesAhead(Source& s, Ahead& ahead) {
    for (const auto& name : s.list("/sys/block"))
        if (startsWith(name, "sr"))
            for (const char* attr : {"/device/vendor", "/device/model"}) ahead.files.push_back("/sys/block/" + name + attr);
}

// Which entries of the disks' folders are their partitions.
void partitionsAhead(Source& s, Ahead& ahead) {
    for (const auto& name : s.list("/sys/block")) {
        if (excludedDisk(name)) continue;
        for (const auto& sub : s.list("/sys/block/" + name))
            if (startsWith(sub, name)) ahead.statuses.push_back("/sys/block/" + name + "/" + sub + "/partition");
    }
}

void logicalDisksAhead(Source& s, Ahead& ahead) {
    for (const Mount* m : diskMounts(s)) {
        ahead.spaces.push_back(m->mountPoint);
        if (startsWith(m->source, "/dev/")) ahead.resolved.push_back("/sys/dev/block/" + m->device);
    }
}

void blockDevicesAhead(Source& s, Ahead& ahead) {
    for (const Mount* m : diskMounts(s)) {
        if (!startsWith(m->source, "/dev/")) continue;
        auto dir = blockDir(s, m->device);
        if (!dir) continue;
        std::string canonical = canonicalBlock(s, *dir);
        ahead.files.push_back(canonical + "/removable");
        ahead.statuses.push_back(canonical + "/partition");
        ahead.files.push_back(canonical.substr(0, canonical.rfind('/')) + "/removable");
    }
}

Instances logicalDisk(Source& s) {
    // The devices are resolved first: their attributes are read where they lead.
    Ahead ahead, devices;
    logicalDisksAhead(s, ahead);
    s.prefetch(ahead);
    blockDevicesAhead(s, devices);
    s.prefetch(devices);
    Instances out;
    for (const Mount* m : diskMounts(s)) {
        int type = 3;
        if (kNetworkFs.count(m->fsType)) type = 4;
        else if (m->fsType == "iso9660" || m->fsType == "udf" || startsWith(m->source, "/dev/sr")) type = 5;
        else if (m->fsType == "tmpfs" || m->fsType == "ramfs") type = 6;
        else if (auto dir = blockDir(s, m->device); dir && removableBlock(s, *dir)) type = 2;
        Instance i;
        i.set("Name", Value::of(m->mountPoint));
        i.set("DeviceID", Value::of(m->mountPoint));
        i.set("Caption", Value::of(m->mountPoint));
        i.set("Description", Value::of(driveTypeText(type)));
        i.set("DriveType", Value::of(type));
        i.set("FileSystem", Value::of(m->fsType));
        std::optional<FsSpace> space;
        space = s.space(m->mountPoint);
        i.set("Size", space ? uint64Text(space->size) : Value::null());
        i.set("FreeSpace", space ? uint64Text(space->available) : Value::null());
        i.set("MediaType", type == 3 ? Value::of(12) : (type == 2 || type == 5) ? Value::of(11) : Value::null());
        i.set("ProviderName", type == 4 ? Value::of(m->source) : Value::null());
        i.set("VolumeName", Value::of(m->source));
        out.push_back(std::move(i));
    }
    return out;
}

void disksAhead(Source& s, Ahead& ahead) {
    for (const auto& name : s.list("/sys/block")) {
        if (excludedDisk(name)) continue;
        std::string base = "/sys/block/" + name;
        for (const char* attr : {"device/model", "device/name", "device/vendor", "device/serial", "size", "removable",
                                 "serial", "vendor", "model"})
            ahead.files.push_back(base + "/" + attr);
        ahead.folders.push_back(base);
        ahead.resolved.push_back(base + "/device");
    }
}

Instances diskDrive(Source& s) {
    Ahead ahead, partitions;
    disksAhead(s, ahead);
    s.prefetch(ahead);
    partitionsAhead(s, partitions);
    s.prefetch(partitions);
    Instances out;
    int index = 0;
    for (const auto& name : s.list("/sys/block")) {
        if (excludedDisk(name)) continue;
        std::string base = "/sys/block/" + name;
        Instance i;
        auto model = s.attr(base + "/device/model");
        if (!model) model = s.attr(base + "/device/name");
        // A virtio disk has no model of its own: the PCI function that carries it names it.
        if (!model)
            if (auto dev = s.resolve(base + "/device"))
                if (auto pci = pciDevice(s, dev->substr(0, dev->find_last_of('/'))))
                    if (auto names = pciNames(s, *pci); names.listed) model = names.device;
        i.set("DeviceID", Value::of("/dev/" + name));
        i.set("Name", Value::of("/dev/" + name));
        i.set("Index", Value::of(index++));
        i.set("Caption", Value::of(model.value_or("Disk drive")));
        i.set("Description", Value::of("Disk drive"));
        i.set("InterfaceType", textOrNull(interfaceType(s, name)));
        i.set("Manufacturer", textOrNull(vendorText(s, base + "/device")));
        i.set("Model", textOrNull(model));
        auto sectors = parseUnsigned(s.attr(base + "/size").value_or(""));
        i.set("Size", sectors && *sectors ? uint64Text(*sectors * 512) : Value::null());
        int parts = 0;
        for (const auto& sub : s.list(base))
            if (startsWith(sub, name) && s.exists(base + "/" + sub + "/partition")) ++parts;
        i.set("Partitions", Value::of(parts));
        bool removable = s.attr(base + "/removable").value_or("0") == "1";
        i.set("MediaType", Value::of(removable ? "Removable Media" : "Fixed hard disk media"));
        auto serial = s.attr(base + "/device/serial");
        if (!serial) serial = s.attr(base + "/serial");
        i.set("SerialNumber", textOrNull(serial));
        out.push_back(std::move(i));
    }
    return out;
}

Instances cdromDrive(Source& s) {
    Ahead ahead;
    opticalDrivesAhead(s, ahead);
    s.prefetch(ahead);
    Instances out;
    for (const auto& name : s.list("/sys/block")) {
        if (!startsWith(name, "sr")) continue;
        std::string base = "/sys/block/" + name + "/device";
        std::string dev = "/dev/" + name;
        std::string drive = dev;
        for (const auto& m : mounts(s))
            if (m.source == dev) drive = m.mountPoint;
        auto vendor = s.attr(base + "/vendor");
        auto model = s.attr(base + "/model");
        std::optional<std::string> full;
        if (vendor || model) full = trim(vendor.value_or("") + " " + model.value_or(""));
        Instance i;
        i.set("Drive", Value::of(drive));
        i.set("DeviceID", Value::of(dev));
        i.set("Name", textOrNull(full));
        i.set("Caption", textOrNull(full));
        i.set("Description", Value::of("CD-ROM Drive"));
        i.set("Manufacturer", textOrNull(vendor));
        out.push_back(std::move(i));
    }
    return out;
}

Instances tapeDrive(Source& s) {
    Instances out;
    for (const auto& name : s.list("/sys/class/scsi_tape")) {
        if (name.size() < 3 || !startsWith(name, "st") ||
            !std::all_of(name.begin() + 2, name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            continue;
        std::string base = "/sys/class/scsi_tape/" + name + "/device";
        auto vendor = s.attr(base + "/vendor");
        auto model = s.attr(base + "/model");
        std::optional<std::string> full;
        if (vendor || model) full = trim(vendor.value_or("") + " " + model.value_or(""));
        auto addr = s.resolve(base);
        Instance i;
        i.set("Name", textOrNull(full));
        i.set("Caption", textOrNull(full));
        i.set("ID", Value::of("/dev/" + name));
        i.set("Description", Value::of("Tape drive"));
        i.set("Manufacturer", textOrNull(vendor));
        i.set("DeviceID", addr ? Value::of(baseName(*addr)) : Value::of(name));
        out.push_back(std::move(i));
    }
    return out;
}

}  // namespace qv::facts
