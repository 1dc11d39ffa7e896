#!/bin/sh
# Benchmark (not a test) of the output files and the name file on a release build:
#  1. a name file of one 200 MB line (no line end): wall time and peak memory of the run;
#  2. 2,000 computers inventoried into an empty documents folder, then into one that already
#     holds 100,000 other files: finding each report costs one look-up, not a folder listing.
set -e
cd "$(dirname "$0")/.."
BUILD=build-bench
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TESTS=OFF >/dev/null
ninja -C "$BUILD" qv-sim >/dev/null || { echo "build failed"; exit 1; }
SIM=$(pwd)/$BUILD/qv-sim
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
python3 - <<'PY'
import json
fixture = {"now": "2026-12-08T09:30:05",
  "identity": {"computerName": "WS01", "userName": "admin", "documents": "docs", "privilege": 2,
               "version": {"platformId": 2, "major": 5, "minor": 1, "build": 2600, "csd": ""}},
  "registry": {k: {"": {"type": 1, "data": v}} for k, v in {
      "HKCR\\WINMGMTS\\CurVer": "WINMGMTS.1", "HKCR\\ADODB.Connection\\CurVer": "2.8",
      "HKCR\\ADODB.Command\\CurVer": "2.8", "HKCR\\ADODB.Recordset\\CurVer": "2.8",
      "HKCR\\ADOR.Recordset\\CurVer": "2.8"}.items()},
  "wmi": {"PC%05d" % i: {"classes": {"Win32_ComputerSystem": [{"Name": "PC%05d" % i, "Domain": "CORP"}]}}
          for i in range(1, 2001)}}
json.dump(fixture, open("fixture.json", "w"))
open("names.txt", "w").write("\n".join("PC%05d" % i for i in range(1, 2001)) + "\n")
PY
head -c 200000000 /dev/zero | tr '\0' 'A' > oneline.txt

printf "200 MB single-line name file: "
/usr/bin/time -f "%e s, peak %M KB" "$SIM" fixture.json "/F:$WORK/oneline.txt" 2>&1 >/dev/null | tail -n 1

run() {
  t0=$(date +%s.%N)
  "$SIM" fixture.json "/F:$WORK/names.txt" >/dev/null 2>&1 || [ $? -eq 1 ]
  t1=$(date +%s.%N)
  awk "BEGIN { printf \"%.2f\", $t1 - $t0 }"
}
rm -rf docs
printf "2,000 computers, empty folder:        %s s\n" "$(run)"
rm -rf docs && mkdir docs && (cd docs && seq -f "OTHER%06g.txt" 1 100000 | xargs touch)
printf "2,000 computers, next to 100,000 files: %s s\n" "$(run)"
