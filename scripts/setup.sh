#!/usr/bin/env bash
# Installs the Debian packages Yotenna needs, by purpose:
#   setup.sh run       building and running the program (`make run`)
#   setup.sh test      the above, plus what the tests, the sanitizer build and the fuzzer need
#   setup.sh desktop   the test set, plus a real desktop for the desktop tests (`make test-desktop`)
#   setup.sh package   the above, plus what building and checking the .deb needs (`make package`)
# Does nothing when everything is already there, so `make` stays fast on a set-up machine.
# Add a package to the first set that needs it; each set includes the ones before it.
set -euo pipefail

purpose=${1:-test}

# Building and running.
run_packages=(
  cmake make g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  libcanberra-dev libcanberra-pulse
  libical-dev
  libnova-dev libicu-dev
  fonts-noto-cjk
)

# The tests: a display server and window manager for the real-window checks and screenshots,
# a private D-Bus session for the status icon and the alarm notifications, a notification
# daemon (dunst) for their picture, a tray for the icon's picture, the fault-injection
# tools, the sanitizer and fuzzer runtimes, the format and layer checks; xdotool and GNU time
# drive and measure the real program in the benchmark. The sync tests run a CalDAV server
# (Radicale), vdirsyncer, a keyring's Secret Service and python3-caldav as the phone.
test_packages=(
  xvfb x11-apps imagemagick openbox trayer xdotool time
  dbus-daemon dbus-bin dunst
  strace e2fsprogs util-linux btrfs-progs xfsprogs
  clang libclang-rt-14-dev
  clang-format
  python3
  python3-icalendar
  vdirsyncer libsecret-tools gnome-keyring radicale python3-caldav
  python3-ephem
)

# The desktop tests: a headless GNOME Shell 43 (mutter, Xwayland, gjs for its notifications,
# zenity as the window the user types in, gsettings to enable the test extension), a PulseAudio
# server with a null sink recorded by parec and measured by sox, and the GTK platform theme for
# GNOME's dark style; Orca on its accessibility bus (at-spi2-core) hears the program in
# tests/desktop/orca, through a speech module of its own.
desktop_packages=(
  gnome-shell mutter xwayland gjs zenity libglib2.0-bin gsettings-desktop-schemas
  pulseaudio pulseaudio-utils sox
  qt6-gtk-platformtheme adwaita-icon-theme sound-theme-freedesktop python3-gi
  orca at-spi2-core python3-pyatspi
)

# The package: dependencies computed from the binary, and the checks of the installed files.
package_packages=(
  dpkg-dev file
  desktop-file-utils appstream
  lintian
)

case "$purpose" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  desktop) packages=("${run_packages[@]}" "${test_packages[@]}" "${desktop_packages[@]}") ;;
  package)
    packages=("${run_packages[@]}" "${test_packages[@]}" "${desktop_packages[@]}"
      "${package_packages[@]}")
    ;;
  *)
    echo "usage: $0 run|test|desktop|package" >&2
    exit 2
    ;;
esac

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
# Another apt-get may hold dpkg's lock for a while: wait for it rather than fail.
apt_get() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=300 "$@"
}
apt_get update
apt_get install -y --no-install-recommends "${missing[@]}"
