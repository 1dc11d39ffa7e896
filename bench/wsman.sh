#!/bin/sh
# Benchmark (not a test): Windows computers over WS-Management on loopback, answered by the
# project's WS-Management server (NTLM, sealed messages) from example fixture computers. Prints one
# computer's time against qv-sim on the same fixture, with 10 ms round trips (a delaying relay),
# 50 computers with the default worker pool against one at a time, and peak memory of one and 50.
# Then a realistic desktop (300 programs in each registry view, user hives, services and their
# drivers' files) at 0, 10 and 50 ms round trips: time, requests the server answered, most
# requests at once and qv's processor time; and 50 such computers at 10 ms with the default pool.
#   bench/wsman.sh [RUNS]      (default 5 runs of each; needs ./scripts/build.sh tests)
#   CONNECTIONS=N sets the winrm file's Connections line for the realistic runs (default: none,
#   the program's default); ONE=1 adds the realistic desktop over one connection at 10 ms;
#   REAL_ONLY=1 runs the realistic desktop alone (without the example computers' figures).
set -e
cd "$(dirname "$0")/.."
RUNS=${1:-5}
BUILD=$(pwd)/${BUILD:-build}
WORK=$(mktemp -d)
SERVER_PID=""
RELAY_PID=""
REAL_PID=""
trap 'for p in $SERVER_PID $RELAY_PID $REAL_PID; do kill "$p" 2>/dev/null || true; done; rm -rf "$WORK"' EXIT
trap 'exit 1' HUP INT PIPE TERM

now() { date +%s%N; }
median() { sort -n | awk '{v[NR]=$1} END {m = (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2; printf "%.4f\n", m / 1e9}'; }
NAMES=$(i=1; while [ $i -le 50 ]; do printf 'PC%02d ' $i; i=$((i + 1)); done)

# The fixture: ADMIN runs qv-sim; PC01..PC50 are example Windows servers.
{
  printf '{"now": "2026-12-08T09:30:05",\n'
  printf ' "identity": {"computerName": "ADMIN", "userName": "admin", "documents": "docs", "privilege": 2,\n'
  printf '   "version": {"platformId": 2, "major": 5, "minor": 1, "build": 2600, "csd": ""}},\n'
  printf ' "registry": {"HKCR\\\\WINMGMTS\\\\CurVer": {"": {"type": 1, "data": "WINMGMTS.1"}},\n'
  for k in ADODB.Connection ADODB.Command ADODB.Recordset ADOR.Recordset ADOX.Catalog ADOX.Table ADOX.Key; do
    printf '   "HKCR\\\\%s\\\\CurVer": {"": {"type": 1, "data": "%s.2.8"}},\n' "$k" "$k"
  done
  printf '   "HKCR\\\\Microsoft.Jet.OLEDB.4.0": {"": {"type": 1, "data": "Microsoft.Jet.OLEDB.4.0"}},\n'
  printf '   "HKLM\\\\Software\\\\Microsoft\\\\Jet\\\\4.0\\\\Engines\\\\Text": {"DisabledExtensions": {"type": 1, "data": "!txt,csv"}}},\n'
  printf ' "wmi": '
  # shellcheck disable=SC2086
  "$BUILD/qv-wsman-server" --example $NAMES
  printf '}\n'
} >"$WORK/fixture.json"

echo "CORP:admin:Bench-Secret" >"$WORK/ntlm-users"
printf 'default login CORP\\admin password Bench-Secret\n' >"$WORK/netrc"
chmod 600 "$WORK/netrc"
NTLM_USER_FILE="$WORK/ntlm-users" "$BUILD/qv-wsman-server" "$WORK/fixture.json" "$WORK/ports" 2>"$WORK/server.log" &
SERVER_PID=$!
i=0
while [ ! -f "$WORK/ports" ] && [ $i -lt 500 ]; do sleep 0.01; i=$((i + 1)); done
mkdir -p "$WORK/config" "$WORK/cpu"
awk '{printf "Host %s\n  HostName 127.0.0.1\n  Port %s\n  Auth ntlm\n", $1, $2}' "$WORK/ports" >"$WORK/config/winrm"

run_qv() {
    home="$WORK/home$1"
    rm -rf "$home"; mkdir -p "$home"
    shift
    start=$(now)
    (cd "$home" && HOME="$home" XDG_CONFIG_HOME= QV_CONFIG_DIR="$WORK/config" QV_NETRC="$WORK/netrc" \
        QV_SSH_DIR="$WORK" "$BUILD/qv" "$@" </dev/null >/dev/null 2>&1) || [ $? -eq 1 ]  # 1: a row refused
    echo $(( $(now) - start ))
}
run_sim() {
    rm -rf "$WORK/sim"; mkdir -p "$WORK/sim"
    start=$(now)
    (cd "$WORK/sim" && "$BUILD/qv-sim" "$WORK/fixture.json" "$@" >/dev/null 2>&1) || [ $? -eq 1 ]
    echo $(( $(now) - start ))
}
series() {
    what=$1; shift
    : >"$WORK/times"
    k=0
    while [ $k -lt "$RUNS" ]; do "$what" "$@" >>"$WORK/times"; k=$((k + 1)); done
    median <"$WORK/times"
}
peak() {  # peak resident memory of a qv run, in MB
    python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
print("%.1f" % (resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024))' \
        env HOME="$WORK/peak$1" XDG_CONFIG_HOME= QV_CONFIG_DIR="$WORK/config" QV_NETRC="$WORK/netrc" QV_SSH_DIR="$WORK" \
        "$BUILD/qv" $2
}

if [ -z "$REAL_ONLY" ]; then
ONE_TIME=$(series run_qv one PC01)
SIM=$(series run_sim PC01)
# shellcheck disable=SC2086
FIFTY=$(series run_qv fifty $NAMES)
# shellcheck disable=SC2086
SERIAL=$(QV_PARALLEL=1 series run_qv serial $NAMES)
# Processor time of both sides of one 50-computer run: on loopback they share this computer's
# processors, so the run cannot take less than their sum spread over all of them.
served() { awk '{print $14 + $15}' "/proc/$SERVER_PID/stat"; }
S0=$(served)
QV_CPU=$(python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
u = resource.getrusage(resource.RUSAGE_CHILDREN); print("%.2f" % (u.ru_utime + u.ru_stime))' \
    env HOME="$WORK/cpu" XDG_CONFIG_HOME= QV_CONFIG_DIR="$WORK/config" QV_NETRC="$WORK/netrc" QV_SSH_DIR="$WORK" \
    "$BUILD/qv" $NAMES)
SERVER_CPU=$(awk -v t=$(( $(served) - S0 )) -v hz="$(getconf CLK_TCK)" 'BEGIN{printf "%.2f", t / hz}')
mkdir -p "$WORK/peak1" "$WORK/peak50"
PEAK_ONE=$(peak 1 PC01)
PEAK_FIFTY=$(peak 50 "$NAMES")

# The same computer behind a relay that holds every chunk 5 ms each way.
RELAY_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 bench/delay-relay.py "$RELAY_PORT" "$(awk '$1 == "PC01" {print $2}' "$WORK/ports")" 5 &
RELAY_PID=$!
i=0
while ! python3 -c 'import socket, sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1)' "$RELAY_PORT" 2>/dev/null \
    && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
printf 'Host PC01\n  HostName 127.0.0.1\n  Port %s\n  Auth ntlm\n' "$RELAY_PORT" >"$WORK/config/winrm.relay"
cp "$WORK/config/winrm" "$WORK/config/winrm.direct"
cp "$WORK/config/winrm.relay" "$WORK/config/winrm"
RTT=$(series run_qv rtt PC01)
cp "$WORK/config/winrm.direct" "$WORK/config/winrm"

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors; medians of $RUNS runs"
echo "one computer over WS-Management:   $ONE_TIME s (goal under 0.3 s); qv-sim on the same fixture $SIM s ($(awk -v a="$ONE_TIME" -v b="$SIM" 'BEGIN{printf "%.1f", a/b}') times; goal at most 3)"
echo "the same with 10 ms round trips:   $RTT s (goal under 1.5 s)"
echo "50 computers, default pool:        $FIFTY s; one at a time $SERIAL s ($(awk -v a="$SERIAL" -v b="$FIFTY" 'BEGIN{printf "%.1f", a/b}') times faster; goal at least 8)"
echo "processor time of a 50-computer run: qv $QV_CPU s, the server $SERVER_CPU s; least time here, their sum / $(nproc) processors: $(awk -v a="$QV_CPU" -v b="$SERVER_CPU" -v n="$(nproc)" 'BEGIN{printf "%.2f", (a + b) / n}') s"
echo "peak memory: one computer $PEAK_ONE MB, 50 computers $PEAK_FIFTY MB ($(awk -v a="$PEAK_FIFTY" -v b="$PEAK_ONE" 'BEGIN{printf "%.2f", a/b}') times; goal at most 2)"
echo "reports of the last 50-computer run: $(ls "$WORK/homefifty/Documents/" | grep -c '^QVPC') (50 expected)"
echo "failures in its log (none expected):"
grep -h "Err#\|Timed Out\|lost" "$WORK/homefifty/Documents/QV.log" 2>/dev/null | head -5 || true
fi

# ---- The realistic desktop ----
REAL_NAMES=$(i=1; while [ $i -le 50 ]; do printf 'RS%02d ' $i; i=$((i + 1)); done)
# shellcheck disable=SC2086
"$BUILD/qv-wsman-server" --realistic $REAL_NAMES >"$WORK/real-wmi.json"
python3 -c 'import json, sys
f = json.load(open(sys.argv[1])); f["wmi"] = json.load(open(sys.argv[2])); json.dump(f, open(sys.argv[3], "w"))' \
    "$WORK/fixture.json" "$WORK/real-wmi.json" "$WORK/real.json"
NTLM_USER_FILE="$WORK/ntlm-users" "$BUILD/qv-wsman-server" "$WORK/real.json" "$WORK/real-ports" \
    --stats "$WORK/real-stats" 2>"$WORK/real-server.log" &
REAL_PID=$!
i=0
while [ ! -f "$WORK/real-ports" ] && [ $i -lt 1000 ]; do sleep 0.01; i=$((i + 1)); done
# As many free loopback ports as asked for, all different.
free_ports() { python3 -c 'import socket, sys
s = [socket.socket() for _ in range(int(sys.argv[1]))]
for k in s: k.bind(("127.0.0.1", 0))
print(" ".join(str(k.getsockname()[1]) for k in s))' "$1"; }
# winrm settings for the realistic computers through the relay's ports ("direct": the server's).
real_config() {
    : >"$WORK/config/winrm"
    while read -r name port; do
        [ "$1" = direct ] || port=$(awk -v n="$name" '$1 == n {print $2}' "$WORK/relay-ports")
        printf 'Host %s\n  HostName 127.0.0.1\n  Port %s\n  Auth ntlm\n' "$name" "$port" >>"$WORK/config/winrm"
        if [ -n "$CONNECTIONS" ]; then printf '  Connections %s\n' "$CONNECTIONS" >>"$WORK/config/winrm"; fi
    done <"$WORK/real-ports"
}
# One relay for every realistic computer, with this one-way delay.
start_relay() {
    if [ -n "$RELAY_PID" ]; then kill "$RELAY_PID"; wait "$RELAY_PID" 2>/dev/null || true; fi
    pairs=""
    : >"$WORK/relay-ports"
    set -- "$1" $(free_ports "$(wc -l <"$WORK/real-ports")")
    delay=$1
    while read -r name port; do
        shift
        echo "$name $1" >>"$WORK/relay-ports"
        pairs="$pairs${pairs:+,}$1:$port"
    done <"$WORK/real-ports"
    set -- "$delay"
    python3 bench/delay-relay.py "$pairs" "$1" &
    RELAY_PID=$!
    # Listening on every port before a run starts.
    last=$(awk 'END {print $2}' "$WORK/relay-ports")
    i=0
    while ! python3 -c 'import socket, sys; socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1)' "$last" 2>/dev/null \
        && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
}
stat_of() { if [ -f "$WORK/real-stats" ]; then awk -v k="$1" '$1 == k {print $2}' "$WORK/real-stats"; else echo 0; fi; }
# A timed run with the server's request count and qv's processor time: "seconds requests most cpu".
measured() {
    home="$WORK/home-real"; rm -rf "$home"; mkdir -p "$home"
    r0=$(stat_of requests)
    python3 -c 'import resource, subprocess, sys, time
t = time.monotonic()
subprocess.run(sys.argv[1:], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
u = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.2f %.2f" % (time.monotonic() - t, u.ru_utime + u.ru_stime))' \
        env HOME="$home" XDG_CONFIG_HOME= QV_CONFIG_DIR="$WORK/config" QV_NETRC="$WORK/netrc" QV_SSH_DIR="$WORK" \
        "$BUILD/qv" "$@" >"$WORK/measured"
    echo "$(cut -d' ' -f1 "$WORK/measured") $(( $(stat_of requests) - r0 )) $(stat_of most-at-once) $(cut -d' ' -f2 "$WORK/measured")"
}
real_series() {  # the median run of RUNS by time
    : >"$WORK/real-times"
    k=0
    while [ $k -lt "$RUNS" ]; do measured "$@" >>"$WORK/real-times"; k=$((k + 1)); done
    sort -n "$WORK/real-times" | awk '{v[NR]=$0} END {print v[int((NR+1)/2)]}'
}
show() { echo "$2" | awk -v w="$1" '{printf "%-38s %6.2f s, %d requests, qv processor time %.2f s\n", w, $1, $2, $4}'; }

echo "realistic desktop (Connections ${CONNECTIONS:-by default}; medians of $RUNS runs; load average $(cut -d' ' -f1-3 /proc/loadavg)):"
real_config direct
show "  on loopback:" "$(real_series RS01)"
start_relay 5
real_config relay
show "  10 ms round trips (goal at most 3 s):" "$(real_series RS01)"
if [ -n "$ONE" ]; then
    SAVED=$CONNECTIONS; CONNECTIONS=1; real_config relay
    show "  10 ms round trips, one connection:" "$(measured RS01)"
    CONNECTIONS=$SAVED; real_config relay
fi
# shellcheck disable=SC2086
show "  50 such computers at 10 ms, default pool:" "$(measured $REAL_NAMES)"
echo "  reports of that run: $(ls "$WORK/home-real/Documents/" | grep -c '^QVRS') (50 expected); failures in its log: $(grep -c "Err#\|Timed Out\|lost" "$WORK/home-real/Documents/QV.log" || true)"
start_relay 25
real_config relay
show "  50 ms round trips (goal at most 10 s):" "$(real_series RS01)"
echo "  most requests in flight at once at the server: $(stat_of most-at-once)"
