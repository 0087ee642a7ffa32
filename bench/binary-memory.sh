#!/usr/bin/env bash
# Peak memory of `gathra generate` storing large binaries served by nginx on loopback: a picture
# entry of SIZE_MB megabytes (default 200), and a page at depth 2 that links to a file of that
# size. Prints each case's wall time, CPU time and peak resident memory, and checks that every
# stored file is the served one, byte for byte. A binary stored as it arrives keeps the peak far
# below the file's size; one held whole in memory needs more than the file.
# Usage: bench/binary-memory.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
bench_dir=$PWD/bench
build=${1:-build}
gathra=$(realpath "$build/gathra")
[ -x "$gathra" ] || { echo "build $gathra first (cmake --build --preset default --target gathra)"; exit 1; }
size_mb=${SIZE_MB:-200}

work=$(mktemp -d)
nginx_pid=
trap 'stop_nginx; rm -rf "$work"' EXIT
# shellcheck source=bench/crawl-lib.sh
. "$bench_dir/crawl-lib.sh"
export GATHRA_CONFIG_DIR="$work/config"

mkdir -p "$work/site"
# Bytes that do not compress and hold every value (NUL, CR and LF among them).
head -c "$((size_mb * 1024 * 1024))" /dev/urandom > "$work/site/big.png"
cp "$work/site/big.png" "$work/site/big.zip"
printf '<title>Files</title><a href="big.zip">the file</a>\n' > "$work/site/index.htm"
start_nginx "$work/site"

status=0
printf '%-8s %8s %8s %10s  %s\n' case wall_s cpu_s peak_mb stored
for item in picture:big.png:1 linked:index.htm:2; do
    IFS=: read -r name address depth <<<"$item"
    brief="$work/$name/Bench.brf"
    mkdir -p "$(dirname "$brief")"
    # The benchmark's settings and a brief of one entry, with images and other files.
    make_brief "$gathra" "$brief" "http://127.0.0.1:$port/$address" "$depth"
    rm -f "$brief"
    "$gathra" new "$brief" --name "Binary benchmark" >/dev/null
    "$gathra" add "$brief" --url "http://127.0.0.1:$port/$address" --depth "$depth" --images \
        --other-files >/dev/null
    read -r wall cpu peak < <(timed_generate "$gathra" "$brief")
    run=$(cat "$work/last-run")
    stored=missing
    for f in "$run"/*; do
        if cmp -s "$f" "$work/site/big.png"; then stored=$(basename "$f"); fi
    done
    [ "$stored" = missing ] && status=1
    leftover=$(find "$run" -name '*.part' | wc -l)
    [ "$leftover" = 0 ] || { stored="$stored (+$leftover .part)"; status=1; }
    printf '%-8s %8s %8s %10.1f  %s\n' "$name" "$wall" "$cpu" "$(python3 -c "print($peak / 1024)")" "$stored"
    rm -rf "$run"
done
exit $status
