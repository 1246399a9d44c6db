#!/usr/bin/env bash
# build.sh [normal|asan|tsan]: configures and builds one build tree under build/<kind>.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-normal}
case "$kind" in
  normal) sanitize="" ;;
  asan) sanitize="address" ;;
  tsan) sanitize="thread" ;;
  *) echo "usage: build.sh [normal|asan|tsan]" >&2; exit 1 ;;
esac
cmake -S "$here" -B "$here/build/$kind" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQV_SANITIZE="$sanitize" ${QV_CMAKE_ARGS:-} >/dev/null
cmake --build "$here/build/$kind" -j "$(nproc)"
