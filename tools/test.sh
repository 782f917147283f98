#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test: bash tools/test.sh
# bash tools/test.sh --checked instead builds the checked build (clang with AddressSanitizer and
# UndefinedBehaviorSanitizer, tools/test_sanitize.sh), runs the tests again in it and every fuzz
# target for a short while. CI runs both.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/packages.sh
if [ "${1:-}" = --checked ]; then
  exec bash tools/test_sanitize.sh
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
# The sound events' two-thread stress test once more, under ThreadSanitizer (a small build).
cmake -S tests/tsan -B build-tsan
cmake --build build-tsan -j"$(nproc)"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" build-tsan/sound_stress_tsan
(cd build && ctest --output-on-failure -j2 --timeout 600)
