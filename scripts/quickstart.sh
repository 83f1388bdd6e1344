#!/usr/bin/env bash
# Fresh machine to a first archive: installs the dependencies, configures and builds
# the release preset, exports the bundled example scenes and shows what was written.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
build/release/bin/kvr export examples/kiri.ma examples/arm.ma examples/bubble.ma --output-dir build/examples
build/release/bin/kvr dump build/examples/arm.kvr
