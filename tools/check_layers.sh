#!/usr/bin/env bash
# Fails when a source file includes a header of a higher layer. Layers, bottom up:
# core/, then render/, world/, fx/, sound/, and app/ at the top.
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A rank=([core]=0 [render]=1 [world]=2 [fx]=3 [sound]=4 [app]=5)
bad=0
for dir in "${!rank[@]}"; do
  [ -d "$dir" ] || continue
  while IFS= read -r hit; do
    file=${hit%%:*}
    inc=$(sed -E 's/.*#include "([a-z]+)\/.*/\1/' <<<"$hit")
    [ -n "${rank[$inc]+x}" ] || continue
    if [ "${rank[$inc]}" -gt "${rank[$dir]}" ]; then
      echo "upward include: $hit"
      bad=1
    fi
  done < <(grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z]+/' "$dir"/*.cpp "$dir"/*.h 2>/dev/null || true)
done
[ "$bad" = 0 ] && echo "layers: no upward include"
exit "$bad"
