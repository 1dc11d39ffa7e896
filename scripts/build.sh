#!/bin/sh
# Configures and builds Quorvex into build/ (release) or, with "sanitize", into build-sanitize/.
set -e
cd "$(dirname "$0")/.."
if [ "$1" = "sanitize" ]; then
  cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON >/dev/null
  cmake --build build-sanitize --target qv_tests
else
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build
fi
