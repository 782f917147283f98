#!/usr/bin/env bash
# The picture stays the same: velder-fly renders its fixed poses with the clock frozen on the
# default world and on its rain and snow versions, and compares them with the half-size pictures
# under tests/fly/poses (mean difference at most 2/255 per channel). Run from the folder that
# holds shader/; the captures stay in OUT for a look. A change that is meant to alter the
# picture (or a new world generator) brings new references: copy OUT/WORLD/half/*.png there.
set -euo pipefail
worldgen=$1 fly=$2 out=$3
refs=$PWD/tests/fly/poses
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rm -rf "$out"
mkdir -p "$out"
fail=0
for world in default rain snow; do
  weather=none only=
  [ "$world" = default ] || weather=$world only="--only meadow"
  "$worldgen" --preset default --weather "$weather" "$tmp/$world" >/dev/null
  # shellcheck disable=SC2086
  SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$fly" --poses "$out/$world" --reference "$refs/$world" $only "$tmp/$world" >"$out/$world.txt" 2>&1 || fail=1
  echo "== $world"
  sed -n '/^poses:/,$p' "$out/$world.txt"
done
[ "$fail" = 0 ] || { echo "captures in $out"; exit 1; }
