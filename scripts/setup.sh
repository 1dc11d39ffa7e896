#!/bin/sh
# Installs what building and testing Quorvex needs on a Debian machine (skips what is present).
set -e
PACKAGES="g++ cmake ninja-build pkg-config libsqlite3-dev sqlite3 nlohmann-json3-dev libldap-dev libsasl2-dev libgtest-dev libgmock-dev slapd ldap-utils"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
