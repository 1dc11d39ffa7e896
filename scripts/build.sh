#!/bin/sh
# Configures and builds Quorvex. Without an argument: qv and qvdb into build/ (release; a new build/
# is configured without the tests, so GoogleTest need not be installed). "tests": every program and
# test into build/. "sanitize": the tests under the sanitizers into build-sanitize/.
set -e
cd "$(dirname "$0")/.."
case "$1" in
  sanitize)
    cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON >/dev/null
    cmake --build build-sanitize --target qv_tests ;;
  tests)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TESTS=ON >/dev/null
    cmake --build build ;;
  "")
    # A build/ configured before keeps its setting (the tests, after test.sh); only qv is built.
    tests=""
    [ -f build/CMakeCache.txt ] || tests="-DQV_TESTS=OFF"
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $tests >/dev/null
    cmake --build build --target qv qvdb ;;
  *) echo "usage: $0 [tests|sanitize]" >&2; exit 2 ;;
esac
