#!/bin/sh
# Configures and builds Quorvex. Without an argument: qv and qvdb into build/ (release; a new build/
# is configured without the tests, so GoogleTest need not be installed). "tests": every program and
# test into build/. "sanitize": the tests under the sanitizers into build-sanitize/. "fuzz": the
# parsers' libFuzzer harnesses with clang into build-fuzz/ (tests/fuzz/run.sh runs them).
set -e
cd "$(dirname "$0")/.."
# Configures a folder unless it already is with the setting asked for (`$2`, a line of its cache):
# configuring the same cache again changes nothing but the place of pkg-config's include flags,
# which makes every file that includes GSSAPI's headers compile again. A build re-runs CMake by
# itself when the build files change.
configure() {
  dir=$1 wanted=$2
  shift 2
  if [ -f "$dir/CMakeCache.txt" ] && { [ -z "$wanted" ] || grep -qxF "$wanted" "$dir/CMakeCache.txt"; }; then
    return 0
  fi
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}
case "$1" in
  sanitize)
    configure build-sanitize "QV_SANITIZE:BOOL=ON" -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON
    cmake --build build-sanitize --target qv_tests ;;
  fuzz)
    configure build-fuzz "QV_FUZZ:BOOL=ON" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON -DQV_TESTS=OFF
    cmake --build build-fuzz --target fuzz-harnesses ;;
  tests)
    configure build "QV_TESTS:BOOL=ON" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TESTS=ON
    cmake --build build ;;
  "")
    # A build/ configured before keeps its setting (the tests, after test.sh); only qv is built.
    configure build "" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TESTS=OFF
    cmake --build build --target qv qvdb ;;
  *) echo "usage: $0 [tests|sanitize|fuzz]" >&2; exit 2 ;;
esac
