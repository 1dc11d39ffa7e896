#!/bin/sh
# Builds the Debian package and checks it as an administrator would meet it:
# its files and Depends (dpkg-deb), qv and qvdb run from a throwaway root (dpkg -x), the manual
# pages rendered without warnings, the nightly inventory's systemd units (systemd-analyze verify),
# and lintian's report against the tags the README accepts.
# Arguments: the source folder, the package version the build derived, and optionally the build
# folder the test is part of: then the package is made there by CPack from what that build already
# compiled (the same install rules and CPack settings as scripts/package.sh, without a second
# compile of the programs), else by scripts/package.sh into build-deb/.
set -u
SOURCE=$1
VERSION=$2
BUILT=${3:-}
for tool in dpkg-deb dpkg-shlibdeps lintian groff lexgrog man readelf; do
  if ! command -v "$tool" >/dev/null; then
    echo "package test skipped: $tool not found (./scripts/setup.sh test installs the packaging tools)"
    exit 77
  fi
done
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

arch=$(dpkg --print-architecture)
if [ -n "$BUILT" ]; then
  mkdir -p "$work/cpack"
  if ! (cd "$work/cpack" && cpack -G DEB --config "$BUILT/CPackConfig.cmake" -B "$work/cpack") >"$work/package.log" 2>&1; then
    cat "$work/package.log"
    echo "FAIL: cpack in $BUILT"
    exit 1
  fi
  deb="$work/cpack/quorvex_${VERSION}_${arch}.deb"
else
  # The package, built as the README says (build-deb/ is reused where it was built before).
  if ! "$SOURCE/scripts/package.sh" >"$work/package.log" 2>&1; then
    cat "$work/package.log"
    echo "FAIL: scripts/package.sh"
    exit 1
  fi
  deb="$SOURCE/build-deb/quorvex_${VERSION}_${arch}.deb"
fi
[ -f "$deb" ] || { echo "FAIL: $deb not built"; cat "$work/package.log"; exit 1; }

# Control fields.
while read -r field expected; do
  actual=$(dpkg-deb -f "$deb" "$field")
  [ "$actual" = "$expected" ] || fail "control field $field is \"$actual\", not \"$expected\""
done <<FIELDS
Package quorvex
Version $VERSION
Architecture $arch
Section utils
Priority optional
Recommends gss-ntlmssp
Suggests krb5-user
FIELDS

# Contents: exactly these files, owned by root, with these modes (qv-sim and the tests are not in it).
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort >"$work/files"
sort >"$work/expected" <<FILES
-rw-r--r-- root/root ./etc/logrotate.d/quorvex
-rw-r--r-- root/root ./etc/quorvex/computers
-rw-r--r-- root/root ./etc/quorvex/database
-rw-r--r-- root/root ./etc/quorvex/user-dirs.dirs
-rw-r--r-- root/root ./etc/quorvex/winrm
-rw-r--r-- root/root ./usr/lib/systemd/system/quorvex-inventory.service
-rw-r--r-- root/root ./usr/lib/systemd/system/quorvex-inventory.timer
-rwxr-xr-x root/root ./usr/bin/qv
-rwxr-xr-x root/root ./usr/bin/qvdb
-rw-r--r-- root/root ./usr/share/doc/quorvex/README.md.gz
-rw-r--r-- root/root ./usr/share/doc/quorvex/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/quorvex/copyright
-rw-r--r-- root/root ./usr/share/man/man1/qv.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/qvdb.1.gz
FILES
if ! diff -u "$work/expected" "$work/files" >"$work/files.diff"; then
  cat "$work/files.diff"
  fail "package contents differ from the expected list"
fi
dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root") { print }' >"$work/dirs"
[ -s "$work/dirs" ] && { cat "$work/dirs"; fail "folders not 0755 root/root"; }

# Installed into a throwaway root.
root="$work/root"
dpkg -x "$deb" "$root" || { echo "FAIL: dpkg -x"; exit 1; }
mkdir "$work/home"

# Depends: every shared library the programs need comes from a package Depends names, and the ones
# the transports and the database stand on are among them. Nothing is listed by hand.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
names=$(printf '%s\n' "$depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//; s/:.*//')
# The package that owns a library file, looked up by its path as the loader found it and as the
# links resolve (the libraries may be registered under /lib or under /usr/lib).
ownerOf() {
  for candidate in "$1" "$(readlink -f "$1")" "/usr${1#/usr}" "${1#/usr}"; do
    owner=$(dpkg -S "$candidate" 2>/dev/null | head -1 | sed 's/:.*//')
    [ -n "$owner" ] && { echo "$owner"; return; }
  done
}
for binary in qv qvdb; do
  needed=$(readelf -d "$root/usr/bin/$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  [ -n "$needed" ] || fail "$binary needs no shared library"
  for lib in $needed; do
    path=$(ldd "$root/usr/bin/$binary" | awk -v l="$lib" '$1 == l { print $3; exit }')
    owner=$(ownerOf "$path")
    printf '%s\n' "$names" | grep -qxF "$owner" || fail "$binary needs $lib ($path, package \"$owner\"), not in Depends"
  done
done
for library in libssh libsqlite3 libldap libcurl libpugixml libgssapi-krb5 libstdc++ libc6; do
  printf '%s\n' "$names" | grep -q "^$library" || fail "Depends names no $library package"
done

# The package's scripts and settings: the user is made by postinst, every /etc file is a conffile.
dpkg-deb -e "$deb" "$work/control"
grep -q '^\s*adduser --system --group --home /var/lib/quorvex' "$work/control/postinst" || fail "postinst does not create the user quorvex"
printf '%s\n' "$depends" | grep -q 'adduser' || fail "Depends names no adduser, which postinst calls"
for file in $(cd "$root" && find etc -type f); do
  grep -qxF "/$file" "$work/control/conffiles" || fail "/$file is not a conffile"
done
# The units: what systemd itself says of them (any warning fails), against the programs of the
# package, in a copy of the root that also holds the system's own units they refer to.
if command -v systemd-analyze >/dev/null; then
  vroot="$work/verify"
  cp -a "$root" "$vroot"
  cp -rn /usr/lib/systemd/system/. "$vroot/usr/lib/systemd/system/" 2>/dev/null
  units="$vroot/usr/lib/systemd/system"
  out=$(SYSTEMD_LOG_LEVEL=warning systemd-analyze verify --man=no --root="$vroot" \
        "$units/quorvex-inventory.service" "$units/quorvex-inventory.timer" 2>&1)
  [ $? -eq 0 ] && [ -z "$out" ] || fail "systemd-analyze verify: $out"
else
  echo "systemd-analyze not found: the units are not verified"
fi
grep -qx 'ExecStart=/usr/bin/qv /F:/etc/quorvex/computers' "$root/usr/lib/systemd/system/quorvex-inventory.service" ||
  fail "the service does not inventory /etc/quorvex/computers"
grep -qx 'WantedBy=timers.target' "$root/usr/lib/systemd/system/quorvex-inventory.timer" || fail "the timer cannot be enabled"

# qv from the package: /? shows the usage screen and ends normally; qvdb lists its commands.
out=$(cd "$work" && HOME="$work/home" "$root/usr/bin/qv" '/?' </dev/null 2>&1)
status=$?
[ $status -eq 0 ] || fail "qv /? exited with $status"
while IFS= read -r line; do
  printf '%s\n' "$out" | tr -d '\r' | grep -qxF -- "$line" || fail "qv /? does not show \"$line\""
done <<'LINES'
QUORVEX: qv
SYNTAX: qv [/B] [/F:Filename] [/?] [TargetComputerName]
/B                  Inventory all computers found in the current domain.
/?, ?, -h, --help   Displays usage (this screen).
Program Complete Normal End
LINES
# The package version is the program's own version text without leading zeros (3.00.0037: 3.0.37).
shown=$(printf '%s\n' "$out" | tr -d '\r' | sed -n 's/^ *Version \([0-9]*\)\.\([0-9]*\)\.\([0-9]*\)$/\1 \2 \3/p')
[ -n "$shown" ] || fail "qv /? shows no version"
set -- $shown
[ "$(printf '%d.%d.%d' "$1" "$(expr "$2" + 0)" "$(expr "$3" + 0)")" = "$VERSION" ] ||
  fail "qv shows version $*, the package is $VERSION"
[ -z "$(ls -A "$work/home")" ] || fail "qv /? wrote into the home folder: $(ls -A "$work/home")"
out=$("$root/usr/bin/qv" --version 2>&1)
status=$?
[ $status -eq 0 ] || fail "qv --version exited with $status"
printf '%s\n' "$out" | tr -d '\r' | grep -qx "qv (Quorvex) Version [0-9.]*" || fail "qv --version shows \"$out\""
out=$(HOME="$work/home" "$root/usr/bin/qvdb" help 2>&1)
status=$?
[ $status -eq 0 ] || fail "qvdb help exited with $status"
printf '%s\n' "$out" | grep -q '^usage: qvdb COMMAND' || fail "qvdb help shows no usage: $out"

# Compressed files carry no file name and no time in their gzip header (gzip -n).
for file in $(find "$root" -name '*.gz'); do
  header=$(od -An -tx1 -N8 "$file" | tr -d ' \n')
  [ "$header" = "1f8b080000000000" ] || fail "${file#$root}: gzip header $header carries a name or a time"
done
# Manual pages: rendered without a warning, with their sections, named for whatis.
for page in qv qvdb; do
  file="$root/usr/share/man/man1/$page.1.gz"
  warnings=$(gzip -dc "$file" | groff -ww -z -man 2>&1)
  [ -z "$warnings" ] || fail "groff warns on $page.1: $warnings"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man -l warns on $page.1: $warnings"
  rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null)
  for section in NAME SYNOPSIS DESCRIPTION FILES "EXIT STATUS" EXAMPLES "SEE ALSO"; do
    printf '%s\n' "$rendered" | grep -qx "$section" || fail "$page.1 has no $section section"
  done
  whatis=$(lexgrog "$file") || fail "lexgrog cannot read $page.1: $whatis"
  case "$whatis" in *"\"$page - "*) ;; *) fail "lexgrog: $whatis" ;; esac
done
for section in OPTIONS OUTPUT ENVIRONMENT LIMITS; do
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$root/usr/share/man/man1/qv.1.gz" 2>/dev/null | grep -qx "$section" || fail "qv.1 has no $section section"
done
# Every QV_ setting the programs read is described in qv(1).
for variable in $(grep -rhoE 'getenv\("QV_[A-Z_]+"' "$SOURCE" --include=*.cpp --exclude-dir=tests --exclude-dir=build\* |
                  sed 's/.*"\(.*\)"/\1/' | sort -u); do
  gzip -dc "$root/usr/share/man/man1/qv.1.gz" | grep -q "^\.B $variable\$" || fail "qv.1 does not describe $variable"
done

# lintian: no error or warning other than the tags the README lists with a reason.
accepted=$(sed -n '/^### lintian/,/^#/s/^| `\([a-z0-9-]*\)` |.*/\1/p' "$SOURCE/README.md")
lintian --no-cfg "$deb" >"$work/lintian" 2>&1
grep -E '^[EW]: ' "$work/lintian" | while read -r kind package tag rest; do
  printf '%s\n' "$accepted" | grep -qxF "$tag" || echo "$kind $package $tag $rest"
done >"$work/lintian.refused"
if [ -s "$work/lintian.refused" ]; then
  cat "$work/lintian.refused"
  fail "lintian reports tags the README does not accept"
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package $deb: contents, Depends, scripts, units, qv /?, qvdb help, manual pages and lintian checked"
