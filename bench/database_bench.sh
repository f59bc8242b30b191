#!/usr/bin/env bash
# Making a whole database against converting its classes alone.
#
# Two maps drawn from the one sample scene:
#   A  four 24-bit classes of 480, 960, 1920 and 3840 pixels square, mode 1,
#      dithered and compressed: 85 records of 480 x 480;
#   B  three 24-bit classes of 480, 960 and 1920 pixels square, mode 8,
#      dithered and compressed: 189 records of 160 x 160.
# For each map: the wall time and peak memory of the whole `make` process,
# the summed wall time of `raster` over the same classes in the same mode
# with the same dithering, and their ratio. Cutting, compressing and
# writing should cost little beside the conversions themselves
# (goal: ratio <= 1.25) and the make process stays small whatever the
# bitmap size (goal: peak <= 32 MiB).
#
# Usage: bench/database_bench.sh BUILD_DIR   (one line per figure)
# REPEAT (default 3) runs of each process; the fastest run counts, which
# keeps other work on the machine out of the figures as far as possible.
set -euo pipefail

build="${1:?usage: $0 BUILD_DIR}"
cli="$build/plotvane2-cli"
sample="$build/plotvane2-sample"
repeat="${REPEAT:-3}"
# shellcheck source=bench/measure.sh
source "$(dirname "$0")/measure.sh"
needs "$cli" "$sample" /usr/bin/time

work="$(mktemp -d "${TMPDIR:-/tmp}/database-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT


# bench_map LABEL MODE SIZE...
bench_map() {
  local label="$1" mode="$2"
  shift 2
  local classes=() size
  for size in "$@"; do
    local bmp="$work/$label-$size.bmp"
    "$sample" bitmap "$size" "$size" 24 "$bmp"
    classes+=("$bmp")
  done

  local made rasters=0 raster_peak=0 result
  made="$(measure "$cli" make -o "$work/$label.pdb" --name "BENCH $label" --version 00001 \
    --mode "$mode" --dither --compress "${classes[@]}")"
  for bmp in "${classes[@]}"; do
    result="$(measure "$cli" raster "$bmp" --mode "$mode" --dither -o "$work/$label-raster.bmp")"
    rasters="$(awk -v a="$rasters" -v b="${result% *}" 'BEGIN { printf "%.2f", a + b }')"
    ((${result#* } > raster_peak)) && raster_peak="${result#* }"
  done

  local records
  records="$("$cli" info --json "$work/$label.pdb" | awk -F': ' '/"dataRecordCount"/ { sub(",", "", $2); print $2 }')"
  local make_wall="${made% *}" make_peak="${made#* }"
  echo "map $label: $# classes, mode $mode, $records data records"
  echo "map $label make wall: ${make_wall} s"
  awk -v k="$make_peak" -v l="$label" 'BEGIN { printf "map %s make peak memory: %.1f MiB (goal <= 32)\n", l, k / 1024 }'
  echo "map $label sum of rasters wall: ${rasters} s"
  awk -v k="$raster_peak" -v l="$label" 'BEGIN { printf "map %s largest raster peak memory: %.1f MiB\n", l, k / 1024 }'
  awk -v m="$make_wall" -v r="$rasters" -v l="$label" \
    'BEGIN { if (r > 0) printf "map %s ratio make / rasters: %.2f (goal <= 1.25)\n", l, m / r; else printf "map %s ratio make / rasters: n/a (rasters took 0 s)\n", l }'
}

bench_map A 1 480 960 1920 3840
bench_map B 8 480 960 1920
