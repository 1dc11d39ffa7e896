#!/bin/sh
# Runs each fuzz harness of build-fuzz/ (./scripts/build.sh fuzz) for SECONDS seconds from its
# committed seeds: tests/fuzz/run.sh SECONDS [NAME...] (every harness when no name is given). New
# inputs go to a work folder, never into the committed corpus; a crash, a leak, a hang of more
# than 10 s on one input or more than 2 GB of memory fails the run and leaves the input in
# build-fuzz/artifacts/.
set -e
cd "$(dirname "$0")/../.."
seconds=${1:?usage: tests/fuzz/run.sh SECONDS [NAME...]}
shift
[ $# -gt 0 ] || set -- $(ls tests/fuzz/corpus)
mkdir -p build-fuzz/artifacts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=""
for name in "$@"; do
  mkdir -p "$work/$name"
  if ! ./build-fuzz/fuzz-"$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="build-fuzz/artifacts/$name-" "$work/$name" "tests/fuzz/corpus/$name" \
      >"$work/$name.log" 2>&1; then
    tail -40 "$work/$name.log"
    failed="$failed $name"
  fi
  printf 'fuzz %-16s %s\n' "$name" "$(grep -E '^stat::number_of_executed_units' "$work/$name.log" | awk '{print $2 " inputs"}')"
done
if [ -n "$failed" ]; then
  echo "fuzz: failed:$failed (inputs in build-fuzz/artifacts/)"
  exit 1
fi
