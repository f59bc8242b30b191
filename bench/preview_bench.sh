#!/usr/bin/env bash
# Times the window's preview repaints in process on the offscreen platform.
# Usage: bench/preview_bench.sh BUILD_DIR
set -euo pipefail
build="${1:?usage: preview_bench.sh BUILD_DIR}"
bench="$build/plotvane2-preview-bench"
if [[ ! -x "$bench" ]]; then
  echo "preview_bench: $bench is missing (built with PLOTVANE_BUILD_QT=ON)"
  exit 0
fi
QT_QPA_PLATFORM=offscreen "$bench" || echo "preview_bench: a goal was missed or a message was shown"
