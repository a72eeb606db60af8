#!/usr/bin/env bash
# Runs a command inside a private desktop of its own: a headless GNOME Shell 43 on Wayland
# (with Xwayland) on a virtual 1280x800 monitor, a private session bus and a private stand-in
# for the system bus, a PulseAudio server with a null sink, and HOME and the XDG folders in a
# temporary folder. Everything started here is stopped here, by the process ids it started.
#   session.sh OUT_DIR COMMAND [ARGS...]
# In the command's environment: WAYLAND_DISPLAY, DISPLAY (Xwayland), PULSE_SERVER, the
# sink's monitor as YOTENNA_TEST_MONITOR, and the session's buses.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=$1
shift
mkdir -p "$out"
root=$(mktemp -d /tmp/yotenna-desktop.XXXXXX)
pids=()

cleanup() {
  local status=$?
  # The newest first: the shell before the buses it talks on.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
  rm -rf "$root"
  exit "$status"
}
trap cleanup EXIT INT TERM

export HOME=$root/home
export XDG_CONFIG_HOME=$root/config XDG_DATA_HOME=$root/data XDG_CACHE_HOME=$root/cache
export XDG_STATE_HOME=$root/state XDG_RUNTIME_DIR=$root/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME GTK_THEME \
  DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS PULSE_SERVER SESSION_MANAGER
export LANG=C.UTF-8 NO_AT_BRIDGE=1 GSETTINGS_BACKEND=keyfile

# The buses: each dbus-daemon prints its address once it listens.
start_bus() {
  local config=$1 file=$2
  dbus-daemon --config-file="$config" --nofork --print-address=3 3>"$file" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$file" ] && break; sleep 0.05; done
}
sed "s|unix:tmpdir=/tmp|unix:dir=$root|" "$here/system-bus.conf" >"$root/system.conf"
start_bus "$root/system.conf" "$root/system.address"
start_bus /usr/share/dbus-1/session.conf "$root/session.address"
export DBUS_SYSTEM_BUS_ADDRESS=$(head -n1 "$root/system.address")
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$root/session.address")

# The sound server, its only output a null sink whose monitor the tests record.
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=file:"$out/pulseaudio.log" \
  -L "module-native-protocol-unix socket=$XDG_RUNTIME_DIR/pulse-native" \
  -L "module-null-sink sink_name=alarm_sink" \
  -L "module-always-sink" >/dev/null 2>&1 &
pids+=($!)
export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/pulse-native
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink alarm_sink
export YOTENNA_TEST_MONITOR=alarm_sink.monitor

# The shell: the test extension that opens Eval, no welcome dialog, no animations.
mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions"
cp -r "$here/unsafe-eval@yotenna.test" "$XDG_DATA_HOME/gnome-shell/extensions/"
gsettings set org.gnome.shell enabled-extensions "['unsafe-eval@yotenna.test']"
gsettings set org.gnome.shell welcome-dialog-last-shown-version '999'
gsettings set org.gnome.desktop.interface enable-animations false
export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME
gnome-shell --headless --wayland --virtual-monitor 1280x800 >"$out/gnome-shell.log" 2>&1 &
pids+=($!)
shell_eval() {
  gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
    --method org.gnome.Shell.Eval "$1" 2>/dev/null
}
for _ in $(seq 300); do
  case "$(shell_eval 'global.context.unsafe_mode' || true)" in
    "(true, 'true')") break ;;
  esac
  sleep 0.1
done
if [ "$(shell_eval 'global.context.unsafe_mode' || true)" != "(true, 'true')" ]; then
  echo "GNOME Shell did not open Eval; its log:" >&2
  tail -n 40 "$out/gnome-shell.log" >&2
  exit 1
fi
# The overview the shell starts in would hold the windows the tests open.
shell_eval 'imports.ui.main.overview.hide()' >/dev/null
# Xwayland's display, as mutter started it.
display=$(shell_eval 'imports.gi.GLib.getenv("DISPLAY")' | sed -n "s/^(true, '\"\(.*\)\"')$/\1/p")
if [ -z "$display" ]; then
  echo "GNOME Shell started no Xwayland" >&2
  exit 1
fi
export DISPLAY=$display
export XAUTHORITY=$(shell_eval 'imports.gi.GLib.getenv("XAUTHORITY")' | sed -n "s/^(true, '\"\(.*\)\"')$/\1/p")
export WAYLAND_DISPLAY=$(shell_eval 'imports.gi.GLib.getenv("WAYLAND_DISPLAY")' |
  sed -n "s/^(true, '\"\(.*\)\"')$/\1/p")
echo "desktop: GNOME Shell $(gnome-shell --version | awk '{print $3}'), WAYLAND_DISPLAY=$WAYLAND_DISPLAY DISPLAY=$DISPLAY"
"$@"
