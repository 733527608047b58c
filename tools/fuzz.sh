#!/usr/bin/env bash
# Builds every libFuzzer target (tests/fuzz/fuzz_*.cpp) with clang, ASan and
# UBSan in build-fuzz/ and runs each for a bounded time.
#   tools/fuzz.sh [seconds per target, default 60]
# Corpora grow in build-fuzz/corpus/<target>/; findings are written to
# build-fuzz/findings/. Returns non-zero when a target found a fault.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFENU2_FUZZ=ON -DFENU2_BENCH=OFF >/dev/null
targets=$(find tests/fuzz -name 'fuzz_*.cpp' -exec basename {} .cpp \; | sort)
if [ -z "$targets" ]; then
  echo "no fuzz targets" >&2
  exit 1
fi
# shellcheck disable=SC2086
cmake --build build-fuzz -j2 --target fenu2-phantom $targets $(printf "fuzzrun_%s " $targets)

# Seeds of the image reader: a small phantom data set (single frames and a
# sequence file). Other targets may keep text seeds in tests/fuzz/seeds/<target>/.
itexSeeds=build-fuzz/seeds/fuzz_itex
if [ ! -d "$itexSeeds" ]; then
  build-fuzz/tools/fenu2-phantom -W 12 -H 5 -n 2 -o "$itexSeeds" >/dev/null
  build-fuzz/tools/fenu2-phantom -W 9 -H 6 -n 3 --his --prefix seq -o "$itexSeeds" >/dev/null
fi

# Seeds a target makes in code (images, setup and batch texts).
for t in $targets; do
  "build-fuzz/tests/fuzz/fuzzrun_$t" --write-seeds "build-fuzz/seeds/$t"
done

mkdir -p build-fuzz/findings
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for t in $targets; do
  corpus=build-fuzz/corpus/$t
  mkdir -p "$corpus"
  args=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix=build-fuzz/findings/"$t"- -rss_limit_mb=2048)
  [ -f "tests/fuzz/$t.dict" ] && args+=(-dict="tests/fuzz/$t.dict")
  inputs=()
  for d in "build-fuzz/seeds/$t" "tests/fuzz/seeds/$t"; do
    [ -d "$d" ] && inputs+=("$d")
  done
  echo "== $t for ${seconds} s"
  if ! "build-fuzz/tests/fuzz/$t" "${args[@]}" "$corpus" "${inputs[@]}"; then
    echo "== $t: FINDING (see build-fuzz/findings/)" >&2
    status=1
  fi
done
exit $status
