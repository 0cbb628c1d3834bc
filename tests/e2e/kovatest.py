"""Shared machinery of the end-to-end tests: the build tree, a private Xvfb
display, the Wine prefix with one persistent wineserver, and running the stub
under wine64 while its dialogs are read and answered.

Dialogs are read from inside Wine by the box reader (tests/tools/box_reader.c,
built with the win64 preset): it starts the program with the exact command
line, finds the program's top-level dialogs, reports each one's caption and
every control's text whole as a JSON line, and carries out the answer this
module gives it for each (press a button, set a field, leave it). xdotool and
ImageMagick serve only for screenshots.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = ROOT / "build"
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
# Message box button ids: IDOK .. IDCONTINUE.
BOX_BUTTON_IDS = range(1, 12)
# The id of a message box's text, on Windows and in Wine.
BOX_TEXT_ID = 0xFFFF


def stub_path(preset="win64"):
    return BUILD / preset / "kovastub.exe"


def kova_path(preset="native"):
    return BUILD / preset / "kova"


def box_reader_path():
    return BUILD / "win64" / "tools" / "box_reader.exe"


class Display:
    """An Xvfb server for the whole test session, on a display number that
    Xvfb itself finds free (-displayfd), so that two test runs on one machine
    never share or race for a display."""

    def __init__(self):
        self.proc = None
        self.name = None

    def start(self):
        read, write = os.pipe()
        try:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write,))
            os.close(write)
            write = None
            with os.fdopen(read, "r") as answer:
                read = None
                number = answer.readline().strip()
        finally:
            for fd in (read, write):
                if fd is not None:
                    os.close(fd)
        if not number.isdigit():
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.name = f":{number}"
        return self

    def stop(self):
        if self.proc:
            self.proc.terminate()
            self.proc.wait(timeout=10)


@dataclass
class Control:
    id: int
    cls: str
    text: str
    visible: bool = True
    enabled: bool = True
    items: list = None      # list and combo boxes
    selected: int = None


@dataclass
class Box:
    """A dialog as the box reader read it. For a message box, text is the
    message; for other dialogs it is empty and the controls say it all."""
    text: str
    caption: str = ""
    controls: list = field(default_factory=list)
    default: int = None     # the default button's id
    rect: tuple = None      # the window's screen rectangle: left, top, right, bottom

    @property
    def buttons(self):
        return [c.text.replace("&", "") for c in self.controls if c.cls.lower() == "button"]

    def control(self, id):
        return next((c for c in self.controls if c.id == id), None)


def is_message_box(controls):
    """A message box: a static text of id 0xFFFF, and nothing but statics and
    buttons of the message box ids (a dialog of the stub's own has controls
    of its own ids)."""
    if not any(c.id == BOX_TEXT_ID and c.cls.lower() == "static" for c in controls):
        return False
    return all(c.cls.lower() == "static" or (c.cls.lower() == "button" and c.id in BOX_BUTTON_IDS)
               for c in controls)


def box_from_event(event):
    controls = [Control(c["id"], c["class"], c["text"], c["visible"], c["enabled"], c.get("items"),
                        c.get("selected")) for c in event["controls"]]
    text = next((c.text for c in controls if c.id == BOX_TEXT_ID), "") if is_message_box(controls) else ""
    return Box(text, event["caption"], controls, event["default"], tuple(event.get("rect") or ()) or None)


def commands_for(reply):
    """The box reader's commands for an answer: "default" (or None) presses
    the default button, an int presses the button of that id, another text
    the button of that text (without the & of its mnemonic), a list is
    passed as commands."""
    if reply is None or reply == "default":
        return ["press default"]
    if isinstance(reply, int):
        return [f"press id {reply}"]
    if isinstance(reply, str):
        return [f"press text {reply}"]
    return list(reply)


@dataclass
class Run:
    exit_code: int
    boxes: list = field(default_factory=list)     # the message boxes, in order
    log: str = ""
    dialogs: list = field(default_factory=list)   # every dialog, boxes included
    pressed: list = field(default_factory=list)   # (caption, button text) in order


class ReaderDidNotStart(Exception):
    """The box reader ended before it started the program under test."""


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
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",  # no host menu entries for shortcuts
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
        # Wine links the user's shell folders (Desktop, Documents, ...) to the
        # host's home; installers under test write shortcuts there, so they
        # become folders of the prefix.
        for link in (self.prefix / "drive_c" / "users").glob("*/*"):
            if link.is_symlink():
                link.unlink()
                link.mkdir()
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

    def run(self, exe, args=(), answer="default", timeout=60, screenshot=None, cwd=None, command_line=None,
            dialog=None, env=None):
        """Runs exe with args (or the exact command_line) through the box
        reader. Each message box is answered by answer: a reply (see
        commands_for) or a callable given the Box that returns one; any other
        dialog by dialog, a callable returning commands (default: left as it
        is). screenshot: a PNG of the screen taken when a box shows.
        env: variables added to Wine's environment. Returns the exit code,
        the boxes and dialogs in the order they appeared and Wine's output."""
        reader = box_reader_path()
        if not reader.exists():
            raise AssertionError(f"{reader} is missing: build the win64 preset first")
        if command_line is None:
            command_line = subprocess.list2cmdline([self.windows_path(exe), *map(str, args)])
        # Now and then wine64 ends at once with status 1 and no output, before
        # the reader has written its report: the program was never started,
        # so starting the reader again tests nothing twice.
        for attempt in range(3):
            try:
                return self._run_once(reader, exe, command_line, answer, timeout, screenshot, cwd, dialog, env)
            except ReaderDidNotStart as error:
                print(f"box reader attempt {attempt + 1}: {error}", file=sys.stderr)
        raise AssertionError(f"{command_line}: the box reader never started the program")

    def _run_once(self, reader, exe, command_line, answer, timeout, screenshot, cwd, dialog, env):
        runs = BUILD / "e2e" / "runs"
        runs.mkdir(parents=True, exist_ok=True)
        work = Path(tempfile.mkdtemp(dir=runs))
        report, answers, log_path = work / "report.jsonl", work / "answers", work / "wine.log"
        answers.mkdir()
        run_env = dict(self.env, **(env or {}))
        # An installation that wants a restart calls ExitWindowsEx, which
        # Wine carries out by ending every program of the prefix through
        # wineboot; the tests' programs and server must live on.
        run_env["WINEDLLOVERRIDES"] = run_env.get("WINEDLLOVERRIDES", "") + ";wineboot.exe=d"
        cmd = [WINE, str(reader), "--report", self.windows_path(report), "--answers", self.windows_path(answers),
               "--program", self.windows_path(exe), "--timeout", str(timeout), command_line]
        with open(log_path, "w") as log:
            proc = subprocess.Popen(cmd, env=run_env, stdout=log, stderr=log, cwd=cwd or work)
        result, events, done = Run(None), [], 0
        deadline = time.monotonic() + timeout + 30
        try:
            while True:
                ended = proc.poll() is not None
                lines = report.read_text(encoding="utf-8").split("\n") if report.exists() else [""]
                for line in lines[done:-1]:    # whole lines only
                    done += 1
                    event = json.loads(line)
                    events.append(event)
                    self._handle(event, result, answers, answer, dialog, screenshot)
                if ended:
                    break
                wine_output = log_path.read_text(errors="replace")
                if "wine: Unhandled" in wine_output:  # a crash: Wine would now wait for its debugger
                    raise AssertionError(f"{command_line} crashed:\n{wine_output}")
                if time.monotonic() > deadline:
                    raise TimeoutError(f"{command_line}: the box reader did not end")
                time.sleep(0.02)
        finally:
            if proc.poll() is None:
                proc.kill()   # the program goes with it: it runs in the reader's job
                proc.wait()
            result.log = log_path.read_text(errors="replace") + "".join(json.dumps(e) + "\n" for e in events)
            shutil.rmtree(work, ignore_errors=True)
        if any(e["event"] == "timeout" for e in events):
            raise TimeoutError(f"{command_line} did not end within {timeout} s:\n{result.log}")
        if not events and proc.returncode != 0:
            raise ReaderDidNotStart(f"wine ended with {proc.returncode}:\n{result.log}")
        if result.exit_code is None:
            raise AssertionError(f"the box reader ended with {proc.returncode} before the program:\n{result.log}")
        return result

    def _handle(self, event, result, answers, answer, dialog, screenshot):
        kind = event["event"]
        if kind == "dialog":
            box = box_from_event(event)
            result.dialogs.append(box)
            if box.controls and is_message_box(box.controls):
                result.boxes.append(box)
                if screenshot:
                    subprocess.run(["import", "-window", "root", str(screenshot)], env=self.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                commands = commands_for(answer(box) if callable(answer) else answer)
            else:
                commands = (dialog(box) if dialog else None) or ["leave"]
            ready = answers / f"{event['seq']}.tmp"
            ready.write_text("".join(c + "\n" for c in commands), encoding="latin-1")
            os.replace(ready, answers / str(event["seq"]))   # the reader sees the answer whole
        elif kind == "pressed":
            caption = result.dialogs[event["seq"] - 1].caption
            result.pressed.append((caption, event["text"].replace("&", "")))
        elif kind == "error":
            raise AssertionError(f"box reader: {event['message']} (dialog {event['seq']})")
        elif kind == "exit":
            result.exit_code = event["code"]


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
