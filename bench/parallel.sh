#!/bin/sh
# Benchmark (not a test): the worker pool on a simulated network of 500 computers. 350 answer,
# every class query of theirs taking 5 ms; 150 do not answer the probe (limit 200 ms). qv-sim runs
# the list one computer at a time (QV_PARALLEL=1) and with the default pool; the two runs'
# console, traces, log, reports and rows must be identical. Prints both times and their ratio,
# then the time of 10,000 unreachable names with the default pool and the peak memory, threads
# and open files of that run.
set -e
cd "$(dirname "$0")/.."
SIM=$(pwd)/${SIM:-build/qv-sim}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
CLASSES="Win32_ComputerSystem Win32_OperatingSystem Win32_BaseService Win32_Service Win32_Environment
Win32_LogicalDisk Win32_BIOS Win32_Processor Win32_PhysicalMemory Win32_SystemEnclosure Win32_BaseBoard
Win32_DiskDrive Win32_CDROMDrive Win32_TapeDrive Win32_PointingDevice Win32_Keyboard Win32_PortConnector
Win32_SerialPort Win32_ParallelPort Win32_USBController Win32_SCSIController Win32_POTSModem
Win32_SoundDevice Win32_DesktopMonitor Win32_VideoController Win32_NetworkAdapter Win32_Printer
Win32_NetworkAdapterConfiguration Win32_NetworkClient Win32_NetworkProtocol Win32_Share Win32_SystemDriver
StdRegProv"

# fixture.json: the standard workstation WS01 runs the inventory; PC0001..PC0350 answer, OFF0001..
# OFF0150 are switched off. $1: how many switched-off computers, $2: how many that answer.
makeFixture() {
  {
    printf '{"now": "2026-12-08T09:30:05",\n'
    printf ' "identity": {"computerName": "WS01", "userName": "admin", "documents": "docs", "privilege": 2,\n'
    printf '   "version": {"platformId": 2, "major": 5, "minor": 1, "build": 2600, "csd": ""}},\n'
    printf ' "registry": {"HKCR\\\\WINMGMTS\\\\CurVer": {"": {"type": 1, "data": "WINMGMTS.1"}},\n'
    for k in ADODB.Connection ADODB.Command ADODB.Recordset ADOR.Recordset ADOX.Catalog ADOX.Table ADOX.Key; do
      printf '   "HKCR\\\\%s\\\\CurVer": {"": {"type": 1, "data": "%s.2.8"}},\n' "$k" "$k"
    done
    printf '   "HKCR\\\\Microsoft.Jet.OLEDB.4.0": {"": {"type": 1, "data": "Microsoft.Jet.OLEDB.4.0"}},\n'
    printf '   "HKLM\\\\Software\\\\Microsoft\\\\Jet\\\\4.0\\\\Engines\\\\Text": {"DisabledExtensions": {"type": 1, "data": "!txt,csv"}}},\n'
    printf ' "limits": {"probeMs": 200},\n'
    printf ' "wmi": {\n'
    delays=$(for c in $CLASSES; do printf '"%s": 5, ' "$c"; done | sed 's/, $//')
    i=1
    while [ "$i" -le "$2" ]; do
      name=$(printf 'PC%04d' "$i")
      printf '  "%s": {"classDelays": {%s}, "classes": {\n' "$name" "$delays"
      printf '    "Win32_ComputerSystem": [{"Name": "%s", "Domain": "CORP", "PartOfDomain": true, "DomainRole": 1, "TotalPhysicalMemory": "536870912"}],\n' "$name"
      printf '    "Win32_OperatingSystem": [{"Name": "Microsoft Windows XP Professional|C:\\\\WINDOWS", "OSType": 18, "CodeSet": "1252"}],\n'
      printf '    "Win32_BaseService": [{"Name": "Dhcp", "State": "Running"}, {"Name": "Dnscache", "State": "Stopped"}],\n'
      printf '    "Win32_Environment": [{"UserName": "<SYSTEM>", "Name": "PATH", "VariableValue": "C:\\\\WINDOWS"}]},\n'
      printf '   "registry": {"HKLM\\\\Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Tool": {"DisplayName": {"type": 1, "data": "Tool %d"}}}},\n' "$i"
      i=$((i + 1))
    done
    i=1
    while [ "$i" -le "$1" ]; do
      printf '  "OFF%04d": {"unreachable": true},\n' "$i"
      i=$((i + 1))
    done
    printf '  "WS01": {"classes": {}}}}\n'
  } > fixture.json
}

# Runs qv-sim on names.txt in a fresh folder $1 with QV_PARALLEL=$2 (empty: unset); prints seconds.
timedRun() {
  rm -rf "$1" && mkdir "$1" && cp fixture.json names.txt "$1/"
  t0=$(date +%s.%N)
  if [ -n "$2" ]; then
    (cd "$1" && QV_PARALLEL=$2 "$SIM" fixture.json /F:names.txt > out.txt 2> err.txt) || [ $? -eq 1 ]
  else
    (cd "$1" && unset QV_PARALLEL && "$SIM" fixture.json /F:names.txt > out.txt 2> err.txt) || [ $? -eq 1 ]
  fi
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }'
}

# Everything a run in folder $1 wrote, with the folder's name taken out.
written() {
  (cd "$1" && cat out.txt err.txt docs/QV.log docs/QV*.txt &&
   for t in $(sqlite3 docs/QV.mdb "select name from sqlite_master where type='table' order by name"); do
     echo "[$t]"; sqlite3 docs/QV.mdb "select * from \"$t\""
   done) | sed "s|$1|DIR|g"
}

cd "$WORK"
makeFixture 150 350
{ seq -f "PC%04g" 1 350; seq -f "OFF%04g" 1 150; } | sort > names.txt
one=$(timedRun "$WORK/one" 1)
pool=$(timedRun "$WORK/pool" "")
written "$WORK/one" > one.txt
written "$WORK/pool" > pool.txt
if cmp -s one.txt pool.txt; then same="identical"; else same="DIFFERENT"; fi
echo "500 computers (350 answer, 5 ms a class query; 150 off, probe limit 200 ms):"
awk -v a="$one" -v b="$pool" -v s="$same" 'BEGIN { printf "  one at a time %.2f s, default pool %.2f s, %.1f times faster; outputs %s\n", a, b, a / b, s }'
[ "$same" = identical ] || { diff one.txt pool.txt | head -20; exit 1; }

# Runs names.txt with the default pool in folder $1, sampling the process; prints the time, the
# computers reported and the peaks of threads, open files and resident memory.
sampledRun() {
  rm -rf "$1" && mkdir "$1" && cp fixture.json names.txt "$1/"
  (
    cd "$1"
    t0=$(date +%s.%N)
    unset QV_PARALLEL
    "$SIM" fixture.json /F:names.txt > out.txt 2> err.txt &
    pid=$!
    peakThreads=0; peakFiles=0; peakKb=0
    while kill -0 "$pid" 2>/dev/null; do
      threads=$(awk '/^Threads:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo 0)
      kb=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo 0)
      files=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l)
      [ "${threads:-0}" -gt "$peakThreads" ] && peakThreads=$threads
      [ "${kb:-0}" -gt "$peakKb" ] && peakKb=$kb
      [ "$files" -gt "$peakFiles" ] && peakFiles=$files
      sleep 0.1
    done
    wait "$pid" || true
    t1=$(date +%s.%N)
    failed=$(grep -c "Failed WMI Connection" docs/QV.log || true)
    awk -v a="$t0" -v b="$t1" -v n="$failed" -v t="$peakThreads" -v f="$peakFiles" -v m="$peakKb" \
      'BEGIN { printf "%.2f s, %d reported as failed, peak %d threads, %d open files, %.1f MB resident\n", b - a, n, t, f, m / 1024 }'
  )
}

# 10,000 switched-off computers (probe limit 200 ms) and 100,000 unknown names, default pool.
makeFixture 10000 0
seq -f "OFF%04g" 1 10000 > names.txt
printf "10,000 unreachable names: "
sampledRun "$WORK/off"
seq -f "NONE%06g" 1 100000 > names.txt
printf "100,000 unknown names:    "
sampledRun "$WORK/unknown"
