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

const std::vector<const char*>& phaseClasses(Phase phase) {
    static const std::vector<const char*> os = {"Win32_ComputerSystem", "Win32_ComputerSystemProduct",
                                                "Win32_OperatingSystem", "Win32_BaseService",
                                                "Win32_Environment", "Win32_LogicalDisk"};
    static const std::vector<const char*> hardware = {
        "Win32_BIOS", "Win32_Processor", "Win32_PhysicalMemory", "Win32_SystemEnclosure", "Win32_BaseBoard",
        "Win32_DiskDrive", "Win32_CDROMDrive", "Win32_TapeDrive", "Win32_PointingDevice", "Win32_Keyboard",
        "Win32_PortConnector", "Win32_SerialPort", "Win32_ParallelPort", "Win32_USBController",
        "Win32_SCSIController", "Win32_POTSModem", "Win32_SoundDevice", "Win32_DesktopMonitor",
        "Win32_VideoController", "Win32_NetworkAdapter", "Win32_Printer"};
    static const std::vector<const char*> network = {"Win32_NetworkAdapterConfiguration", "Win32_BaseService",
                                                     "Win32_NetworkClient", "Win32_NetworkProtocol", "Win32_Share"};
    static const std::vector<const char*> software = {"Win32_BaseService"};
    switch (phase) {
        case Phase::OperatingSystem: return os;
        case Phase::Hardware: return hardware;
        case Phase::Network: return network;
        case Phase::Software: break;
    }
    return software;
}

}  // namespace qv::inventory
