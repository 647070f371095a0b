#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
build_dir=${BUILD_DIR:-build}
app="$build_dir/src/app/ferrovane"
if [ ! -x "$app" ]; then
  echo "Built the core libraries and their tests; the window is not there yet."
  exit 0
fi
exec "$app"
