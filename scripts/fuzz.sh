#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz (Debian's clang, AddressSanitizer
# and UndefinedBehaviorSanitizer without recovery) into build-fuzz/ and runs
# each for SECONDS (default 30), one after the other, starting from its
# generated seed corpus and the corpus kept from earlier runs.  Reports the
# executions and crashes of every target; exits non-zero when any target
# crashed, leaked, timed out or could not run.  Inputs that crashed are kept
# in build-fuzz/fuzz-artifacts/<target>/.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
seconds=${1:-30}
jobs=$(nproc 2>/dev/null || echo 2)
build="$top/build-fuzz"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DVARENTA_FUZZ=ON >/dev/null
nice cmake --build "$build" -j"$jobs" --target fuzz_targets >/dev/null

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

failed=0
printf '%-28s %12s %8s  %s\n' target executions crashes result
while read -r name; do
  [ -n "$name" ] || continue
  seeds="$build/tests/fuzz/corpus/$name"
  corpus="$build/fuzz-corpus/$name"
  artifacts="$build/fuzz-artifacts/$name/"
  log="$build/fuzz-logs/$name.log"
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")" "$seeds"
  dict=()
  if [ -f "tests/fuzz/$name.dict" ]; then
    dict=(-dict="tests/fuzz/$name.dict")
  fi
  since="$build/fuzz-logs/.start"
  touch "$since"
  status=0
  nice "$build/tests/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "${dict[@]}" "$corpus" "$seeds" >"$log" 2>&1 || status=$?
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1 || true)
  crashes=$(find "$artifacts" -type f -newer "$since" 2>/dev/null | wc -l)
  result=ok
  if [ "$status" -ne 0 ]; then
    result="FAILED (exit $status, see $log)"
    failed=1
    [ "$crashes" -gt 0 ] || crashes=1
  fi
  printf '%-28s %12s %8s  %s\n' "$name" "${execs:-0}" "$crashes" "$result"
done <"$build/tests/fuzz/targets.txt"
exit "$failed"
