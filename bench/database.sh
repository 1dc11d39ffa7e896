#!/bin/sh
# Benchmark of the inventory database (not a test), on a release build:
#  1. rows per second through the record writer (qv-db-bench: 150-row inventories, each row its
#     own INSERT, each inventory committed when it ends);
#  2. a /F run of qv-sim over COMPUTERS fixture computers of about 150 rows each, whole run timed.
# Usage: bench/database.sh [COMPUTERS]   (default 1000); with QV_DATABASE set (bench/postgresql.sh
# sets it), both go to that server instead of QV.mdb.
set -e
cd "$(dirname "$0")/.."
COMPUTERS=${1:-1000}
BUILD=${BUILD:-build-bench}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TESTS=OFF >/dev/null
ninja -C "$BUILD" qv-sim qv-db-bench >/dev/null || { echo "build failed"; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

echo "== record writer"
"$BUILD/qv-db-bench" 1000 150

echo "== /F run of $COMPUTERS computers"
# Each computer: identity, operating system, 120 environment variables, 3 drives, 2 services;
# the other categories give their one not-found row.
python3 - "$WORK" "$COMPUTERS" <<'PY'
import json, os, sys
work, count = sys.argv[1], int(sys.argv[2])
names = ["PC%04d" % i for i in range(1, count + 1)]
def computer(name):
    env = [{"UserName": "<SYSTEM>", "Name": "VAR%d" % i, "VariableValue": "C:\\WINDOWS\\system32;" + name} for i in range(120)]
    drives = [{"Name": d, "Description": "Local Fixed Disk", "DriveType": 3, "FileSystem": "NTFS",
               "Size": "40000000000", "FreeSpace": "20000000000", "MediaType": 12} for d in ("C:", "D:", "E:")]
    return {"classes": {
        "Win32_ComputerSystem": [{"Domain": "CORP", "PartOfDomain": True, "DomainRole": 1, "UserName": "CORP\\u",
                                  "Manufacturer": "Dell Inc.", "Model": "OptiPlex", "TotalPhysicalMemory": "1073741824",
                                  "SystemType": "X86-based PC"}],
        "Win32_ComputerSystemProduct": [{"IdentifyingNumber": "ABC123", "UUID": "44454C4C-3100-1045-8052-B4C04F4B4E31"}],
        "Win32_OperatingSystem": [{"Name": "Microsoft Windows XP Professional|C:\\WINDOWS", "Version": "5.1.2600",
                                   "OSType": 18, "OSProductSuite": 0, "CodeSet": "1252", "CountryCode": "1", "OSLanguage": 1033}],
        "Win32_Environment": env,
        "Win32_LogicalDisk": drives,
        "Win32_BaseService": [{"Name": "Dhcp", "State": "Running"}, {"Name": "Dnscache", "State": "Stopped"}]}}
src = open("tests/support/sim_run.cpp").read()
fixture = json.loads(src[src.index('R"(') + 3:src.index(')")')])
fixture["wmi"] = {n: computer(n) for n in names}
json.dump(fixture, open(os.path.join(work, "fixture.json"), "w"))
os.makedirs(os.path.join(work, "docs"))
open(os.path.join(work, "docs", "NAMES.TXT"), "w").write("\r\n".join(names) + "\r\n")
PY
SIM=$(pwd)/$BUILD/qv-sim
start=$(date +%s%N)
(cd "$WORK" && /usr/bin/time -f "%U %S" -o time.txt "$SIM" fixture.json /F:NAMES.TXT >/dev/null 2>&1) || [ $? -eq 1 ]
end=$(date +%s%N)
if [ -n "$QV_DATABASE" ]; then
  query() { psql "$QV_DATABASE" -Atc "$1"; }
  tables="SELECT tablename FROM pg_tables WHERE schemaname = current_schema()"
else
  query() { sqlite3 "$WORK/docs/QV.mdb" "$1"; }
  tables="SELECT name FROM sqlite_master WHERE type='table'"
fi
# (the record writer's computers, PC-0 and on, share a server database with the run: not counted)
rows=$(query "SELECT count(*) FROM \"DeviceID\" WHERE \"DeviceName\" NOT LIKE 'PC-%'")
total=0
for t in $(query "$tables"); do
  n=$(query "SELECT count(*) FROM \"$t\" WHERE \"DeviceName\" NOT LIKE 'PC-%'")
  total=$((total + n))
done
awk -v ns=$((end - start)) -v c="$rows" -v r="$total" -v cpu="$(cat "$WORK/time.txt")" 'BEGIN {
  s = ns / 1e9; split(cpu, t, " ");
  printf "%d computers inventoried, %d rows (%.0f per computer): %.2f s wall (%.2f s user, %.2f s system), %.1f computers/s, %.0f rows/s\n",
         c, r, r / c, s, t[1], t[2], c / s, r / s }'
