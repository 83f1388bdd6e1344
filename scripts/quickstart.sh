#!/usr/bin/env bash
# Fresh machine to working build: installs dependencies, configures and builds the
# release preset.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
