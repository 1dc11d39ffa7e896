#!/bin/sh
# Cross-builds the Windows program with MinGW-w64 into build-win/ (build-win/QV.exe) and the Windows
# back-end's tests (build-win/qv_win_tests.exe). SQLite is compiled in from the amalgamation that
# the better-sqlite3 npm package carries; it is fetched into build-win/deps, never committed.
set -e
cd "$(dirname "$0")/.."
SQLITE_PACKAGE=better-sqlite3@12.11.1
DEPS=build-win/deps
if [ ! -f "$DEPS/package/deps/sqlite3/sqlite3.c" ]; then
  mkdir -p "$DEPS"
  (cd "$DEPS" && rm -f better-sqlite3-*.tgz && npm pack --silent "$SQLITE_PACKAGE" >/dev/null &&
   tar xzf better-sqlite3-*.tgz package/deps/sqlite3)
fi
cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DQV_SQLITE_AMALGAMATION="$PWD/$DEPS/package/deps/sqlite3" >/dev/null
cmake --build build-win --target QV ${1:+$1}
