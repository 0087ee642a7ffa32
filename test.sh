#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
cmake --preset default >/dev/null
cmake --build --preset default -j2
export QT_QPA_PLATFORM=offscreen
ctest --preset default --output-on-failure -j2 "$@"
