#!/bin/bash
# Makes the pictures of docs/worlds.md again, with the game's own code, over the default world:
# bash tools/guide_pictures.sh [BUILD]  (BUILD: the build folder, build/ by default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
world=$(mktemp -d)
trap 'rm -rf "$world"' EXIT
"$build/tools/worldgen/velder-worldgen" --preset default "$world/w" >/dev/null
SDL_AUDIODRIVER=dummy xvfb-run -a "$build/tools/fly/velder-fly" --guide docs/worlds "$world/w" | grep '^docs/'
du -ch docs/worlds/*.png | tail -1
