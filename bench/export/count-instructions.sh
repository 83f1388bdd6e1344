#!/usr/bin/env bash
# Counts the instructions `kvr export` runs (valgrind's callgrind) on the small and
# the large scene of each linear-cost row of kv_bench_export, and prints the cost
# per mesh and per joint of the large scene against the small one, start-up (an
# empty scene) taken off. Instruction counts are exact and do not depend on the
# machine's load or caches: a ratio near 1 says no path grows faster than the
# scene, whatever the wall-clock ratio shows.
#
#   bench/export/count-instructions.sh [build dir=build/release] [work dir=a new temporary one]
#
# Needs valgrind (apt-get install valgrind); takes about a minute.
set -euo pipefail
build=${1:-build/release}
work=${2:-$(mktemp -d)}
mkdir -p "$work"

scene() {  # name, generator arguments...
  local name=$1
  shift
  [[ -f "$work/$name.ma" ]] || "$build/bin/kv_generate_scene" "$work/$name.ma" "$@"
}
instructions() {  # name
  rm -f "$work/$1.kvr"
  valgrind --tool=callgrind --callgrind-out-file=/dev/null \
    "$build/bin/kvr" export --quiet "$work/$1.ma" -o "$work/$1.kvr" 2>&1 |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

scene empty --meshes 0
scene meshes1k --meshes 1000
scene meshes10k --meshes 10000
scene joints100 11 100 4
scene joints1k 11 1000 4
base=$(instructions empty)
echo "start-up (an empty scene): $base instructions"
row() {  # unit, small scene, its units, large scene, its units
  local small large
  small=$(instructions "$2")
  large=$(instructions "$4")
  awk -v u="$1" -v b="$base" -v s="$small" -v n="$3" -v l="$large" -v m="$5" -v sn="$2" -v ln="$4" 'BEGIN {
    ps = (s - b) / n; pl = (l - b) / m
    printf "instructions per %s: %.0f in %s, %.0f in %s: ratio %.3f\n", u, pl, ln, ps, sn, pl / ps }'
}
row mesh meshes1k 1000 meshes10k 10000
row joint joints100 100 joints1k 1000
