#!/bin/sh
# Benchmark of the inventory database on PostgreSQL (not a test), against QV.mdb on the same
# computer: starts a throwaway server on a free loopback port (synced commits, as a real server
# keeps them), then prints
#  1. the record writer and the /F run of COMPUTERS computers into QV.mdb (bench/database.sh);
#  2. the same into the server;
#  3. 16 writers at once into the server against one.
# Usage: bench/postgresql.sh [COMPUTERS]   (default 1000)
set -e
cd "$(dirname "$0")/.."
COMPUTERS=${1:-1000}
BUILD=${BUILD:-build-bench}
PGBIN=/usr/lib/postgresql/15/bin
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TESTS=OFF >/dev/null
ninja -C "$BUILD" qv-sim qv-db-bench >/dev/null || { echo "build failed"; exit 1; }
SERVER=$(mktemp -d)
AS=""
if [ "$(id -u)" -eq 0 ]; then chown postgres "$SERVER"; AS="runuser -u postgres --"; fi
PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
PASSWORD=bench-$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n')
stop() { $AS "$PGBIN/pg_ctl" -D "$SERVER/data" -m fast -w stop >/dev/null 2>&1 || true; rm -rf "$SERVER"; }
trap stop EXIT
echo "$PASSWORD" > "$SERVER/pw"
chmod 644 "$SERVER/pw"
$AS "$PGBIN/initdb" -D "$SERVER/data" -U bench --auth=scram-sha-256 --pwfile="$SERVER/pw" -E UTF8 --locale=C >/dev/null
$AS sh -c "printf \"listen_addresses = '127.0.0.1'\nport = $PORT\nunix_socket_directories = '$SERVER'\nmax_connections = 40\n\" >> '$SERVER/data/postgresql.conf'"
$AS "$PGBIN/pg_ctl" -D "$SERVER/data" -l "$SERVER/log" -w start >/dev/null
server() { echo "host=127.0.0.1 port=$PORT user=bench password=$PASSWORD dbname=$1"; }
database() { PGPASSWORD=$PASSWORD psql -h 127.0.0.1 -p "$PORT" -U bench -d postgres -qc "CREATE DATABASE $1"; }

echo "=== QV.mdb"
bench/database.sh "$COMPUTERS"
echo "=== PostgreSQL on loopback"
database one
QV_DATABASE=$(server one) bench/database.sh "$COMPUTERS"

echo "=== 16 writers at once (PostgreSQL)"
database many
CONNECTION=$(server many)
QV_DATABASE=$CONNECTION "$BUILD/qv-db-bench" 1 150 warm >/dev/null
start=$(date +%s%N)
for w in $(seq 1 16); do QV_DATABASE=$CONNECTION "$BUILD/qv-db-bench" 200 150 "w$w" > "$SERVER/w$w.out" & done
wait
end=$(date +%s%N)
cat "$SERVER"/w*.out | awk -v ns=$((end - start)) '{ rows += $3 } END {
  printf "16 writers: %d rows in %.2f s wall, %.0f rows/s together\n", rows, ns / 1e9, rows / (ns / 1e9) }'
