#!/usr/bin/env bash
# Frame rate of a walk (not part of the tests): tools/walkfps.sh [SECONDS] [WORLD] [PARAM LINE]...
# Starts the game on WORLD (default: a fresh default world) under a private Xvfb at 854 x 480,
# turns toward the broadleaf wood north-north-east of the start, takes the mouse and walks for
# SECONDS (40), then prints Mesa's per-second frame rates and per-frame times: median, 10th
# percentile, 99th percentile frame. Each PARAM LINE is appended to a copy of param.cfg
# ("i_grass_ntufts 0"); the word "key:K" instead presses key K (xdotool name) after the start.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-40}
world=${2:-}
shift $(($# < 2 ? $# : 2))
work=$(mktemp -d)
trap 'kill "${game:-}" "${xvfb:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
if [ -z "$world" ]; then
  world=$work/gen
  build/tools/worldgen/velder-worldgen --preset default "$world" >/dev/null
fi
mkdir "$work/world"
for f in "$world"/*; do ln -s "$(realpath "$f")" "$work/world/"; done
rm "$work/world/param.cfg"
cp "$world/param.cfg" "$work/world/param.cfg"
keys=()
for p in "$@"; do
  case "$p" in key:*) keys+=("${p#key:}") ;; *) echo "$p" >>"$work/world/param.cfg" ;; esac
done
ln -s "${VELDER_SHADER_DIR:-$PWD/shader}" "$work/shader"
display=:$((190 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
export DISPLAY=$display SDL_AUDIODRIVER=dummy
mkdir "$work/hud"
(cd "$work" && GALLIUM_HUD=fps,frametime GALLIUM_HUD_VISIBLE=false GALLIUM_HUD_PERIOD=0 \
  GALLIUM_HUD_DUMP_DIR="$work/hud" exec "$OLDPWD/build/velder" world >"$work/out.txt" 2>"$work/err.txt") &
game=$!
for _ in $(seq 60); do
  win=$(xdotool search --onlyvisible --pid "$game" 2>/dev/null | head -1 || true)
  [ -n "$win" ] && grep -q 'quadtree' "$work/out.txt" 2>/dev/null && break
  sleep 1
done
[ -n "${win:-}" ] || { echo "walkfps: no window"; cat "$work/err.txt"; exit 1; }
sleep 3
xdotool windowfocus "$win" mousemove --window "$win" 400 300 mousedown 1 sleep 0.5 mouseup 1
sleep 0.5
xdotool mousemove_relative -- 229 0 # about 23 degrees: toward the wood
for k in "${keys[@]}"; do xdotool key --window "$win" "$k"; done
sleep 1
frames_before=$(cat "$work/hud/frametime"* 2>/dev/null | wc -l)
xdotool mousedown 1
sleep "$seconds"
xdotool mouseup 1 key --window "$win" Escape || true
wait "$game" || true
tail -n +"$((frames_before + 1))" "$work/hud/frametime"* | sort -n >"$work/ft.txt"
awk '{ a[NR] = $1 } END {
  if (NR < 10) { print "walkfps: too few frames"; exit 1 }
  med = a[int(NR / 2) + 1]; p99 = a[int(NR * 0.99)]; p90 = a[int(NR * 0.9)]
  printf "frames %d: median frame %.1f ms (%.1f fps), 90th %.1f ms, 99th %.1f ms, worst %.1f ms\n", NR, med, 1000 / med, p90, p99, a[NR] }' "$work/ft.txt"
grep -E 'stats_print: r\.(fps|grass_ntris|ndraw|step_ms_max)' "$work/out.txt" | tr '\n' ' '
echo
grep -E '^error' "$work/err.txt" || true
