#!/usr/bin/env bash
# fuzz.sh [seconds] [target...]: the long fuzzing campaign. Builds the fuzz targets with clang,
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer in build/fuzz, then runs each target
# in turn (one job, niced) for 10 million executions or the given time (default 600 s), whichever
# comes first, with a 1 s limit per input. The seed corpus of each target is copied to
# build/fuzz/corpus/<target> and grows there; findings land in build/fuzz/findings/<target>.
# Prints per target: executions, time, coverage (cov, ft) and the findings.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(receive_path pattern ini_store extension recording command_line)
tree="$here/build/fuzz"

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S "$here" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SANITIZE= -DQV_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$tree" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

supp="$here/tests/sanitizers"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$supp/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

summary=()
status=0
for t in "${targets[@]}"; do
  corpus="$tree/corpus/$t"
  findings="$tree/findings/$t"
  mkdir -p "$corpus" "$findings"
  cp -n "$here/fuzz/corpus/$t"/* "$corpus"/ 2>/dev/null || true
  log="$tree/fuzz-$t.log"
  echo "=== $t: up to 10000000 runs or $seconds s (log $log)"
  start=$(date +%s)
  rc=0
  nice -n 10 "$tree/fuzz/fuzz_$t" -runs=10000000 -max_total_time="$seconds" -timeout=1 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$corpus" >"$log" 2>&1 || rc=$?
  took=$(( $(date +%s) - start ))
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(echo "$last" | grep -o 'cov: [0-9]*' | grep -o '[0-9]*' || true)
  ft=$(echo "$last" | grep -o 'ft: [0-9]*' | grep -o '[0-9]*' || true)
  found=$(find "$findings" -type f | wc -l)
  [ "$rc" -eq 0 ] && [ "$found" -eq 0 ] || status=1
  line=$(printf '%-13s runs %9s  time %4ss  cov %5s  ft %6s  findings %s  (exit %s)' \
    "$t" "${runs:-?}" "$took" "${cov:-?}" "${ft:-?}" "$found" "$rc")
  echo "$line"
  summary+=("$line")
done
echo "=== campaign"
printf '%s\n' "${summary[@]}"
exit $status
