#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ (override with SANITIZE_BUILD_DIR) and runs every test there.
# A finding ends the program that made it, so its test fails and prints the
# report.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build_dir=${SANITIZE_BUILD_DIR:-build-asan}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFV_SANITIZE=ON \
  -DFV_BUILD_BENCH=OFF -DFV_WARNINGS_AS_ERRORS=ON "${launcher[@]}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"

export QT_QPA_PLATFORM=offscreen
supp="$PWD/tests/sanitizers"
# A status of its own: a program that should fail (status 1) must not pass a
# test by failing through a finding.
export ASAN_OPTIONS=detect_leaks=1:exitcode=86
export LSAN_OPTIONS=suppressions=$supp/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=86
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)" --timeout 600
