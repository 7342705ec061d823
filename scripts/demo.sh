#!/usr/bin/env bash
# Builds everything and runs the demo: synthesizes a test programme, renders
# it through the limiter and prints the report. The files go to out/demo/
# (or the folder given as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
build="${VEXAL_BUILD_DIR:-build}"
"$build/vexal" demo "${1:-out/demo}"
