"""A private desktop with Orca on it, for hearing the program as a blind user does.

Everything runs in a temporary folder of its own and is stopped by the PIDs it started: an X
server (Xvfb, choosing a free display itself), a D-Bus session bus, the accessibility bus
(at-spi-bus-launcher, started by the session bus, which starts the registry on it), a window manager (openbox) and Orca,
whose speech goes to yotenna_speech_log.py and so to a file. Keys go through XTEST (xdotool),
as a keyboard's do, so that Orca hears them through the accessibility bus."""

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
# Orca and pyatspi are the system's Python packages.
SYSTEM_PYTHON = "/usr/bin/python3"

# Orca's settings for the tests: speech to the log, no key echo (the keys are in the table
# already), the verbosity and punctuation a user starts with.
ORCA_GENERAL = {
    "speechServerFactory": "yotenna_speech_log",
    "speechServerInfo": None,
    "enableSpeech": True,
    "enableKeyEcho": False,
    "enableEchoByCharacter": False,
    "enableEchoByWord": False,
    "enableBraille": False,
    "enableBrailleMonitor": False,
    "enableSound": False,
    "enableTutorialMessages": False,
    "enableMouseReview": False,
    "firstStart": False,
}


class DesktopError(RuntimeError):
    pass


class OrcaDesktop:
    def __init__(self, keep=False):
        self.keep = keep
        self.root = tempfile.mkdtemp(prefix="yotenna-orca-")
        self.processes = []  # (name, Popen), stopped in reverse order
        self.env = {}
        self.display = None
        self.speech_log = os.path.join(self.root, "speech.log")
        self.program = None

    # ---- start and stop -------------------------------------------------------------------

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def _spawn(self, name, argv, **kwargs):
        out = open(os.path.join(self.root, name + ".out"), "wb")
        process = subprocess.Popen(argv, env=self.env, stdout=kwargs.pop("stdout", out),
                                   stderr=out, start_new_session=True, **kwargs)
        self.processes.append((name, process))
        return process

    def _start(self):
        home = os.path.join(self.root, "home")
        runtime = os.path.join(self.root, "runtime")
        for folder in (home, runtime):
            os.makedirs(folder, mode=0o700)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
            "XDG_RUNTIME_DIR": runtime,
            "LANG": "C.UTF-8",
            "GSETTINGS_BACKEND": "memory",
            "NO_AT_BRIDGE": "0",
            "GTK_A11Y": "atspi",
        }
        self._start_x()
        self._start_bus()
        self._start_accessibility_bus()
        self._spawn("openbox", ["openbox", "--sm-disable"])
        self._wait(lambda: self._xprop_root("_NET_SUPPORTING_WM_CHECK"), 10, "openbox")
        self._start_orca()

    def _start_x(self):
        read_end, write_end = os.pipe()
        self._spawn("xvfb", ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,))
        os.close(write_end)
        number = b""
        deadline = time.time() + 20
        while not number.endswith(b"\n"):
            if time.time() > deadline:
                raise DesktopError("Xvfb did not say its display")
            chunk = os.read(read_end, 16)
            if not chunk:
                raise DesktopError("Xvfb ended before it said its display")
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()
        self.env["DISPLAY"] = self.display

    def _start_bus(self):
        bus = self._spawn("dbus", ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                          stdout=subprocess.PIPE)
        address = bus.stdout.readline().decode().strip()
        if not address:
            raise DesktopError("the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def _start_accessibility_bus(self):
        # The session bus starts the launcher itself at the first question (its service file),
        # and the launcher starts the registry: one of each, children of our bus.
        def ready():
            answer = subprocess.run(
                ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                 "org.a11y.Bus.GetAddress"], env=self.env, capture_output=True, text=True)
            return answer.returncode == 0 and "unix:" in answer.stdout

        self._wait(ready, 20, "the accessibility bus")

    def _start_orca(self):
        prefs = os.path.join(self.env["XDG_DATA_HOME"], "orca")
        os.makedirs(prefs)
        settings = {
            "general": ORCA_GENERAL,
            "profiles": {"default": {"profile": ["Default", "default"]}},
            "pronunciations": {},
            "keybindings": {},
        }
        with open(os.path.join(prefs, "user-settings.conf"), "w") as file:
            json.dump(settings, file, indent=4)
        self.env["PYTHONPATH"] = HERE
        self.env["YOTENNA_SPEECH_LOG"] = self.speech_log
        self._spawn("orca", [SYSTEM_PYTHON, os.path.join(HERE, "start_orca.py")])
        self._wait(lambda: self.utterances(), 30, "Orca's first words")
        self.settle()

    def close(self):
        for name, process in reversed(self.processes):
            if process.poll() is None:
                try:
                    os.killpg(process.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    os.killpg(process.pid, signal.SIGKILL)
                    process.wait()
        self.processes = []
        if not self.keep:
            shutil.rmtree(self.root, ignore_errors=True)

    # ---- the program ----------------------------------------------------------------------

    def start_program(self, binary, data_file, title="Yotenna"):
        environment = dict(self.env)
        environment.update({"QT_QPA_PLATFORM": "xcb", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
        environment.pop("PYTHONPATH", None)
        out = open(os.path.join(self.root, "program.out"), "ab")
        self.program = subprocess.Popen([binary, data_file], env=environment, stdout=out,
                                        stderr=out, start_new_session=True)
        window = self.wait_window(title)
        self.xdotool("windowactivate", "--sync", window)
        return window

    def stop_program(self):
        if self.program and self.program.poll() is None:
            self.program.terminate()
            try:
                self.program.wait(5)
            except subprocess.TimeoutExpired:
                self.program.kill()
                self.program.wait()
        self.program = None
        self.settle()

    def wait_window(self, title, timeout=20):
        found = []

        def visible():
            answer = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                                    env=self.env, capture_output=True, text=True)
            found[:] = answer.stdout.split()
            return bool(found)

        self._wait(visible, timeout, "the window " + title)
        return found[-1]

    # ---- keys, text, speech ---------------------------------------------------------------

    def xdotool(self, *arguments):
        subprocess.run(["xdotool", *arguments], env=self.env, check=True, capture_output=True)

    def key(self, key):
        self.xdotool("key", "--clearmodifiers", "--delay", "60", key)

    def type_text(self, text):
        """Writes text into the focused field through the accessibility interface (xdotool
        cannot type kana)."""
        subprocess.run([SYSTEM_PYTHON, os.path.join(HERE, "atspi_text.py"), text], env=self.env,
                       check=True, capture_output=True, timeout=20)

    def utterances(self):
        try:
            with open(self.speech_log, encoding="utf-8") as log:
                return [line.rstrip("\n").split("\t", 1)[-1] for line in log]
        except FileNotFoundError:
            return []

    def settle(self, quiet=1.2, first=2.5, limit=12.0):
        """Waits until Orca has finished speaking: nothing new for `quiet` seconds, after at
        most `first` seconds for its first word."""
        start = time.time()
        count = len(self.utterances())
        changed = None
        while time.time() - start < limit:
            time.sleep(0.1)
            now = len(self.utterances())
            if now != count:
                count, changed = now, time.time()
            elif changed is None and time.time() - start > first:
                return
            elif changed is not None and time.time() - changed > quiet:
                return

    # ---- helpers --------------------------------------------------------------------------

    def _xprop_root(self, atom):
        answer = subprocess.run(["xprop", "-root", atom], env=self.env, capture_output=True,
                                text=True)
        return answer.returncode == 0 and "window id" in answer.stdout

    def _wait(self, condition, timeout, what):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if condition():
                return
            for name, process in self.processes:
                if process.poll() is not None and name != "dbus":
                    raise DesktopError("%s ended (%s) while waiting for %s; see %s" % (
                        name, process.returncode, what, os.path.join(self.root, name + ".out")))
            time.sleep(0.2)
        raise DesktopError("timed out waiting for " + what)
