#!/usr/bin/env bash
# Times `gathra generate` on a generated site of about 2,000 pages at depth 3, served on loopback
# by gathra's own static server, and reports pages per second and peak memory.
# Usage: bench/crawl-bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
gathra="$build/gathra"
[ -x "$gathra" ] || { echo "build $gathra first (cmake --build --preset default --target gathra)"; exit 1; }

work=$(mktemp -d)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

pages=$(python3 bench/make-site.py "$work/site")
"$gathra" serve-site "$work/site" > "$work/port" &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port=$(head -n1 "$work/port")

# Settings of the benchmark's own: no proxy, one try per page, no browser detection.
export GATHRA_CONFIG_DIR="$work/config"
"$gathra" settings set browser /bin/true >/dev/null
"$gathra" settings set retries 1 >/dev/null
"$gathra" new "$work/Bench.brf" --name "Crawl benchmark" >/dev/null
"$gathra" add "$work/Bench.brf" --url "http://127.0.0.1:$port/index.htm" --depth 3 >/dev/null

# The requests alone: every page of the site fetched once, one connection each, in Python.
baseline=$(python3 - "$work/site" "$port" <<'PY'
import os, socket, sys, time
root, port = sys.argv[1], int(sys.argv[2])
paths = ["/" + os.path.relpath(os.path.join(d, f), root) for d, _, fs in os.walk(root) for f in fs]
start = time.perf_counter()
for path in paths:
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(("GET %s HTTP/1.0\r\n\r\n" % path).encode())
    while s.recv(65536):
        pass
    s.close()
print("%.2f" % (time.perf_counter() - start))
PY
)

/usr/bin/time -v -o "$work/time" "$gathra" generate "$work/Bench.brf" --quiet > "$work/summary"
elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time")
seconds=$(python3 -c "
t='$elapsed'.split(':'); s=0
for p in t: s=s*60+float(p)
print(s)")
peak_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time")
cpu=$(awk -F': ' '/User time|System time/ {s += $2} END {print s}' "$work/time")
stored=$(find "$(dirname "$(cat "$work/summary")")" -name 'GA*.htm' | wc -l)
python3 - "$pages" "$stored" "$seconds" "$peak_kb" "$baseline" "$cpu" <<'PY'
import sys
pages, stored, seconds, peak = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
baseline = float(sys.argv[5])
cpu = float(sys.argv[6])
print("site pages:        %d" % pages)
print("files written:     %d (pages, site map and spider-limit notices)" % stored)
print("wall time:         %.2f s" % seconds)
print("cpu time (gathra): %.2f s" % cpu)
print("pages per second:  %.0f" % (pages / seconds if seconds > 0 else float("inf")))
print("peak memory:       %.1f MB" % (peak / 1024.0))
print("requests alone:    %.2f s (the same pages fetched by a plain Python loop)" % baseline)
PY
