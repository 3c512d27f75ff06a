#!/usr/bin/env bash
# Builds and runs every test through CTest under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
cd build
ctest --output-on-failure -j2
