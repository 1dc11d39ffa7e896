// The category sequence: which collector runs in which phase, in which order.
#include "inventory/collectors/collectors.h"

#include "classes/declarations.h"

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
    using namespace classes;
    static const std::vector<const char*> os = {Win32_ComputerSystem.name,  Win32_ComputerSystemProduct.name,
                                                Win32_OperatingSystem.name, Win32_BaseService.name,
                                                Win32_Environment.name,     Win32_LogicalDisk.name};
    static const std::vector<const char*> hardware = {
        Win32_BIOS.name,           Win32_Processor.name,      Win32_PhysicalMemory.name,  Win32_SystemEnclosure.name,
        Win32_BaseBoard.name,      Win32_DiskDrive.name,      Win32_CDROMDrive.name,      Win32_TapeDrive.name,
        Win32_PointingDevice.name, Win32_Keyboard.name,       Win32_PortConnector.name,   Win32_SerialPort.name,
        Win32_ParallelPort.name,   Win32_USBController.name,  Win32_SCSIController.name,  Win32_POTSModem.name,
        Win32_SoundDevice.name,    Win32_DesktopMonitor.name, Win32_VideoController.name, Win32_NetworkAdapter.name,
        Win32_Printer.name};
    static const std::vector<const char*> network = {Win32_NetworkAdapterConfiguration.name, Win32_BaseService.name,
                                                     Win32_NetworkClient.name, Win32_NetworkProtocol.name,
                                                     Win32_Share.name};
    static const std::vector<const char*> software = {Win32_BaseService.name};
    switch (phase) {
        case Phase::OperatingSystem: return os;
        case Phase::Hardware: return hardware;
        case Phase::Network: return network;
        case Phase::Software: break;
    }
    return software;
}

}  // namespace qv::inventory
