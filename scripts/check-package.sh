#!/usr/bin/env bash
# check-package.sh FILE.deb | --build BUILD_DIR
# Checks a Debian package of the console: its control data, that every file an administrator
# expects is in it, that its programs start from an unpacked copy (--version, --help; the window
# without a display), and lintian (errors fail, warnings are shown). With --build it first makes
# the package from that build tree with cpack, in a temporary folder.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ "${1:-}" = "--build" ]; then
  build=$(cd "${2:?usage: check-package.sh FILE.deb | --build BUILD_DIR}" && pwd)
  (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; exit 1; }
  deb=$(ls "$work"/out/*.deb)
else
  deb=${1:?usage: check-package.sh FILE.deb | --build BUILD_DIR}
fi
fail() { echo "check-package: $*" >&2; exit 1; }

version=$(sed -n 's/^project(QuorvaneLaserControl VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = quorvane-laser-control ] || fail "package name is $(field Package)"
[ "$(field Version)" = "$version-1" ] || fail "version is $(field Version), the project's is $version"
depends=$(field Depends)
for lib in libqt6widgets6 libpcre2-8-0 libssl3 zlib1g qt6-qpa-plugins fonts-dejavu-core; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
for f in /usr/bin/QVLaserControlv4 /usr/bin/qvlaser-cli /usr/bin/qvlaser-sim \
  /usr/share/applications/quorvane-laser-control.desktop \
  /usr/share/icons/hicolor/48x48/apps/quorvane-laser-control.png \
  /usr/share/icons/hicolor/256x256/apps/quorvane-laser-control.png \
  /usr/share/man/man1/QVLaserControlv4.1.gz /usr/share/man/man1/qvlaser-cli.1.gz \
  /usr/share/man/man1/qvlaser-sim.1.gz \
  /usr/share/bash-completion/completions/qvlaser-cli \
  /usr/share/doc/quorvane-laser-control/README.md \
  /usr/share/doc/quorvane-laser-control/copyright \
  /usr/share/doc/quorvane-laser-control/changelog.Debian.gz \
  /usr/share/doc/quorvane-laser-control/examples/60-quorvane-laser.rules; do
  grep -qxF "$f" "$work/contents" || fail "$f is not in the package"
done

# The programs start from an unpacked copy, with the machine's libraries, as they would installed.
root="$work/root"
dpkg-deb -x "$deb" "$root"
for p in QVLaserControlv4 qvlaser-cli qvlaser-sim; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$p" --version) || fail "$p --version failed"
  [ "$out" = "$p $version" ] || fail "$p --version said \"$out\""
  env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$p" --help >"$work/help" || fail "$p --help failed"
  grep -q -- "--version" "$work/help" || fail "$p --help does not mention --version"
done
# Every manual page formats without a warning.
for m in QVLaserControlv4 qvlaser-cli qvlaser-sim; do
  page="$root/usr/share/man/man1/$m.1.gz"
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || fail "manual page $m: $warnings"
  zcat "$page" >"$work/page"
  grep -q "$version" "$work/page" || fail "manual page $m does not carry version $version"
done
bash -n "$root/usr/share/bash-completion/completions/qvlaser-cli" || fail "the bash completion does not parse"

if command -v lintian >/dev/null; then
  # Errors fail the check; warnings and notes are shown for the reader.
  if ! lintian --fail-on error --tag-display-limit 0 "$deb"; then
    fail "lintian found errors"
  fi
else
  echo "check-package: lintian is not installed, not run"
fi
echo "check-package: $(basename "$deb") is complete and its programs start"
