#!/bin/sh
# Benchmark of the software phase: qv-sim inventories a remote fixture computer with 5,000
# uninstall entries and 2,000 class registrations (every tenth program file missing), and the
# same computer without them; prints both wall times and their difference.
# Usage: bench/software.sh [BUILD_DIR]   (default: build)
set -e
cd "$(dirname "$0")/.."
SIM="${1:-build}/qv-sim"
[ -x "$SIM" ] || { echo "no $SIM: build first" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# $1: "full" or "empty"; writes the fixture to stdout.
fixture() {
  awk -v mode="$1" 'BEGIN {
    q = "\""; esc = "\\" q; bs = "\\\\"
    printf "{\"now\": \"2026-12-08T09:30:05\",\n"
    printf "\"identity\": {\"computerName\": \"WS01\", \"userName\": \"admin\", \"dnsDomain\": \"corp.example.com\", \"documents\": \"docs\", \"privilege\": 2, \"dcName\": \"%s%sDC01\", \"version\": {\"platformId\": 2, \"major\": 5, \"minor\": 1, \"build\": 2600, \"csd\": \"Service Pack 2\"}},\n", bs, bs
    printf "\"environment\": {\"SystemRoot\": \"C:%sWINDOWS\", \"ComSpec\": \"C:%sWINDOWS%ssystem32%scmd.exe\"},\n", bs, bs, bs, bs
    printf "\"registry\": {\"HKCR%sWINMGMTS%sCurVer\": {\"\": {\"type\": 1, \"data\": \"WINMGMTS.1\"}}", bs, bs
    n = split("ADODB.Connection ADODB.Command ADODB.Recordset ADOR.Recordset ADOX.Catalog ADOX.Table ADOX.Key", comp, " ")
    for (i = 1; i <= n; i++) printf ",\n \"HKCR%s%s%sCurVer\": {\"\": {\"type\": 1, \"data\": \"%s.2.8\"}}", bs, comp[i], bs, comp[i]
    printf ",\n \"HKCR%sMicrosoft.Jet.OLEDB.4.0\": {\"\": {\"type\": 1, \"data\": \"Microsoft.Jet.OLEDB.4.0\"}}", bs
    printf ",\n \"HKLM%sSoftware%sMicrosoft%sJet%s4.0%sEngines%sText\": {\"DisabledExtensions\": {\"type\": 1, \"data\": \"!txt,csv\"}}", bs, bs, bs, bs, bs, bs
    printf ",\n \"HKCR%sADsDSOObject\": {\"\": {\"type\": 1, \"data\": \"OLE DB Provider\"}}},\n", bs
    printf "\"files\": {\"C:%sWINDOWS%ssystem32%sNetsh.exe\": {}},\n", bs, bs, bs
    printf "\"wmi\": {\"SRV01\": {\"classes\": {\"Win32_BaseService\": ["
    for (i = 0; i < 200; i++)
      printf "%s\n {\"Caption\": \"Driver %d\", \"Pathname\": \"C:%sWINDOWS%ssystem32%sdrivers%sd%d.sys\", \"ServiceType\": \"%s\", \"State\": \"Running\"}", (i ? "," : ""), i, bs, bs, bs, bs, i, (i % 2 ? "Kernel Driver" : "File System Driver")
    printf "]},\n\"registry\": {\"HKLM%sSoftware%sMicrosoft%sWindows%sCurrentVersion%sUninstall\": {}", bs, bs, bs, bs, bs
    if (mode == "full") {
      srand(7)
      for (i = 0; i < 5000; i++) {
        printf ",\n \"HKLM%sSoftware%sMicrosoft%sWindows%sCurrentVersion%sUninstall%s{P%05d}\": {", bs, bs, bs, bs, bs, bs, i
        printf "\"DisplayName\": {\"type\": 1, \"data\": \"Package %d\"}, \"DisplayVersion\": {\"type\": 1, \"data\": \"1.%d\"}, ", int(rand() * 100000), i
        printf "\"ProductID\": {\"type\": 1, \"data\": \"%05d-OEM\"}, \"Publisher\": {\"type\": 1, \"data\": \"Vendor %d\"}, \"InstallDate\": {\"type\": 1, \"data\": \"20200102\"}, ", i, i % 50
        printf "\"EstimatedSize\": {\"type\": 4, \"data\": %d}}", i
      }
      for (i = 0; i < 2000; i++) {
        printf ",\n \"HKCR%sApp%d.Application%sCLSID\": {\"\": {\"type\": 1, \"data\": \"{C%05d}\"}}", bs, i, bs, i
        printf ",\n \"HKCR%sCLSID%s{C%05d}%sProgID\": {\"\": {\"type\": 1, \"data\": \"App%d.Application.1\"}}", bs, bs, i, bs, i
        printf ",\n \"HKCR%sCLSID%s{C%05d}%sLocalServer32\": {\"\": {\"type\": 1, \"data\": \"%sC:%sProgram Files%sApp%d%sapp.exe%s /automation\"}}", bs, bs, i, bs, esc, bs, bs, i, bs, esc
      }
    }
    printf "},\n\"files\": {\"C:%sWINDOWS%ssystem32%sdrivers%sd0.sys\": {\"version\": \"5.1\"}", bs, bs, bs, bs
    if (mode == "full")
      for (i = 0; i < 2000; i++)
        if (i % 10 != 9) printf ",\n \"C:%sPROGRAM FILES%sAPP%d%sAPP.EXE\": {\"version\": \"1.0.%d\", \"created\": \"2020-01-02T03:04:05\"}", bs, bs, i, bs, i
    printf "}}}}\n"
  }'
}

# Runs qv-sim on the fixture of mode $1 with each debug trace line stamped on arrival; prints the
# whole run's seconds and the software collector's (from the " SWData" trace, written just before
# it, to "  Registered Applications", its last).
run() {
  mkdir -p "$WORK/$1"
  fixture "$1" >"$WORK/$1/fixture.json"
  start=$(date +%s.%N)
  (cd "$WORK/$1" && "$OLDPWD/$SIM" fixture.json SRV01 2>&1 >/dev/null |
    while IFS= read -r line; do echo "$(date +%s.%N) $line"; done >traces.txt)
  end=$(date +%s.%N)
  sw=$(awk '/^[0-9.]+  SWData$/ { s = $1 } /^[0-9.]+   Registered Applications$/ { e = $1 } END { printf "%.3f", e - s }' "$WORK/$1/traces.txt")
  echo "$start $end $sw" | awk '{ printf "%.3f %s\n", $2 - $1, $3 }'
}

set -- $(run full)
full=$1 fullsw=$2
set -- $(run empty)
empty=$1 emptysw=$2
entries=$(grep -c "Install Date: " "$WORK/full/docs/QVSRV01.txt" || true)
apps=$(grep -c "Access Time mSec: " "$WORK/full/docs/QVSRV01.txt" || true)
echo "packages listed: $entries, applications listed: $apps"
echo "with 5,000 uninstall entries and 2,000 class registrations: run ${full} s, software collector ${fullsw} s"
echo "without them:                                               run ${empty} s, software collector ${emptysw} s"
