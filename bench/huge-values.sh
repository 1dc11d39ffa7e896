#!/bin/sh
# Benchmark of qvdb on huge values (not a test), on a release build: a database of two fleet
# computers whose latest DeviceID rows each hold three texts of MB megabytes (Manufacturer,
# Model, UUID; default 150), then the report, the CSV export and the GLPI export of it, each
# with its wall time and peak resident memory. Goal: each run's peak on the order of one value.
# Usage: bench/huge-values.sh [MB]   (BUILD names the build folder, default build-bench;
# QVDB names another qvdb program to measure, such as an earlier build's)
set -e
cd "$(dirname "$0")/.."
MB=${1:-150}
BUILD=${BUILD:-build-bench}
[ -f "$BUILD/build.ninja" ] ||
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TESTS=OFF >/dev/null
ninja -C "$BUILD" qv-sim qvdb qvdb-fleet >/dev/null || { echo "build failed"; exit 1; }
QVDB=${QVDB:-$BUILD/qvdb}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/fleet"
"$BUILD/qvdb-fleet" "$WORK/fleet" 2 >/dev/null
DB=$WORK/fleet/docs/QV.mdb
# Each text: "M" and then zeros, MB * 1,000,000 characters in all.
chars=$((MB * 1000000))
sqlite3 "$DB" "PRAGMA ignore_check_constraints = 1;
  UPDATE DeviceID SET Manufacturer = 'M' || substr(hex(zeroblob($chars / 2)), 1, $chars - 1),
                      Model = 'M' || substr(hex(zeroblob($chars / 2)), 1, $chars - 1),
                      UUID = 'M' || substr(hex(zeroblob($chars / 2)), 1, $chars - 1)
  WHERE (DeviceName, InvDateTime) IN (SELECT DeviceName, max(InvDateTime) FROM DeviceID GROUP BY DeviceName)"
echo "== database: $(du -m "$DB" | cut -f1) MB; two computers with three $MB MB texts in their latest DeviceID row"

measure() {
  label=$1
  shift
  /usr/bin/time -f "%e %M" -o "$WORK/time.txt" "$QVDB" "$@" > "$WORK/out.txt" 2>&1 ||
    { cat "$WORK/out.txt"; exit 1; }
  awk -v l="$label" '{ printf "%-22s %6.1f s  %6.0f MB peak\n", l, $1, $2 / 1024 }' "$WORK/time.txt"
}
measure "report" report --database "$DB" --out "$WORK/site"
rm -rf "$WORK/site"
measure "export --format csv" export --format csv --database "$DB" --out "$WORK/csv"
rm -rf "$WORK/csv"
measure "export --format glpi" export --format glpi --database "$DB" --out "$WORK/glpi"
echo "   GLPI documents: $(du -cm "$WORK"/glpi/*.json | tail -n 1 | cut -f1) MB"
