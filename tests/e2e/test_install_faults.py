"""Installations that meet a faulty file system, in the sandbox (`kova run
/a`) and under Wine: a drive too small for the files (a 1 MiB tmpfs as
drive C: of the sandbox and as a Wine drive), a read-only target folder (a
tmpfs mounted read-only, in the sandbox and as a Wine drive), a read-only
existing file. Each file is either
installed whole under its name or not there at all; what failed is named by
message 31 (or 25 for a folder) in the error text, which `kova run` prints
on standard error with exit status 3, and the installation goes on with the
next file. (A volume file missing when the installer reaches it is
test_install_volumes.py's.)

The tmpfs mounts need root; without the permission the tests are skipped."""
import os
import random
import shutil
import subprocess
from pathlib import Path

import pytest

from installs import build, prepare_sources
from kovarun import Sandbox
from kovatest import BUILD, kova_path, stub_path

BIG = 512 * 1024
BIG_NAMES = [f"Chunk{i}.bin" for i in range(1, 5)]


def mount_tmpfs(where, size):
    where.mkdir(parents=True, exist_ok=True)
    run = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size}", "tmpfs", str(where)], capture_output=True,
                         text=True)
    if run.returncode != 0:
        pytest.skip(f"cannot mount a tmpfs for the test (needs root): {run.stderr.strip()}")


@pytest.fixture
def mounts():
    made = []

    def mount(where, size, read_only=False):
        mount_tmpfs(where, size)
        made.append(where)
        if read_only:
            subprocess.run(["mount", "-o", "remount,ro", str(where)], check=True)
        return where

    yield mount
    for where in reversed(made):
        subprocess.run(["umount", "-l", str(where)], capture_output=True)


@pytest.fixture(scope="module")
def big_setup(tmp_path_factory):
    """Four files of 512 KiB (random, so they take their whole size)."""
    folder = tmp_path_factory.mktemp("big")
    rng = random.Random(512)
    lines = ['[product]', 'name = "Kova Big"', 'publisher = "Kova Tests"', 'flags = ["always-log"]']
    for name in BIG_NAMES:
        (folder / name).write_bytes(rng.randbytes(BIG))
        lines += ["", "[[file]]", f'source = "{name}"', f'name = "{name}"', "stamp = 2024-05-01T12:00:00"]
    (folder / "big.toml").write_text("\n".join(lines) + "\n")
    out = folder / "setup.exe"
    subprocess.run([str(kova_path()), "build", str(folder / "big.toml"), "-o", str(out), "--stub", str(stub_path()),
                    "-q"], check=True)
    return folder


def whole_or_absent(folder, sources):
    """{name: True (whole) or False (absent)}; a file that is there but not
    whole fails."""
    state = {}
    for name in BIG_NAMES:
        path = Path(folder) / name
        if path.exists():
            assert path.read_bytes() == (sources / name).read_bytes(), f"{name} is there but not whole"
        state[name] = path.exists()
    return state


def error_lines(output):
    marker = "kova run: the installation ended with errors:\n"
    assert marker in output, output
    return [line for line in output.split(marker, 1)[1].splitlines() if line]


def test_sandbox_drive_too_small(big_setup, tmp_path, mounts):
    root = tmp_path / "root"
    mounts(root / "drive_c", "1M")
    run = Sandbox(root).run(big_setup / "setup.exe", ["/a", "/d:C:\\FAULTS"])
    assert run.exit_code == 3, run.output
    state = whole_or_absent(root / "drive_c" / "FAULTS", big_setup)
    assert 1 <= sum(state.values()) < len(BIG_NAMES), state
    failed = [f"Could not install: C:\\FAULTS\\{name}" for name, there in state.items() if not there]
    assert error_lines(run.output) == failed, run.output
    # The log could not be written either; no empty one is left.
    assert not (root / "drive_c" / "FAULTS" / "Install.LOG").exists()


def test_sandbox_read_only_target_folder(big_setup, tmp_path, mounts):
    root = tmp_path / "root"
    mounts(root / "drive_c" / "RO", "1M", read_only=True)
    run = Sandbox(root).run(big_setup / "setup.exe", ["/a", "/d:C:\\RO\\App"])
    assert run.exit_code == 3, run.output
    # In automatic mode the folder is made without a check of its own; each
    # file that cannot be written then says so.
    assert error_lines(run.output) == [f"Could not install: C:\\RO\\App\\{name}" for name in BIG_NAMES], run.output
    assert list((root / "drive_c" / "RO").iterdir()) == []


@pytest.fixture(scope="module")
def three(tmp_path_factory):
    sources = prepare_sources(tmp_path_factory.mktemp("fault-sources") / "fixtures")
    out = tmp_path_factory.mktemp("fault-built")
    return {"plain": build(sources, "three-files.toml", out / "plain"),
            "clear": build(sources, "three-files.toml", out / "clear", ("clear-read-only",))}


@pytest.mark.parametrize("variant, status, kept", [("plain", 3, True), ("clear", 0, False)])
def test_sandbox_read_only_existing_file(three, tmp_path, variant, status, kept):
    sandbox = Sandbox(tmp_path / "root")
    old = sandbox.root / "drive_c" / "FAULTS" / "First.txt"
    old.parent.mkdir(parents=True)
    old.write_bytes(b"old")
    old.chmod(0o444)
    run = sandbox.run(three[variant], ["/a", "/d:C:\\FAULTS"])
    assert run.exit_code == status, run.output
    assert (old.read_bytes() == b"old") == kept
    assert (sandbox.root / "drive_c" / "FAULTS" / "Third.txt").exists()
    if kept:
        assert error_lines(run.output) == ["Could not install: C:\\FAULTS\\First.txt"]
        log = (sandbox.root / "drive_c" / "FAULTS" / "Install.LOG").read_bytes()
        assert log.endswith(b"Could not install: C:\\FAULTS\\First.txt\r\nThe installation finished with problems.\r\n\r\n")
    else:
        assert "ended with errors" not in run.output


@pytest.fixture
def wine_drive_k(wine):
    """Maps Wine's drive K: to a folder for the test (a dosdevices link)."""
    link = wine.prefix / "dosdevices" / "k:"

    def map_to(where):
        if link.is_symlink() or link.exists():
            link.unlink()
        os.symlink(where, link)

    yield map_to
    if link.is_symlink():
        link.unlink()


def test_wine_drive_too_small(wine, big_setup, mounts, wine_drive_k):
    """The same installer onto a 1 MiB Wine drive."""
    where = mounts(BUILD / "e2e" / "tmpfs-k", "1M")
    wine_drive_k(where)
    run = wine.run(big_setup / "setup.exe", ["/a", "/d:K:\\FAULTS"])
    assert run.exit_code == 1 and run.boxes == [], run.log
    state = whole_or_absent(where / "FAULTS", big_setup)
    assert 1 <= sum(state.values()) < len(BIG_NAMES), state
    assert not (where / "FAULTS" / "Install.LOG").exists()


def test_wine_read_only_drive(wine, big_setup, mounts, wine_drive_k):
    where = mounts(BUILD / "e2e" / "tmpfs-k-ro", "1M", read_only=True)
    wine_drive_k(where)
    run = wine.run(big_setup / "setup.exe", ["/a", "/d:K:\\App"])
    assert run.exit_code == 1 and run.boxes == [], run.log
    assert list(where.iterdir()) == []
