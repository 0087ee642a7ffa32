#!/usr/bin/env bash
# Times crawls over a slow network: the generated site of about 2,000 pages (depth 3, as the
# depth3 case of crawl-bench.sh) served by nginx on loopback, over http and https (a CA and a
# server certificate made with openssl at start; gathra trusts the CA through SSL_CERT_FILE),
# reached through bench/latency-proxy.c at each round trip of RTTS milliseconds. For each:
#   raw      bench/raw-client.c fetching the same requests, one connection (and for https one
#            full handshake) each, one after another
#   classic  gathra with classic-transfers yes
#   fast     gathra with classic-transfers no, HTTP/1.1 only (GATHRA_HTTP2=no)
#   h2       the same with HTTP/2 offered (https only; nginx serves https with http2 on)
# (a gathra without the classic-transfers setting is run once, as "today"), printing wall time,
# CPU time, peak memory, requests served and connections the proxy accepted (medians of RUNS
# runs, default 1).
# SKIP lists the cells left out, as RTT:SCHEME:PROGRAM words; by default the raw client over https
# at 60 ms (about 3.6 minutes of fixed round trips: 3 per request) is left out, so that a run at
# 60 ms stays under about ten minutes. SKIP= runs every cell.
# Usage: bench/net-bench.sh [BUILD_DIR]   (default: build; nginx, openssl, cc and libssl-dev)
#        RTTS="0 20" SCHEMES=https RUNS=3 bench/net-bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bench_dir=$PWD/bench
build=${1:-build}
gathra=$(realpath "$build/gathra")
[ -x "$gathra" ] || { echo "build $gathra first (cmake --build --preset default --target gathra)"; exit 1; }
runs=${RUNS:-1}
rtts=${RTTS:-0 20 60}
schemes=${SCHEMES:-http https}
skip=" ${SKIP-60:https:raw} "
# A bound on each proxy's life, so that nothing is left running whatever happens to this script.
proxy_seconds=1800

# shellcheck source=bench/crawl-lib.sh
. "$bench_dir/crawl-lib.sh"
work=$(mktemp -d -p "$(bench_tmp)")
nginx_pid=
proxy_pid=
trap 'stop_proxy; stop_nginx; rm -rf "$work"' EXIT
export GATHRA_CONFIG_DIR="$work/config"

# A CA and a certificate for 127.0.0.1 signed by it, in $work/tls.
make_certificates() {
    local tls=$work/tls
    mkdir -p "$tls"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Net bench CA" \
        -keyout "$tls/ca.key" -out "$tls/ca.pem" \
        -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" \
        -keyout "$tls/server.key" -out "$tls/server.csr" 2>/dev/null
    printf '%s\n' "subjectAltName=IP:127.0.0.1" "basicConstraints=CA:FALSE" \
        "keyUsage=digitalSignature,keyEncipherment" "extendedKeyUsage=serverAuth" > "$tls/ext"
    openssl x509 -req -in "$tls/server.csr" -CA "$tls/ca.pem" -CAkey "$tls/ca.key" \
        -CAcreateserial -days 2 -extfile "$tls/ext" -out "$tls/server.pem" 2>/dev/null
}

# Starts the proxy on $proxy_port towards port $1 with a round trip of $2 ms.
start_proxy() {
    "$work/latency-proxy" "$proxy_port" "$1" "$2" "$proxy_seconds" > "$work/proxy.out" &
    proxy_pid=$!
    wait_for_port "$proxy_port" "the latency proxy"
}

stop_proxy() {
    [ -n "${proxy_pid:-}" ] || return 0
    kill -TERM "$proxy_pid" 2>/dev/null || true
    wait "$proxy_pid" 2>/dev/null || true
    proxy_pid=
}

# One timed run of program $1 (raw or a gathra mode) over scheme $2 through a proxy towards port
# $3 at $4 ms; writes "wall cpu peak_kb requests connections" to $work/row (connections the proxy
# accepted, less the one start_proxy made).
run_once() {
    local program=$1 scheme=$2 target=$3 rtt=$4 times before requests connections
    start_proxy "$target" "$rtt"
    if [ "$program" = raw ]; then
        local ca=()
        [ "$scheme" = https ] && ca=("$SSL_CERT_FILE")
        before=$(wc -l < "$work/access.log")
        /usr/bin/time -v -o "$work/time" "$work/raw-client" "$proxy_port" \
            "$work/requests-$scheme" "${ca[@]}" > "$work/raw.out" || true
        sleep 0.1
        times=$(time_report "$work/time")
        requests=$(($(wc -l < "$work/access.log") - before))
    else
        times=$(timed_generate "$gathra" "$work/briefs/$scheme/Bench.brf")
        requests=$(wc -l < "$work/last-requests")
        [ -s "$work/requests-$scheme" ] || cp "$work/last-requests" "$work/requests-$scheme"
        rm -rf "$(cat "$work/last-run")"
    fi
    stop_proxy
    connections=$(awk '$1 == "connections" { print $2 - 1 }' "$work/proxy.out")
    echo "$times $requests $connections" > "$work/row"
}

build_raw_client
cc -O2 -o "$work/latency-proxy" "$bench_dir/latency-proxy.c"
python3 bench/make-site.py --rich "$work/site/rich" >/dev/null
make_certificates
NGINX_HTTP2=yes start_nginx "$work/site" "$work/tls/server.pem" "$work/tls/server.key"
export SSL_CERT_FILE=$work/tls/ca.pem
proxy_port=$(free_port)
for scheme in $schemes; do
    mkdir -p "$work/briefs/$scheme"
    make_brief "$gathra" "$work/briefs/$scheme/Bench.brf" \
        "$scheme://127.0.0.1:$proxy_port/rich/index.htm" 3
done
if "$gathra" settings set classic-transfers yes >/dev/null 2>&1; then
    modes="classic fast h2"
else
    modes=today
fi

printf '%5s %-6s %-8s %8s %8s %8s %9s %12s\n' rtt scheme program "wall s" "cpu s" "peak MB" \
    requests connections
for rtt in $rtts; do
    for scheme in $schemes; do
        target=$port
        [ "$scheme" = https ] && target=$tls_port
        # gathra first: its requests are the raw client's list.
        for program in $modes raw; do
            case $skip in *" $rtt:$scheme:$program "*) continue ;; esac
            [ "$program" = h2 ] && [ "$scheme" != https ] && continue
            if [ "$program" = raw ] && [ ! -s "$work/requests-$scheme" ]; then
                echo "$rtt $scheme raw: skipped, no gathra run has listed the requests yet"
                continue
            fi
            case $program in
            classic) "$gathra" settings set classic-transfers yes >/dev/null ;;
            fast | h2) "$gathra" settings set classic-transfers no >/dev/null ;;
            esac
            if [ "$program" = h2 ]; then export GATHRA_HTTP2=yes; else export GATHRA_HTTP2=no; fi
            walls=() cpus=() peaks=()
            for ((i = 0; i < runs; i++)); do
                run_once "$program" "$scheme" "$target" "$rtt"
                read -r wall cpu peak requests connections < "$work/row"
                walls+=("$wall") cpus+=("$cpu") peaks+=("$peak")
            done
            printf '%5s %-6s %-8s %8.2f %8.2f %8.1f %9d %12d\n' "$rtt" "$scheme" "$program" \
                "$(median "${walls[@]}")" "$(median "${cpus[@]}")" \
                "$(python3 -c "print($(median "${peaks[@]}") / 1024)")" "$requests" "$connections"
        done
    done
done
echo "(medians of $runs runs; requests and connections of the last run; rtt in ms)"
