#!/usr/bin/env bash
# Renders Yotenna's windows under Xvfb into shots/*.png, so anyone can look at what a user sees.
# Usage: scripts/screenshots.sh [build-dir] [scale]
# A scale of 2 renders as on a high-density screen (QT_SCALE_FACTOR=2) into shots@2x/.
set -euo pipefail
build=${1:-build}
scale=${2:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/shots"
[ "$scale" = 1 ] || out="$root/shots@${scale}x"
# SHOTS_OUT: another folder (the desktop tests' pictures in GNOME's dark style).
out=${SHOTS_OUT:-$out}
mkdir -p "$out"
shooter="$root/$build/tests/window_shots"
if [ ! -x "$shooter" ]; then
  echo "missing $shooter: run 'make build' first" >&2
  exit 1
fi
# The first free display from :97 on, so that runs side by side do not meet.
n=97
while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
display=:$n
# The screen keeps 1280 x 1024 logical pixels whatever the scale.
width=$(awk "BEGIN { print int(1280 * $scale) }")
height=$(awk "BEGIN { print int(1024 * $scale) }")
Xvfb $display -screen 0 "${width}x${height}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do
  [ -e /tmp/.X11-unix/X${display#:} ] && break
  sleep 0.1
done
# A window manager draws the title bars, so captions and window icons show in the pictures,
# and a tray (an XEmbed one: no StatusNotifierWatcher runs here) shows the status icon.
pids=($xvfb)
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT
if command -v openbox >/dev/null; then
  DISPLAY=$display openbox >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
fi
if command -v trayer >/dev/null; then
  DISPLAY=$display trayer --edge top --align right --widthtype pixel --width 120 \
    --heighttype pixel --height 28 --tint 0xd0d8e0 --transparent true --alpha 0 >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
fi
# The alarms' desktop notifications are shown by dunst on a session bus of the run's own.
if command -v dbus-run-session >/dev/null && command -v dunst >/dev/null; then
  DISPLAY=$display QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale dbus-run-session -- sh -c \
    'dunst >/dev/null 2>&1 & daemon=$!; sleep 1; "$0" "$1"; status=$?; kill $daemon; exit $status' \
    "$shooter" "$out"
else
  DISPLAY=$display QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$shooter" "$out"
fi
ls -1 "$out"
