// The management classes the local provider answers: one builder per class, grouped by source.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "classes/declarations.h"
#include "facts/source.h"

namespace qv::facts {

using Builder = Instances (*)(Source&);
struct ClassDef {
    ClassDef(const classes::ClassDecl& declared, Builder builder) : name(declared.name), build(builder) {}
    const char* name;
    Builder build;
};
// Every class, in the order the collectors read them.
const std::vector<ClassDef>& classTable();
const ClassDef* findClass(const std::string& name);  // ignoring case

// system.cpp
Instances computerSystem(Source&);
Instances computerSystemProduct(Source&);
Instances operatingSystem(Source&);
Instances environment(Source&);
// firmware.cpp
Instances bios(Source&);
Instances processor(Source&);
Instances physicalMemory(Source&);
Instances systemEnclosure(Source&);
Instances baseBoard(Source&);
Instances portConnector(Source&);
// services.cpp
Instances baseService(Source&);
// storage.cpp
Instances logicalDisk(Source&);
Instances diskDrive(Source&);
Instances cdromDrive(Source&);
Instances tapeDrive(Source&);
// devices.cpp
Instances pointingDevice(Source&);
Instances keyboard(Source&);
Instances serialPort(Source&);
Instances parallelPort(Source&);
Instances usbController(Source&);
Instances scsiController(Source&);
Instances potsModem(Source&);
Instances soundDevice(Source&);
Instances desktopMonitor(Source&);
Instances videoController(Source&);
// network.cpp
Instances networkAdapter(Source&);
Instances networkAdapterConfiguration(Source&);
Instances networkClient(Source&);
Instances networkProtocol(Source&);
Instances share(Source&);
Instances printer(Source&);

// What the classes read of every item of a kind, added to `ahead` (the folders they come from
// already listed): PCI functions, network interfaces, disks, processors, processes, the dpkg
// packages' file lists.
void pciAhead(Source&, Ahead&);
void interfacesAhead(Source&, Ahead&);
void disksAhead(Source&, Ahead&);
void processorsAhead(Source&, Ahead&);
void processesAhead(Source&, Ahead&);
void packageListsAhead(Source&, Ahead&);
void logicalDisksAhead(Source&, Ahead&);  // file-system sizes and block devices of the mounts
void portsAhead(Source&, Ahead&);
void modulesAhead(Source&, Ahead&);       // where the kernel's modules may be
void servicesAhead(Source&, Ahead&);      // what the unit folders say of the units' other files
void environmentAhead(Source&, Ahead&);   // environment settings, the system's and each person's
void printersAhead(Source&, Ahead&);
void opticalDrivesAhead(Source&, Ahead&);
// The second wave, from the answers to the first.
void blockDevicesAhead(Source&, Ahead&);  // the mounts' devices' attributes, once resolved
void partitionsAhead(Source&, Ahead&);
void moduleFilesAhead(Source&, Ahead&);
void serviceFilesAhead(Source&, Ahead&);  // unit files, drop-ins and process lists
void interfaceFilesAhead(Source&, Ahead&);  // the interfaces' configuration and lease files

// Facts shared between class groups.
std::string hostName(Source&);  // short host name, upper case as NetBIOS names are
std::optional<std::string> kernelRelease(Source&);
const std::vector<IniSection>& sambaConfig(Source&);  // empty when Samba is not configured
std::optional<std::string> sambaGlobal(Source&, const std::string& key);
// The SMBIOS chassis type (1-36), from the tables or the kernel's decode.
std::optional<int> chassisType(Source&);

// One mount of /proc/self/mountinfo.
struct Mount {
    std::string device;  // major:minor
    std::string root, mountPoint, fsType, source;
};
const std::vector<Mount>& mounts(Source&);

// PCI device names from pci.ids (or udev's database); absent when no list names them.
struct PciDevice {
    std::string address;  // 0000:00:02.0
    unsigned vendor = 0, device = 0, subVendor = 0, subDevice = 0, revision = 0, classCode = 0;
};
std::vector<PciDevice> pciDevices(Source&);
std::optional<PciDevice> pciDevice(Source&, const std::string& sysfsDir);
std::optional<std::string> pciVendorName(Source&, unsigned vendor);
std::optional<std::string> pciDeviceName(Source&, unsigned vendor, unsigned device);
// A device's own name and its maker, from pci.ids, else udev's database; without either the
// generic class text with the ids ("Ethernet controller [1af4:1041]").
struct PciNames {
    std::string device;
    std::optional<std::string> vendor;
    bool listed = false;  // a list named the device (else `device` is the generic text)
};
PciNames pciNames(Source&, const PciDevice&);
std::string pnpDeviceId(const PciDevice&);
std::string driverName(Source&, const std::string& sysfsDir);  // basename of the driver link, "" if none

// Installed packages (packages.cpp), also the owners of files for file versions.
struct Package {
    std::string key;  // registry subkey name
    std::string name, version, publisher, installDate;
};
const std::vector<Package>& installedPackages(Source&);
// Oldest package registration time (an install-date fallback).
std::optional<std::time_t> oldestPackageTime(Source&);

}  // namespace qv::facts
