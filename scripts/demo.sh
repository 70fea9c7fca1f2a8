#!/usr/bin/env bash
# The main job: installs what is missing, builds, packs the demo show and prints its package.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
cmake --build build --target demo
echo "Demo show: build/demo/demo.scr"
build/bin/pictorelle-pack --dump build/demo/demo.scr
