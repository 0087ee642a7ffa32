# Shell functions shared by crawl-bench.sh and compare-runs.sh (sourced, not run).
# They expect $work (a scratch folder of the caller's) and leave everything inside it.

# The folder for $work: BENCH_TMP when set, else a memory file system when there is one. Runs
# write up to 200,000 files and the scripts delete them between runs; on a disk file system the
# next run then spends most of its time in the file system's search for recently freed inodes
# (ext4), which measures the disk's state rather than the program.
bench_tmp() {
    if [ -n "${BENCH_TMP:-}" ]; then
        echo "$BENCH_TMP"
    elif [ -d /dev/shm ] && [ -w /dev/shm ]; then
        echo /dev/shm
    else
        echo "${TMPDIR:-/tmp}"
    fi
}

# A free loopback port.
free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# Starts nginx on a free loopback port serving folder $1, logging each request's path and query
# one a line to $work/access.log. Sets $port and $nginx_pid. With a certificate file $2 and its
# key $3 it also serves the folder securely on a second free port, $tls_port.
start_nginx() {
    local root=$1 cert=${2:-} key=${3:-} secure=
    port=$(free_port)
    if [ -n "$cert" ]; then
        tls_port=$(free_port)
        # nginx 1.22 leaves TLS 1.3 out unless told; today's servers offer it.
        # NGINX_HTTP2=yes: the TLS port speaks HTTP/2 to clients that offer it.
        local http2=
        [ "${NGINX_HTTP2:-no}" = yes ] && http2=" http2"
        secure="listen 127.0.0.1:$tls_port ssl$http2; ssl_certificate $cert; ssl_certificate_key $key;
        ssl_protocols TLSv1.2 TLSv1.3;"
    fi
    mkdir -p "$work/nginx/logs"
    cat > "$work/nginx/nginx.conf" <<EOF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
    include /etc/nginx/mime.types;
    log_format bare '\$request_uri';
    access_log $work/access.log bare;
    server {
        listen 127.0.0.1:$port;
        $secure
        root $root;
    }
}
EOF
    : > "$work/access.log"
    nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
    nginx_pid=$!
    wait_for_port "$port" nginx
}

# Waits up to five seconds for a listener on loopback port $1 (connecting to it once it is there);
# fails, saying that $2 did not start, when none comes.
wait_for_port() {
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        sleep 0.05
    done
    echo "$2 did not start" >&2
    return 1
}

stop_nginx() {
    if [ -n "${nginx_pid:-}" ]; then
        kill "$nginx_pid" 2>/dev/null || true
        wait "$nginx_pid" 2>/dev/null || true
        nginx_pid=
    fi
}

# Builds the raw client into $work/raw-client.
build_raw_client() {
    cc -O2 -o "$work/raw-client" "$bench_dir/raw-client.c" -lssl -lcrypto
}

# Makes a brief $1 with one web entry: address $2, depth $3, images on. Settings of the
# benchmark's own: no proxy, one try per page, no browser detection, in $GATHRA_CONFIG_DIR.
make_brief() {
    local gathra=$1 brief=$2 address=$3 depth=$4
    "$gathra" settings set browser /bin/true >/dev/null
    "$gathra" settings set retries 1 >/dev/null
    "$gathra" new "$brief" --name "Crawl benchmark" >/dev/null
    "$gathra" add "$brief" --url "$address" --depth "$depth" --images >/dev/null
}

# Runs `gathra generate` on brief $2 with binary $1 under /usr/bin/time. Writes the run folder's
# path to $work/last-run, the requests it sent to $work/last-requests and "wall cpu peak_kb" to
# stdout.
timed_generate() {
    local gathra=$1 brief=$2 before
    before=$(wc -l < "$work/access.log")
    /usr/bin/time -v -o "$work/time" "$gathra" generate "$brief" --quiet > "$work/summary"
    # nginx writes its log line after the answer: give the last one a moment.
    sleep 0.1
    tail -n +"$((before + 1))" "$work/access.log" > "$work/last-requests"
    dirname "$(head -n1 "$work/summary")" > "$work/last-run"
    time_report "$work/time"
}

# Prints "wall cpu peak_kb" from the report of /usr/bin/time -v in file $1.
time_report() {
    python3 - "$1" <<'PY'
import sys
wall = cpu = peak = 0.0
for line in open(sys.argv[1]):
    key, _, value = line.strip().rpartition(": ")
    if key.startswith("Elapsed (wall clock)"):
        for part in value.split(":"):
            wall = wall * 60 + float(part)
    elif key in ("User time (seconds)", "System time (seconds)"):
        cpu += float(value)
    elif key == "Maximum resident set size (kbytes)":
        peak = float(value)
print("%.3f %.3f %d" % (wall, cpu, peak))
PY
}

median() {
    python3 -c 'import sys, statistics; print("%.3f" % statistics.median(float(x) for x in sys.argv[1:]))' "$@"
}
