#!/usr/bin/env bash
# Times `plotvane2-cli raster` on a 4096 x 4096 24-bit map in every colour
# mode, with and without dithering, next to ImageMagick remapping the same
# picture to the 231-colour table with Floyd-Steinberg dithering.
# Usage: bench/raster_bench.sh BUILD_DIR
# Prints one line per figure: best wall time of 3 runs (s) and the peak
# resident memory of that run (MiB).
set -euo pipefail

build="${1:?usage: raster_bench.sh BUILD_DIR}"
cli="$build/plotvane2-cli"
sample="$build/plotvane2-sample"
for tool in "$cli" "$sample"; do
  [[ -x "$tool" ]] || { echo "raster_bench: $tool is missing; build it first" >&2; exit 2; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/raster-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
src="$work/map4096.bmp"
"$sample" bitmap 4096 4096 24 "$src"

# The 231 colours of the 8-bit table as a 231 x 1 picture: the 6 x 6 x 6
# cube without black (green fastest, then blue within its half, then red,
# then the half), ten greys, silver, four dark colours and black.
awk 'BEGIN {
  split("255 204 153 102 51 0", lv, " ");
  print "P3"; print "231 1"; print "255";
  for (i = 0; i < 215; i++) {
    half = int(i / 108); j = i % 108;
    print lv[int(j / 18) + 1], lv[j % 6 + 1], lv[half * 3 + int((j % 18) / 6) + 1];
  }
  split("17 34 68 85 119 136 170 187 221 238", g, " ");
  for (k = 1; k <= 10; k++) print g[k], g[k], g[k];
  print "192 192 192"; print "128 0 0"; print "128 0 128"; print "0 128 0"; print "0 128 128"; print "0 0 0";
}' > "$work/palette231.ppm"

have_convert=1
if command -v convert > /dev/null; then
  convert "$work/palette231.ppm" "$work/palette231.png"
else
  have_convert=0
fi

# best_of LABEL COMMAND...: runs 3 times, keeps the fastest run's figures.
best_time=""
best_mem=""
best_of() {
  local label="$1"
  shift
  best_time=""
  best_mem=""
  for _ in 1 2 3; do
    /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" > /dev/null
    read -r t m < "$work/time.txt"
    if [[ -z "$best_time" ]] || awk -v a="$t" -v b="$best_time" 'BEGIN { exit !(a < b) }'; then
      best_time="$t"
      best_mem="$m"
    fi
  done
  awk -v l="$label" -v t="$best_time" -v m="$best_mem" 'BEGIN { printf "%-40s %6.2f s %8.1f MiB\n", l, t, m / 1024 }'
}

ours_dither8=""
for mode in original 1 2 4 8; do
  for dither in "" "--dither"; do
    label="plotvane2 raster mode $mode${dither:+ dithered}"
    best_of "$label" "$cli" raster "$src" --mode "$mode" $dither -o "$work/out.bmp"
    [[ "$mode" == 8 && -n "$dither" ]] && ours_dither8="$best_time"
  done
done

if [[ "$have_convert" == 1 ]]; then
  best_of "imagemagick remap 231 dithered" \
    convert "$src" -dither FloydSteinberg -remap "$work/palette231.png" "BMP3:$work/im.bmp"
  awk -v im="$best_time" -v ours="$ours_dither8" \
    'BEGIN { printf "%-40s %6.1f x\n", "imagemagick / ours, mode 8 dithered", im / ours }'
else
  echo "imagemagick remap 231 dithered  (convert not installed)"
fi
