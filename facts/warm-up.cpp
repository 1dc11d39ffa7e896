// What every inventory of a Linux computer reads, asked for together at its first call: the fixed
// files and folders, then each device's, processor's and process's files. On a remote computer they
// then cost a few round trips in all instead of a few each.
#include "facts/classes.h"
#include "facts/smbios.h"

namespace qv::facts {

namespace {

// Read whole up to the ordinary limit.
const char* const kFiles[] = {
    "/etc/os-release", "/etc/debian_version", "/etc/hostname", "/etc/machine-id", "/etc/machine-info",
    "/etc/passwd", "/etc/group", "/etc/resolv.conf", "/etc/fstab", "/etc/environment", "/etc/locale.conf",
    "/etc/vconsole.conf", "/etc/default/locale", "/etc/default/keyboard", "/etc/krb5.conf", "/etc/samba/smb.conf",
    "/etc/sssd/sssd.conf", "/etc/cups/printers.conf", "/etc/exports", "/etc/network/interfaces",
    "/etc/security/pam_env.conf", "/etc/X11/xorg.conf.d/00-keyboard.conf", "/run/utmp", "/run/systemd/seats/seat0",
    "/var/lib/dhcp/dhclient.leases", "/proc/cpuinfo", "/proc/meminfo", "/proc/modules", "/proc/filesystems",
    "/proc/self/mountinfo", "/proc/net/route", "/proc/net/ipv6_route", "/proc/net/if_inet6", "/proc/net/fib_trie",
    "/proc/net/protocols", "/proc/bus/input/devices", "/proc/asound/cards", "/proc/device-tree/model",
    "/proc/sys/kernel/hostname", "/proc/sys/kernel/osrelease", "/proc/sys/kernel/arch",
    "/sys/firmware/dmi/tables/smbios_entry_point", "/usr/lib/os-release", "/etc/redhat-release", "/etc/rocky-release",
    "/var/lib/dbus/machine-id", "/etc/cups/lpoptions",
};
// Package databases and firmware tables, read up to the larger limit.
const char* const kLargeFiles[] = {"/var/lib/dpkg/status", "/sys/firmware/dmi/tables/DMI"};
const char* const kFolders[] = {
    "/etc", "/etc/default", "/etc/systemd/system", "/run/systemd/system", "/usr/local/lib/systemd/system", "/usr/lib/systemd/system",
    "/lib/systemd/system", "/etc/init.d", "/etc/systemd/network", "/etc/netplan", "/etc/environment.d",
    "/etc/exports.d", "/var/lib/NetworkManager", "/var/lib/dhclient",
    "/var/lib/samba/usershares", "/proc", "/proc/sys/dev/parport", "/sys/block", "/sys/class/net", "/sys/class/tty",
    "/sys/class/drm", "/sys/class/sound", "/sys/class/ppdev", "/sys/class/scsi_tape", "/sys/bus/pci/devices",
    "/sys/bus/hdaudio/devices", "/sys/bus/parport/devices", "/sys/devices/system/edac/mc",
};
// Looked at for their existence or type only.
const char* const kStatuses[] = {
    "/etc/krb5.keytab", "/etc/samba/lmhosts", "/var/log/installer", "/var/log/anaconda", "/root/anaconda-ks.cfg",
    "/var/lib/rpm/rpmdb.sqlite", "/usr/lib/sysimage/rpm/rpmdb.sqlite", "/proc/net/ipx", "/bin", "/run/systemd/system",
    // The id lists, compared with this computer's copies.
    "/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids", "/usr/share/pci.ids", "/usr/share/hwdata/pnp.ids",
    "/usr/share/misc/pnp.ids",
};
// Links whose targets are read.
const char* const kLinks[] = {"/bin"};

std::vector<std::string> paths(const auto& list) { return std::vector<std::string>(std::begin(list), std::end(list)); }

}  // namespace

void warmUp(Source& s) {
    Ahead fixed;
    fixed.folders = paths(kFolders);
    fixed.statuses = paths(kStatuses);
    fixed.files = paths(kFiles);
    fixed.largeFiles = paths(kLargeFiles);
    fixed.links = paths(kLinks);
    s.prefetch(fixed);
    // Then what the classes read of every device, disk, processor and process those show.
    Ahead ahead;
    for (auto add : {pciAhead, interfacesAhead, disksAhead, processorsAhead, processesAhead, packageListsAhead,
                     logicalDisksAhead, portsAhead, modulesAhead, servicesAhead, environmentAhead, dmiIdsAhead,
                     printersAhead, opticalDrivesAhead})
        add(s, ahead);
    s.prefetch(ahead);
    // Then what those answers lead to.
    Ahead next;
    for (auto add : {blockDevicesAhead, partitionsAhead, moduleFilesAhead, serviceFilesAhead, interfaceFilesAhead})
        add(s, next);
    s.prefetch(next);
}

}  // namespace qv::facts
