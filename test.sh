#!/usr/bin/env bash
# Builds Fenu2 and runs every test. Returns ctest's status.
#   ./test.sh             normal build in build/
#   ./test.sh --sanitize  clang build with AddressSanitizer and UBSan in build-asan/
#   ./test.sh --slurm     a Slurm job array against one run (needs root; not in the default run)
set -euo pipefail
cd "$(dirname "$0")"
source tools/ensure-deps.sh
fenu2_ensure_deps

dir=build
cmake_args=()
if [ "${1:-}" = "--slurm" ]; then
  [ -f "$dir/build.ninja" ] || cmake -S . -B "$dir" -G Ninja
  cmake --build "$dir" -j "$(nproc)" --target fenu2 fenu2-phantom
  exec tools/slurm-test.sh "$dir"
fi
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  cmake_args=(-DCMAKE_CXX_COMPILER=clang++ -DFENU2_SANITIZE=ON -DFENU2_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
fenu2_build "$dir" "${cmake_args[@]}"
cd "$dir"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j "$(nproc)"
