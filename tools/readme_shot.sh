#!/usr/bin/env bash
# Makes the README's picture of the default world as the player sees it: builds the game and the
# world generator, generates the default world, runs the game under its own X server, takes the
# mouse and walks a few steps (the logo fades once the player moves), captures the window and
# writes a small PNG.  Usage: tools/readme_shot.sh [OUT.png]  (default docs/velder.png)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/velder.png}
width=854 height=480 max_bytes=150000

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target velder velder-worldgen >/dev/null

tmp=$(mktemp -d)
xvfb='' game=''
cleanup() {
  [ -n "$game" ] && kill "$game" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

build/tools/worldgen/velder-worldgen --preset default "$tmp/world" >/dev/null

# an X server of our own, on a display it picks itself
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$tmp/display")

# the game reads shader/ from the working directory: the repository's
SDL_AUDIODRIVER=dummy build/velder "$tmp/world" >"$tmp/out.txt" 2>&1 &
game=$!
win=$(timeout 120 xdotool search --sync --name '^Velder 2$' | head -n1) || {
  echo "readme_shot: the game did not come up"; cat "$tmp/out.txt"; exit 1; }

xdotool windowfocus "$win"
xdotool mousemove --window "$win" $((width / 2)) $((height / 2)) mousedown 1
sleep 0.3
xdotool mouseup 1     # the first click takes the mouse
sleep 0.5
xdotool mousedown 1   # walk: two seconds of steps fade the logo out
sleep 3
xdotool mouseup 1
sleep 2               # come to rest
import -window "$win" "$tmp/shot.png"
xdotool key --window "$win" Escape
for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
game=''

# a dark or flat capture is a failed one, not a picture
mean=$(convert "$tmp/shot.png" -colorspace Gray -format '%[fx:int(mean*255)]' info:)
colours=$(convert "$tmp/shot.png" -format '%k' info:)
if [ "$mean" -lt 20 ] || [ "$colours" -lt 500 ]; then
  echo "readme_shot: the capture looks wrong (mean $mean, $colours colours): $tmp/shot.png"
  cp "$tmp/shot.png" "${out%.png}-failed.png"
  exit 1
fi

# 256 colours keep the file small; fewer colours, then fewer pixels, when that is not enough
mkdir -p "$(dirname "$out")"
for try in 854x480/256 854x480/128 640x360/256 640x360/128 480x270/128; do
  convert "$tmp/shot.png" -resize "${try%/*}" -dither FloydSteinberg -colors "${try#*/}" \
    -strip -define png:compression-level=9 "PNG8:$out"
  [ "$(stat -c %s "$out")" -le "$max_bytes" ] && break
done
echo "readme_shot: $out ($(stat -c %s "$out") bytes, $(identify -format '%wx%h' "$out"))"
