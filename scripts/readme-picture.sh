#!/usr/bin/env bash
# readme-picture.sh [FILE]: renders the README's picture of the console window (by default
# docs/console-window.png): the window program itself, on Qt's offscreen platform (no display
# needed), against the virtual laser in a private ports folder. Once the laser is identified and
# its values are shown, the program saves a picture of its window and closes (QV_WINDOW_PICTURE).
# PROFILE (default gen3-2branch) chooses the kind of laser; LASER_ON=0 leaves it switched off.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs/console-window.png}
profile=${PROFILE:-gen3-2branch}

"$here/scripts/build.sh" normal >/dev/null
gui="$here/build/normal/tools/gui/QVLaserControlv4"
sim="$here/build/normal/tools/sim/qvlaser-sim"

# The program runs from a folder of its own, so that its settings file (written when it closes)
# stays there and no settings of an earlier run change the picture.
work=$(mktemp -d)
simpid=""
cleanup() {
  if [ -n "$simpid" ]; then kill "$simpid" 2>/dev/null || true; wait "$simpid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/ports" "$work/program" "$work/config"
cp "$gui" "$work/program/"
export QVLASER_PORTS_DIR="$work/ports" QVLASER_PORTS_ONLY=1

# The virtual laser reads control lines on its standard input.
mkfifo "$work/control"
"$sim" --com 1 --profile "$profile" <"$work/control" >/dev/null &
simpid=$!
exec 3>"$work/control"
for _ in $(seq 100); do [ -e "$work/ports/COM1" ] && break; sleep 0.05; done
[ -e "$work/ports/COM1" ] || { echo "qvlaser-sim did not register COM1." >&2; exit 1; }
if [ "${LASER_ON:-1}" = 1 ]; then echo "laser on" >&3; fi

mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" QV_WINDOW_PICTURE="$out" \
  timeout 60 "$work/program/QVLaserControlv4" -PORT:1 2>/dev/null
exec 3>&-
[ -s "$out" ] || { echo "No picture was written." >&2; exit 1; }
echo "$out"
