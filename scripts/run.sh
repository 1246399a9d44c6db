#!/usr/bin/env bash
# run.sh [--port N]: installs what is missing, builds, and runs the console.
# Without --port it starts the virtual laser (qvlaser-sim) on COM1 in a private ports folder and
# watches it with qvlaser-cli, so a laser is identified and polled at once. With --port N it
# watches the laser on port N. Extra arguments after -- go to qvlaser-cli watch.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" normal
bin="$here/build/normal"

port=""
if [ "${1:-}" = "--port" ]; then port=$2; shift 2; fi
[ "${1:-}" = "--" ] && shift

if [ ! -x "$bin/tools/cli/qvlaser-cli" ] || [ ! -x "$bin/tools/sim/qvlaser-sim" ]; then
  echo "qvlaser-cli or qvlaser-sim is not built yet; the build itself succeeded."
  exit 0
fi

if [ -n "$port" ]; then
  exec "$bin/tools/cli/qvlaser-cli" --port "$port" watch "$@"
fi

ports=$(mktemp -d)
export QVLASER_PORTS_DIR="$ports"
"$bin/tools/sim/qvlaser-sim" --com 1 &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$ports"' EXIT
for _ in $(seq 100); do [ -e "$ports/COM1" ] && break; sleep 0.05; done
"$bin/tools/cli/qvlaser-cli" --port 1 watch --seconds "${QV_WATCH_SECONDS:-20}" "$@"
