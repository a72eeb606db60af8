#!/usr/bin/env bash
# Builds the Debian package and checks it with lintian (no error, no warning), installs it as a
# user would (apt install ./yotenna_*.deb), checks the installed desktop entry, metainfo, icons
# and manual pages with the tools made for them, starts the installed program, then removes the
# package and checks that nothing of it is left.
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

step "checking the package with lintian"
# Errors and warnings fail; the informational and pedantic tags are shown for a look.
set +e
report=$(lintian --fail-on error,warning --display-info --pedantic "$deb" 2>&1)
status=$?
set -e
grep -v '^running with root privileges' <<<"$report" || true
[ $status -eq 0 ] || {
  echo "lintian found errors or warnings in $deb" >&2
  exit 1
}
echo "lintian: no error, no warning"

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
appstreamcli validate --pedantic --no-net /usr/share/metainfo/$app_id.metainfo.xml

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

step "checking the manual pages"
# man-db's own reading of each page: its name line, and no complaint from groff.
for page in /usr/share/man/man1/yotenna.1.gz /usr/share/man/ja/man1/yotenna.1.gz; do
  whatis=$(lexgrog "$page")
  echo "$whatis"
  case "$whatis" in
    *": \"yotenna - "*) ;;
    *)
      echo "$page: no NAME line for yotenna" >&2
      exit 1
      ;;
  esac
  complaints=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null |
    grep -v "can't break line" || true)
  [ -z "$complaints" ] || {
    echo "$page: $complaints" >&2
    exit 1
  }
done
LC_ALL=C.UTF-8 MANWIDTH=80 man yotenna | grep -q 'yotenna \[FILE\]'
LC_ALL=C.UTF-8 LANGUAGE=ja MANWIDTH=80 man -L ja yotenna | grep -q '名前'

step "starting the installed program"
version=$(QT_QPA_PLATFORM=offscreen /usr/bin/yotenna --version 2>/dev/null)
[ "$version" = "Yotenna $(dpkg-deb --field "$deb" Version)" ] || {
  echo "yotenna --version said: $version" >&2
  exit 1
}
echo "$version"
help=$(env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=ja_JP.UTF-8 QT_QPA_PLATFORM=offscreen \
  /usr/bin/yotenna --help 2>/dev/null)
grep -q '^使い方: /usr/bin/yotenna \[オプション\] \[FILE\]$' <<<"$help" || {
  echo "yotenna --help under ja_JP.UTF-8 said: $help" >&2
  exit 1
}

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
