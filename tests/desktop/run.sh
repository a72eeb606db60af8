#!/usr/bin/env bash
# The real-desktop tests (`make test-desktop`):
#   1. the alarm on a headless GNOME Shell 43 while another window is typed in, with the sound
#      recorded from a PulseAudio null sink (alarm_on_gnome.py, inside session.sh);
#   2. the contrast of every text under GNOME's dark style through the GTK platform theme
#      (tst_palettes, on the same desktop's Xwayland);
#   3. screenshots of every window in GNOME's dark style (shots-dark/).
# Figures and pictures go to BUILD/desktop-test/.
#   run.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-build}" && pwd)
out=$build/desktop-test
rm -rf "$out"
mkdir -p "$out"
here=$root/tests/desktop

echo "== the alarm on GNOME Shell, another window focused and typed in"
bash "$here/session.sh" "$out" bash -c '
  set -e
  /usr/bin/python3 "$0" "$1/src/yotenna" "$2"
  echo "== contrast under GNOME dark (GTK platform theme, Adwaita:dark)"
  QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark \
    "$1/tests/tst_palettes" -o "$2/palettes.txt,txt" -o -,txt
' "$here/alarm_on_gnome.py" "$build" "$out"

echo "== screenshots in GNOME dark style"
QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark SHOTS_OUT="$out/shots-dark" \
  bash "$root/scripts/screenshots.sh" "$(realpath --relative-to="$root" "$build")" 1 >/dev/null
ls "$out/shots-dark" | head -n 40
echo "desktop tests passed; figures and pictures in $out"
