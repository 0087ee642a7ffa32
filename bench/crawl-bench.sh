#!/usr/bin/env bash
# Times `gathra generate` against a raw client that sends the same requests, on sites served by
# nginx on loopback:
#   depth3, depth5  a generated site of about 2,000 pages with frames, images, queries and traps
#   styled          the depth3 site with two stylesheets, a script and a srcset on every page
#                   (its pages' resources are fetched once per run)
#   big             one page of 200,000 links at depth 1
#   large           (only when LARGE=1) the same kind of site with about 20,000 pages at depth 5,
#                   to see that time and memory grow in step with the site
# For each: requests sent, files written, the raw client's time for the same request list, and
# gathra's wall time, CPU time and peak memory (medians of RUNS runs, default 5), and the ratio of
# the wall times.
# Run folders go to /dev/shm unless BENCH_TMP names another folder (see bench_tmp in crawl-lib.sh).
# Usage: bench/crawl-bench.sh [BUILD_DIR]   (default: build; nginx and cc must be installed)
#        CASES="depth3 styled" RUNS=1 bench/crawl-bench.sh   runs only those cases, once each
set -euo pipefail
cd "$(dirname "$0")/.."
bench_dir=$PWD/bench
build=${1:-build}
gathra=$(realpath "$build/gathra")
[ -x "$gathra" ] || { echo "build $gathra first (cmake --build --preset default --target gathra)"; exit 1; }
runs=${RUNS:-5}

# shellcheck source=bench/crawl-lib.sh
. "$bench_dir/crawl-lib.sh"
work=$(mktemp -d -p "$(bench_tmp)")
nginx_pid=
trap 'stop_nginx; rm -rf "$work"' EXIT
export GATHRA_CONFIG_DIR="$work/config"

build_raw_client
python3 bench/make-site.py --rich "$work/site/rich" >/dev/null
python3 bench/make-site.py --styled "$work/site/styled" >/dev/null
ln -s styled/css "$work/site/css" && ln -s styled/js "$work/site/js"
python3 bench/make-site.py --big "$work/site/big" >/dev/null
cases=${CASES:-depth3 depth5 styled big}
if [ "${LARGE:-0}" = 1 ]; then
    python3 bench/make-site.py --rich "$work/site/large" 240 >/dev/null
    case " $cases " in *" large "*) ;; *) cases="$cases large" ;; esac
fi
start_nginx "$work/site"

printf '%-7s %9s %7s %8s %8s %8s %9s %6s\n' case requests files "raw s" "wall s" "cpu s" "peak MB" ratio
for name in $cases; do
    case $name in
    depth3) address=rich/index.htm depth=3 ;;
    depth5) address=rich/index.htm depth=5 ;;
    styled) address=styled/index.htm depth=3 ;;
    big) address=big/big.htm depth=1 ;;
    large) address=large/index.htm depth=5 ;;
    esac
    brief="$work/briefs/$name/Bench.brf"
    mkdir -p "$(dirname "$brief")"
    make_brief "$gathra" "$brief" "http://127.0.0.1:$port/$address" "$depth"
    walls=() cpus=() peaks=() raws=()
    for ((i = 0; i < runs; i++)); do
        read -r wall cpu peak < <(timed_generate "$gathra" "$brief")
        walls+=("$wall") cpus+=("$cpu") peaks+=("$peak")
        if [ "$i" = 0 ]; then
            requests=$(wc -l < "$work/last-requests")
            files=$(find "$(cat "$work/last-run")" -type f | wc -l)
            cp "$work/last-requests" "$work/requests-$name"
        fi
        rm -rf "$(cat "$work/last-run")"
        read -r raw _ < <("$work/raw-client" "$port" "$work/requests-$name")
        raws+=("$raw")
    done
    wall=$(median "${walls[@]}") cpu=$(median "${cpus[@]}") peak=$(median "${peaks[@]}")
    raw=$(median "${raws[@]}")
    python3 - "$name" "$requests" "$files" "$raw" "$wall" "$cpu" "$peak" <<'PY'
import sys
name, requests, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
raw, wall, cpu, peak = (float(x) for x in sys.argv[4:8])
print("%-7s %9d %7d %8.3f %8.3f %8.3f %9.1f %5.1fx" %
      (name, requests, files, raw, wall, cpu, peak / 1024, wall / raw if raw > 0 else 0))
PY
done
echo "(medians of $runs runs; raw s: bench/raw-client.c fetching the same requests, one connection each)"
