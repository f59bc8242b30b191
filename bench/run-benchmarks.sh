#!/usr/bin/env bash
# Runs every benchmark; each prints one line per figure.
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "$0")" && pwd)"
for b in "$here"/*_bench.sh; do
  echo "== $(basename "$b" .sh)"
  "$b" "$build"
done
