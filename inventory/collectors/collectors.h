// The category collectors and the table that orders them into the inventory's four phases.
#pragma once

#include <string>
#include <vector>

#include "run/context.h"

namespace qv::inventory {

enum class Phase { OperatingSystem, Hardware, Network, Software };

struct CollectorEntry {
    Phase phase;
    const char* trace;        // debug trace after the collector (before it in the software phase)
    void (*run)(RunContext&);
};

// Computer system and device identity: the identity block, TargetDomain, the master rows.
void collectComputerSystem(RunContext& ctx);
std::string decodeDomainRole(const Value& v);  // "1 (Member Workstation)"

// Operating system and services: the OSData row.
void collectOperatingSystem(RunContext& ctx);
std::string decodeProductSuite(const Value& v);  // "2=Enterprise Server"
std::string decodeOSType(const Value& v);        // "18=WINNT (Incl W2k & XP)"
std::string shortOSName(const Value& v);         // Name before its first "|", trimmed, cut to 64

// Operating-system phase: environment variables and logical drives.
void collectEnvironmentVariables(RunContext& ctx);
void collectLogicalDrives(RunContext& ctx);
// Hardware phase: firmware, processors and memory.
void collectBios(RunContext& ctx);
void collectProcessors(RunContext& ctx);
void collectPhysicalMemory(RunContext& ctx);
// Hardware phase: enclosure, base board and storage devices.
void collectSystemEnclosure(RunContext& ctx);
void collectBaseBoard(RunContext& ctx);
void collectDiskDrives(RunContext& ctx);
void collectOpticalDrives(RunContext& ctx);
void collectTapeDrives(RunContext& ctx);
// Hardware phase: input devices and ports.
void collectPointingDevices(RunContext& ctx);
void collectKeyboards(RunContext& ctx);
void collectPortConnectors(RunContext& ctx);
void collectSerialPorts(RunContext& ctx);
void collectParallelPorts(RunContext& ctx);
void collectUsbControllers(RunContext& ctx);
void collectScsiControllers(RunContext& ctx);
// Hardware phase: modems, audio, display, network adapters and printers.
void collectModems(RunContext& ctx);
void collectSoundDevices(RunContext& ctx);
void collectDesktopMonitors(RunContext& ctx);
void collectVideoControllers(RunContext& ctx);
void collectNetworkAdapters(RunContext& ctx);
void collectPrinters(RunContext& ctx);
// Network phase: TCP/IP, IPX/SPX, services, protocols and shares.
void collectTcpIp(RunContext& ctx);
void collectIpxSpx(RunContext& ctx);
void collectNetworkServices(RunContext& ctx);
void collectNetworkProtocols(RunContext& ctx);
void collectShares(RunContext& ctx);
// Software phase: system drivers, installed packages and registered applications.
void collectSoftware(RunContext& ctx);
// The system drivers, the first step of the software collector.
void collectSystemDrivers(RunContext& ctx);

// The category sequence, in driver order.
const std::vector<CollectorEntry>& collectorTable();

}  // namespace qv::inventory
