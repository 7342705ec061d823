#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
build="${VEXAL_BUILD_DIR:-build}"
# Tests never touch the user's real settings.
export VEXAL_CONFIG_DIR="${VEXAL_CONFIG_DIR:-$(mktemp -d)}"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
