#!/usr/bin/env bash
# Runs velder-fly for a few frames on a tiny world and checks that every part of its report is
# there with numbers in it (not how fast anything is). Run from the folder that holds shader/.
set -euo pipefail
worldgen=$1 fly=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$worldgen" --preset tiny "$tmp/world" >/dev/null
SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$fly" --frames 12 --out "$tmp/frames.csv" "$tmp/world" >"$tmp/out.txt" 2>"$tmp/err.txt" || {
  echo "velder-fly failed"; cat "$tmp/err.txt"; exit 1; }
report=$(sed -n '/^velder-fly: /,$p' "$tmp/out.txt")
num='[0-9]+(\.[0-9]+)?'
fail=0
expect() { grep -qE "$1" <<<"$report" || { echo "missing: $1"; fail=1; }; }
expect "^velder-fly: .*world, [0-9]+ x [0-9]+, 12 frames along $num units, seed 1$"
expect "^path: start \(-?$num, -?$num\), woods \(-?$num, -?$num\), "
for phase in "ambient sound" terrain sky "catalogue and trees" brushes spawning quadtree grass rest total; do
  expect "^  $phase +$num$"
done
for row in median "95th percentile" "99th percentile" worst "worst update step" "cpu median" \
  "bare frame median" "median in bare" "99th pct in bare"; do
  expect "^  $row +$num$"
done
expect "^world items drawn per frame: median [0-9]+, most [0-9]+$"
expect "^peak resident memory: [0-9]+ MB$"
for pass in sky terrain grass "world items" weather post-processing overlay; do
  expect "^  $pass +$num +$num +$num +$num +$num +$num +[0-9]+%$"
done
expect "^  buffer swap +$num +$num +$num +[0-9]+%$"
[ "$(wc -l <"$tmp/frames.csv")" = 13 ] || { echo "frames.csv: $(wc -l <"$tmp/frames.csv") lines, want 13"; fail=1; }
[ "$fail" = 0 ] || { echo "$report"; exit 1; }
echo "fly report: complete"
