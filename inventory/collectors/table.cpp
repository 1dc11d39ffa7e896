// The category sequence: which collector runs in which phase, in which order.
#include "inventory/collectors/collectors.h"

namespace qv::inventory {

const std::vector<CollectorEntry>& collectorTable() {
    static const std::vector<CollectorEntry> table = {
        {Phase::OperatingSystem, " DeviceID", collectComputerSystem},
        {Phase::OperatingSystem, " OSData", collectOperatingSystem},
        {Phase::OperatingSystem, " EnvData", collectEnvironmentVariables},
        {Phase::OperatingSystem, " Drives", collectLogicalDrives},
        {Phase::Hardware, " BIOS", collectBios},
        {Phase::Hardware, " CPU", collectProcessors},
        {Phase::Hardware, " RAM", collectPhysicalMemory},
        {Phase::Hardware, " Box", collectSystemEnclosure},
        {Phase::Hardware, " Base", collectBaseBoard},
        {Phase::Hardware, " HD", collectDiskDrives},
        {Phase::Hardware, " OD", collectOpticalDrives},
        {Phase::Hardware, " Tape", collectTapeDrives},
        {Phase::Hardware, " Point", collectPointingDevices},
        {Phase::Hardware, " Keyb", collectKeyboards},
        {Phase::Hardware, " Port", collectPortConnectors},
        {Phase::Hardware, " COM", collectSerialPorts},
        {Phase::Hardware, " LPT", collectParallelPorts},
        {Phase::Hardware, " USB", collectUsbControllers},
        {Phase::Hardware, " SCSI", collectScsiControllers},
        {Phase::Hardware, " Modem", collectModems},
        {Phase::Hardware, " Audio", collectSoundDevices},
        {Phase::Hardware, " Monitor", collectDesktopMonitors},
        {Phase::Hardware, " Video", collectVideoControllers},
        {Phase::Hardware, " NIC", collectNetworkAdapters},
        {Phase::Hardware, " Printer", collectPrinters},
        {Phase::Network, " TcpIp", collectTcpIp},
        {Phase::Network, " IpxSpx", collectIpxSpx},
        {Phase::Network, " Svcs", collectNetworkServices},
        {Phase::Network, " NetProto", collectNetworkProtocols},
        {Phase::Network, " Share", collectShares},
        {Phase::Software, " SWData", collectSoftware},
    };
    return table;
}

}  // namespace qv::inventory
