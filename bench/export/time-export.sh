#!/usr/bin/env bash
# Times `kvr export` on a generated skinned scene: reading the .ma file and the
# export through the plug-in.
#
#   bench/export/time-export.sh [build dir=build/release] [side=1000] [joints=100] [influences=4]
#
# side=1000 gives a 1,000,000-vertex, 1,996,002-triangle grid skinned to 100 joints
# with 4 influences per vertex (a .ma of about 240 MB).
set -euo pipefail
source "$(dirname "$0")/../generated-scene.sh"
echo "scene: $(du -h "$work/large.ma" | cut -f1) for a ${side}x${side} grid, $joints joints, $influences influences"
/usr/bin/time -f "kvr export: %e s wall, %U s user, %M KiB peak" \
  "$build/bin/kvr" export --quiet "$work/large.ma" -o "$work/large.kvr"
echo "archive: $(du -h "$work/large.kvr" | cut -f1)"
