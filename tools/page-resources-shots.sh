#!/usr/bin/env bash
# Serves the page-resources fixture on loopback (two hosts), generates a brief of it and takes
# screenshots of the page on-line and of its stored copy with headless Chromium, side by side.
# Usage: tools/page-resources-shots.sh OUTDIR [BUILD_DIR]   (needs chromium and imagemagick)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "$1")
gathra=$(realpath "${2:-build}/gathra")
mkdir -p "$out"
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT

serve() { # folder portfile
    mkdir -p "$1"
    "$gathra" serve-site "$1" > "$2" &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$2" ] && return 0; sleep 0.05; done
    return 1
}
serve "$work/cdn" "$work/cdn.port"
python3 tools/page-resources-fixture.py "$work" "$(cat "$work/cdn.port")"
serve "$work/site" "$work/site.port"
site="http://127.0.0.1:$(cat "$work/site.port")/docs/index.html"

export GATHRA_CONFIG_DIR="$work/config"
"$gathra" settings set browser /bin/true >/dev/null
"$gathra" settings set retries 1 >/dev/null
"$gathra" new "$work/Fixture.brf" --name Fixture >/dev/null
"$gathra" add "$work/Fixture.brf" --url "$site" --depth 2 --images >/dev/null
summary=$("$gathra" generate "$work/Fixture.brf" --quiet --check)
stored="file://$(dirname "$summary")/GA0.htm"

shot() {
    chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
        --disable-component-update --disable-sync --no-first-run \
        --user-data-dir="$(mktemp -d -p "$work")" --screenshot="$1" --window-size=1000,700 "$2" \
        2>/dev/null
}
shot "$out/online.png" "$site"
shot "$out/stored.png" "$stored"
convert "$out/online.png" "$out/stored.png" +append "$out/side-by-side.png"
echo "$out/side-by-side.png"
