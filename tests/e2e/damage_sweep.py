"""The damage sweep: every byte of the archive header and of the compressed
script block of a small installer changed (each bit flipped once, the byte
set to 0x00 and to 0xFF), each variant run with `kova run /a` in a sandbox
root of its own and read with `kova inspect --json`. Every variant must end
either in a clean fatal box (a corrupt-archive code, or the version text)
with exit status 1, or in a normal installation; none may crash, hang or
write a file that the undamaged installer does not write (or write it with
other contents), and inspect must end cleanly with the same verdict (a
missing volume where the installer, in automatic mode, ends with code 50).

    python3 tests/e2e/damage_sweep.py [--kova PATH] [--stub PATH] [--jobs 2] [--sample N] [--seed S]

prints the number of variants, the outcomes and codes seen and every problem;
exits non-zero when there is one. tests/e2e/test_damage_sweep.py runs a
sample of the same variants, in the sandbox and under Wine.
"""
import argparse
import collections
import concurrent.futures
import json
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from archive_tool import Installer  # noqa: E402
from kovarun import parse_boxes  # noqa: E402
from kovatest import ROOT, kova_path, stub_path  # noqa: E402

MANIFEST = ROOT / "tests/fixtures/install/three-files.toml"
TARGET = "C:\\KOVASWEEP"
ARGS = ["/a", f"/d:{TARGET}"]
VERSION_TEXT = "The installer version ("
LOG_NAME = "install.log"   # its date line differs from run to run: compared by name only
TIMEOUT = 30


@dataclass(frozen=True)
class Variant:
    region: str      # "header" or "script"
    offset: int      # file offset of the changed byte
    value: int       # the byte written there

    def apply(self, data):
        damaged = bytearray(data)
        damaged[self.offset] = self.value
        return bytes(damaged)

    def __str__(self):
        return f"{self.region} byte {self.offset:#x} = {self.value:#04x}"


@dataclass
class Outcome:
    variant: Variant
    verdict: str = ""            # "installed", "code N", "version" (kova run)
    inspect: str = ""            # the same for kova inspect ("sound" for installed)
    problems: list = field(default_factory=list)


def build_fixture(out_dir, kova=None, stub=None):
    """three-files.toml built into out_dir/setup.exe."""
    out = Path(out_dir) / "setup.exe"
    kova, stub = Path(kova or kova_path()).resolve(), Path(stub or stub_path()).resolve()
    subprocess.run([str(kova), "build", str(MANIFEST), "-o", str(out), "--stub", str(stub), "-q"], check=True,
                   cwd=MANIFEST.parent)
    return out


def regions(data):
    """(name, file offset, length) of the archive header (with the file-size
    table) and of the compressed script block."""
    installer = Installer(data)
    header = 36 + 4 * installer.header["file_count"]
    return [("header", installer.raw_ptr, header),
            ("script", installer.raw_ptr + header, installer.header["script_size"])]


def variants(data):
    """Each byte of both regions: every bit flipped, then 0x00 and 0xFF
    where they differ from those."""
    out = []
    for region, start, length in regions(data):
        for offset in range(start, start + length):
            original = data[offset]
            values = [original ^ (1 << bit) for bit in range(8)]
            values += [v for v in (0x00, 0xFF) if v != original and v not in values]
            out += [Variant(region, offset, v) for v in values]
    return out


def box_verdict(text):
    if text.startswith(VERSION_TEXT):
        return "version"
    m = re.search(r"Error code: (-?\d+)$", text)
    return f"code {m.group(1)}" if m else None


def written_files(root):
    """{path below the root: bytes} of what a run left in its drives."""
    files = {}
    for path in sorted(Path(root).rglob("*")):
        rel = path.relative_to(root)
        if path.is_file() and rel.parts[0].startswith("drive_"):
            files[str(rel).lower()] = b"" if path.name.lower() == LOG_NAME else path.read_bytes()
    return files


def run_sandbox(kova, setup, root, timeout=TIMEOUT):
    """(verdict, files written, problems) of `kova run` on setup."""
    problems = []
    try:
        run = subprocess.run([str(kova), "run", "--root", str(root), str(setup), *ARGS], stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
    except subprocess.TimeoutExpired:
        return "hang", written_files(root), [f"kova run did not end within {timeout} s"]
    output = run.stdout.decode("latin-1")
    boxes = parse_boxes(output)
    if run.returncode < 0 or "Sanitizer" in output or "runtime error" in output:
        problems.append(f"kova run crashed (status {run.returncode}): {output[-400:]}")
        verdict = "crash"
    elif run.returncode == 0 and not boxes:
        verdict = "installed"
    elif run.returncode == 1 and len(boxes) == 1 and boxes[0].caption == "FATAL ERROR" and box_verdict(boxes[0].text):
        verdict = box_verdict(boxes[0].text)
    else:
        verdict = f"exit {run.returncode}"
        problems.append(f"kova run ended with status {run.returncode} and boxes "
                        f"{[(b.caption, b.text) for b in boxes]}: {output[-400:]}")
    return verdict, written_files(root), problems


def run_inspect(kova, setup, timeout=TIMEOUT):
    """(verdict, problems) of `kova inspect --json` on setup."""
    try:
        run = subprocess.run([str(kova), "inspect", "--json", str(setup)], capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return "hang", [f"kova inspect did not end within {timeout} s"]
    try:
        report = json.loads(run.stdout)
    except ValueError:
        return "crash", [f"kova inspect (status {run.returncode}) printed no report: {run.stderr[-400:]!r}"]
    if run.returncode not in (0, 1) or (run.returncode == 0) != report["ok"]:
        return f"exit {run.returncode}", [f"kova inspect ended with {run.returncode}: {run.stderr[-400:]!r}"]
    if report["ok"]:
        return "sound", []
    if report["error"]:
        return f"code {report['error']['code']}", []
    # The two ends that are not corrupt-archive codes: a version the stub
    # refuses, and a volume file the installer would have to ask for.
    if "installer version" in report["result"]:
        return "version", []
    if "volume file" in report["result"]:
        return "volume missing", []
    return "unknown", [f"kova inspect: {report['result']}"]


def judge(variant, verdict, files, run_problems, inspect, baseline):
    """The outcome of one variant against the undamaged run's files."""
    outcome = Outcome(variant, verdict, inspect, list(run_problems))
    for name, content in files.items():
        if name not in baseline:
            outcome.problems.append(f"wrote {name}, which the undamaged installer does not write")
        elif content != baseline[name]:
            outcome.problems.append(f"wrote {name} with other contents than the undamaged installer")
    # In automatic mode nobody can be asked for a volume: code 50.
    expected = {"installed": "sound", "code 50": "volume missing"}.get(verdict, verdict)
    if inspect != expected and not outcome.problems:
        outcome.problems.append(f"kova inspect says {inspect}, kova run {verdict}")
    if verdict == "installed" and set(files) != set(baseline):
        outcome.problems.append(f"installed without {sorted(set(baseline) - set(files))}")
    return outcome


def run_variant(kova, data, variant, work):
    with tempfile.TemporaryDirectory(dir=work) as tmp:
        setup = Path(tmp) / "setup.exe"
        setup.write_bytes(variant.apply(data))
        verdict, files, problems = run_sandbox(kova, setup, Path(tmp) / "root")
        inspect, inspect_problems = run_inspect(kova, setup)
        outcome = judge(variant, verdict, files, problems + inspect_problems, inspect, Sweep.baseline)
    return outcome


class Sweep:
    baseline = {}


def baseline_files(kova, setup, work):
    with tempfile.TemporaryDirectory(dir=work) as tmp:
        verdict, files, problems = run_sandbox(kova, setup, Path(tmp) / "root")
    assert verdict == "installed" and not problems, (verdict, problems)
    assert len(files) == 4, files    # the three files and Install.LOG
    return files


def sweep(kova, setup, selected, work, jobs=2):
    """The outcomes of the selected variants, run jobs at a time."""
    data = Path(setup).read_bytes()
    Sweep.baseline = baseline_files(kova, setup, work)
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        return list(pool.map(lambda v: run_variant(kova, data, v, work), selected))


def summary(outcomes):
    lines = [f"{len(outcomes)} variants "
             f"({sum(o.variant.region == 'header' for o in outcomes)} in the header, "
             f"{sum(o.variant.region == 'script' for o in outcomes)} in the script block)"]
    for title, key in (("kova run", lambda o: o.verdict), ("kova inspect", lambda o: o.inspect)):
        counts = collections.Counter(key(o) for o in outcomes)
        lines.append(f"{title}: " + ", ".join(f"{k} x{n}" for k, n in sorted(counts.items(), key=sort_key)))
    problems = [o for o in outcomes if o.problems]
    lines.append(f"problems: {len(problems)}")
    lines += [f"  {o.variant}: {'; '.join(o.problems)}" for o in problems[:50]]
    return "\n".join(lines)


def sort_key(item):
    m = re.match(r"code (-?\d+)", item[0])
    return (0, int(m.group(1))) if m else (1, item[0])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--kova", default=str(kova_path("native-release")), help="the kova to run (default: native-release)")
    parser.add_argument("--stub", default=str(stub_path("win32")), help="the stub to build with (default: win32)")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--sample", type=int, default=0, help="run only this many variants, picked at random")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    work = ROOT / "build" / "damage-sweep"
    work.mkdir(parents=True, exist_ok=True)
    setup = build_fixture(work, args.kova, args.stub)
    selected = variants(setup.read_bytes())
    if args.sample:
        selected = random.Random(args.seed).sample(selected, min(args.sample, len(selected)))
    start = time.monotonic()
    outcomes = sweep(args.kova, setup, selected, work, args.jobs)
    print(summary(outcomes))
    print(f"{time.monotonic() - start:.0f} s with {args.jobs} jobs, {args.kova}")
    return 1 if any(o.problems for o in outcomes) else 0


if __name__ == "__main__":
    sys.exit(main())
