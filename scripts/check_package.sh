#!/usr/bin/env bash
# Builds the Debian package, installs it as a user would (apt install ./yotenna_*.deb), checks
# the installed desktop entry, metainfo and icons with the tools made for them, starts the
# installed program, then removes the package and checks that nothing of it is left.
# Needs root (it installs a package), and apt access for the dependencies.
# Usage: scripts/check_package.sh [build-dir]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
app_id=io.github.yotenna.yotenna
sizes=(16 22 24 32 48 64 96 128 256)

if [ "$(id -u)" -ne 0 ]; then
  echo "check_package: needs root to install the package; skipped" >&2
  exit 77
fi
if dpkg-query -W -f='${Status}' yotenna 2>/dev/null | grep -q 'ok installed'; then
  echo "check_package: yotenna is installed already; remove it first" >&2
  exit 1
fi

step() { echo "== $*"; }

step "building the package"
cmake --build "$build" --target yotenna
rm -f "$build"/yotenna_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/yotenna_*.deb)
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
files=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./|/|')

step "installing $deb"
cd "$build"
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 update >/dev/null
DEBIAN_FRONTEND=noninteractive apt -o DPkg::Lock::Timeout=300 install -y "./$(basename "$deb")"
trap 'DEBIAN_FRONTEND=noninteractive apt-get remove -y yotenna >/dev/null 2>&1 || true' EXIT

step "checking the desktop entry"
desktop-file-validate /usr/share/applications/$app_id.desktop
grep -qx 'Exec=yotenna %f' /usr/share/applications/$app_id.desktop
grep -qx 'Icon=yotenna' /usr/share/applications/$app_id.desktop

step "checking the metainfo"
appstreamcli validate --no-net /usr/share/metainfo/$app_id.metainfo.xml

step "checking the icon at every size"
for size in "${sizes[@]}"; do
  icon=/usr/share/icons/hicolor/${size}x${size}/apps/yotenna.png
  description=$(file -b "$icon")
  case "$description" in
    "PNG image data, $size x $size, 8-bit/color RGBA"*) echo "$icon: $description" ;;
    *)
      echo "$icon: $description (want a $size x $size RGBA PNG)" >&2
      exit 1
      ;;
  esac
done

step "starting the installed program"
version=$(QT_QPA_PLATFORM=offscreen /usr/bin/yotenna --version 2>/dev/null)
[ "$version" = "Yotenna $(dpkg-deb --field "$deb" Version)" ] || {
  echo "yotenna --version said: $version" >&2
  exit 1
}
echo "$version"

step "removing the package"
trap - EXIT
DEBIAN_FRONTEND=noninteractive apt -o DPkg::Lock::Timeout=300 remove -y yotenna
status=$(dpkg-query -W -f='${db:Status-Abbrev}' yotenna 2>/dev/null || true)
case "$status" in
  "" | un*) ;;
  *)
    echo "yotenna is still known to dpkg: $status" >&2
    exit 1
    ;;
esac
left=0
for f in $files; do
  if [ -e "$f" ] || [ -L "$f" ]; then
    echo "left behind: $f" >&2
    left=1
  fi
done
[ $left -eq 0 ]
echo "package check passed: installed, validated, started and removed without a trace"
