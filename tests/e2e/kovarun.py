"""The sandbox side of the end-to-end tests: `kova run` in a root of its own,
its message boxes read from the terminal output and answered on standard
input, Windows paths of the root mapped to host paths, the root's registry
read with `kova reg query`, and files held open the way another Windows
process would hold them (open file description locks, as the sandbox's share
modes are made).

The terminal message box prints "[caption]", the text, then either "[OK]"
(one button: nothing is read) or the buttons and "[Default]: " and reads one
line; an empty line takes the default, the end of input cancels. A scripted answer is sent only once
that prompt stands at the end of the output, so an answer can do something
first (such as putting a volume file in place).
"""
import fcntl
import json
import os
import re
import selectors
import struct
import subprocess
import time
from dataclasses import dataclass, field
from pathlib import Path

from kovatest import Box, kova_path

PROMPT = re.compile(r"\[([^\]\n]*)\]: $")
# A whole box in the output: caption line, text, then the one-button mark or
# the button line with the answer echoed (standard input is not a terminal).
# The setup dialogs on the terminal take the same shape, with labels and
# answers that may hold blanks (a folder).
BOX = re.compile(r"^\[([^\]\n]*)\]\n(.*?)\n(?:\[OK\]$|(?:\(\w\) [^\n]*?)\[([^\]\n]*)\]: ?([^\n]*)$)", re.M | re.S)


@dataclass
class SandboxRun:
    exit_code: int
    boxes: list = field(default_factory=list)
    output: str = ""


def parse_boxes(output):
    return [Box(text, caption) for caption, text, _, _ in BOX.findall(output)]


def resolve(base, parts):
    """base joined with parts, each part matched without regard to letter
    case against what exists (as Windows and the sandbox look names up)."""
    path = Path(base)
    for part in parts:
        if not part:
            continue
        exact = path / part
        if not exact.exists() and path.is_dir():
            match = next((p for p in path.iterdir() if p.name.lower() == part.lower()), None)
            if match is not None:
                exact = match
        path = exact
    return path


def windows_parts(windows_path):
    """'C:\\A\\b' -> ('c', ['A', 'b'])."""
    drive, rest = windows_path[0].lower(), windows_path[2:]
    return drive, [p for p in rest.replace("/", "\\").split("\\") if p]


def inspect_code(setup, kova=None):
    """The code `kova inspect --json` gives an installer: 0 when sound, the
    corrupt-archive code otherwise (-1 no archive, -2 version too new)."""
    run = subprocess.run([str(kova or kova_path()), "inspect", "--json", str(setup)],
                         capture_output=True, text=True, timeout=120)
    report = json.loads(run.stdout)
    assert (run.returncode == 0) == report["ok"], run.stdout + run.stderr
    if report["error"]:
        return report["error"]["code"]
    return 0 if report["ok"] else report.get("code", -1)


class Sandbox:
    """One sandbox root and the kova that runs in it."""

    def __init__(self, root, kova=None):
        self.root = Path(root)
        self.kova = str(kova or kova_path())

    def host_path(self, windows_path):
        drive, parts = windows_parts(windows_path)
        return resolve(self.root / f"drive_{drive}", parts)

    def run(self, setup, args=(), answer=None, timeout=120, cwd=None):
        """Runs `kova run` on setup. answer: None (standard input is empty: at
        its end a box with a Cancel button is cancelled, any other takes its
        default) or a callable given the Box of each question, returning the
        line to send ('' for the default)."""
        cmd = [self.kova, "run", "--root", str(self.root), str(setup), *args]
        proc = subprocess.Popen(cmd, stdin=subprocess.PIPE if answer else subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, cwd=cwd)
        output, answered = bytearray(), 0
        selector = selectors.DefaultSelector()
        selector.register(proc.stdout, selectors.EVENT_READ)
        deadline = time.monotonic() + timeout
        try:
            while True:
                if time.monotonic() > deadline:
                    proc.kill()
                    raise TimeoutError(f"kova run {setup} {args} did not end within {timeout} s:\n"
                                       + output.decode("latin-1"))
                if selector.select(0.1):
                    chunk = os.read(proc.stdout.fileno(), 65536)
                    if not chunk:
                        break
                    output += chunk
                    continue
                text = output.decode("latin-1")
                if answer and PROMPT.search(text) and text.count("]: ") > answered:
                    boxes = parse_boxes(text + "\n")
                    line = answer(boxes[-1]) if boxes else ""
                    proc.stdin.write((line + "\n").encode("latin-1"))
                    proc.stdin.flush()
                    answered += 1
            code = proc.wait(timeout=max(1, deadline - time.monotonic()))
        finally:
            selector.close()
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        text = output.decode("latin-1")
        return SandboxRun(code, parse_boxes(text), text)

    def reg_query(self, key):
        """{value name: (type, data)} of key as `kova reg query` shows it
        (the format of Windows' reg query), or None when the key is missing."""
        proc = subprocess.run([self.kova, "reg", "query", "--root", str(self.root), key],
                              capture_output=True, text=True, encoding="latin-1")
        if proc.returncode == 1:
            return None
        assert proc.returncode == 0, proc.stderr
        return parse_reg_query(proc.stdout)

    def reg_set(self, key, name, data, kind="sz"):
        subprocess.run([self.kova, "reg", "set", "--root", str(self.root), key, name, "--type", kind, str(data)],
                       check=True, capture_output=True)

    def pending_renames(self):
        """The moves delayed until restart, in the order and form of the
        registry value PendingFileRenameOperations (the sandbox keeps them one
        path a line in PendingFileRenameOperations.txt of the root)."""
        path = self.root / "PendingFileRenameOperations.txt"
        return path.read_text(encoding="latin-1").splitlines() if path.exists() else []

    def reg_export(self, key=None):
        cmd = [self.kova, "reg", "export", "--root", str(self.root)] + ([key] if key else [])
        return subprocess.run(cmd, check=True, capture_output=True).stdout.decode("latin-1")


VALUE_LINE = re.compile(r"^    (.*?)    (REG_\w+)    ?(.*)$")


def parse_reg_query(text):
    """The values of the first key in reg query output (subkeys ignored)."""
    values, in_first = {}, False
    for line in text.splitlines():
        if line.startswith("HKEY_"):
            if in_first:
                break
            in_first = True
            continue
        m = VALUE_LINE.match(line)
        if m and in_first:
            values[m.group(1)] = (m.group(2), m.group(3))
    return values


# The sandbox's share modes: shared locks on four bytes far past any data
# ("reads", "writes", "denies reading", "denies writing"); see the POSIX
# platform's share_mode.h.
SHARE_LOCK_BASE = 0x7FFFFFFF00000000


class HeldFile:
    """A file opened for reading and writing without sharing, as a Windows
    program holding it would: the sandbox's opens of it fail with a sharing
    violation until close()."""

    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR)
        for byte in range(4):
            lock = struct.pack("hhqqi4x", fcntl.F_RDLCK, os.SEEK_SET, SHARE_LOCK_BASE + byte, 1, 0)
            fcntl.fcntl(self.fd, fcntl.F_OFD_SETLK, lock)

    def close(self):
        if self.fd is not None:
            os.close(self.fd)
            self.fd = None
