#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 40) on its
# corpus folder, which the harness seeds itself when it is empty. A crash
# stops the script with the harness's report; the input is kept in
# BUILD/artifacts.
#
# Usage: scripts/run-fuzzers.sh [SECONDS]
#   FUZZ_BUILD   build folder (default build-fuzz)
#   FUZZ_CORPUS  corpus folder (default FUZZ_BUILD/corpus), kept between runs
set -euo pipefail

seconds="${1:-40}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD:-$root/build-fuzz}"
corpus="${FUZZ_CORPUS:-$build/corpus}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DPLOTVANE_FUZZ=ON -DPLOTVANE_BUILD_TESTS=OFF -DPLOTVANE_BUILD_BENCH=OFF -DPLOTVANE_BUILD_QT=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target database_loader_fuzzer database_description_fuzzer bmp_reader_fuzzer >/dev/null

# harness  largest input
run() {
  local harness="$1" max_len="$2" log="$build/$1.log"
  mkdir -p "$corpus/$harness" "$build/artifacts/$harness"
  if ! "$build/fuzz/$harness" -max_total_time="$seconds" -max_len="$max_len" -timeout=30 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$harness/" "$corpus/$harness" >"$log" 2>&1; then
    echo "$harness: FAILED (log $log)" >&2
    tail -n 60 "$log" >&2
    exit 1
  fi
  local runs cov
  runs="$(awk '/stat::number_of_executed_units/ { print $2 }' "$log")"
  cov="$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)"
  echo "$harness: clean, ${seconds} s, ${runs:-?} inputs, ${cov:-cov: ?}, corpus $(ls "$corpus/$harness" | wc -l) files"
}

run database_loader_fuzzer 160000
run database_description_fuzzer 160000
run bmp_reader_fuzzer 100000
