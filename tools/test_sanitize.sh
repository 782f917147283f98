#!/usr/bin/env bash
# Checked build and short fuzz runs, run by tools/test.sh --checked: clang with AddressSanitizer,
# UndefinedBehaviorSanitizer and libFuzzer coverage in build-san/, where the unit, GL,
# end-to-end and world checker tests run again (the first fault ends the process and fails its
# test), then every fuzz target runs for VELDER_FUZZ_SECONDS (default 30) from its seed corpus.
# Every program a test of those labels runs is built here (velder-fly for the GL label's fly
# report).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${VELDER_FUZZ_SECONDS:-30}
CC=clang CXX=clang++ cmake -S . -B build-san -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDER_FUZZ=ON \
  -DVELDER_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build build-san -j"$(nproc)" --target velder velder-worldgen velder-check velder-fly velder_tests velder_gl_tests \
  velder_e2e velder_check_tests velder_reload_tests velder-shade velder_makers_tests fuzz_all
cd build-san
# Leaks are the fuzz targets' business (per input); the tests' death cases and the game's
# build-once-keep-for-ever data end with memory held on purpose. A sanitizer's own exit code
# tells its report apart from the game's status 1.
ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1:exitcode=86 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=87 \
  ctest --output-on-failure -j2 --timeout 900 -L '^(unit|gl|e2e|check)$'
ctest --output-on-failure -j2 -L '^fuzz$'
