#!/bin/sh
# Builds and runs every test, first in the release build, then under the address and
# undefined-behaviour sanitizers, then each parser's fuzz harness for a few seconds (with clang
# and its libFuzzer), then the Windows program's tests under Wine where MinGW-w64, Wine and npm
# (which fetches the SQLite sources of the Windows build) are present.
set -e
cd "$(dirname "$0")/.."
./scripts/build.sh tests
(cd build && ctest --output-on-failure -j2)
./scripts/build.sh sanitize
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j2)
if command -v clang++ >/dev/null && [ -f "$(clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a)" ]; then
  ./scripts/build.sh fuzz
  tests/fuzz/run.sh 5
else
  echo "test: clang or its libFuzzer (libclang-rt-14-dev) missing; the fuzz harnesses were not run"
fi
if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null && command -v npm >/dev/null; then
  ./scripts/test-wine.sh
else
  echo "test: MinGW-w64, Wine or npm missing; the Windows program's tests were not run"
fi
