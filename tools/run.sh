#!/usr/bin/env bash
# Installs what is needed, builds the game, generates the default world into data/ when it is
# missing, and starts the game on it from the folder that holds shader/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/packages.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target velder velder-worldgen
if [ ! -d data ] && [ -x build/tools/worldgen/velder-worldgen ]; then
  build/tools/worldgen/velder-worldgen --preset default data
fi
exec build/velder "${1:-data}"
