// The category collectors and the table that orders them into the inventory's four phases.
#pragma once

#include <string>
#include <vector>

#include "core/target_context.h"

namespace qv::inventory {

enum class Phase { OperatingSystem, Hardware, Network, Software };

struct CollectorEntry {
    Phase phase;
    const char* trace;        // debug trace after the collector (before it in the software phase)
    void (*run)(TargetContext&);
};

// Computer system and device identity: the identity block, TargetDomain, the master rows.
void collectComputerSystem(TargetContext& ctx);
std::string decodeDomainRole(const Value& v);  // "1 (Member Workstation)"

// Operating system and services: the OSData row.
void collectOperatingSystem(TargetContext& ctx);
std::string decodeProductSuite(const Value& v);  // "2=Enterprise Server"
std::string decodeOSType(const Value& v);        // "18=WINNT (Incl W2k & XP)"
std::string shortOSName(const Value& v);         // Name before its first "|", trimmed, cut to its column

// Operating-system phase: environment variables and logical drives.
void collectEnvironmentVariables(TargetContext& ctx);
void collectLogicalDrives(TargetContext& ctx);
// Hardware phase: firmware, processors and memory.
void collectBios(TargetContext& ctx);
void collectProcessors(TargetContext& ctx);
void collectPhysicalMemory(TargetContext& ctx);
// Hardware phase: enclosure, base board and storage devices.
void collectSystemEnclosure(TargetContext& ctx);
void collectBaseBoard(TargetContext& ctx);
void collectDiskDrives(TargetContext& ctx);
void collectOpticalDrives(TargetContext& ctx);
void collectTapeDrives(TargetContext& ctx);
// Hardware phase: input devices and ports.
void collectPointingDevices(TargetContext& ctx);
void collectKeyboards(TargetContext& ctx);
void collectPortConnectors(TargetContext& ctx);
void collectSerialPorts(TargetContext& ctx);
void collectParallelPorts(TargetContext& ctx);
void collectUsbControllers(TargetContext& ctx);
void collectScsiControllers(TargetContext& ctx);
// Hardware phase: modems, audio, display, network adapters and printers.
void collectModems(TargetContext& ctx);
void collectSoundDevices(TargetContext& ctx);
void collectDesktopMonitors(TargetContext& ctx);
void collectVideoControllers(TargetContext& ctx);
void collectNetworkAdapters(TargetContext& ctx);
void collectPrinters(TargetContext& ctx);
// Network phase: TCP/IP, IPX/SPX, services, protocols and shares.
void collectTcpIp(TargetContext& ctx);
void collectIpxSpx(TargetContext& ctx);
void collectNetworkServices(TargetContext& ctx);
void collectNetworkProtocols(TargetContext& ctx);
void collectShares(TargetContext& ctx);
// Software phase: system drivers, installed packages and registered applications.
void collectSoftware(TargetContext& ctx);
// The system drivers, the first step of the software collector; a remote target's driver files
// are read through `files`.
class TargetFiles;
void collectSystemDrivers(TargetContext& ctx, TargetFiles& files);

// The category sequence, in driver order.
const std::vector<CollectorEntry>& collectorTable();

// The classes a phase's collectors query, in the order they first do, so that a connection with
// several requests in flight can ask for them all as the phase starts.
const std::vector<const char*>& phaseClasses(Phase phase);

}  // namespace qv::inventory
