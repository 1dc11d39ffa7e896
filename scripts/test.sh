#!/bin/sh
# Builds and runs every test, first in the release build, then under the address and
# undefined-behaviour sanitizers.
set -e
cd "$(dirname "$0")/.."
./scripts/build.sh
(cd build && ctest --output-on-failure -j2)
./scripts/build.sh sanitize
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j2)
