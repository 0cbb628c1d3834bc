"""The fixture with every file type and flag installed and uninstalled with
kova run and kova uninstall, and under wine64: what stays is exactly what
the rules keep, the same on both, and the Uninstall key and Uninstall.DAT
the installation wrote agree between them (the shell's folders, the date
and the installer's own path aside)."""
import json
import re
import shutil
import subprocess
import time

import pytest

from installs import WineHost, build, prepare_sources
from kovarun import Sandbox
from kovatest import BUILD, Wine, kova_path

FOLDER = "C:\\KOVAE2E\\MATRIX"
PRODUCT = "Kova Compare"
KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + PRODUCT
# What the rules keep: a permanent file, a permanent shared file, the
# system files (never deleted, only counted down), and a shared file put in
# the uninstall folder (counted under its shared-folder name: its count
# goes, the file is never found again).
KEPT = {"<INSTALL>\\Permanent.txt", "<INSTALL>\\Uninstall\\Shared Beside.dll",
        "<SHARED>\\Shared Permanent.dll"}
SYSTEM_FILE = re.compile(r"^<SYSTEM>\\kovae2e_\w+\.dll$")


def snapshot(root, out):
    run = subprocess.run([str(kova_path("native-release")), "snapshot", "--root", str(root), "-o", str(out)],
                         capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stderr
    return json.loads(out.read_text())


def remaining(before, after, folders):
    """The files added between the snapshots, named by folder token."""
    found = set()
    for path, entry in after["files"].items():
        if entry["kind"] != "file" or path in before["files"]:
            continue
        for token, folder in sorted(folders.items(), key=lambda item: -len(item[1])):
            if path.lower().startswith(folder.lower() + "\\"):
                found.add(token + path[len(folder):])
                break
    return found


def registration(snap, folders):
    key = next(k for k in snap["registry"] if k.lower().endswith("\\uninstall\\" + PRODUCT.lower()))
    values = dict(snap["registry"][key])
    for name in ("InstallDate", "InstallSource"):
        values.pop(name, None)
    # The values are in their REGEDIT4 form, backslashes doubled.
    for name, data in values.items():
        for token, folder in sorted(folders.items(), key=lambda item: -len(item[1])):
            data = re.sub(re.escape(folder.replace("\\", "\\\\")), token, data, flags=re.I)
        values[name] = data
    return values


def data_file(path, folders):
    """Uninstall.DAT with the platform's folders named by their tokens."""
    text = path.read_bytes().decode("latin-1")
    for token, folder in sorted(folders.items(), key=lambda item: -len(item[1])):
        text = re.sub(re.escape(folder), token, text, flags=re.I)
    return text


@pytest.fixture(scope="module")
def own_wine(display, tmp_path_factory):
    """wine64 in a fresh prefix of this module's own: the fixture's fonts,
    system files and counts must not meet those of other tests."""
    w = Wine(display, prefix=tmp_path_factory.mktemp("matrix-wine") / "prefix").start()
    yield w
    w.stop()


@pytest.fixture(scope="module")
def setup(tmp_path_factory):
    sources = prepare_sources(tmp_path_factory.mktemp("matrix-sources") / "fixtures")
    return build(sources, "all-types.toml", tmp_path_factory.mktemp("matrix-built"))


def test_uninstall_keeps_only_what_the_rules_keep_on_both(setup, own_wine, tmp_path):
    wine = own_wine
    # The sandbox.
    root = tmp_path / "root"
    subprocess.run([str(kova_path()), "uninstall", "--root", str(root), "Nothing"], capture_output=True)
    sandbox = Sandbox(root)
    sandbox_folders = {"<INSTALL>": FOLDER, "<SHARED>": "C:\\Program Files\\Common Files\\Kova Compare Shared",
                       "<SYSTEM>": "C:\\WINDOWS\\SYSTEM", "<DESKTOP>": "C:\\WINDOWS\\Desktop",
                       "<PROGRAMS>": "C:\\WINDOWS\\Start Menu\\Programs"}
    before = snapshot(root, tmp_path / "sandbox-before.json")
    run = sandbox.run(setup, ["/a", f"/d:{FOLDER}"])
    installed = snapshot(root, tmp_path / "sandbox-installed.json")
    sandbox_registration = registration(installed, sandbox_folders)
    sandbox_data = data_file(sandbox.host_path(f"{FOLDER}\\Uninstall\\Uninstall.DAT"), sandbox_folders)
    uninstall = subprocess.run([str(kova_path()), "uninstall", "--root", str(root), PRODUCT, "/a"],
                               capture_output=True, text=True, timeout=300)
    assert uninstall.returncode == 0, uninstall.stderr
    after = snapshot(root, tmp_path / "sandbox-after.json")
    assert not any(k.lower().endswith("\\uninstall\\" + PRODUCT.lower()) for k in after["registry"])
    left = remaining(before, after, sandbox_folders)
    assert {p for p in left if not SYSTEM_FILE.match(p)} == KEPT, run.output
    shared = after["registry"].get("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", {})
    # Every count of the product went back to nothing.
    assert [name for name in shared if "kova compare" in name.lower() or "kovae2e" in name.lower()] == []

    # Wine.
    host = WineHost(wine, BUILD / "e2e" / "logs")
    shutil.rmtree(host.host_path(FOLDER), ignore_errors=True)
    users = f"C:\\users\\{__import__('getpass').getuser()}"
    wine_folders = {"<INSTALL>": FOLDER, "<SHARED>": "C:\\Program Files\\Common Files\\Kova Compare Shared",
                    "<SYSTEM>": "C:\\windows\\system32", "<DESKTOP>": users + "\\Desktop",
                    "<PROGRAMS>": users + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"}
    wine.start()
    wine_before = snapshot(wine.prefix, tmp_path / "wine-before.json")
    wine.run(setup, ["/a", f"/d:{FOLDER}"])
    wine.start()
    wine_installed = snapshot(wine.prefix, tmp_path / "wine-installed.json")
    assert registration(wine_installed, wine_folders) == sandbox_registration
    assert data_file(host.host_path(f"{FOLDER}\\Uninstall\\Uninstall.DAT"), wine_folders) == sandbox_data
    program = host.host_path(f"{FOLDER}\\Uninstall\\Uninst.exe")
    if not program.exists():
        program = next(host.host_path(FOLDER).glob("**/*.exe"))
    wine.run(program, command_line=f'"{wine.windows_path(program)}" /a /u:"{PRODUCT}"')
    deadline = time.monotonic() + 60
    while program.exists() and time.monotonic() < deadline:
        time.sleep(0.5)
    wine.start()
    wine_after = snapshot(wine.prefix, tmp_path / "wine-after.json")
    assert {p for p in remaining(wine_before, wine_after, wine_folders) if not SYSTEM_FILE.match(p)} == KEPT
