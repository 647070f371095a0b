#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the suite (core and
# window), the same suite built with the sanitizers, and every fuzz target for
# a short while. `--quick` runs the suite alone, for the loop while you work.
set -euo pipefail
cd "$(dirname "$0")/.."
quick=false
[ "${1:-}" = "--quick" ] && quick=true
bash scripts/deps.sh
bash scripts/build.sh
build_dir=${BUILD_DIR:-build}
# Window tests run without a display.
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" --timeout 300
$quick && exit 0

bash scripts/sanitize.sh
FUZZ_SECONDS=${FUZZ_SECONDS:-20} bash scripts/fuzz.sh
