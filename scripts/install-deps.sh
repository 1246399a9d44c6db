#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need, when any is missing.
# Safe to run again: it does nothing when everything is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libpcre2-dev zlib1g-dev libssl-dev
  libgtest-dev libgmock-dev nlohmann-json3-dev libcli11-dev
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-qpa-plugins fonts-dejavu-core xvfb xauth xdotool
  python3 python3-serial openssl
  dpkg-dev lintian man-db bash-completion
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Not running as root. Run this first:" >&2
  echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
