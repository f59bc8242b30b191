#!/usr/bin/env bash
# make test: one build with AddressSanitizer and UndefinedBehaviorSanitizer
# at -O1 that runs every suite, the window's Qt suite and the layering
# check included, with warnings as errors; then the build and test times.
#
# Usage: scripts/test.sh [BUILD]   (default build-check)
#   JOBS         parallel compile jobs and ctest runs (default: the cores)
#   WERROR       ON (default) or OFF: warnings as errors
#   CTEST_FLAGS  more ctest options, e.g. "-L cli" or "-R restore"
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-check}"
jobs="${JOBS:-$(nproc)}"
launcher=()
# ccache speeds up rebuilds where it is installed; a clean clone without it
# builds the same.
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # The suites' precompiled headers are cacheable only with these.
  export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}"
fi

# Ninja keeps both cores busy across targets; an existing build folder
# keeps the generator it was made with.
generator=()
if command -v ninja >/dev/null && [ ! -f "$build/CMakeCache.txt" ]; then
  generator=(-G Ninja)
fi

start=$(date +%s)
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
  -DPLOTVANE_SANITIZE=ON -DPLOTVANE_WERROR="${WERROR:-ON}" -DPLOTVANE_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
built=$(date +%s)

status=0
(
  cd "$build"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$jobs" ${CTEST_FLAGS:-}
) || status=$?
finished=$(date +%s)

echo "make test: build $((built - start)) s, tests $((finished - built)) s, total $((finished - start)) s"
exit $status
