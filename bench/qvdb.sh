#!/bin/sh
# Benchmark of qvdb (not a test), on a release build: `qvdb report` and `qvdb export --format glpi`
# of a database of COMPUTERS fleet computers with two inventories each (tests/support/
# fleet_fixture.cpp, written through qv-sim): wall and processor time and peak memory of each, the
# load average before and after, and, where Chromium and Selenium are installed, the time the
# site's pages take to open in headless Chromium and a keystroke's work in a list's filter and in
# the site's search. Goals: the report in at most 10 s and 100 MB, each export in under 30 s and
# 500 MB; each page open in under 2 s; a keystroke at most 50 ms.
# Usage: bench/qvdb.sh [COMPUTERS]   (default 10000; the database is kept in $BUILD/fleet-N;
# BUILD names the build folder, default build-bench)
set -e
cd "$(dirname "$0")/.."
COMPUTERS=${1:-10000}
BUILD=${BUILD:-build-bench}
# A build folder already set up is used as it is (its test setting kept).
[ -f "$BUILD/build.ninja" ] ||
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TESTS=OFF >/dev/null
ninja -C "$BUILD" qv-sim qvdb qvdb-fleet >/dev/null || { echo "build failed"; exit 1; }
FLEET=$BUILD/fleet-$COMPUTERS
if [ ! -f "$FLEET/complete" ]; then
  echo "== making the database of $COMPUTERS computers (once; kept in $FLEET)"
  rm -rf "$FLEET" && mkdir -p "$FLEET"
  start=$(date +%s)
  "$BUILD/qvdb-fleet" "$FLEET" "$COMPUTERS" >/dev/null
  touch "$FLEET/complete"
  echo "   $(($(date +%s) - start)) s"
fi
DB=$FLEET/docs/QV.mdb
OUT=$(mktemp -d)
trap 'echo "== load average at the end: $(cut -d" " -f1-3 /proc/loadavg)"; rm -rf "$OUT"' EXIT
echo "== load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== database: $(sqlite3 "$DB" 'SELECT count(*) FROM DeviceID') inventories," \
     "$(du -m "$DB" | cut -f1) MB"

# Runs qvdb with the arguments; prints its wall time, its processor time (user and system: on a
# machine shared with other work the wall time grows with the load, this much less) and peak
# resident memory.
measure() {
  label=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o "$OUT/time.txt" "$BUILD/qvdb" "$@" > "$OUT/out.txt" 2>&1 ||
    { cat "$OUT/out.txt"; exit 1; }
  awk -v l="$label" '{ printf "%-28s %6.1f s  (processor %.1f s)  %6.0f MB peak\n", l, $1, $2 + $3, $4 / 1024 }' "$OUT/time.txt"
}

echo "== qvdb, $COMPUTERS computers"
measure "report" report --database "$DB" --out "$OUT/site"
measure "export --format glpi" export --format glpi --database "$DB" --out "$OUT/glpi"
measure "export --format glpi --all" export --format glpi --all --database "$DB" --out "$OUT/glpi-all"
measure "export --format csv" export --format csv --database "$DB" --out "$OUT/csv"
echo "   site: $(du -sm "$OUT/site" | cut -f1) MB in $(find "$OUT/site" -type f | wc -l) files;" \
     "overview $(du -k "$OUT/site/index.html" | cut -f1) KB"

if [ -x /usr/bin/chromium ] && [ -x /usr/bin/chromedriver ] && /usr/bin/python3 -c 'import selenium' 2>/dev/null; then
  /usr/bin/python3 - "$OUT/site" <<'PY'
import os, sys
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
o = webdriver.ChromeOptions()
o.binary_location = "/usr/bin/chromium"
for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
    o.add_argument(a)
d = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=o)
try:
    for page in ("index.html", "computers.html", "software.html", "disks.html", "changes.html"):
        d.get("file://" + os.path.join(os.path.abspath(sys.argv[1]), page))
        ms = d.execute_script("const t = performance.timing; return t.loadEventEnd - t.navigationStart")
        print("%-28s %6.2f s to open in headless Chromium" % (page, ms / 1000))
    # Keystroke latency: each of six characters typed into the computer list's filter and into the
    # site's search, the time from the input event to the end of the handler's work and layout.
    d.get("file://" + os.path.join(os.path.abspath(sys.argv[1]), "computers.html"))
    d.execute_async_script("const done = arguments[0]; const s = document.getElementById('qv-search');"
                           "s.dispatchEvent(new Event('focus')); (function wait() { window.qvSearchIndex ? done() : setTimeout(wait, 50); })();")
    for what, css in (("list filter", "input.filter"), ("site search", "#qv-search")):
        times = d.execute_script(
            "const box = document.querySelector(arguments[0]); const out = [];"
            "for (const ch of 'PC0012') { box.value += ch; const t = performance.now();"
            "  box.dispatchEvent(new Event('input')); document.body.offsetHeight; out.push(performance.now() - t); }"
            "return out;", css)
        print("%-28s %6.1f ms per keystroke at most (%s)" % (what, max(times), ", ".join("%.0f" % t for t in times)))
finally:
    d.quit()
PY
else
  echo "   (Chromium, chromium-driver or python3-selenium missing: the opening time is not measured)"
fi
