#!/usr/bin/env bash
# Runs one fuzz target: run.sh TARGET SEED_DIR SECONDS [libFuzzer options...]
# Fuzzes from a scratch copy of the seeds (the repository's corpus stays as it is) and fails on any
# crash, leak, time-out or memory blow-up; the input that did it is left in fuzz-artifacts/.
set -euo pipefail
target=$1 seeds=$2 seconds=$3
shift 3
name=$(basename "$target")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p fuzz-artifacts "$work/corpus"
export ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048 -max_len=8192 \
  -artifact_prefix="fuzz-artifacts/$name-" -print_final_stats=1 "$@" "$work/corpus" "$seeds" 2>"$work/log" || {
  tail -60 "$work/log"
  exit 1
}
grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' "$work/log" || true
