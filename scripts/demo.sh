#!/usr/bin/env bash
# Builds everything and runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
build="${VEXAL_BUILD_DIR:-build}"
"$build/vexal_probe" "$build/ZVKVexal.so"
