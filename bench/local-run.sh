#!/bin/sh
# Benchmark (not a test), on the build type scripts/build.sh uses: wall time of a full qv run of this computer, the external processes it
# starts, and the same inventory by lshw and FusionInventory for comparison.
#   bench/local-run.sh [RUNS]      (default 11 runs of qv, 5 of lshw, 3 of FusionInventory)
set -e
cd "$(dirname "$0")/.."
RUNS=${1:-11}
BUILD=build-bench
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TESTS=OFF >/dev/null
ninja -C "$BUILD" qv >/dev/null || { echo "build failed"; exit 1; }
QV=$(pwd)/$BUILD/qv
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

now() { date +%s%N; }
# Median of the numbers (nanoseconds) on stdin, printed in seconds.
median() { sort -n | awk '{v[NR]=$1} END {m = (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2; printf "%.4f\n", m / 1e9}'; }

# Each run starts from an empty documents folder: database creation, report and log included.
run_qv() {
    home="$WORK/home$1"
    mkdir -p "$home"
    start=$(now)
    (cd "$home" && HOME="$home" XDG_CONFIG_HOME="$home/.config" "$QV" </dev/null >/dev/null 2>&1)
    echo $(( $(now) - start ))
}

i=0; : >"$WORK/qv.times"
while [ $i -lt "$RUNS" ]; do run_qv $i >>"$WORK/qv.times"; i=$((i + 1)); done
QV_MEDIAN=$(median <"$WORK/qv.times")
echo "load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"
echo "qv full local run: median ${QV_MEDIAN} s wall time over $RUNS runs"
# Processor time (user + system) of the same run, which load on the machine does not inflate.
if [ -x /usr/bin/time ]; then
    i=0; : >"$WORK/qv.cpu"
    while [ $i -lt "$RUNS" ]; do
        home="$WORK/cpu$i"; mkdir -p "$home"
        (cd "$home" && HOME="$home" /usr/bin/time -f "%U %S" -o "$WORK/one.cpu" "$QV" </dev/null >/dev/null 2>&1)
        awk '{printf "%d\n", ($1 + $2) * 1e9}' "$WORK/one.cpu" >>"$WORK/qv.cpu"
        i=$((i + 1))
    done
    echo "qv full local run: median $(median <"$WORK/qv.cpu") s processor time"
fi

if command -v strace >/dev/null 2>&1; then
    home="$WORK/traced"; mkdir -p "$home"
    (cd "$home" && HOME="$home" strace -f -qq -e trace=execve,execveat -o "$WORK/trace" "$QV" </dev/null >/dev/null 2>&1) || true
    EXECS=$(grep -c 'execve' "$WORK/trace" || true)
    echo "qv external processes started: $((EXECS - 1)) (execve calls besides qv itself: $(grep execve "$WORK/trace" | grep -v "$QV" | sed 's/.*execve(\"\([^\"]*\)\".*/\1/' | tr '\n' ' '))"
else
    echo "strace not installed: external processes not counted"
fi
echo "report of the last run: $(ls "$WORK"/home$((RUNS - 1))/Documents/QV*.txt 2>/dev/null | head -1)"

# The comparison tools (Debian packages), installed when missing.
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
for pair in lshw:lshw fusioninventory-inventory:fusioninventory-agent; do
    cmd=${pair%%:*}; pkg=${pair#*:}
    if ! command -v "$cmd" >/dev/null 2>&1; then
        if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "$pkg" >/dev/null 2>&1; then
            echo "$pkg: not available from apt here; no comparison"
        fi
    fi
done

compare() {
    name=$1; runs=$2; shift 2
    if ! command -v "$1" >/dev/null 2>&1; then return; fi
    : >"$WORK/$name.times"
    k=0
    while [ $k -lt "$runs" ]; do
        start=$(now); "$@" >/dev/null 2>&1 || true; echo $(( $(now) - start )) >>"$WORK/$name.times"; k=$((k + 1))
    done
    m=$(median <"$WORK/$name.times")
    ratio=$(awk -v a="$m" -v b="$QV_MEDIAN" 'BEGIN { printf "%.1f", (b > 0) ? a / b : 0 }')
    echo "$name: median $m s over $runs runs; ${ratio} times the qv run"
}
compare "lshw -json" 5 lshw -json
compare "fusioninventory-inventory" 3 fusioninventory-inventory
