#!/usr/bin/env bash
# A long scripted walk (not part of the tests): tools/longwalk.sh [MINUTES] [VELDER] [WORLD]
# Walks the default world under a private Xvfb for MINUTES (30), turning a little every few
# seconds so the path crosses grass patch boundaries and painted regions, and samples the game's
# resident memory and open files every 10 s. At the end it prints the samples, the memory slope
# per minute after a two-minute warm-up, and the statistics the game printed at exit.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
velder=${2:-build/velder}
world=${3:-}
work=$(mktemp -d)
trap 'kill "${game:-}" "${xvfb:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
if [ -z "$world" ]; then
  world=$work/world
  build/tools/worldgen/velder-worldgen --preset default "$world" >/dev/null
fi
ln -s "$PWD/shader" "$work/shader"
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
export DISPLAY=$display SDL_AUDIODRIVER=dummy
(cd "$work" && exec "$OLDPWD/$velder" "$world" >"$work/out.txt" 2>"$work/err.txt") &
game=$!
for _ in $(seq 60); do
  win=$(xdotool search --pid "$game" 2>/dev/null | head -1 || true)
  [ -n "$win" ] && grep -q 'init: using' "$work/out.txt" 2>/dev/null && break
  sleep 1
done
[ -n "${win:-}" ] || { echo "longwalk: no window"; cat "$work/err.txt"; exit 1; }
sleep 5
xdotool windowfocus "$win" mousemove --window "$win" 400 300 mousedown 1 sleep 0.2 mouseup 1
sleep 1
xdotool mousedown 1 # walk
echo "second rss_kb open_files" >"$work/samples.txt"
start=$(date +%s)
end=$((start + minutes * 60))
turn=0
while [ "$(date +%s)" -lt "$end" ] && kill -0 "$game" 2>/dev/null; do
  now=$(($(date +%s) - start))
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$game/status")
  files=$(ls "/proc/$game/fd" | wc -l)
  echo "$now $rss $files" >>"$work/samples.txt"
  # a gentle curve with a sharper turn now and then: long straight runs across the regions
  turn=$((turn + 1))
  xdotool mousemove_relative -- $((turn % 6 == 0 ? 120 : 8)) 0
  sleep 10
done
xdotool mouseup 1 key --window "$win" Escape || true
wait "$game" || true
cat "$work/samples.txt"
awk 'NR > 1 && $1 >= 120 { n++; sx += $1; sy += $2; sxx += $1 * $1; sxy += $1 * $2 }
     END { if (n > 2) printf "rss slope after warm-up: %.1f KiB per minute over %d samples\n",
           60 * (n * sxy - sx * sy) / (n * sxx - sx * sx), n }' "$work/samples.txt"
grep -E 'stats_print|error' "$work/out.txt" "$work/err.txt" || true
