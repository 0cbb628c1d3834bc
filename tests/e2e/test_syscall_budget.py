"""The system calls `kova run` makes for each installed file, counted with
strace -c over two installers that differ only in the number of files in
one folder (100 and 400 new files of 64 bytes with stamps): the difference,
per file, must stay within the budget below. A folder is listed once per
run, not once per new name, so the listings do not grow with the files at
all; the rest is what writing one file takes:

  newfstatat  1   one stat of a remembered folder: the file's folder, for
                  the open (the loop made that folder for the file before,
                  so it does not check it again; the new name is known
                  missing from the folder's listing, so not looked up)
  openat      1   the file, created
  close       1
  fcntl       2   the share mode: one range of lock bytes taken, then the
                  conflicting range asked about (no flock)
  write       1   the data (one call below 1 MiB); the progress lines go to
                  standard error, which is not a terminal here, in blocks
  utimensat   1   the stamp, through the handle that wrote the file

Counts, not times: the figures do not depend on the machine's speed.
"""
import shutil
import subprocess
from pathlib import Path

import pytest

from kovatest import kova_path, stub_path

BUDGET = {"newfstatat": 1, "openat": 1, "close": 1, "flock": 0, "fcntl": 2, "write": 1, "utimensat": 1,
          "getdents64": 0}
# The allocator's calls follow the memory the run holds, not the files.
MEMORY = {"mmap", "munmap", "brk", "mprotect", "madvise"}


def build_installer(folder, count):
    files = folder / "files"
    files.mkdir(parents=True)
    lines = ["[product]", 'name = "Budget"', "flags = []", ""]
    for i in range(count):
        name = f"f{i:04}.dat"
        (files / name).write_bytes(bytes([i % 256]) * 64)
        lines += ["[[file]]", f'source = "files/{name}"', f'name = "Data\\\\{name}"', "stamp = 2024-05-01T12:00:00",
                  ""]
    (folder / "kova.toml").write_text("\n".join(lines))
    setup = folder / "setup.exe"
    subprocess.run([str(kova_path()), "build", str(folder / "kova.toml"), "-o", str(setup), "--stub",
                    str(stub_path()), "-q"], check=True)
    return setup


def syscalls(setup, root):
    """Calls of each kind that `kova run` made (strace -c, children included)."""
    report = root.parent / f"{root.name}.strace"
    subprocess.run(["strace", "-f", "-c", "-U", "name,calls", "-o", str(report), str(kova_path()), "run", "--root",
                    str(root), str(setup), "/a", "/d:C:\\Budget"], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=300)
    counts = {}
    for line in report.read_text().splitlines():
        fields = line.split()
        if len(fields) == 2 and fields[1].isdigit():
            counts[fields[0]] = int(fields[1])
    return counts


@pytest.mark.skipif(shutil.which("strace") is None, reason="strace is not installed")
def test_each_file_costs_a_fixed_number_of_system_calls(tmp_path):
    small, large = 100, 400
    counts = {}
    for count in (small, large):
        setup = build_installer(tmp_path / f"build-{count}", count)
        root = tmp_path / f"root-{count}"
        counts[count] = syscalls(setup, root)
        assert len(list((root / "drive_c").glob("*/Data/*.dat"))) == count
    per_file = {name: (counts[large].get(name, 0) - counts[small].get(name, 0)) / (large - small)
                for name in (set(counts[large]) | set(counts[small])) - MEMORY - {"total"}}
    over = {name: calls for name, calls in per_file.items() if calls > BUDGET.get(name, 0) + 0.05}
    assert not over, f"system calls per file over the budget {BUDGET}: {over}"
