#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job on the bundled demo.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
cmake --preset default >/dev/null
cmake --build --preset default -j2 --target gathra
exec build/gathra --help
