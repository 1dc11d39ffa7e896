#!/bin/sh
# Runs every fuzz harness long (10 minutes each unless SECONDS is given): bench/fuzz.sh [SECONDS] [NAME...].
set -e
cd "$(dirname "$0")/.."
seconds=${1:-600}
[ $# -gt 0 ] && shift
./scripts/build.sh fuzz
exec tests/fuzz/run.sh "$seconds" "$@"
