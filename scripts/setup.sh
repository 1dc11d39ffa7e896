#!/bin/sh
# Installs what Quorvex needs on a Debian machine (skips what is present). Without an argument:
# what building and running qv needs (libssh for remote computers, OpenSSH's client for their
# proxies, the PCI id list qv names this computer's devices from). With "test": also what the
# tests need (GoogleTest, slapd, OpenSSH's server) and, where the package sources offer them,
# MinGW-w64 and Wine for the Windows program and its tests (a machine without them still builds
# and tests qv).
set -e
PACKAGES="g++ cmake ninja-build pkg-config libsqlite3-dev nlohmann-json3-dev libldap-dev libsasl2-dev pci.ids libssh-dev openssh-client"
TEST_PACKAGES="sqlite3 libgtest-dev libgmock-dev googletest slapd ldap-utils openssh-server"
WINDOWS_PACKAGES="g++-mingw-w64-x86-64-posix wine wine64"
case "$1" in
  "") TEST_PACKAGES=""; WINDOWS_PACKAGES="" ;;
  test) ;;
  *) echo "usage: $0 [test]" >&2; exit 2 ;;
esac
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
missingOf() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || printf ' %s' "$p"
  done
}
missing=$(missingOf $PACKAGES $TEST_PACKAGES)
missingWindows=$(missingOf $WINDOWS_PACKAGES)
if [ -n "$missing$missingWindows" ]; then
  $SUDO apt-get update
fi
if [ -n "$missing" ]; then
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
if [ -n "$missingWindows" ]; then
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y $missingWindows ||
    echo "setup: MinGW-w64 or Wine not installable here; the Windows program will not be built"
fi
