#!/usr/bin/env bash
# File Load from the command line against copying the same bytes.
#
# Map A of the database benchmark: four 24-bit classes of 480, 960, 1920
# and 3840 pixels square, mode 1, dithered and compressed. `restore` reads
# the database and writes its four class bitmaps into a folder; `cp`
# copies the database and those four bitmaps into another folder in the
# same run. Restoring should cost at most twice the copy (goal: ratio
# <= 2) and stay small whatever the map (goal: peak <= 32 MiB).
#
# Usage: bench/restore_bench.sh BUILD_DIR   (one line per figure)
# Each figure is the mean of LOOPS (default 20) runs, the best of REPEAT
# (default 5) rounds: a single run is too short for the clock.
set -euo pipefail

build="${1:?usage: $0 BUILD_DIR}"
cli="$build/plotvane2-cli"
sample="$build/plotvane2-sample"
repeat="${REPEAT:-5}"
loops="${LOOPS:-20}"
# shellcheck source=bench/measure.sh
source "$(dirname "$0")/measure.sh"
needs "$cli" "$sample" /usr/bin/time

work="$(mktemp -d "${TMPDIR:-/tmp}/restore-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT

classes=()
for size in 480 960 1920 3840; do
  "$sample" bitmap "$size" "$size" 24 "$work/A-$size.bmp"
  classes+=("$work/A-$size.bmp")
done
"$cli" make -o "$work/A.pdb" --name "BENCH A" --version 00001 --mode 1 --dither --compress "${classes[@]}" \
  >/dev/null 2>&1
"$cli" restore "$work/A.pdb" -d "$work/restored" >/dev/null
mkdir -p "$work/copied"

# Mean wall time in milliseconds of LOOPS runs of a command.
mean_ms() {
  local start end
  start="$(date +%s%N)"
  for ((i = 0; i < loops; i++)); do "$@" >/dev/null; done
  end="$(date +%s%N)"
  awk -v a="$start" -v b="$end" -v n="$loops" 'BEGIN { printf "%.2f", (b - a) / n / 1e6 }'
}

# The two alternate, so that other work on the machine weighs on both alike;
# the best round of each counts.
# restore syncs each file it writes before putting it in place, as every
# output does; plain cp does not, so the copy is also measured with a sync
# of its four class files.
copy_all() {
  cp -f "$work/A.pdb" "$work"/restored/class1.bmp "$work"/restored/class2.bmp "$work"/restored/class3.bmp \
    "$work"/restored/class4.bmp "$work/copied/"
}
copy_synced() { copy_all && sync "$work"/copied/class*.bmp; }
restore_ms=""
copy_ms=""
synced_ms=""
for ((r = 0; r < repeat; r++)); do
  restore_ms="$(smaller "$(mean_ms "$cli" restore "$work/A.pdb" -d "$work/restored")" "$restore_ms")"
  copy_ms="$(smaller "$(mean_ms copy_all)" "$copy_ms")"
  synced_ms="$(smaller "$(mean_ms copy_synced)" "$synced_ms")"
done
/usr/bin/time -o "$work/time" -f '%M' "$cli" restore "$work/A.pdb" -d "$work/restored" >/dev/null
peak_kib="$(tail -n 1 "$work/time")"
read_bytes="$(stat -c %s "$work/A.pdb")"
written_bytes="$(cat "$work"/restored/class*.bmp | wc -c)"

echo "map A restore: 4 classes, ${read_bytes} bytes read, ${written_bytes} bytes written"
echo "map A restore wall: ${restore_ms} ms"
echo "map A cp of the same bytes wall: ${copy_ms} ms"
echo "map A cp of the same bytes, class files synced, wall: ${synced_ms} ms"
awk -v r="$restore_ms" -v c="$copy_ms" \
  'BEGIN { if (c > 0) printf "map A ratio restore / cp: %.2f (goal <= 2)\n", r / c; else print "map A ratio restore / cp: n/a" }'
awk -v r="$restore_ms" -v c="$synced_ms" \
  'BEGIN { if (c > 0) printf "map A ratio restore / synced cp: %.2f\n", r / c; else print "map A ratio restore / synced cp: n/a" }'
awk -v k="$peak_kib" 'BEGIN { printf "map A restore peak memory: %.1f MiB (goal <= 32)\n", k / 1024 }'
