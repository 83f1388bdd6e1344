#!/usr/bin/env bash
# Times `kvr render` on a generated 1,000,000-vertex archive: the scene of
# bench/export (a skinned grid) goes through `kvr export`, then `kvr render` reads the
# archive, draws it at 800x600 and writes the PNG.
#
#   bench/render/time-render.sh [build dir=build/release] [side=1000] [joints=100] [influences=4]
set -euo pipefail
source "$(dirname "$0")/../generated-scene.sh"
"$build/bin/kvr" export --quiet "$work/large.ma" -o "$work/large.kvr"
echo "archive: $(du -h "$work/large.kvr" | cut -f1) for a ${side}x${side} grid, $joints joints, $influences influences"
for view in --frame --wireframe; do
  /usr/bin/time -f "kvr render $view: %e s wall, %U s user, %S s system, %M KiB peak" \
    "$build/bin/kvr" render "$work/large.kvr" $view -o "$work/large.png" >/dev/null
done
