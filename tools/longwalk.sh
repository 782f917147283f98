#!/usr/bin/env bash
# A long scripted walk (not part of the tests): tools/longwalk.sh [MINUTES] [VELDER] [WORLD]
# Walks the default world (or WORLD) under a private Xvfb for MINUTES (30): the left button is held
# from the start (the first step takes the mouse, the next ones walk), the view turns steadily, so
# the path runs in wide loops that the world's edge bends back, with a sharp turn now and then to
# reach new ground; it crosses grass patch boundaries and painted regions all the time. Every 10 s
# it samples the game's resident memory and open files. At the end it prints the samples, the
# memory slope per minute after a two-minute warm-up, the open files, and the game's counters:
# distance walked, brush changes underfoot, grass patches built and most alive at once, most
# sound events at once, buffer and texture objects alive at the exit, discoveries.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
velder=$(realpath "${2:-build/velder}")
world=${3:-}
work=$(mktemp -d)
trap 'kill "${game:-}" "${xvfb:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
if [ -z "$world" ]; then
  world=$work/world
  "$(dirname "$velder")/tools/worldgen/velder-worldgen" --preset default "$world" >/dev/null
fi
ln -s "$PWD/shader" "$work/shader"
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
export DISPLAY=$display SDL_AUDIODRIVER=dummy
(cd "$work" && exec "$velder" "$world" >"$work/out.txt" 2>"$work/err.txt") &
game=$!
for _ in $(seq 120); do
  win=$(xdotool search --onlyvisible --pid "$game" 2>/dev/null | head -1 || true)
  [ -n "$win" ] && grep -q 'quadtree' "$work/out.txt" 2>/dev/null && break
  sleep 1
done
[ -n "${win:-}" ] || { echo "longwalk: no window"; cat "$work/err.txt"; exit 1; }
sleep 3
# held for the whole walk: however late the next step comes, it takes the mouse, and the steps
# after it walk
xdotool windowfocus "$win" mousemove --window "$win" 400 300 mousedown 1
echo "second rss_kb open_files" >"$work/samples.txt"
RANDOM=14 # the same sharp turns every run
start=$(date +%s)
end=$((start + minutes * 60))
tick=0
while [ "$(date +%s)" -lt "$end" ] && kill -0 "$game" 2>/dev/null; do
  if [ $((tick % 10)) -eq 0 ]; then
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$game/status")
    files=$(ls "/proc/$game/fd" | wc -l)
    echo "$(($(date +%s) - start)) $rss $files" >>"$work/samples.txt"
  fi
  # 1.6 degrees a second (16 pixels at the game's 0.1 degree per pixel): loops about 100 units
  # across at the walking pace; every 45 s a turn of 40 to 140 degrees
  turn=16
  [ $((tick % 45)) -eq 44 ] && turn=$((400 + RANDOM % 1000))
  xdotool mousemove_relative -- "$turn" 0
  tick=$((tick + 1))
  sleep 1
done
alive=0
kill -0 "$game" 2>/dev/null && alive=1
xdotool mouseup 1 key --window "$win" Escape || true
wait "$game" || true
cat "$work/samples.txt"
[ "$alive" = 1 ] || echo "longwalk: the game ended before the walk did"
awk 'NR > 1 && $1 >= 120 { n++; sx += $1; sy += $2; sxx += $1 * $1; sxy += $1 * $2
                           if (n == 1) first = $2; last = $2 }
     NR > 1 { if ($3 > fmax) fmax = $3; if (!fmin || $3 < fmin) fmin = $3 }
     END { if (n > 2) printf "rss after warm-up: %d -> %d KiB, slope %.1f KiB per minute over %d samples\n",
           first, last, 60 * (n * sxy - sx * sy) / (n * sxx - sx * sx), n
           printf "open files: %d to %d\n", fmin, fmax }' "$work/samples.txt"
echo "discoveries: $(grep -c 'discovered!' "$work/out.txt" || true)"
grep -E 'stats_print: r\.(walk_dist|region_changes|grass_built|grass_live_peak|snd_events_peak|gl_buffers|gl_textures|texmgr_ntex|fps |step_ms_max)' \
  "$work/out.txt" | sed 's/^stats_print: //' | tr '\n' ';' | sed 's/;$/\n/; s/;/; /g'
grep -E '^(error|warning)' "$work/err.txt" | sort | uniq -c | head -20 || true
