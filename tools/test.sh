#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/packages.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
# The sound events' two-thread stress test once more, under ThreadSanitizer (a small build).
cmake -S tests/tsan -B build-tsan
cmake --build build-tsan -j"$(nproc)"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" build-tsan/sound_stress_tsan
(cd build && ctest --output-on-failure -j2 --timeout 600)

# --- sanitizers and fuzzing: the checked build and a short run of every fuzz target ---
bash tools/test_sanitize.sh
# --- end of sanitizers and fuzzing ---
