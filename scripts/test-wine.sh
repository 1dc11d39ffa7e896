#!/bin/sh
# Builds the Windows program and its back-end tests with MinGW-w64 and runs every Wine test:
# QV.exe in throwaway Wine prefixes copied from a template made once in build/wine-template.
set -e
cd "$(dirname "$0")/.."
./scripts/build-win.sh all
./scripts/build.sh tests
export WINEDEBUG=-all
./build/qv_wine_tests "$@"
