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
# Windows computers over WS-Management: HTTP, XML, GSSAPI (Kerberos, and NTLM through gss-ntlmssp).
PACKAGES="$PACKAGES libcurl4-openssl-dev libpugixml-dev libkrb5-dev gss-ntlmssp gss-ntlmssp-dev libssl-dev"
# Their tests: a throwaway KDC, and pywinrm as a client the project did not write.
TEST_PACKAGES="$TEST_PACKAGES krb5-kdc krb5-admin-server krb5-user python3-winrm python3-gssapi"
# Each further group of packages goes on a line of its own below.
# The Debian package (scripts/package.sh) and its test: build flags and dpkg-shlibdeps, lintian, man.
TEST_PACKAGES="$TEST_PACKAGES dpkg-dev lintian groff-base man-db"
# The report site's browser test: headless Chromium driven through chromium-driver by Selenium.
TEST_PACKAGES="$TEST_PACKAGES chromium chromium-driver python3-selenium"
# The inventory database on a PostgreSQL server: libpq; its tests start a server of their own.
PACKAGES="$PACKAGES libpq-dev"
TEST_PACKAGES="$TEST_PACKAGES postgresql openssl"
# The parsers' fuzz harnesses: clang with its libFuzzer and sanitizer run-times.
TEST_PACKAGES="$TEST_PACKAGES clang libclang-rt-14-dev"
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
