// The table of management classes the local provider answers (their declared names), each with its builder.
#include "facts/classes.h"

#include <strings.h>

#include "classes/declarations.h"

namespace qv::facts {

const std::vector<ClassDef>& classTable() {
    static const std::vector<ClassDef> table = {
        {classes::Win32_ComputerSystem, computerSystem},
        {classes::Win32_ComputerSystemProduct, computerSystemProduct},
        {classes::Win32_OperatingSystem, operatingSystem},
        {classes::Win32_BaseService, baseService},
        {classes::Win32_Environment, environment},
        {classes::Win32_LogicalDisk, logicalDisk},
        {classes::Win32_BIOS, bios},
        {classes::Win32_Processor, processor},
        {classes::Win32_PhysicalMemory, physicalMemory},
        {classes::Win32_SystemEnclosure, systemEnclosure},
        {classes::Win32_BaseBoard, baseBoard},
        {classes::Win32_DiskDrive, diskDrive},
        {classes::Win32_CDROMDrive, cdromDrive},
        {classes::Win32_TapeDrive, tapeDrive},
        {classes::Win32_PointingDevice, pointingDevice},
        {classes::Win32_Keyboard, keyboard},
        {classes::Win32_PortConnector, portConnector},
        {classes::Win32_SerialPort, serialPort},
        {classes::Win32_ParallelPort, parallelPort},
        {classes::Win32_USBController, usbController},
        {classes::Win32_SCSIController, scsiController},
        {classes::Win32_POTSModem, potsModem},
        {classes::Win32_SoundDevice, soundDevice},
        {classes::Win32_DesktopMonitor, desktopMonitor},
        {classes::Win32_VideoController, videoController},
        {classes::Win32_NetworkAdapter, networkAdapter},
        {classes::Win32_NetworkAdapterConfiguration, networkAdapterConfiguration},
        {classes::Win32_NetworkClient, networkClient},
        {classes::Win32_NetworkProtocol, networkProtocol},
        {classes::Win32_Share, share},
        {classes::Win32_Printer, printer},
    };
    return table;
}

const ClassDef* findClass(const std::string& name) {
    for (const auto& c : classTable())
        if (strcasecmp(c.name, name.c_str()) == 0) return &c;
    return nullptr;
}

}  // namespace qv::facts
