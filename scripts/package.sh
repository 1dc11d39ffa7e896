#!/bin/sh
# Builds the Debian package build-deb/quorvex_<version>_amd64.deb: a release build of qv and qvdb
# with Debian's compiler and linker flags (hardening included), then CPack's DEB generator, whose
# Depends come from dpkg-shlibdeps. Another build folder may be given as the argument; one built
# before is built again only where its sources changed.
set -e
cd "$(dirname "$0")/.."
BUILD=${1:-build-deb}
for tool in dpkg-buildflags dpkg-shlibdeps dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "package: $tool missing (./scripts/setup.sh test installs dpkg-dev)" >&2; exit 1; }
done
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# The programs are stripped in the package, so no debugging information is compiled.
export DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g
CPPFLAGS=$(dpkg-buildflags --get CPPFLAGS)
export CFLAGS="$(dpkg-buildflags --get CFLAGS) $CPPFLAGS"
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $CPPFLAGS"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
# The changelog's date: the last commit's, so the same sources give the same package.
if [ -z "$SOURCE_DATE_EPOCH" ] && git rev-parse --git-dir >/dev/null 2>&1; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  export SOURCE_DATE_EPOCH
fi
launcher=""
command -v ccache >/dev/null && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
# Flags given here only take effect in a new cache, so a folder whose flags differ starts afresh.
if [ -f "$BUILD/CMakeCache.txt" ] && ! grep -qxF "CMAKE_CXX_FLAGS:STRING=$CXXFLAGS" "$BUILD/CMakeCache.txt"; then
  rm -f "$BUILD/CMakeCache.txt"
fi
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
  -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG -DQV_TESTS=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON $launcher >/dev/null
cmake --build "$BUILD" --target qv qvdb package-files
rm -f "$BUILD"/quorvex_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)
ls "$BUILD"/quorvex_*.deb
