#!/usr/bin/env bash
# Configures and builds the player, the tools and the tests into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DPICTORELLE_WERROR=ON >/dev/null
cmake --build build
