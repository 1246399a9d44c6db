#!/usr/bin/env bash
# test.sh: installs what is missing, then builds and runs the whole suite three times: a normal
# build, AddressSanitizer + UndefinedBehaviorSanitizer, and ThreadSanitizer. Fails when any fails.
# test.sh normal|asan|tsan runs one of them.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(normal asan tsan)

supp="$here/tests/sanitizers"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$supp/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp}
# Tests that need a display use Qt's offscreen platform; no X server is needed.
export QT_QPA_PLATFORM=offscreen

status=0
for kind in "${kinds[@]}"; do
  echo "=== $kind build"
  "$here/scripts/build.sh" "$kind"
  echo "=== $kind tests"
  if ! ctest --test-dir "$here/build/$kind" --output-on-failure --timeout 300 -j 2; then
    status=1
  fi
done
exit $status
