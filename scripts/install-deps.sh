#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with (list in deps.txt).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
# shellcheck disable=SC2046
$sudo apt-get install -y --no-install-recommends $(grep -v '^#' "$here/deps.txt")
