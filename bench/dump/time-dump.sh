#!/usr/bin/env bash
# Times `kvr dump` on a generated 1,000,000-vertex archive: the scene of bench/export
# (a skinned grid) goes through `kvr export`, then the readable report and the JSON
# document are each written to a file, `runs` times, with the wall time, the peak
# memory (and its ratio to the archive's size) and the output rate of each run.
# `kvr check`, which loads the archive the same way and writes a line, shows what
# the load alone costs.
#
#   bench/dump/time-dump.sh [build dir=build/release] [side=1000] [joints=100] [influences=4] [runs=3]
set -euo pipefail
source "$(dirname "$0")/../generated-scene.sh"
runs=${5:-3}
"$build/bin/kvr" export --quiet "$work/large.ma" -o "$work/large.kvr"
rm "$work/large.ma"
archive=$(stat -c %s "$work/large.kvr")
echo "archive: $((archive / 1000000)) MB for a ${side}x${side} grid, $joints joints, $influences influences"

# measure LABEL ARGUMENTS...: runs `kvr ARGUMENTS` into $work/out and prints one line.
measure() {
  local label=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$build/bin/kvr" "$@" >"$work/out"
  local output
  output=$(stat -c %s "$work/out")
  read -r wall kib <"$work/time"
  awk -v label="$label" -v wall="$wall" -v kib="$kib" -v archive="$archive" -v output="$output" 'BEGIN {
    printf "%-11s %6.2f s wall, %5d MB peak (%.2f x the archive), ", label, wall, kib * 1024 / 1e6, kib * 1024 / archive
    if (output < 1e6) printf "%d bytes out\n", output
    else printf "%.1f MB out, %.0f MB/s\n", output / 1e6, output / 1e6 / (wall > 0 ? wall : 0.01)
  }'
  rm "$work/out"
}

for ((run = 1; run <= runs; ++run)); do
  measure "check" check "$work/large.kvr" || true
  measure "dump" dump "$work/large.kvr"
  measure "dump --json" dump --json "$work/large.kvr"
done
