#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test. Run as root.
set -euo pipefail
PACKAGES=(
  build-essential cmake pkg-config git
  libsdl2-dev libsdl2-image-dev libsdl2-mixer-dev libglew-dev libglu1-mesa-dev libgl-dev
  googletest libgtest-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils mesa-utils libgl1-mesa-dri libx11-dev imagemagick
  libvorbis-dev libsquish-dev libsdl2-ttf-dev fonts-dejavu-core
  sox  # inspecting sounds and the disk audio driver's output (statistics, spectrograms); no test needs it
  clang libclang-rt-14-dev llvm
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y "${missing[@]}"
fi
