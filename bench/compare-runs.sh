#!/usr/bin/env bash
# Checks that two builds of gathra crawl alike: on the generated benchmark site (nginx on
# loopback) each build runs the same brief at depth 3 and at depth 5, and the requests they send
# (the same set; in the same order unless a build fetches ahead) and the run folders they write
# (every file, every byte, time stamps aside) must be the same. With BIG=1 the 200,000-link page is compared too.
# Usage: bench/compare-runs.sh BEFORE_GATHRA AFTER_GATHRA
set -euo pipefail
[ $# = 2 ] || { echo "usage: $0 BEFORE_GATHRA AFTER_GATHRA"; exit 2; }
before=$(realpath "$1")
after=$(realpath "$2")
cd "$(dirname "$0")/.."
bench_dir=$PWD/bench

# shellcheck source=bench/crawl-lib.sh
. "$bench_dir/crawl-lib.sh"
work=$(mktemp -d -p "$(bench_tmp)")
nginx_pid=
trap 'stop_nginx; rm -rf "$work"' EXIT
export GATHRA_CONFIG_DIR="$work/config"
# Both builds must name the same program folder in the pages they write.
export GATHRA_PROGRAM_FOLDER=${GATHRA_PROGRAM_FOLDER:-$(dirname "$after")}

python3 bench/make-site.py --rich "$work/site/rich" >/dev/null
cases="rich/index.htm:3 rich/index.htm:5"
if [ "${BIG:-0}" = 1 ]; then
    python3 bench/make-site.py --big "$work/site/big" >/dev/null
    cases="$cases big/big.htm:1"
fi
start_nginx "$work/site"

status=0
for item in $cases; do
    address=${item%%:*} depth=${item##*:}
    for side in before after; do
        gathra=$before
        [ "$side" = after ] && gathra=$after
        brief="$work/$side-$depth/Bench.brf"
        mkdir -p "$(dirname "$brief")"
        make_brief "$gathra" "$brief" "http://127.0.0.1:$port/$address" "$depth"
        timed_generate "$gathra" "$brief" >/dev/null
        cp "$work/last-requests" "$work/$side-$depth.requests"
        echo "$(cat "$work/last-run")" > "$work/$side-$depth.run"
    done
    echo "== $address at depth $depth"
    if cmp -s "$work/before-$depth.requests" "$work/after-$depth.requests"; then
        echo "requests: the same $(wc -l < "$work/after-$depth.requests")"
    elif cmp -s <(sort "$work/before-$depth.requests") <(sort "$work/after-$depth.requests"); then
        # Fast transfers fetch ahead over several connections: the same requests, in another order.
        echo "requests: the same $(wc -l < "$work/after-$depth.requests"), in another order"
    else
        echo "requests differ:"
        diff <(sort "$work/before-$depth.requests") <(sort "$work/after-$depth.requests") \
            | head -20 || true
        status=1
    fi
    python3 bench/compare-folders.py "$(cat "$work/before-$depth.run")" "$(cat "$work/after-$depth.run")" \
        | tail -20 || status=1
done
exit $status
