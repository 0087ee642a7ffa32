#!/usr/bin/env bash
# The search index's cost and speed:
#  1. indexing overhead: `gathra generate` of the crawl benchmark's site (bench/make-site.py
#     --rich, served by nginx on loopback) at depth 3 and 5, with the pages indexed as the run
#     stores them and with --no-index; medians of RUNS runs (default 5) of each, run alternately;
#  2. SearchBench (build it: cmake --build build --target SearchBench): a brief of 100,000
#     stored pages: --reindex time, index size against the page files, query times with every
#     match ranked and with the newest 1,000 only, and for other bounds.
# The machine may be shared: run it niced and read the load printed with the results.
# Usage: bench/search-bench.sh [BUILD_DIR]   CASES="depth3" RUNS=3 SKIP_LARGE=1 to do less.
set -euo pipefail
cd "$(dirname "$0")/.."
bench_dir=$PWD/bench
build=${1:-build}
gathra=$(realpath "$build/gathra")
[ -x "$gathra" ] || { echo "build $gathra first"; exit 1; }
runs=${RUNS:-5}

# shellcheck source=bench/crawl-lib.sh
. "$bench_dir/crawl-lib.sh"
work=$(mktemp -d -p "$(bench_tmp)")
nginx_pid=
trap 'stop_nginx; rm -rf "$work"' EXIT
export GATHRA_CONFIG_DIR="$work/config"

python3 bench/make-site.py --rich "$work/site/rich" >/dev/null
start_nginx "$work/site"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"

# One timed run: "wall cpu" seconds on stdout. Run folders stay until the case is done, so that
# each run has a new folder as in use (a reused folder number also drops the old run's pages).
timed_run() {
    local brief=$1 flag=$2
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$gathra" generate "$brief" --quiet $flag \
        > "$work/summary" 2>/dev/null
    awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$work/time"
}

# On a shared machine a run waits for the processor as much as for the network: the processor
# time of the runs tells the indexing's own cost best.
printf '%-7s %8s %8s %9s %8s %8s %9s\n' case "off s" "on s" "wall +" "off cpu" "on cpu" "cpu +"
for name in ${CASES:-depth3 depth5}; do
    case $name in
    depth3) depth=3 ;;
    depth5) depth=5 ;;
    esac
    brief="$work/briefs/$name/Bench.brf"
    mkdir -p "$(dirname "$brief")"
    make_brief "$gathra" "$brief" "http://127.0.0.1:$port/rich/index.htm" "$depth"
    # The brief's index starts with a run of its own, so that the timed runs find it there.
    timed_run "$brief" "" >/dev/null
    offs=() ons=() offc=() onc=()
    for ((i = 0; i < runs; i++)); do
        read -r wall cpu < <(timed_run "$brief" --no-index)
        offs+=("$wall") offc+=("$cpu")
        read -r wall cpu < <(timed_run "$brief" "")
        ons+=("$wall") onc+=("$cpu")
    done
    python3 -c 'import sys
n, a, b, c, d = sys.argv[1:]; a, b, c, d = (float(x) for x in (a, b, c, d))
print("%-7s %8.3f %8.3f %8.1f%% %8.3f %8.3f %8.1f%%" % (n, a, b, 100 * (b - a) / a, c, d, 100 * (d - c) / c))' \
        "$name" "$(median "${offs[@]}")" "$(median "${ons[@]}")" "$(median "${offc[@]}")" "$(median "${onc[@]}")"
    rm -rf "$(dirname "$brief")"
done
echo "(medians of $runs runs each)"
stop_nginx

if [ "${SKIP_LARGE:-0}" != 1 ]; then
    bench_prog=$(realpath "$build/SearchBench" 2>/dev/null || true)
    if [ -x "$bench_prog" ]; then
        "$bench_prog" "$work/large" "${LARGE_RUNS:-100}" "${LARGE_PAGES:-1000}"
    else
        echo "SearchBench not built: cmake --build $build --target SearchBench"
    fi
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
