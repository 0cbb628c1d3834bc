"""What the installation tests share: the fixture manifests of
tests/fixtures/install built into installers, their records read back from
the manifest, stamps as the installer sets them (local time), and the
Windows side of an installation under Wine (host paths of the prefix's
drives, reg query and reg add with their output in files).
"""
import random
import shutil
import subprocess
import time
import tomllib
from pathlib import Path

from kovarun import parse_reg_query, resolve, windows_parts
from kovatest import ROOT, WINE, kova_path, stub_path

FIXTURES = ROOT / "tests/fixtures/install"
HELLO = ROOT / "examples/hello"
# examples/hello's files (all in the installation folder) and their sources.
HELLO_FILES = {f["name"]: HELLO / f["source"] for f in tomllib.loads((HELLO / "kova.toml").read_text())["file"]}
WINE_FONT = Path("/usr/share/wine/fonts/marlett.ttf")

STAMP = (2024, 5, 1, 12, 0, 0)   # the stamp of most records
OLDER = (2023, 1, 1, 8, 0, 0)
NEWER = (2025, 1, 1, 8, 0, 0)

SHARED_DLLS = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"
SESSION_MANAGER = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager"
UNINSTALL = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"

TYPES = {"install-dir": 0, "shared": 1, "font": 4, "startup": 5, "system": 6}


def epoch(stamp):
    """A stamp (local time) as the file time the installer gives a file."""
    return int(time.mktime(tuple(stamp) + (0, 0, -1)))


def prepare_sources(directory):
    """A copy of the fixture folder with generated/ filled: a real TrueType
    font and the random data of the volume fixture."""
    directory = Path(directory)
    shutil.copytree(FIXTURES, directory)
    generated = directory / "generated"
    generated.mkdir()
    shutil.copyfile(WINE_FONT, generated / "font.ttf")
    rng = random.Random(20240501)
    for name, size in (("a", 100000), ("b", 200000), ("c", 200000)):
        (generated / f"vol-{name}.bin").write_bytes(rng.randbytes(size))
    return directory


def build(sources, manifest, out_dir, extra_flags=()):
    """Builds sources/manifest with the win64 stub into out_dir/setup.exe;
    extra_flags are added to the manifest's (one-line) product flags."""
    path = Path(sources) / manifest
    if extra_flags:
        text = path.read_text()
        assert text.count("flags = [") >= 1
        added = "".join(f'"{flag}", ' for flag in extra_flags)
        path = path.with_name(f"{path.stem}-{'-'.join(extra_flags)}.toml")
        path.write_text(text.replace("flags = [", "flags = [" + added, 1))
    out_dir = Path(out_dir)
    out_dir.mkdir(parents=True, exist_ok=True)
    setup = out_dir / "setup.exe"
    subprocess.run([str(kova_path()), "build", str(path), "-o", str(setup), "--stub", str(stub_path()), "-q"],
                   check=True)
    return setup


def build_hello(setup):
    """examples/hello built with the win64 stub (so that it runs under wine64)
    into the file setup."""
    subprocess.run([str(kova_path()), "build", str(HELLO / "kova.toml"), "-o", str(setup), "--stub",
                    str(stub_path()), "-q"], check=True)
    return setup


def hello_installed(host_path, folder):
    """The files of examples/hello found in folder, each checked against its
    source."""
    found = []
    for name, source in HELLO_FILES.items():
        path = host_path(f"{folder}\\{name}")
        if path.exists():
            assert path.read_bytes() == source.read_bytes(), name
            found.append(name)
    return found


def records(sources, manifest):
    """The manifest's files: name, type number, flag names, existing mode,
    contents and stamp (None for "none")."""
    data = tomllib.loads((Path(sources) / manifest).read_text())
    out = []
    for f in data.get("file", []):
        stamp = f.get("stamp")
        out.append({
            "name": f.get("name", Path(f["source"]).name),
            "type": TYPES[f.get("type", "install-dir")],
            "flags": f.get("flags", []),
            "existing": f.get("existing", "replace"),
            "content": (Path(sources) / f["source"]).read_bytes(),
            "stamp": None if stamp == "none" else (stamp.year, stamp.month, stamp.day, stamp.hour, stamp.minute,
                                                   stamp.second),
        })
    return out


def run_logged(cmd, log_path, env=None, timeout=120):
    """Runs cmd with its output in a file (never a pipe: a wineserver started
    by it would inherit the pipe). Returns the exit code and the output."""
    with open(log_path, "w") as log:
        code = subprocess.run(cmd, env=env, stdout=log, stderr=subprocess.STDOUT, timeout=timeout).returncode
    return code, Path(log_path).read_text(errors="replace")


class WineHost:
    """Host paths and registry of one Wine prefix."""

    def __init__(self, wine, log_dir):
        self.wine = wine
        self.log_dir = Path(log_dir)
        self.log_dir.mkdir(parents=True, exist_ok=True)

    def host_path(self, windows_path):
        drive, parts = windows_parts(windows_path)
        base = Path("/") if drive == "z" else self.wine.prefix / f"drive_{drive}"
        return resolve(base, parts)

    def reg(self, *args):
        return run_logged([WINE, "reg", *args], self.log_dir / "reg.log", env=self.wine.env)

    def reg_query(self, key):
        code, out = self.reg("query", key)
        return parse_reg_query(out) if code == 0 else None
