#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ (override with
# FUZZ_BUILD_DIR) and runs each for FUZZ_SECONDS (20 unless told), starting
# from its seeds in tests/fuzz/corpus/<name>/. New inputs go to a temporary
# folder, so the seeds stay as they are; a finding stops the run with the
# crashing input saved in the current folder (crash-*), status non-zero.
#   bash scripts/fuzz.sh                  every target, 20 s each
#   FUZZ_SECONDS=3600 bash scripts/fuzz.sh numbers   one target, an hour
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-20}
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(filemask mountinfo arguments texts numbers pathrequest)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DFV_FUZZ=ON -DFV_BUILD_GUI=OFF -DFV_BUILD_TESTS=OFF \
  -DFV_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for t in "${targets[@]}"; do
  mkdir -p "$work/$t"
  echo "fuzzing $t for ${seconds}s"
  "$build_dir/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
    "$work/$t" "tests/fuzz/corpus/$t" 2>"$work/$t.log" || {
    tail -n 40 "$work/$t.log"
    echo "fuzz_$t found a fault; the input is saved as crash-* here" >&2
    exit 1
  }
  grep -E '^stat::number_of_executed_units' "$work/$t.log" || true
done
