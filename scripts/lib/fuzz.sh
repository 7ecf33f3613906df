# Runs every libFuzzer target of build-fuzz/ for a bounded time, four at once. A crash, a sanitizer report, an
# input that takes over 1 s or memory over 512 MiB fails the run; the input is left in build-fuzz/findings/ to be
# kept under tests/fuzz/regressions/<target>/. Usage: source it, then `run_fuzzers [seconds per target]`.

fuzz_one() {
  local target=$1 seconds=$2 out=build-fuzz/findings
  local work="$out/corpus-$target" log="$out/$target.log"
  mkdir -p "$work"
  local dirs=("$work" "tests/fuzz/corpus/$target")
  [ -d "tests/fuzz/regressions/$target" ] && dirs+=("tests/fuzz/regressions/$target")
  local rc=0
  "build-fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=512 \
    -print_final_stats=1 -artifact_prefix="$out/$target-" "${dirs[@]}" >"$log" 2>&1 || rc=$?
  local runs edges
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  if [ "$rc" -eq 0 ]; then
    echo "fuzz $target: ${runs:-0} executions, ${edges:-0} edges, clean"
  else
    echo "fuzz $target: FAILED after ${runs:-?} executions (exit $rc), input: $(ls "$out/$target-"* 2>/dev/null | head -1)"
    grep -m1 -E 'ERROR: |fuzz check failed|runtime error|Timeout|out-of-memory' "$log" | sed 's/^/  /'
  fi
  return "$rc"
}

run_fuzzers() {
  local seconds=${1:-30}
  rm -rf build-fuzz/findings
  mkdir -p build-fuzz/findings
  export -f fuzz_one
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  local targets
  targets=$(find build-fuzz/tests/fuzz -maxdepth 1 -type f -executable -name 'fuzz_*' -printf '%f\n' |
    sed 's/^fuzz_//' | sort)
  printf '%s\n' $targets | xargs -P 4 -I{} bash -c "fuzz_one {} $seconds" | tee build-fuzz/findings/summary.txt || true
  local passed failed
  passed=$(grep -c ', clean$' build-fuzz/findings/summary.txt || true)
  failed=$(grep -c ': FAILED' build-fuzz/findings/summary.txt || true)
  echo "fuzz: $passed passed, $failed failed"
  [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
}
