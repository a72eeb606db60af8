#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Yotenna need.
# Does nothing when everything is already there, so `make` stays fast on a set-up machine.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  libcanberra-dev
  libical-dev
  fonts-noto-cjk
  xvfb x11-apps imagemagick openbox
  strace e2fsprogs util-linux
  clang libclang-rt-14-dev
  clang-format
  python3
  python3-icalendar
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
