#!/bin/sh
# Benchmark (not a test): qv-sim with N unreachable names on the command line and in a name file.
# Prints the wall time of each run for N = 2,500, 5,000, 10,000 and 20,000 to show linear growth.
set -e
cd "$(dirname "$0")/.."
SIM=${SIM:-build/qv-sim}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cat > "$WORK/fixture.json" <<'JSON'
{"now": "2026-12-08T09:30:05",
 "identity": {"computerName": "WS01", "userName": "admin", "documents": "docs", "privilege": 2,
              "version": {"platformId": 2, "major": 5, "minor": 1, "build": 2600, "csd": ""}},
 "registry": {
  "HKCR\\WINMGMTS\\CurVer": {"": {"type": 1, "data": "WINMGMTS.1"}},
  "HKCR\\ADODB.Connection\\CurVer": {"": {"type": 1, "data": "2.8"}},
  "HKCR\\ADODB.Command\\CurVer": {"": {"type": 1, "data": "2.8"}},
  "HKCR\\ADODB.Recordset\\CurVer": {"": {"type": 1, "data": "2.8"}},
  "HKCR\\ADOR.Recordset\\CurVer": {"": {"type": 1, "data": "2.8"}}}}
JSON
cd "$WORK"
for n in 2500 5000 10000 20000; do
  seq -f "OFF%06g" 1 "$n" > names.txt
  args=$(seq -f "OFF%06g" 1 "$n" | tr '\n' ' ')
  rm -rf docs
  t0=$(date +%s.%N)
  "$OLDPWD/$SIM" fixture.json $args > /dev/null 2>&1 || [ $? -eq 1 ]
  t1=$(date +%s.%N)
  rm -rf docs
  "$OLDPWD/$SIM" fixture.json "/F:$WORK/names.txt" > /dev/null 2>&1 || [ $? -eq 1 ]
  t2=$(date +%s.%N)
  awk -v n="$n" -v a="$t0" -v b="$t1" -v c="$t2" 'BEGIN { printf "%6d names: command line %.3f s, name file %.3f s\n", n, b - a, c - b }'
done
