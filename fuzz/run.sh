#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS seconds each, one after
# the other, starting from the seeds in fuzz/corpus/<name>/. New inputs go to
# BUILD/fuzz-corpus/<name>/, inputs that fail to BUILD/fuzz-failures/<name>/.
# Usage: fuzz/run.sh BUILD SECONDS
set -uo pipefail
build=$1
seconds=$2
seeds=$(dirname "$0")/corpus
passed=0
failed=0
failures=()
for program in "$build"/fuzz/fuzz_*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  name=${program##*/fuzz_}
  work=$build/fuzz-corpus/$name
  artifacts=$build/fuzz-failures/$name
  mkdir -p "$work" "$artifacts"
  echo "== fuzz_$name for $seconds s"
  if ASAN_OPTIONS=abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
     "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$artifacts/" "$work" "$seeds/$name" 2>"$build/fuzz-$name.log"; then
    passed=$((passed + 1))
    grep -E '^stat::number_of_executed_units|^Done ' "$build/fuzz-$name.log" || true
  else
    failed=$((failed + 1))
    failures+=("$name")
    tail -n 60 "$build/fuzz-$name.log"
  fi
done
[ $((passed + failed)) -gt 0 ] || { echo "no fuzz targets in $build/fuzz" >&2; exit 1; }
[ "$failed" -eq 0 ] || echo "failed: ${failures[*]} (inputs in $build/fuzz-failures/)"
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
