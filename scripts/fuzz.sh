#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz (Debian's clang, AddressSanitizer
# and UndefinedBehaviorSanitizer without recovery) into build-fuzz/ and runs
# each for SECONDS (default 30), one after the other, starting from its
# generated seed corpus and the corpus kept from earlier runs.  Reports the
# executions and crashes of every target; exits non-zero when any target
# crashed, leaked, timed out or could not run.  Inputs that crashed are kept
# in build-fuzz/fuzz-artifacts/<target>/.
#
# FUZZ_SEED fixes the random seed of every run (CI uses one, so that a run
# there explores the same inputs, in the same order, as a longer run here
# with that seed has already explored); a seeded run starts from the
# generated seed corpus alone, as on a clean machine, and keeps nothing.
# Without it each run draws its own seed and grows the kept corpus.
#
#   [FUZZ_SEED=N] scripts/fuzz.sh [SECONDS]
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
  seed=()
  if [ -n "${FUZZ_SEED:-}" ]; then
    seed=(-seed="$FUZZ_SEED")
    corpus=$(mktemp -d)
  fi
  since="$build/fuzz-logs/.start"
  touch "$since"
  status=0
  nice "$build/tests/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "${seed[@]}" "${dict[@]}" "$corpus" "$seeds" >"$log" 2>&1 || status=$?
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1 || true)
  crashes=$(find "$artifacts" -type f -newer "$since" 2>/dev/null | wc -l)
  result=ok
  if [ "$status" -ne 0 ]; then
    result="FAILED (exit $status, see $log)"
    failed=1
    [ "$crashes" -gt 0 ] || crashes=1
    # What failed, and the input that made it fail, so that a run on a
    # machine whose files are gone afterwards can still be replayed here.
    {
      echo "---- $name: end of $log"
      grep -v '^#\|^INFO' "$log" | head -n 40
      find "$artifacts" -type f -newer "$since" -size -4k 2>/dev/null | head -n 2 | while read -r input; do
        echo "---- input $input"
        od -An -tx1 -v "$input" | head -n 64
      done
    } >&2
  fi
  [ -z "${FUZZ_SEED:-}" ] || rm -rf "$corpus"
  printf '%-28s %12s %8s  %s\n' "$name" "${execs:-0}" "$crashes" "$result"
done <"$build/tests/fuzz/targets.txt"
exit "$failed"
