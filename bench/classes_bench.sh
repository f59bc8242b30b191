#!/usr/bin/env bash
# Four classes from one master picture against GDAL's own reductions.
#
# The master: 16384 x 16384 pixels of 24-bit colour in an uncompressed
# TIFF. `classes` builds four classes of magnification 2 (4096 down to 512
# pixels square; mode 1, the mode whose record limit four such classes
# fit) in linear light. The peer does the same reductions the field's way,
# in the same run: gdal_translate -r average -outsize 4096 4096 from the
# master, then -outsize 50% 50% from each class for the next (averaging the
# stored values). Goals: wall time at most the peer's, peak memory at most
# 64 MiB.
#
# Usage: bench/classes_bench.sh BUILD_DIR   (one line per figure)
# Each figure is the best of REPEAT (default 3) rounds, the two alternating.
set -euo pipefail

build="${1:?usage: $0 BUILD_DIR}"
cli="$build/plotvane2-cli"
sample="$build/plotvane2-sample"
repeat="${REPEAT:-3}"
# shellcheck source=bench/measure.sh
source "$(dirname "$0")/measure.sh"
needs "$cli" "$sample" /usr/bin/time gdal_translate

work="$(mktemp -d "${TMPDIR:-/tmp}/classes-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# A map scene enlarged to the master's size: every row differs.
"$sample" bitmap 2048 2048 24 "$work/scene.bmp"
gdal_translate -q -of GTiff -co COMPRESS=NONE -co INTERLEAVE=PIXEL -r nearest -outsize 16384 16384 \
  "$work/scene.bmp" "$work/master.tif"

ours() { "$cli" classes "$work/master.tif" -o "$work/ours" --classes 4 --mode 1 --quiet >/dev/null; }
peer() {
  mkdir -p "$work/peer"
  gdal_translate -q -of BMP -r average -outsize 4096 4096 "$work/master.tif" "$work/peer/class4.bmp"
  gdal_translate -q -of BMP -r average -outsize 50% 50% "$work/peer/class4.bmp" "$work/peer/class3.bmp"
  gdal_translate -q -of BMP -r average -outsize 50% 50% "$work/peer/class3.bmp" "$work/peer/class2.bmp"
  gdal_translate -q -of BMP -r average -outsize 50% 50% "$work/peer/class2.bmp" "$work/peer/class1.bmp"
}
wall_ms() {
  local start end
  start="$(date +%s%N)"
  "$@"
  end="$(date +%s%N)"
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.0f", (b - a) / 1e6 }'
}

# Read once first, so that neither pays for the disk alone.
cat "$work/master.tif" >/dev/null
ours_ms=""
peer_ms=""
for ((r = 0; r < repeat; r++)); do
  ours_ms="$(smaller "$(wall_ms ours)" "$ours_ms")"
  peer_ms="$(smaller "$(wall_ms peer)" "$peer_ms")"
done
/usr/bin/time -o "$work/time" -f '%M' "$cli" classes "$work/master.tif" -o "$work/ours" --classes 4 --mode 1 --quiet \
  >/dev/null
peak_kib="$(tail -n 1 "$work/time")"

echo "classes from a 16384 x 16384 TIFF master, 4 classes x2 (linear light) wall: ${ours_ms} ms"
echo "gdal_translate -r average, the same 4 reductions, wall: ${peer_ms} ms"
awk -v o="$ours_ms" -v p="$peer_ms" \
  'BEGIN { if (p > 0) printf "classes ratio ours / gdal_translate: %.2f (goal <= 1)\n", o / p; else print "classes ratio: n/a" }'
awk -v k="$peak_kib" 'BEGIN { printf "classes peak memory: %.1f MiB (goal <= 64)\n", k / 1024 }'
