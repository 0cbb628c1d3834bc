"""The same installers installed in automatic mode under wine64 and with
`kova run` give the same result: the files with their contents and stamps
below the installation directory, the shared folder, the Fonts folder and
the system directory; the Install.LOG section (but its date line) with its
log and error lines; the SharedDLLs counts; the replacements waiting for a
restart. Each result is also checked against what the records and the
replacement rules call for, so that a fault both platforms share shows too.

Wine gets a prefix of its own for this module (system files, fonts and
registry counts would leak into other tests); between scenarios everything
an installation leaves there is removed. The sandbox gets a fresh root for
each scenario. Existing files are put in place on both sides with the same
contents and stamps before the installation.
"""
import getpass
import os
import re
import shutil
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

import pytest

from installs import (NEWER, OLDER, SESSION_MANAGER, SHARED_DLLS, STAMP, UNINSTALL, WineHost, build, epoch,
                      prepare_sources, records)
from kovarun import HeldFile, Sandbox
from kovatest import WINE, Wine, windows_helper
from version_dll import dll_with_version

PRODUCTS = ("Kova Compare", "Kova Volumes", "Kova Long", "Kova Quiet")
SHARED_NAME = "Kova Compare Shared"

# Where each platform's folders are; the results name them by the tokens.
# The shell folders only name the shortcuts that Uninstall.DAT lists.
WINE_USER = f"C:\\users\\{getpass.getuser()}"
WINE_FOLDERS = {"<SYSTEM>": "C:\\windows\\system32", "<FONTS>": "C:\\windows\\Fonts",
                "<COMMON>": "C:\\Program Files\\Common Files", "<DESKTOP>": WINE_USER + "\\Desktop",
                "<PROGRAMS>": WINE_USER + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"}
SANDBOX_FOLDERS = {"<SYSTEM>": "C:\\WINDOWS\\SYSTEM", "<FONTS>": "C:\\WINDOWS\\Fonts",
                   "<COMMON>": "C:\\Program Files\\Common Files", "<DESKTOP>": "C:\\WINDOWS\\Desktop",
                   "<PROGRAMS>": "C:\\WINDOWS\\Start Menu\\Programs"}
# Only the fixture's own files are looked at in the shared system folders.
OWN_FILE = re.compile(r"kovae2e", re.I)

# Existing targets put in place before the scenarios that have them:
# (token, name) -> (stamp, version resource or None).
EXISTING = {
    ("<INSTALL>", "App.txt"): (OLDER, None),
    ("<INSTALL>", "Update Present.txt"): (OLDER, None),
    ("<INSTALL>", "Keep Present.txt"): (OLDER, None),
    ("<INSTALL>", "Overwrite.txt"): (NEWER, None),
    ("<SHARED>", "Shared Older.dll"): (OLDER, None),
    ("<SHARED>", "Shared Newer.dll"): (NEWER, None),
    ("<SHARED>", "Shared Equal.dll"): (STAMP, None),
    ("<SHARED>", "Shared NoStamp.dll"): (NEWER, None),
    ("<FONTS>", "KovaE2E Older.ttf"): (OLDER, None),
    ("<FONTS>", "KovaE2E Newer.ttf"): (NEWER, None),
    ("<SYSTEM>", "kovae2e_vup.dll"): (OLDER, "1.0.0.0"),
    ("<SYSTEM>", "kovae2e_vsame.dll"): (OLDER, "2.0.0.0"),
    ("<SYSTEM>", "kovae2e_vnewer.dll"): (NEWER, "2.0.0.0"),
    ("<SYSTEM>", "kovae2e_nover.dll"): (OLDER, None),
    ("<SYSTEM>", "kovae2e_zero.dll"): (OLDER, None),
    ("<SYSTEM>", "kovae2e_equal.dll"): (STAMP, None),
    ("<SYSTEM>", "kovae2e_vplain.dll"): (OLDER, None),
}
# Existing copies the rules keep.
KEPT = {("<INSTALL>", "Keep Present.txt"), ("<SHARED>", "Shared Newer.dll"), ("<SHARED>", "Shared Equal.dll"),
        ("<FONTS>", "KovaE2E Newer.ttf"), ("<SYSTEM>", "kovae2e_vsame.dll"), ("<SYSTEM>", "kovae2e_vnewer.dll"),
        ("<SYSTEM>", "kovae2e_zero.dll"), ("<SYSTEM>", "kovae2e_equal.dll")}
# A count in SharedDLLs from an earlier product: raised by one.
EXISTING_COUNTS = {"<SHARED>\\Shared Equal.dll": 2}
# The log lines the replacement rules write about existing targets.
EXISTING_LOG = [
    "<SHARED>\\Shared Older.dll is out of date and will be replaced.",
    "<SHARED>\\Shared Newer.dll is up to date.",
    "<SHARED>\\Shared Equal.dll is up to date.",
    "<SHARED>\\Shared NoStamp.dll is out of date and will be replaced.",
    "<FONTS>\\KovaE2E Older.ttf is out of date and will be replaced.",
    "<FONTS>\\KovaE2E Newer.ttf is up to date.",
    "<SYSTEM>\\kovae2e_vup.dll is out of date and will be replaced.",
    "<SYSTEM>\\kovae2e_vsame.dll was not installed because its version is not newer.",
    "<SYSTEM>\\kovae2e_vnewer.dll was not installed because its date is not newer.",
    "<SYSTEM>\\kovae2e_nover.dll is out of date and will be replaced.",
    "<SYSTEM>\\kovae2e_zero.dll was not installed because its date is not newer.",
    "<SYSTEM>\\kovae2e_equal.dll was not installed because its date is not newer.",
    "<SYSTEM>\\kovae2e_vplain.dll is out of date and will be replaced.",
]
# Held open by another process during the in-use installation.
HELD = [("<SHARED>", "Shared Older.dll"), ("<INSTALL>", "App.txt")]



@dataclass
class Scenario:
    id: str              # also the installation folder below C:\KOVAE2E
    manifest: str
    flags: tuple = ()    # added to the manifest's product flags
    existing: bool = False  # EXISTING put in place first
    held: bool = False   # HELD open during the installation
    runs: int = 1        # installations one after the other


SCENARIOS = [
    Scenario("FRESH", "all-types.toml"),
    Scenario("EXISTING", "all-types.toml", existing=True),
    Scenario("EXISTCMP", "all-types.toml", ("compressed-data", "verify-files"), existing=True),
    Scenario("INUSE", "all-types.toml", existing=True, held=True),
    Scenario("TWICE", "all-types.toml", runs=2),
    Scenario("VOLUMES", "volumes.toml"),
    Scenario("VOLCMP", "volumes.toml", ("compressed-data",)),
    Scenario("QUIET", "no-log.toml"),
    Scenario("LONGPATH", "long-path.toml"),
]
PRODUCT_OF = {"all-types.toml": ("Kova Compare", "2.5"), "volumes.toml": ("Kova Volumes", ""),
              "long-path.toml": ("Kova Long", ""), "no-log.toml": ("Kova Quiet", "")}
# The error lines each installation ends with (before message 43).
ERRORS = {
    "all-types.toml": ["Could not install: <SHARED>\\Sub\\Shared Sub.dll"],
    "long-path.toml": ["Could not install: <INSTALL>\\Sub\\L" + "o" * 239 + "ng.txt"],
}


def install_dir(scenario):
    return f"C:\\KOVAE2E\\{scenario}"


class Side:
    """One platform's view of an installation: Windows folders by token,
    host paths, and the normalisation of texts that name them."""

    def __init__(self, scenario, folders, host_path):
        self.folders = dict(folders)
        self.folders["<SHARED>"] = self.folders["<COMMON>"] + "\\" + SHARED_NAME
        self.folders["<INSTALL>"] = install_dir(scenario)
        self.host_path = host_path

    def windows(self, name):
        """The Windows path of a name that starts with a token."""
        token, _, rest = name.partition("\\")
        return self.folders[token] + "\\" + rest

    def target(self, token, name):
        return self.host_path(self.folders[token] + "\\" + name)

    def normalise(self, text):
        """Folder names become their tokens (longest first, without regard to
        case, as Windows compares paths); temporary names lose their number."""
        for token, folder in sorted(self.folders.items(), key=lambda item: -len(item[1])):
            text = re.sub(re.escape(folder) + r"(?=\\|$|[\s\"'])", token, text, flags=re.I)
        return re.sub(r"KVT[0-9A-F]{1,4}\.TMP", "KVT#.TMP", text, flags=re.I)

    def files(self, start):
        """{token\\relative path: (contents, stamp)} of the installation
        folder and the shared folder, and of the fixture's own files in the
        Fonts folder and the system directory; folders as "<dir>". A stamp of
        the run's own time (a record without a stamp) reads "now"."""
        found = {}
        for token in ("<INSTALL>", "<SHARED>", "<FONTS>", "<SYSTEM>"):
            root = self.host_path(self.folders[token])
            if not root.is_dir():
                continue
            whole = token in ("<INSTALL>", "<SHARED>")
            for path in sorted(root.rglob("*") if whole else root.iterdir()):
                rel = str(path.relative_to(root)).replace("/", "\\")
                if not whole and not OWN_FILE.match(rel):
                    continue
                key = self.normalise(token + "\\" + rel)
                if path.is_dir():
                    found[key] = "<dir>"
                elif path.suffix.lower() == ".lnk":
                    # Made by the shell's link object under Wine and written
                    # by the sandbox: the same fields, other bytes (lnkinfo
                    # compares them in test_shortcuts.py).
                    found[key] = "<link>"
                elif path.name.lower() == "uninstall.dat":
                    found[key] = self.normalise(path.read_bytes().decode("latin-1"))
                elif path.name.lower() != "install.log":
                    mtime = int(path.stat().st_mtime)
                    found[key] = (summary(path.read_bytes()), "now" if mtime >= start else time_text(mtime))
        return found


def summary(data):
    return data if len(data) <= 200 else f"{len(data)} bytes, starting {data[:16]!r}"


def time_text(mtime):
    return time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(mtime))


def stamp_text(stamp):
    return time_text(epoch(stamp))


def existing_contents(name, version):
    return dll_with_version(version) if version else f"existing copy of {name}\r\n".encode()


def put_existing(side):
    for (token, name), (stamp, version) in EXISTING.items():
        path = side.target(token, name)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(existing_contents(name, version))
        os.utime(path, (epoch(stamp),) * 2)


def expected_files(sources, manifest, scenario, existing, held):
    """What the records and the replacement rules leave at each record's
    target: (contents, stamp), or None for nothing. Folder names are matched
    without regard to case: keys are lower case."""
    folders = {0: "<INSTALL>", 5: "<INSTALL>", 1: "<SHARED>", 4: "<FONTS>", 6: "<SYSTEM>"}
    out = {}
    for record in records(sources, manifest):
        key = (folders[record["type"]], record["name"])
        target = ("<INSTALL>\\Uninstall\\" if "uninstall-dir" in record["flags"] else key[0] + "\\") + record["name"]
        new = (summary(record["content"]), stamp_text(record["stamp"]) if record["stamp"] else "now")
        old = None
        if existing and key in EXISTING:
            stamp, version = EXISTING[key]
            old = (summary(existing_contents(record["name"], version)), stamp_text(stamp))
        if record["existing"] == "never" or (record["existing"] == "only-if-exists" and not old):
            value = old
        elif old and (key in KEPT or record["existing"] == "only-if-missing" or (held and key in HELD)):
            value = old
        elif record["type"] not in (0, 5) and "\\" in record["name"] and "uninstall-dir" not in record["flags"]:
            value = None  # only installation-directory files get their folder made: the write fails
        elif len(install_dir(scenario) + target[len("<INSTALL>"):]) >= 260:
            value = None  # a path Windows refuses
        else:
            value = new
        out[target.lower()] = value
    return out


@pytest.fixture(scope="module")
def sources(tmp_path_factory):
    return prepare_sources(tmp_path_factory.mktemp("install-sources") / "fixtures")


@pytest.fixture(scope="module")
def own_wine(display, tmp_path_factory):
    """wine64 in a fresh prefix of this module's own."""
    w = Wine(display, prefix=tmp_path_factory.mktemp("install-wine") / "prefix").start()
    yield w
    w.stop()


def clean_wine(host, side):
    """Removes what any scenario's installation left in the prefix."""
    for token in ("<INSTALL>", "<SHARED>"):
        shutil.rmtree(side.host_path(side.folders[token]), ignore_errors=True)
    for token in ("<FONTS>", "<SYSTEM>"):
        folder = side.host_path(side.folders[token])
        for path in folder.iterdir() if folder.is_dir() else ():
            if OWN_FILE.match(path.name):
                path.unlink()
    host.reg("delete", SHARED_DLLS, "/f")
    host.reg("delete", SESSION_MANAGER, "/v", "PendingFileRenameOperations", "/f")
    for product in PRODUCTS:
        host.reg("delete", f"{UNINSTALL}\\{product}", "/f")


class HeldByWine:
    """Files held open by a Windows process under Wine."""

    def __init__(self, wine, paths, work):
        self.release = Path(work) / "release"
        self.log = Path(work) / "holdfile.log"
        args = [wine.windows_path(self.release)] + [str(p) for p in paths]
        with open(self.log, "w") as log:
            self.proc = subprocess.Popen([WINE, str(windows_helper("holdfile")), *args], env=wine.env,
                                         stdout=log, stderr=log)
        deadline = time.monotonic() + 30
        while "held" not in self.log.read_text(errors="replace"):
            assert self.proc.poll() is None and time.monotonic() < deadline, self.log.read_text(errors="replace")
            time.sleep(0.1)

    def close(self):
        self.release.touch()
        self.proc.wait(timeout=30)


@dataclass
class Result:
    """What one platform's installation left, named by tokens."""
    files: dict
    log: str       # the Install.LOG text, its date line blanked; None when missing
    counts: dict   # SharedDLLs: value name -> data as reg query shows it
    renames: list  # PendingFileRenameOperations, one path an item


def read_log(side):
    path = side.target("<INSTALL>", "Uninstall\\Install.LOG")
    if not path.exists():
        return None
    text = side.normalise(path.read_bytes().decode("latin-1"))
    # d-M-yy h:ii:ssap, as 5-Dec-2026 6:02:33a
    assert re.search(r"^Install date: \d{1,2}-[A-Z][a-z]{2}-\d{4} \d{1,2}:\d\d:\d\d[ap]\r$", text, re.M), text
    return re.sub(r"^Install date: [^\r\n]*", "Install date: <date>", text, flags=re.M)


def install_on_wine(wine, tmp_path, setup, scenario):
    host = WineHost(wine, tmp_path / "wine-logs")
    side = Side(scenario.id, WINE_FOLDERS, host.host_path)
    clean_wine(host, side)
    if scenario.existing:
        put_existing(side)
        for name, count in EXISTING_COUNTS.items():
            host.reg("add", SHARED_DLLS, "/v", side.windows(name), "/t", "REG_DWORD", "/d", str(count), "/f")
    start = int(time.time()) - 1
    holder = HeldByWine(wine, [side.windows(f"{t}\\{n}") for t, n in HELD], tmp_path) if scenario.held else None
    try:
        for _ in range(scenario.runs):
            run = wine.run(setup, ["/a", f"/d:{install_dir(scenario.id)}"], timeout=120)
            # Automatic mode: no box; the stub always ends with exit code 1.
            assert run.exit_code == 1 and run.boxes == [], run.log
    finally:
        if holder:
            holder.close()
    counts = {side.normalise(name): data for name, (_, data) in (host.reg_query(SHARED_DLLS) or {}).items()}
    renames = (host.reg_query(SESSION_MANAGER) or {}).get("PendingFileRenameOperations")
    renames = side.normalise(renames[1]).split("\\0") if renames else []
    return Result(side.files(start), read_log(side), counts, renames)


def install_in_sandbox(tmp_path, setup, scenario):
    sandbox = Sandbox(tmp_path / "root")
    side = Side(scenario.id, SANDBOX_FOLDERS, sandbox.host_path)
    if scenario.existing:
        put_existing(side)
        for name, count in EXISTING_COUNTS.items():
            sandbox.reg_set(SHARED_DLLS, side.windows(name), count, kind="dword")
    start = int(time.time()) - 1
    holders = [HeldFile(side.target(t, n)) for t, n in HELD] if scenario.held else []
    # kova run ends with status 3 when the installation had errors.
    status = 3 if scenario.held or ERRORS.get(scenario.manifest) else 0
    try:
        for _ in range(scenario.runs):
            run = sandbox.run(setup, ["/a", f"/d:{install_dir(scenario.id)}"])
            assert run.exit_code == status and run.boxes == [], run.output
    finally:
        for h in holders:
            h.close()
    counts = {side.normalise(name): data for name, (_, data) in (sandbox.reg_query(SHARED_DLLS) or {}).items()}
    renames = [side.normalise(line) for line in sandbox.pending_renames()]
    return Result(side.files(start), read_log(side), counts, renames)


def log_header(product, version):
    lines = ["", f"Installation log for: {product}", "Install date: <date>", "Install type: New",
             "Install location: <INSTALL>", "Installer version: 8.2"]
    return lines + ([f"Product version: {version}"] if version else []) + [""]


@pytest.mark.parametrize("scenario", SCENARIOS, ids=[s.id for s in SCENARIOS])
def test_wine_and_sandbox_install_the_same(own_wine, sources, tmp_path, scenario):
    manifest = scenario.manifest
    setup = build(sources, manifest, tmp_path / "out", scenario.flags)
    if manifest == "volumes.toml":
        assert sorted(p.name for p in setup.parent.glob("*.KVA")) == ["KOVAVOL2.KVA", "KOVAVOL3.KVA"]
    wine = install_on_wine(own_wine, tmp_path, setup, scenario)
    sandbox = install_in_sandbox(tmp_path, setup, scenario)

    # The two platforms agree...
    assert wine.files == sandbox.files
    assert wine.log == sandbox.log
    assert wine.counts == sandbox.counts
    assert wine.renames == sandbox.renames

    # ... and do what the records and the rules call for.
    expected = expected_files(sources, manifest, scenario.id, scenario.existing, scenario.held)
    files = {k.lower(): v for k, v in sandbox.files.items()}
    assert {k: files.get(k) for k in expected} == expected
    assert {k for k in files if not k.startswith("<install>")} - set(expected) == set()

    # Each installation appends a section to the log, unless it has neither
    # "always-log", nor log lines, nor errors.
    if manifest == "no-log.toml":
        assert sandbox.log is None
    else:
        assert sandbox.log is not None
        assert sandbox.log.count("\r\nInstallation log for: ") == scenario.runs
        lines = sandbox.log.split("\r\n")
        header = log_header(*PRODUCT_OF[manifest])
        assert lines[:len(header)] == header
        if scenario.existing:
            assert [line for line in lines if line in EXISTING_LOG] == EXISTING_LOG
        # A file held open is tried three times.
        errors = (["Could not install: <INSTALL>\\App.txt"] if scenario.held else []) + ERRORS.get(manifest, [])
        assert [line for line in lines if line.startswith("Could not install:")] == errors * scenario.runs
        if errors:
            assert sandbox.log.endswith("\r\nThe installation finished with problems.\r\n\r\n")

    if manifest == "all-types.toml":
        # Every shared and system record is counted, written or not, once
        # per product: a second installation is a reinstallation (the first
        # registered itself), which takes back the counts of the first
        # before counting again.
        counted = {f"{ {1: '<SHARED>', 6: '<SYSTEM>'}[r['type']]}\\{r['name']}": hex(1)
                   for r in records(sources, manifest) if r["type"] in (1, 6)}
        if scenario.existing:
            counted.update({name: hex(count + 1) for name, count in EXISTING_COUNTS.items()})
        assert sandbox.counts == counted
    else:
        assert sandbox.counts == {}
    if scenario.held:
        # The held shared file is replaced at the next restart from a
        # temporary file in the installation directory.
        assert files.get("<install>\\kvt#.tmp") == \
            expected_files(sources, manifest, scenario.id, scenario.existing, False)["<shared>\\shared older.dll"]
        assert sandbox.renames == ["\\??\\<INSTALL>\\KVT#.TMP", "!\\??\\<SHARED>\\Shared Older.dll"]
    else:
        assert sandbox.renames == []
