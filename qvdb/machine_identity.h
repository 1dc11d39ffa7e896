// One machine counted once: inventories under several names told apart or joined by their hardware.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "qvdb/inventory_source.h"

namespace qv::qvdb {

// What a computer's latest inventory says of its hardware.
struct HardwareFacts {
    std::string uuid;       // DeviceID.UUID (SMBIOS system UUID)
    std::string serial;     // DeviceID.IdentifyingNumber
    std::string model;      // DeviceID.Manufacturer and Model
    std::string machineId;  // a Linux system's machine-id (OSData.SerialNumber when OSType is 36)
    std::set<std::string> macs;  // the adapters' MAC addresses, upper case
};

// How a machine is known: the first of UUID, machine-id, serial with model, MAC addresses that
// the facts hold a real value of; "name" when none (the computer is then only its name).
struct MachineKey {
    std::string by;     // "uuid", "machine-id", "serial", "mac" or "name"
    std::string value;  // normalised: "" for "name"
};
MachineKey machineKeyOf(const HardwareFacts& facts);

// Values firmware and virtual adapters put where they have no real one.
bool placeholderUuid(const std::string& uuid);
bool placeholderSerial(const std::string& serial);
bool usableMac(const std::string& mac);

// The machine of each computer, numbered from 0 in the order of their first computer: computers
// of one key are one machine, except that when both report MAC addresses and share none they are
// clones (a copied virtual machine keeps its UUID and serial but gets new adapters).
std::vector<std::size_t> machinesOf(const std::vector<HardwareFacts>& computers);

// The computers of the inventory list (runs of one name and domain) and their machines.
struct Fleet {
    struct Computer {
        std::size_t first, end;  // the computer's inventories in the list: [first, end)
        std::size_t machine;
        MachineKey key;
    };
    std::vector<InventoryKey> inventories;  // as the source lists them
    std::vector<Computer> computers;
    std::vector<std::vector<std::size_t>> machines;  // computers of each machine, earliest first inventory first
};

// Reads the inventory list and the hardware facts of each computer's latest inventory (four table
// scans in the current view, of the columns they come from), and joins the computers into
// machines. A value over 4,096 bytes is no identity: it counts as an empty one.
bool readFleet(InventorySource& source, Fleet& out, std::string& error);
// The same, read in one consistent view of its own.
bool readFleetInOneView(InventorySource& source, Fleet& out, std::string& error);

// Every inventory of a machine, oldest first (index into Fleet::inventories).
std::vector<std::size_t> inventoriesOfMachine(const Fleet& fleet, std::size_t machine);

}  // namespace qv::qvdb
