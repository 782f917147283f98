#!/bin/bash
# Makes the pictures of docs/worlds.md again, with the game's own code: the tree keys and the colour
# table workflow over the default world, the map of the guide's first world (built from the
# guide's own text by its test), and the ground before and after velder-shade on the tiny world.
# bash tools/guide_pictures.sh [BUILD]  (BUILD: the build folder, build/ by default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
world=$(mktemp -d)
trap 'rm -rf "$world"' EXIT
fly() { SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tools/fly/velder-fly" "$@"; }
"$build/tools/worldgen/velder-worldgen" --preset default "$world/w" >/dev/null
fly --guide docs/worlds "$world/w" | grep '^docs/'
fly --map "$world/map.png" "$world/w" | grep '^map: '
convert "$world/map.png" -dither FloydSteinberg -colors 256 -strip PNG8:docs/worlds/map_default.png

# the first world's map
VELDER_GUIDE_WORLD="$world/mine" "$build/tests/guide/velder_guide_tests" \
  --gtest_filter='*FirstWorld*' >/dev/null
fly --map docs/worlds/map_mine.png "$world/mine" | grep '^map: '

# the tiny world's land bare (its brushes list nothing), painted one green as it shows in the
# game, then lit by velder-shade
"$build/tools/worldgen/velder-worldgen" --preset tiny "$world/t" >/dev/null
sed -i -E '/^(brush|footsteps:|clut:|density:|#|$)/!d' "$world/t/brushes"
convert -size 256x256 xc:'#5a8a3a' PNG24:"$world/t/painted.png"
cp "$world/t/painted.png" "$world/t/terraintexture.png"
fly --poses "$world/before" --only meadow "$world/t" >/dev/null
"$build/tools/shade/velder-shade" "$world/t" "$world/t/painted.png" "$world/t/terraintexture.png"
fly --poses "$world/after" --only meadow "$world/t" >/dev/null
convert "$world/before/half/meadow.png" "$world/after/half/meadow.png" -bordercolor white -border 2 +append \
  -strip docs/worlds/shade_before_after.png
echo docs/worlds/shade_before_after.png
du -ch docs/worlds/*.png | tail -1
