#!/usr/bin/env python3
# Writes the binary seeds of the SMBIOS, Linux provider, encrypted body, SFTP and connection name
# harnesses into corpus/ (run again after a change).
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus')


def structure(t, handle, body, strings):
    formatted = struct.pack('<BBH', t, 4 + len(body), handle) + body
    tail = b''.join(x + b'\0' for x in strings) + b'\0' if strings else b'\0\0'
    return formatted + tail


# SMBIOS: types 0 (firmware), 1 (system), 4 (processor), 17 (memory device) and the end marker.
table = structure(0, 0, bytes([1, 2, 0, 0xf0, 3, 0xff]) + b'\x80' * 8, [b'Dell Inc.', b'1.2.3', b'01/02/2020'])
table += structure(1, 1, bytes([1, 2, 3, 4]) + bytes(range(16)) + bytes([6, 5, 6]),
                   [b'Dell', b'OptiPlex 7070', b'1.0', b'ABC1234  ', b'SKU', b'Fam'])
table += structure(4, 4, bytes([1, 3, 0xb3, 2]) + b'\xa5\x06\x09\x00\xff\xfb\xeb\xbf' +
                   bytes([3, 0x8a, 100, 0, 0xc4, 9, 0x10, 0x0e, 1, 0, 0xff, 0xff, 0xff, 0xff, 4, 5, 6, 4, 4, 8, 0xfc, 0]),
                   [b'CPU0', b'Intel', b'Intel(R) Core(TM) i5', b'S', b'A', b'P'])
table += structure(17, 0x11, struct.pack('<HHHHHBBBBBHBH', 0x1000, 0xfffe, 64, 64, 8192, 9, 0, 1, 2, 26, 0x80, 2, 2666) +
                   bytes([3, 4, 5, 6]), [b'DIMM A', b'BANK 0', b'Samsung', b'123', b'M378'])
table += structure(127, 0xfeff, b'', [])
entry = bytearray(b'_SM3_' + bytes([0, 24, 3, 2, 0, 1, 0]) + struct.pack('<IQ', len(table), 0))
entry[5] = (-sum(entry)) & 0xff
entry = bytes(entry)
entry2 = b'_SM_' + bytes([0, 31, 2, 8]) + b'\0' * 7 + b'_DMI_' + bytes([0]) + struct.pack('<HIHB', len(table), 0, 5, 0x28)

# EDID: the header, maker DEL, a detailed timing and the monitor's name.
edid = bytearray(128)
edid[0:8] = b'\x00\xff\xff\xff\xff\xff\xff\x00'
edid[8:10] = struct.pack('>H', (4 << 10) | (5 << 5) | 12)
edid[0x36:0x48] = struct.pack('<H', 14850) + bytes([0x80, 0x38, 0x71, 0x38, 0x40, 0x24]) + bytes(10)
edid[0x48:0x5a] = b'\0\0\0\xfc\0DELL U2415\n  '

# A kernel module: an ELF64 header, the section names and .modinfo, then the section headers.
names = b'\0.shstrtab\0.modinfo\0'
modinfo = b'license=GPL\0version=7.3.21-k8-NAPI\0description=Intel(R) PRO/1000 Network Driver\0'
shoff = 64 + len(names) + len(modinfo)
header = b'\x7fELF' + bytes([2, 1, 1]) + bytes(9) + struct.pack('<HHIQQQIHHHHHH', 1, 62, 1, 0, 0, shoff, 0, 64, 0, 0, 64, 3, 1)
sections = bytes(64) + struct.pack('<IIQQQQIIQQ', 1, 3, 0, 0, 64, len(names), 0, 0, 1, 0) + \
    struct.pack('<IIQQQQIIQQ', 11, 1, 0, 0, 64 + len(names), len(modinfo), 0, 0, 1, 0)
ko = header + names + modinfo + sections

files = {
    '/etc/os-release': b'PRETTY_NAME="Debian GNU/Linux 12 (bookworm)"\nNAME="Debian GNU/Linux"\nVERSION_ID="12"\n'
                       b'VERSION="12 (bookworm)"\nID=debian\n',
    '/etc/debian_version': b'12.11\n',
    '/etc/hostname': b'ws01\n',
    '/proc/sys/kernel/osrelease': b'6.1.0-18-amd64\n',
    '/proc/sys/kernel/hostname': b'ws01\n',
    '/proc/meminfo': b'MemTotal:        8053200 kB\nMemFree:          512000 kB\nSwapTotal:       2097148 kB\n'
                     b'SwapFree:        2097148 kB\n',
    '/proc/cpuinfo': b'processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 158\n'
                     b'model name\t: Intel(R) Core(TM) i5-9500 CPU @ 3.00GHz\nstepping\t: 10\ncpu MHz\t\t: 3000.000\n'
                     b'cache size\t: 9216 KB\nphysical id\t: 0\ncore id\t\t: 0\ncpu cores\t: 6\nflags\t\t: fpu vme de pse tsc lm\n\n',
    '/var/lib/dpkg/status': b'Package: openssh-server\nStatus: install ok installed\nPriority: optional\n'
                            b'Installed-Size: 1880\nMaintainer: Debian OpenSSH Maintainers <debian-ssh@lists.debian.org>\n'
                            b'Architecture: amd64\nVersion: 1:9.2p1-2+deb12u3\nDescription: secure shell (SSH) server\n'
                            b' multi-line\n .\n text\n\nPackage: libc6\nStatus: install ok installed\nArchitecture: amd64\n'
                            b'Multi-Arch: same\nVersion: 2.36-9\n\n',
    '/var/lib/dpkg/info/openssh-server.list': b'/usr/sbin/sshd\n/lib/systemd/system/ssh.service\n',
    '/sys/firmware/dmi/tables/smbios_entry_point': entry,
    '/sys/firmware/dmi/tables/DMI': table,
    '/sys/class/drm/card0-HDMI-A-1/status': b'connected\n',
    '/sys/class/drm/card0-HDMI-A-1/edid': bytes(edid),
    '/sys/class/drm/card0-HDMI-A-1/modes': b'1920x1080\n',
    '/proc/modules': b'e1000 163840 0 - Live 0x0000000000000000\n',
    '/lib/modules/6.1.0-18-amd64/modules.dep': b'kernel/drivers/net/ethernet/intel/e1000/e1000.ko:\n',
    '/lib/modules/6.1.0-18-amd64/kernel/drivers/net/ethernet/intel/e1000/e1000.ko': ko,
    '/sys/class/net/eth0/address': b'00:11:22:33:44:55\n',
    '/sys/class/net/eth0/operstate': b'up\n',
    '/sys/class/net/eth0/mtu': b'1500\n',
    '/proc/net/route': b'Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n'
                       b'eth0\t00000000\t0100000A\t0003\t0\t0\t0\t00000000\t0\t0\t0\n'
                       b'eth0\t0000000A\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n',
    '/proc/net/fib_trie': b'Main:\n  +-- 0.0.0.0/0 3 0 5\n     |-- 10.0.0.5\n        /32 host LOCAL\n',
    '/etc/resolv.conf': b'search corp.example\nnameserver 10.0.0.2\n',
    '/proc/self/mountinfo': b'22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n',
    '/sys/block/sda/size': b'167772160\n',
    '/sys/block/sda/device/model': b'VBOX HARDDISK   \n',
    '/etc/passwd': b'root:x:0:0:root:/root:/bin/bash\nalice:x:1000:1000:Alice,,,:/home/alice:/bin/bash\n',
    '/etc/group': b'root:x:0:\nsudo:x:27:alice\n',
    '/etc/samba/smb.conf': b'[global]\n   workgroup = CORP\n   netbios name = WS01\n[share]\n   path = /srv/share\n',
    '/var/lib/dhcp/dhclient.eth0.leases': b'lease {\n  interface "eth0";\n  fixed-address 10.0.0.5;\n'
                                          b'  option dhcp-server-identifier 10.0.0.1;\n  renew 4 2026/12/10 09:30:05;\n'
                                          b'  expire 4 2026/12/10 21:30:05;\n}\n',
    '/usr/share/misc/pci.ids': b'8086  Intel Corporation\n\t100e  82540EM Gigabit Ethernet Controller\n',
    '/sys/bus/pci/devices/0000:00:03.0/vendor': b'0x8086\n',
    '/sys/bus/pci/devices/0000:00:03.0/device': b'0x100e\n',
    '/sys/bus/pci/devices/0000:00:03.0/class': b'0x020000\n',
    '/proc/asound/cards': b' 0 [Intel          ]: HDA-Intel - HDA Intel\n                      HDA Intel at 0xf0000000 irq 30\n',
    '/proc/bus/input/devices': b'I: Bus=0011 Vendor=0001 Product=0001 Version=ab41\nN: Name="AT Translated Set 2 keyboard"\n'
                               b'H: Handlers=sysrq kbd event0\nB: EV=120013\n\n',
    '/lib/systemd/system/ssh.service': b'[Unit]\nDescription=OpenBSD Secure Shell server\n[Service]\nExecStart=/usr/sbin/sshd -D\n',
    '/etc/systemd/system/multi-user.target.wants/ssh.service': b'[Unit]\nDescription=OpenBSD Secure Shell server\n',
    '/etc/environment': b'PATH="/usr/local/bin:/usr/bin"\nLANG=en_US.UTF-8\n',
    '/etc/default/locale': b'LANG=en_US.UTF-8\n',
    '/etc/default/keyboard': b'XKBLAYOUT="us"\n',
}


def write(name, content):
    os.makedirs(os.path.dirname(os.path.join(here, name)), exist_ok=True)
    with open(os.path.join(here, name), 'wb') as f:
        f.write(content)


def pack(chosen):
    # One piece per file, "path\ncontent", pieces apart by NUL (the harness's input form).
    return b'\0'.join(p.encode() + b'\n' + c for p, c in chosen.items())


write('smbios/sm3', bytes([len(entry)]) + entry + table)
write('smbios/sm2-cut', bytes([len(entry2)]) + entry2 + table[:len(table) - 7])
write('linux_provider/debian', pack(files))
write('linux_provider/texts', pack({k: files[k] for k in ['/etc/os-release', '/var/lib/dpkg/status', '/proc/cpuinfo',
                                                          '/proc/meminfo']}))
write('linux_provider/hardware', pack({k: v for k, v in files.items() if k.startswith('/sys/') or 'modules' in k}))


# WS-Management encrypted bodies: NTLM's 16-byte signature, a Kerberos-sized header, a body cut short.
def encrypted(length, signature, sealed):
    boundary = b'--Encrypted Boundary'
    return (boundary + b'\r\n\tContent-Type: application/HTTP-SPNEGO-session-encrypted\r\n'
            b'\tOriginalContent: type=application/soap+xml;charset=UTF-8;Length=' + str(length).encode() + b'\r\n' +
            boundary + b'\r\n\tContent-Type: application/octet-stream\r\n' + struct.pack('<I', len(signature)) +
            signature + sealed + boundary + b'--\r\n')


write('wsman_encrypted/ntlm', encrypted(40, bytes(range(16)), b'\x9c' * 40))
write('wsman_encrypted/kerberos', encrypted(120, bytes(range(60)), bytes(range(120, 248))))
write('wsman_encrypted/cut', encrypted(40, bytes(range(16)), b'\x9c' * 40)[:150])

# SFTP: scripts of the server's answers, each record an operation and its bytes (see sftp_reply.cpp):
# plausible answers to the oldest request, statuses, typed bodies and raw bytes.
def plausible(*params):
    return b''.join(bytes([0, 0, p]) for p in params)


write('sftp_reply/plausible', plausible(1, *([0] * 300)))
write('sftp_reply/mixed', plausible(3, *[(k * 37) & 0xff for k in range(400)]))
write('sftp_reply/short-reads', plausible(1, *([0, 0, 1, 1, 2, 0x80, 3] * 60)))
write('sftp_reply/listings', plausible(1, *([0x0f, 0x27, 0x80, 0x4a] * 80)))
write('sftp_reply/out-of-order', b''.join(bytes([0, k % 5, k & 0xff]) for k in range(1, 400)))
write('sftp_reply/statuses', plausible(1) + b''.join(bytes([1, 0, c]) for c in [0, 1, 2, 3, 4, 8] * 30))
write('sftp_reply/typed', plausible(1) + b''.join(bytes([2, 0, t, 8, 0]) + bytes(range(8)) for t in [102, 103, 104, 105, 101] * 30))
write('sftp_reply/raw', plausible(1) + bytes([3, 13]) + struct.pack('>IBI', 9, 101, 1) + struct.pack('>I', 0) +
      bytes([3, 9]) + struct.pack('>IBI', 0xffffffff, 103, 2))

# Connection strings: a form byte, the text before the secret, the text after it, the secret.
def connection(mode, before, after, secret):
    return bytes([mode]) + b'\0' + before.encode() + b'\0' + after.encode() + b'\0' + secret.encode()


write('connection_name/keywords', connection(0, 'host=db dbname=qv user=alice', 'sslmode=require', 's3cr3t pass'))
write('connection_name/uri-user', connection(2, 'alice', 'db.example.com:5432/qv?sslmode=require', 'p@ss:w/rd%'))
write('connection_name/uri-query', connection(4, 'db/qv', '&user=bob', 'pässwörd'))
write('connection_name/sslpassword', connection(1, 'host=db sslkey=/k', '', "key'pass\\"))
write('connection_name/unreadable', connection(0, "host='unterminated", '', 'secret1'))
write('connection_name/bad-option', connection(4, 'db/qv', '&bogus=1', 'topsecret'))
