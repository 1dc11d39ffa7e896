// The table of management classes the local provider answers, each with its builder.
#include "facts/classes.h"

#include <strings.h>

namespace qv::facts {

const std::vector<ClassDef>& classTable() {
    static const std::vector<ClassDef> table = {
        {"Win32_ComputerSystem", computerSystem},
        {"Win32_ComputerSystemProduct", computerSystemProduct},
        {"Win32_OperatingSystem", operatingSystem},
        {"Win32_BaseService", baseService},
        {"Win32_Environment", environment},
        {"Win32_LogicalDisk", logicalDisk},
        {"Win32_BIOS", bios},
        {"Win32_Processor", processor},
        {"Win32_PhysicalMemory", physicalMemory},
        {"Win32_SystemEnclosure", systemEnclosure},
        {"Win32_BaseBoard", baseBoard},
        {"Win32_DiskDrive", diskDrive},
        {"Win32_CDROMDrive", cdromDrive},
        {"Win32_TapeDrive", tapeDrive},
        {"Win32_PointingDevice", pointingDevice},
        {"Win32_Keyboard", keyboard},
        {"Win32_PortConnector", portConnector},
        {"Win32_SerialPort", serialPort},
        {"Win32_ParallelPort", parallelPort},
        {"Win32_USBController", usbController},
        {"Win32_SCSIController", scsiController},
        {"Win32_POTSModem", potsModem},
        {"Win32_SoundDevice", soundDevice},
        {"Win32_DesktopMonitor", desktopMonitor},
        {"Win32_VideoController", videoController},
        {"Win32_NetworkAdapter", networkAdapter},
        {"Win32_NetworkAdapterConfiguration", networkAdapterConfiguration},
        {"Win32_NetworkClient", networkClient},
        {"Win32_NetworkProtocol", networkProtocol},
        {"Win32_Share", share},
        {"Win32_Printer", printer},
    };
    return table;
}

const ClassDef* findClass(const std::string& name) {
    for (const auto& c : classTable())
        if (strcasecmp(c.name, name.c_str()) == 0) return &c;
    return nullptr;
}

}  // namespace qv::facts
