"""Shared machinery of the end-to-end tests: the build tree, a private Xvfb
display, the Wine prefix with one persistent wineserver, and running the stub
under wine64 while message boxes are read and dismissed.

Message box texts are read from Wine's msgbox trace (WINEDEBUG=trace+msgbox),
which prints the text as a C string literal when the box opens. Boxes are
dismissed by focusing them and pressing a key with xdotool, as a person would.
"""
import os
import re
import shutil
import subprocess
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = ROOT / "build"
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"


def stub_path(preset="win64"):
    return BUILD / preset / "kovastub.exe"


def kova_path(preset="native"):
    return BUILD / preset / "kova"


class Display:
    """An Xvfb server on a free display number, for the whole test session."""

    def __init__(self):
        self.proc = None
        self.name = None

    def start(self):
        for number in range(90, 140):
            if Path(f"/tmp/.X{number}-lock").exists():
                continue
            proc = subprocess.Popen(
                ["Xvfb", f":{number}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for _ in range(50):
                if Path(f"/tmp/.X11-unix/X{number}").exists():
                    self.proc, self.name = proc, f":{number}"
                    return self
                if proc.poll() is not None:
                    break
                time.sleep(0.1)
            proc.kill()
        raise RuntimeError("no free X display for Xvfb")

    def stop(self):
        if self.proc:
            self.proc.terminate()
            self.proc.wait(timeout=10)


def unescape_wine_string(literal):
    """Turns Wine's debug rendering of a string (L"a\\nb") back into text."""
    out, i = [], 0
    while i < len(literal):
        c = literal[i]
        if c == "\\" and i + 1 < len(literal):
            n = literal[i + 1]
            simple = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"', "'": "'", "0": "\0"}
            if n in simple:
                out.append(simple[n])
                i += 2
                continue
            if n == "x":
                digits = re.match(r"[0-9a-fA-F]{1,4}", literal[i + 2:])
                if digits:
                    out.append(chr(int(digits.group(0), 16)))
                    i += 2 + len(digits.group(0))
                    continue
        out.append(c)
        i += 1
    return "".join(out)


@dataclass
class Box:
    text: str          # as far as Wine's trace shows it (long texts are cut)
    truncated: bool
    caption: str = ""


@dataclass
class Run:
    exit_code: int
    boxes: list = field(default_factory=list)
    log: str = ""


class Wine:
    """wine64 in a prefix of its own under build/, with a persistent server."""

    def __init__(self, display, prefix=None):
        self.display = display
        # A prefix of its own: the unit tests' prefix has a server started
        # without a display, whose desktop process would have no X driver.
        self.prefix = Path(prefix or BUILD / "wine-prefix-e2e")
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": str(self.prefix),
            "WINEARCH": "win64",
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "DISPLAY": display.name,
        })

    def start(self):
        self.prefix.parent.mkdir(parents=True, exist_ok=True)
        # A server left by an earlier run would keep that run's display.
        subprocess.run([WINESERVER, "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not (self.prefix / "system.reg").exists():
            with open(str(self.prefix) + ".log", "w") as log:
                subprocess.run([WINE, "wineboot", "-i"], env=self.env, stdout=log, stderr=log, timeout=300)
            subprocess.run([WINESERVER, "-w"], env=self.env, timeout=300)
        subprocess.run([WINESERVER, "-p"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        return self

    def stop(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def windows_path(self, host_path):
        """The Windows name Wine gives a host path (drive Z: is the host's /)."""
        return "Z:" + str(Path(host_path).resolve()).replace("/", "\\")

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True)

    def run(self, exe, args=(), answer="Return", timeout=60, screenshot=None, cwd=None):
        """Runs exe with args; every message box is read and answered with the
        key answer (a str, or a callable given the Box that returns the key).
        Returns the exit code and the boxes in the order they appeared."""
        env = dict(self.env)
        env["WINEDEBUG"] = "trace+msgbox"
        with tempfile.NamedTemporaryFile("w+", suffix=".log", delete=False) as log:
            log_path = log.name
        with open(log_path, "w") as log:
            proc = subprocess.Popen([WINE, str(exe), *args], env=env, stdout=log, stderr=log,
                                    cwd=cwd or tempfile.gettempdir())
        boxes, seen, deadline = [], 0, time.monotonic() + timeout
        # The highest id of a visible window before the box now awaited:
        # each box is a window made after everything shown before it.
        baseline = 0
        try:
            while proc.poll() is None:
                if time.monotonic() > deadline:
                    proc.kill()
                    raise TimeoutError(f"{exe} {args} did not end within {timeout} s")
                # Windows first, then the log: Wine writes a box's trace line
                # before it shows the box, so a box already in this list has
                # its line in the log read after it.
                shown = max([0] + [int(w) for w in self._visible_windows()])
                text = Path(log_path).read_text(errors="replace")
                if "wine: Unhandled" in text:  # a crash: Wine would now wait for its debugger
                    proc.kill()
                    raise AssertionError(f"{exe} {args} crashed:\n{text}")
                traces = re.findall(r'trace:msgbox:MSGBOX_OnInit L"(.*?)"(\.\.\.)?$', text, re.M)
                if len(traces) > seen:
                    literal, cut = traces[seen]
                    box = Box(unescape_wine_string(literal), bool(cut))
                    window = self._wait_window(proc, baseline)
                    if window:
                        box.caption = self.xdotool("getwindowname", window).stdout.rstrip("\n")
                        if screenshot:
                            subprocess.run(["import", "-window", "root", str(screenshot)], env=self.env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                        key = answer(box) if callable(answer) else answer
                        self.xdotool("windowfocus", window)
                        time.sleep(0.2)
                        self.xdotool("key", key)
                    boxes.append(box)
                    seen += 1
                    if window:
                        baseline = int(window)
                else:
                    baseline = max(baseline, shown)
                time.sleep(0.1)
        finally:
            text = Path(log_path).read_text(errors="replace")
            os.unlink(log_path)
        return Run(proc.returncode, boxes, text)

    def _visible_windows(self):
        return self.xdotool("search", "--onlyvisible", "--name", ".").stdout.split()

    def _wait_window(self, proc, baseline, seconds=10):
        """The box: the newest visible top-level window, made after every
        window visible before it (X gives each new window of a client a
        higher id; the search lists them in tree order, so a progress dialog
        may come after the box)."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline and proc.poll() is None:
            newer = [w for w in self._visible_windows() if int(w) > baseline]
            if newer:
                return max(newer, key=int)
            time.sleep(0.1)
        return None


def copy_stub(tmp_path, name="kovastub.exe", preset="win64"):
    target = Path(tmp_path) / name
    shutil.copyfile(stub_path(preset), target)
    return target


def windows_helper(name):
    """tests/e2e/helpers/NAME.c built for wine64 into build/e2e/NAME.exe
    (again when the source is newer)."""
    source = ROOT / "tests/e2e/helpers" / f"{name}.c"
    exe = BUILD / "e2e" / f"{name}.exe"
    if not exe.exists() or exe.stat().st_mtime < source.stat().st_mtime:
        exe.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["x86_64-w64-mingw32-gcc", "-O2", "-Wall", "-o", str(exe), str(source)], check=True)
    return exe
