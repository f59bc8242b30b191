# Sourced by the benchmark scripts.
#
# needs TOOL...: stops the benchmark (exit 2) unless every TOOL is an
# executable file or a command on the PATH.
needs() {
  local tool
  for tool; do
    [[ -x "$tool" ]] || command -v "$tool" >/dev/null ||
      { echo "$0: $tool is missing: build it or install its package" >&2; exit 2; }
  done
}

# smaller A B: the smaller number of the two; an empty B counts as none.
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

# Needs $work (a scratch folder) and $repeat (runs of each command).
# measure CMD...: runs CMD $repeat times; prints the fastest wall time in
# seconds and the largest peak resident size in KiB seen over the runs. The
# fastest run keeps other work on the machine out of the figures as far as
# possible.
measure() {
  local best="" peak=0 line wall rss
  for ((i = 0; i < repeat; i++)); do
    /usr/bin/time -o "$work/time" -f '%e %M' "$@" >/dev/null 2>"$work/stderr" || {
      echo "$0: failed: $*" >&2
      cat "$work/stderr" >&2
      exit 1
    }
    line="$(tail -n 1 "$work/time")"
    wall="${line% *}"
    rss="${line#* }"
    if [[ -z "$best" ]] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then best="$wall"; fi
    ((rss > peak)) && peak="$rss"
  done
  echo "$best $peak"
}
