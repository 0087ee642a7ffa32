#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: a brief of the bundled demo site,
# served on this machine, generated into ./gathra-demo/ (the summary page's path is printed).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
cmake --preset default >/dev/null
cmake --build --preset default -j2 --target gathra
exec build/gathra demo "${1:-gathra-demo}"
