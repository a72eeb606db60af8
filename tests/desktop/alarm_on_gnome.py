#!/usr/bin/python3
"""The alarm on a real GNOME Shell: run by session.sh inside its private desktop.

While the user types in another window (zenity --entry), the alarm fires. The pop-up must come
up above that window without taking a single keystroke, stay above when the user clicks the
window they type in, not be dismissed by a Space, and keep its notification up. The alarm
sound, recorded from the sound server's null sink, must start within a second of the minute,
repeat, and fall silent within half a second of the click that dismisses the pop-up.

    alarm_on_gnome.py YOTENNA_BINARY OUT_DIR
Prints the measured figures; exits non-zero on the first failed check.
"""
import json
import os
import subprocess
import sys
import threading
import time
import wave
from array import array

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

POPUP_TITLE = "時間で～す(￣◇￣)"
TIMER_TITLE = "デスクトップの試験"
RATE = 16000  # the recording's sample rate
TYPED = "thequickbrownfoxjumpsoverthelazydogsnow"  # 40 letters would need a repeat; 39 do
MARKER = b'"\x83\x5e\x83\x43\x83\x7d","","",0,0\r\n'

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


class Shell:
    def __init__(self):
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        self.eval("""
            const Clutter = imports.gi.Clutter;
            const seat = Clutter.get_default_backend().get_default_seat();
            global._yotennaKeys = seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
            global._yotennaPointer = seat.create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
            true""")
        # The shell starts in the overview, which keeps the focus from the windows.
        self.eval("imports.ui.main.overview.hide(); true")
        wait_for("the overview to close",
                 lambda: not self.eval("imports.ui.main.overview.visible"), 10)

    def activate(self, title):
        self.eval(f"""
            const w = global.display.list_all_windows().find(w => w.get_title() === {json.dumps(title)});
            w.activate(global.get_current_time()); true""")

    def eval(self, script):
        reply = self.bus.call_sync("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell",
                                   "Eval", GLib.Variant("(s)", (script,)),
                                   GLib.VariantType("(bs)"), Gio.DBusCallFlags.NONE, 10000, None)
        ok, result = reply.unpack()
        if not ok:
            raise RuntimeError("Eval failed: " + result + "\n" + script)
        return json.loads(result) if result else None

    def windows(self):
        """Every window, bottom to top of the stacking order."""
        return self.eval("""
            const Meta = imports.gi.Meta;
            const d = global.display;
            d.sort_windows_by_stacking(d.list_all_windows()).map(w => {
              const r = w.get_frame_rect();
              return {title: w.get_title(), wmClass: w.get_wm_class(), above: w.is_above(),
                      focus: w === d.focus_window, x11: w.get_client_type() === Meta.WindowClientType.X11,
                      maximizable: w.can_maximize(), pid: w.get_pid(),
                      rect: [r.x, r.y, r.width, r.height]};
            })""")

    def key(self, keyval):
        self.eval(f"""
            const Clutter = imports.gi.Clutter;
            const t = imports.gi.GLib.get_monotonic_time();
            global._yotennaKeys.notify_keyval(t, {keyval}, Clutter.KeyState.PRESSED);
            global._yotennaKeys.notify_keyval(t + 1000, {keyval}, Clutter.KeyState.RELEASED);
            true""")

    def click(self, x, y):
        self.eval(f"""
            const Clutter = imports.gi.Clutter;
            const t = imports.gi.GLib.get_monotonic_time();
            global._yotennaPointer.notify_absolute_motion(t, {x}, {y});
            true""")
        time.sleep(0.1)
        pressed = time.time()
        self.eval("""
            const Clutter = imports.gi.Clutter;
            const t = imports.gi.GLib.get_monotonic_time();
            global._yotennaPointer.notify_button(t, Clutter.BUTTON_PRIMARY, Clutter.ButtonState.PRESSED);
            global._yotennaPointer.notify_button(t + 20000, Clutter.BUTTON_PRIMARY, Clutter.ButtonState.RELEASED);
            true""")
        return pressed

    def move(self, title, x, y):
        self.eval(f"""
            const w = global.display.list_all_windows().find(w => w.get_title() === {json.dumps(title)});
            w.move_frame(true, {x}, {y}); true""")

    def notifications(self):
        """The titles of the notifications in the message tray."""
        return self.eval("""
            const Main = imports.ui.main;
            [].concat(...Main.messageTray.getSources().map(s => s.notifications.map(n => n.title)))""")

    def screenshot(self, path):
        self.bus.call_sync("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                           "org.gnome.Shell.Screenshot", "Screenshot",
                           GLib.Variant("(bbs)", (False, False, path)), None,
                           Gio.DBusCallFlags.NONE, 10000, None)


class Recorder:
    """The null sink's monitor through parec, each 10 ms piece stamped as it arrives."""

    def __init__(self):
        self.process = subprocess.Popen(
            ["parec", "-d", os.environ["YOTENNA_TEST_MONITOR"], "--format=s16le",
             f"--rate={RATE}", "--channels=1", "--latency-msec=10", "--raw"],
            stdout=subprocess.PIPE)
        self.samples = array("h")
        self.chunks = []  # (arrival time, peak)
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        piece = RATE // 100 * 2
        while True:
            data = self.process.stdout.read(piece)
            if not data:
                return
            arrived = time.time()
            chunk = array("h")
            chunk.frombytes(data[: len(data) // 2 * 2])
            self.samples.extend(chunk)
            self.chunks.append((arrived, max((abs(v) for v in chunk), default=0)))

    def stop(self):
        self.process.terminate()
        self.process.wait()
        self.thread.join(5)


class Streams:
    """The sound server's playback streams as they come and go (pactl subscribe)."""

    def __init__(self):
        self.process = subprocess.Popen(["pactl", "subscribe"], stdout=subprocess.PIPE, text=True)
        self.began = {}  # stream number: (time, event id)
        self.ended = {}
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        for line in self.process.stdout:
            now = time.time()
            words = line.split()
            if len(words) < 5 or words[3] != "sink-input":
                continue
            number = words[4].lstrip("#")
            if words[1] == "'new'":
                self.began[number] = (now, self._event_id(number))
            elif words[1] == "'remove'":
                self.ended[number] = now

    @staticmethod
    def _event_id(number):
        listing = subprocess.run(["pactl", "list", "sink-inputs"], capture_output=True,
                                 text=True).stdout
        current = None
        for line in listing.splitlines():
            line = line.strip()
            if line.startswith("Sink Input #"):
                current = line.split("#")[1]
            elif current == number and line.startswith("event.id = "):
                return line.split("=", 1)[1].strip().strip('"')
        return None

    def played(self):
        return sorted((began, self.ended.get(n), event) for n, (began, event) in self.began.items())

    def stop(self):
        self.process.terminate()
        self.process.wait()


def find(windows, title=None, wm_class=None):
    for w in windows:
        if (title and w["title"] == title) or (wm_class and (w["wmClass"] or "").lower() == wm_class):
            return w
    return None


def wait_for(what, condition, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    raise RuntimeError("timed out waiting for " + what)


def inside(rect, x, y):
    return rect[0] <= x < rect[0] + rect[2] and rect[1] <= y < rect[1] + rect[3]


def main():
    binary, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    shell = Shell()

    # A daily timer at the next minute that leaves time to set the scene.
    now = time.time()
    minute = (int(now) // 60 + 1) * 60
    if minute - now < 25:
        minute += 60
    due = time.localtime(minute)
    picture = os.path.join(out, "alarm-picture.png")
    subprocess.run(["convert", "-size", "640x400", "gradient:#ffd27f-#ff9b3f", picture], check=True)
    data = os.path.join(out, "desktop.dat")
    with open(data, "wb") as f:
        f.write(MARKER + b'"' + TIMER_TITLE.encode("cp932") + b'","2","","","","'
                + b"%02d" % due.tm_hour + b'","' + b"%02d" % due.tm_min + b'","'
                + picture.encode() + b'"\r\n')

    # The program as a GNOME Wayland session starts it: no platform chosen.
    env = dict(os.environ)
    env.pop("QT_QPA_PLATFORM", None)
    program = subprocess.Popen([binary, data], env=env, stdout=subprocess.DEVNULL,
                               stderr=open(os.path.join(out, "yotenna.log"), "w"))
    recorder = None
    streams = None
    typing = None
    try:
        main_window = wait_for("the main window", lambda: next(
            (w for w in shell.windows() if w["pid"] == program.pid), None), 20)
        check(main_window["x11"], "on GNOME's Wayland session the program runs through Xwayland")

        # The sound server's output, recorded from now on.
        recorder = Recorder()
        streams = Streams()

        # The window the user types in, with the focus, where the pop-up leaves part of it free.
        typing = subprocess.Popen(["zenity", "--entry", "--title=入力中", "--text=ここに入力します",
                                   "--width=420"], stdout=subprocess.PIPE, env=env)
        wait_for("zenity", lambda: find(shell.windows(), title="入力中"), 20)
        shell.move("入力中", 0, 600)
        try:
            wait_for("zenity's focus", lambda: find(shell.windows(), title="入力中")["focus"], 3)
        except RuntimeError:
            shell.activate("入力中")  # as the user's click on it would
            wait_for("zenity's focus", lambda: find(shell.windows(), title="入力中")["focus"], 5)
        time.sleep(0.5)

        # Typing across the minute, a key each 150 ms from 3 s before it.
        start = minute - 3
        time.sleep(max(0, start - time.time()))
        popup_seen_at = None
        for letter in TYPED:
            shell.key(ord(letter))
            if popup_seen_at is None and find(shell.windows(), title=POPUP_TITLE):
                popup_seen_at = time.time()
            time.sleep(0.15)
        windows = wait_for("the pop-up", lambda: find(shell.windows(), title=POPUP_TITLE)
                           and shell.windows(), 5)
        popup = find(windows, title=POPUP_TITLE)
        zenity = find(windows, title="入力中")
        if popup_seen_at:
            print(f"pop-up seen {popup_seen_at - minute:+.2f} s from the minute")
        check(zenity["focus"] and not popup["focus"], "the pop-up came up without the focus")
        check(popup["above"], "the pop-up is kept above other windows")
        check(not popup["maximizable"], "the pop-up has a fixed frame without maximise")
        order = [w["title"] for w in windows]
        check(order.index(POPUP_TITLE) > order.index("入力中"), "the pop-up is above zenity")

        # The user clicks the window they type in, where the pop-up does not cover it.
        point = None
        r = zenity["rect"]
        for y in range(r[1] + r[3] - 10, r[1], -10):
            for x in range(r[0] + 10, r[0] + r[2], 10):
                if not inside(popup["rect"], x, y) and 0 <= x < 1280 and 0 <= y < 800:
                    point = (x, y)
                    break
            if point:
                break
        check(point is not None, "part of zenity's window is clear of the pop-up")
        shell.click(*point)
        time.sleep(0.7)
        windows = shell.windows()
        order = [w["title"] for w in windows]
        check(POPUP_TITLE in order, "the pop-up is still there after the click on zenity")
        check(order.index(POPUP_TITLE) > order.index("入力中"),
              "the pop-up stays above zenity after the click on zenity")
        check(find(windows, title="入力中")["focus"], "zenity has the focus")
        shell.screenshot(os.path.join(out, "gnome-popup-over-focused-window.png"))

        # A Space (as an input method converts with) and more letters, typed into zenity.
        for keyval in (0x20, ord("x"), ord("y"), ord("z")):
            shell.key(keyval)
            time.sleep(0.15)
        time.sleep(0.5)
        check(find(shell.windows(), title=POPUP_TITLE) is not None, "a Space does not dismiss")
        check(TIMER_TITLE in shell.notifications(), "the notification stays in the message tray")

        # The user confirms zenity: what it got is what they typed.
        shell.key(0xff0d)  # Return
        received = typing.communicate(timeout=10)[0].decode().rstrip("\n")
        expected = TYPED + " xyz"
        lost = sum(1 for _ in expected) - sum(1 for _ in received)
        print(f"typed {len(expected)} keys across the alarm, zenity received {len(received)}: "
              f"{lost} lost")
        check(received == expected, f"every keystroke reached zenity ({received!r})")
        check(find(shell.windows(), title=POPUP_TITLE) is not None,
              "the pop-up is still there when zenity closes")

        # Let the sound repeat (one play lasts about 6 s), then dismiss it with a click on the
        # close box, which plays no click sound of its own.
        time.sleep(max(0, minute + 15 - time.time()))
        popup = find(shell.windows(), title=POPUP_TITLE)
        r = popup["rect"]
        clicked = shell.click(r[0] + r[2] - 22, r[1] + 17)
        closed = True
        try:
            wait_for("the pop-up to close", lambda: not find(shell.windows(), title=POPUP_TITLE), 3)
        except RuntimeError:
            closed = False
        check(closed, "a click on the close box dismisses the pop-up")
        time.sleep(0.5)
        check(TIMER_TITLE not in shell.notifications(), "the notification goes with the dismissal")
        time.sleep(2)
    finally:
        if recorder:
            recorder.stop()
        if streams:
            streams.stop()
        if typing and typing.poll() is None:
            typing.kill()
            typing.wait()
        program.terminate()
        try:
            program.wait(10)
        except subprocess.TimeoutExpired:
            program.kill()
            program.wait()

    # The sound server's own account: when the alarm's streams began and ended.
    alarm = [(began, ended) for began, ended, event in streams.played() if event == "alarm-clock-elapsed"]
    print("alarm sound streams (s from the minute): " + ", ".join(
        f"{b - minute:+.2f}..{(e - minute) if e else float('nan'):+.2f}" for b, e in alarm))
    if not check(bool(alarm), "the alarm sound played through the sound server"):
        return
    check(0 <= alarm[0][0] - minute <= 1.0, "its stream starts within 1 s of the minute")
    check(len(alarm) >= 2, "the sound repeats")
    ended = alarm[-1][1]
    if check(ended is not None, "the alarm's stream ended"):
        print(f"alarm stream ended {ended - clicked:.2f} s after the dismissing click")
        check(ended - clicked <= 0.5, "its stream ends within 0.5 s of the dismissing click")

    # The recording: loudness in 10 ms steps as it arrived; sound where it passes 2% of full
    # scale. The recording itself is kept as a WAV file and summed up by sox.
    wav = os.path.join(out, "alarm.wav")
    with wave.open(wav, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(recorder.samples.tobytes())
    stat = subprocess.run(["sox", wav, "-n", "stat"], capture_output=True, text=True).stderr
    print("sox stat of the recording:\n" + stat.strip())
    loud = [at for at, peak in recorder.chunks if peak > 655]
    if not check(bool(loud), "the alarm sound was recorded"):
        return
    onset = loud[0] - minute
    print(f"sound heard {onset:+.2f} s from the minute")
    check(0 <= onset <= 1.0, "the sound is heard within 1 s of the minute")
    check(any(alarm[0][0] + 6.3 < at < clicked for at in loud), "the sound is heard again after its first play")
    last = max(loud) - clicked
    print(f"sound last heard {last:.2f} s after the dismissing click")
    check(last <= 0.5, "silence within 0.5 s of the dismissing click")


if __name__ == "__main__":
    try:
        main()
    except Exception as error:  # a step that could not be taken is a failure too
        failures.append(str(error))
        print("FAIL " + str(error), flush=True)
    if failures:
        print(f"{len(failures)} check(s) failed", flush=True)
        sys.exit(1)
    print("all desktop checks passed", flush=True)
