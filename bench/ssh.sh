#!/bin/sh
# Benchmark (not a test): this computer inventoried over SSH on loopback against the local run, and
# ten computers (ten Host aliases of the same server) with the default worker pool against one.
# Starts its own sshd on a free loopback port with generated keys and stops it at the end.
#   bench/ssh.sh [RUNS]      (default 7 runs of each)
# RTT_MS=10 bench/ssh.sh puts a relay in front of the server that holds every chunk for half that
# in each direction: round trips as on a real network.
set -e
cd "$(dirname "$0")/.."
RUNS=${1:-7}
QV=$(pwd)/${QV:-build/qv}
WORK=$(mktemp -d)
SSHD_PID=""
RELAY_PID=""
trap '[ -n "$SSHD_PID" ] && kill "$SSHD_PID"; [ -n "$RELAY_PID" ] && kill "$RELAY_PID"; [ -z "$KEEP" ] && rm -rf "$WORK"' EXIT
# A signal (a reader of its output that went away, Ctrl-C) ends the script through its exit, so the
# server and the relay are stopped then too.
trap 'exit 1' HUP INT PIPE TERM

now() { date +%s%N; }
median() { sort -n | awk '{v[NR]=$1} END {m = (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2; printf "%.4f\n", m / 1e9}'; }

PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
USER_NAME=$(id -un)
mkdir -p "$WORK/client" /run/sshd
ssh-keygen -q -t ed25519 -N '' -f "$WORK/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$WORK/client/id_ed25519"
cp "$WORK/client/id_ed25519.pub" "$WORK/authorized_keys"
cat >"$WORK/sshd_config" <<CONF
Port $PORT
ListenAddress 127.0.0.1
HostKey $WORK/host_key
PidFile none
AuthorizedKeysFile $WORK/authorized_keys
StrictModes no
UsePAM no
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
MaxStartups 64
LogLevel ERROR
Subsystem sftp internal-sftp
AllowUsers $USER_NAME
CONF
CLIENT_PORT=$PORT
if [ -n "$RTT_MS" ]; then
    CLIENT_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    python3 bench/delay-relay.py "$CLIENT_PORT" "$PORT" "$((RTT_MS / 2))" &
    RELAY_PID=$!
fi
printf 'Host qvself*\n  HostName 127.0.0.1\n  Port %s\n  User %s\n' "$CLIENT_PORT" "$USER_NAME" >"$WORK/client/config"
echo "[127.0.0.1]:$CLIENT_PORT $(cut -d' ' -f1-2 "$WORK/host_key.pub")" >"$WORK/client/known_hosts"
/usr/sbin/sshd -D -e -f "$WORK/sshd_config" 2>"$WORK/sshd.log" &
SSHD_PID=$!
i=0
while ! (exec 3<>/dev/tcp/127.0.0.1/$PORT) 2>/dev/null && [ $i -lt 200 ]; do sleep 0.01; i=$((i + 1)); done 2>/dev/null || true
sleep 0.1

# Each run starts from an empty documents folder: database creation, report and log included.
run_qv() {
    home="$WORK/home$1"
    mkdir -p "$home"
    shift
    start=$(now)
    (cd "$home" && HOME="$home" XDG_CONFIG_HOME="$home/.config" QV_SSH_DIR="$WORK/client" SSH_AUTH_SOCK= \
        "$QV" "$@" </dev/null >/dev/null 2>&1) || [ $? -eq 1 ]
    echo $(( $(now) - start ))
}
series() {
    label=$1; shift
    : >"$WORK/times"
    k=0
    while [ $k -lt "$RUNS" ]; do run_qv "$label$k" "$@" >>"$WORK/times"; k=$((k + 1)); done
    median <"$WORK/times"
}

LOCAL=$(series local)
ONE=$(series one qvself)
# The server's side: processor time of sshd's finished children (ticks, fields 16 and 17).
served() { awk '{print $16 + $17}' "/proc/$SSHD_PID/stat"; }
S0=$(served)
TEN=$(series ten qvself0 qvself1 qvself2 qvself3 qvself4 qvself5 qvself6 qvself7 qvself8 qvself9)
S1=$(served)
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors; medians of $RUNS runs${RTT_MS:+; round trips of $RTT_MS ms}"
[ -n "$RTT_MS" ] && echo "(the goals named below are for loopback, without RTT_MS)"
echo "local run:                      $LOCAL s"
echo "this computer over SSH:         $ONE s ($(awk -v a="$ONE" -v b="$LOCAL" 'BEGIN{printf "%.1f", a/b}') times the local run; goal under 1 s and at most 5 times)"
echo "ten Host aliases over SSH:      $TEN s ($(awk -v a="$TEN" -v b="$ONE" 'BEGIN{printf "%.1f", a/b}') times one; goal at most 3 times)"
# Processor time of qv itself (user + system) for one and ten computers: load on the machine does
# not inflate it.
cpu() { (cd "$WORK" && QV_SSH_DIR="$WORK/client" SSH_AUTH_SOCK= HOME="$WORK/cpu$1" /usr/bin/time -f "%U %S" -o "$WORK/cpu" "$QV" "$@" </dev/null >/dev/null 2>&1); awk '{printf "%.2f", $1 + $2}' "$WORK/cpu"; }
QV_TEN=""
if [ -x /usr/bin/time ]; then
    mkdir -p "$WORK/cpuqvself" "$WORK/cpuqvself0"
    QV_ONE=$(cpu qvself)
    QV_TEN=$(cpu qvself0 qvself1 qvself2 qvself3 qvself4 qvself5 qvself6 qvself7 qvself8 qvself9)
    echo "qv processor time: one computer $QV_ONE s, ten $QV_TEN s"
fi
mkdir -p "$WORK/trace"
echo "one computer's $(cd "$WORK/trace" && HOME="$WORK/trace" QV_SFTP_TRACE=1 QV_SSH_DIR="$WORK/client" SSH_AUTH_SOCK= "$QV" qvself 2>&1 >/dev/null </dev/null | grep "SFTP round trips")"
SSHD_TEN=$(awk -v t=$((S1 - S0)) -v r="$RUNS" -v hz="$(getconf CLK_TCK)" 'BEGIN{printf "%.2f", t / hz / r}')
echo "sshd processor time per ten-computer run: $SSHD_TEN s"
# When the server shares this computer's processors, ten computers cannot take less than the
# processor time of both sides spread over all processors.
[ -n "$QV_TEN" ] && echo "least time ten computers can take here, (qv + sshd) / $(nproc) processors: $(awk -v a="$QV_TEN" -v b="$SSHD_TEN" -v n="$(nproc)" 'BEGIN{printf "%.2f", (a + b) / n}') s; 3 times one: $(awk -v a="$ONE" 'BEGIN{printf "%.2f", 3 * a}') s"
echo "connection failures in the log of the last ten-computer run (none expected):"
grep -h "Err#\|Timed Out\|lost" "$WORK"/hometen$((RUNS - 1))/Documents/QV.log 2>/dev/null | head -5 || true
echo "its reports: $(ls "$WORK"/hometen$((RUNS - 1))/Documents/ | tr '\n' ' ')"
