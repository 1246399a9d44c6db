#!/usr/bin/env bash
# run.sh [--port N] [-- ARGS...]: installs what is missing, builds, and runs the console.
#
# Without --port it starts the virtual laser (qvlaser-sim) on a free COM number in a private
# ports folder, so that no real port of the machine is seen, and opens the console window
# (QVLaserControlv4 -PORT:n) on it: the window connects, identifies the laser and polls it.
# With --port N it opens the window on the laser at port N.
# Without a display (neither DISPLAY nor WAYLAND_DISPLAY set), or while the window program is not
# built, it says so in one line and watches the laser with the headless console instead
# (qvlaser-cli watch, QV_WATCH_SECONDS long, 20 by default).
# ARGS go to the program that runs: the window (-LEFT:x, -TOP:y, ...) or qvlaser-cli watch.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

port=""
while [ $# -gt 0 ]; do
  case "$1" in
    --port)
      [ $# -ge 2 ] || { echo "usage: run.sh [--port N] [-- ARGS...]" >&2; exit 1; }
      port=$2
      shift 2
      ;;
    --) shift; break ;;
    *) echo "usage: run.sh [--port N] [-- ARGS...]" >&2; exit 1 ;;
  esac
done

"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" normal
bin="$here/build/normal"
cli="$bin/tools/cli/qvlaser-cli"
sim="$bin/tools/sim/qvlaser-sim"
gui="$bin/tools/gui/QVLaserControlv4"

if [ ! -x "$cli" ] || [ ! -x "$sim" ]; then
  echo "qvlaser-cli or qvlaser-sim is not built yet; the build itself succeeded."
  exit 0
fi

window=yes
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): watching with qvlaser-cli instead of the window."
  window=no
elif [ ! -x "$gui" ]; then
  echo "QVLaserControlv4 is not built yet: watching with qvlaser-cli instead of the window."
  window=no
fi

console() {  # console PORT [ARGS...]
  local n=$1
  shift
  if [ "$window" = yes ]; then
    "$gui" "-PORT:$n" "$@"
  else
    "$cli" --port "$n" watch --seconds "${QV_WATCH_SECONDS:-20}" "$@"
  fi
}

if [ -n "$port" ]; then
  console "$port" "$@"
  exit
fi

# The virtual laser in a folder of its own: the console sees only the ports registered there.
ports=$(mktemp -d)
export QVLASER_PORTS_DIR="$ports" QVLASER_PORTS_ONLY=1
com=1
while [ -e "$ports/COM$com" ]; do com=$((com + 1)); done
"$sim" --com "$com" &
simpid=$!
trap 'kill $simpid 2>/dev/null; wait $simpid 2>/dev/null; rm -rf "$ports"' EXIT
for _ in $(seq 100); do [ -e "$ports/COM$com" ] && break; sleep 0.05; done
if [ ! -e "$ports/COM$com" ]; then
  echo "qvlaser-sim did not register COM$com." >&2
  exit 1
fi
console "$com" "$@"
