#!/usr/bin/env bash
# Classes as PNG pictures against their BMP twins.
#
# Map A of the database benchmark (four 24-bit classes of 480, 960, 1920
# and 3840 pixels square, mode 1, dithered and compressed) made once from
# BMP classes and once from the same classes saved as PNG. A picture is
# decoded once, row by row, into its BMP twin, whatever the rules read from
# it, so the PNG make costs at most the BMP make plus 1.25 times one decode
# of the PNGs (gdalinfo -checksum reading every row of each once, timed in
# the same run). Peak memory of the PNG make, and of converting a 4096 x
# 4096 colour PNG and JPEG (goal: under 64 MiB). Map A again with Class 1
# georeferenced in UTM and every class reprojected to latitude/longitude
# (--georef --warp): the reprojection goes in strips, so memory stays
# under the same goal.
#
# Usage: bench/picture_bench.sh BUILD_DIR   (one line per figure)
# REPEAT (default 3) runs of each process; the fastest run counts.
set -euo pipefail

build="${1:?usage: $0 BUILD_DIR}"
cli="$build/plotvane2-cli"
sample="$build/plotvane2-sample"
repeat="${REPEAT:-3}"
# shellcheck source=bench/measure.sh
source "$(dirname "$0")/measure.sh"
needs "$cli" "$sample" /usr/bin/time gdal_translate gdalinfo

# One date in both databases, so they can be compared byte for byte.
export SOURCE_DATE_EPOCH=1700000000
work="$(mktemp -d "${TMPDIR:-/tmp}/picture-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT


bmps=() pngs=()
for size in 480 960 1920 3840; do
  "$sample" bitmap "$size" "$size" 24 "$work/a-$size.bmp"
  gdal_translate -q -of PNG "$work/a-$size.bmp" "$work/a-$size.png"
  bmps+=("$work/a-$size.bmp")
  pngs+=("$work/a-$size.png")
done

make_args=(make --name "BENCH A" --version 00001 --mode 1 --dither --compress)
from_bmp="$(measure "$cli" "${make_args[@]}" -o "$work/bmp.pdb" "${bmps[@]}")"
from_png="$(measure "$cli" "${make_args[@]}" -o "$work/png.pdb" "${pngs[@]}")"
cmp -s "$work/bmp.pdb" "$work/png.pdb" || { echo "$0: the PNG classes gave another database" >&2; exit 1; }
decode="$(measure bash -c 'for f in "$@"; do gdalinfo -checksum "$f" >/dev/null; done' _ "${pngs[@]}")"

bmp_wall="${from_bmp% *}" png_wall="${from_png% *}" png_peak="${from_png#* }" decode_wall="${decode% *}"
echo "map A from BMP classes make wall: ${bmp_wall} s"
echo "map A from PNG classes make wall: ${png_wall} s (same database bytes)"
echo "map A one decode of the PNGs: ${decode_wall} s"
awk -v p="$png_wall" -v b="$bmp_wall" -v d="$decode_wall" \
  'BEGIN { printf "map A PNG make - BMP make: %.2f s, %.2f decodes (goal <= 1.25)\n", p - b, (d > 0 ? (p - b) / d : 0) }'
awk -v k="$png_peak" 'BEGIN { printf "map A from PNG classes peak memory: %.1f MiB (goal < 64)\n", k / 1024 }'

"$sample" bitmap 4096 4096 24 "$work/big.bmp"
gdal_translate -q -of PNG "$work/big.bmp" "$work/big.png"
gdal_translate -q -of JPEG "$work/big.bmp" "$work/big.jpg"
for ext in png jpg; do
  result="$(measure "$cli" raster "$work/big.$ext" --mode 1 --dither -o "$work/big-raster.bmp")"
  awk -v k="${result#* }" -v w="${result% *}" -v e="$ext" \
    'BEGIN { printf "4096 x 4096 %s raster wall: %.2f s, peak memory: %.1f MiB (goal < 64)\n", e, w, k / 1024 }'
done

# Class 1 in UTM zone 54N, 10 m pixels: a world file and its .prj.
printf '10\n0\n0\n-10\n380005\n3959995\n' >"$work/a-480.bpw"
echo "EPSG:32654" >"$work/a-480.prj"
warp="$(measure "$cli" "${make_args[@]}" --georef --warp -o "$work/warp.pdb" "${bmps[@]}")"
awk -v k="${warp#* }" -v w="${warp% *}" \
  'BEGIN { printf "map A reprojected (--georef --warp) make wall: %.2f s, peak memory: %.1f MiB (goal < 64)\n", w, k / 1024 }'
