"""The uninstaller, in the sandbox (kova uninstall) and under Wine: after
installing the hello example and uninstalling it, kova snapshot and kova
diff find nothing of the product left, files, shortcuts, keys or values;
refused and missing products change nothing; a file the uninstaller could
not delete keeps the key and Uninstall.DAT for another run. The restart an
installation asks for is recorded in the sandbox and kova reboot carries
out what waits for it."""
import json
import shutil
import subprocess
import time

from installs import HELLO, WineHost, build_hello
from kovarun import HeldFile, Sandbox
from kovatest import BUILD, kova_path, stub_path

HELLO_MANIFEST = HELLO / "kova.toml"
HELLO_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Hello"


def kova(*args, stdin=""):
    return subprocess.run([str(kova_path()), *map(str, args)], input=stdin, capture_output=True, text=True,
                          timeout=300)


def snapshot(root, out):
    run = subprocess.run([str(kova_path("native-release")), "snapshot", "--root", str(root), "-o", str(out)],
                         capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stderr
    return out


def changes(before, after):
    run = kova("diff", "--json", before, after)
    assert run.returncode in (0, 1), run.stderr
    data = json.loads(run.stdout)
    return [(kind, e.get("path", e.get("key")), e.get("name")) for kind in ("added", "changed", "removed")
            for e in data[kind]]


def of_hello(found):
    """The changes that name the product (the system's own folders and keys
    that an installation makes on first use stay, as on Windows)."""
    return [c for c in found if any(word in (c[1] or "").lower() for word in ("hello", "kova examples"))]


def test_sandbox_uninstall_leaves_nothing_behind(tmp_path):
    setup = build_hello(tmp_path / "hello-setup.exe")
    root = tmp_path / "root"
    sandbox = Sandbox(root)
    kova("uninstall", "--root", root, "Nothing")  # makes the sandbox
    before = snapshot(root, tmp_path / "before.json")
    assert sandbox.run(setup, ["/a"]).exit_code == 0
    installed = snapshot(root, tmp_path / "installed.json")
    assert any("Uninstall.DAT" in path for _, path, _ in changes(before, installed))

    # No: nothing changes.
    run = kova("uninstall", "--root", root, "Hello", stdin="n\n")
    assert "Do you want to remove Hello" in run.stderr, run.stderr
    assert changes(installed, snapshot(root, tmp_path / "refused.json")) == []

    run = kova("uninstall", "--root", root, "Hello", stdin="y\n")
    assert run.returncode == 0, run.stderr
    assert "Hello has been removed from your computer." in run.stderr
    assert of_hello(changes(before, snapshot(root, tmp_path / "after.json"))) == []

    # Gone: the uninstaller says so, and changes nothing.
    run = kova("uninstall", "--root", root, "Hello")
    assert run.returncode == 1 and "no product named 'Hello'" in run.stderr


def test_sandbox_file_in_use_keeps_the_registration(tmp_path):
    setup = build_hello(tmp_path / "hello-setup.exe")
    sandbox = Sandbox(tmp_path / "root")
    assert sandbox.run(setup, ["/a"]).exit_code == 0
    # A file held open without sharing its deletion: the uninstaller
    # cannot delete it.
    hello = sandbox.host_path("C:\\Program Files\\Hello\\Hello.txt")
    holder = HeldFile(hello)
    try:
        run = kova("uninstall", "--root", tmp_path / "root", "Hello", "/a")
    finally:
        holder.close()
    assert sandbox.reg_query(HELLO_KEY), run.stderr
    data = sandbox.host_path("C:\\Program Files\\Hello\\Uninstall\\Uninstall.DAT").read_bytes().decode("latin-1")
    assert data.startswith("c:\\Program Files\\Hello\\Hello.txt\r\n\r\n\r\n[Strings]\r\n"), data
    assert not sandbox.host_path("C:\\Program Files\\Hello\\Sample.hello").exists()
    # Once the file can go, a second run completes.
    kova("uninstall", "--root", tmp_path / "root", "Hello", "/a")
    assert not sandbox.reg_query(HELLO_KEY)
    assert not sandbox.host_path("C:\\Program Files\\Hello").exists()


def test_wine_uninstall_leaves_nothing_behind(wine, tmp_path):
    setup = build_hello(tmp_path / "hello-setup.exe")
    host = WineHost(wine, BUILD / "e2e" / "logs")
    folder = "C:\\KOVAE2E\\UNINSTALL"
    shutil.rmtree(host.host_path(folder), ignore_errors=True)
    wine.start()  # the registry files written out
    before = snapshot(wine.prefix, tmp_path / "before.json")
    wine.run(setup, ["/a", f"/d:{folder}"])
    uninstaller = f"{folder}\\Uninstall\\Uninstall Hello.exe"
    assert host.host_path(uninstaller).exists()
    program = host.host_path(uninstaller)
    wine.run(program, command_line=f'"{wine.windows_path(program)}" /a /u:"Hello"')
    # The self-deletion batch outlives the uninstaller by a moment.
    deadline = time.monotonic() + 60
    while program.exists() and time.monotonic() < deadline:
        time.sleep(0.5)
    assert not program.exists()
    wine.start()  # the registry files written out
    # (What earlier tests left of Hello in the shared prefix may go with it.)
    left = [c for c in of_hello(changes(before, snapshot(wine.prefix, tmp_path / "after.json"))) if c[0] != "removed"]
    assert left == []


def test_sandbox_restart_is_recorded_and_reboot_carries_out_the_moves(tmp_path):
    setup = build_hello(tmp_path / "hello-setup.exe")
    root = tmp_path / "root"
    sandbox = Sandbox(root)
    assert sandbox.run(setup, ["/a"]).exit_code == 0
    # A replacement waiting for the restart, as the file loop leaves one.
    target = sandbox.host_path("C:\\Program Files\\Hello\\Hello.txt")
    waiting = target.with_name("KVT1.TMP")
    waiting.write_text("new")
    (root / "PendingFileRenameOperations.txt").write_text(
        "\\??\\C:\\Program Files\\Hello\\KVT1.TMP\n!\\??\\C:\\Program Files\\Hello\\Hello.txt\n")
    (root / "RestartRequested.txt").write_text("ExitWindowsEx 0x12\n")
    run = kova("reboot", "--root", root)
    assert run.returncode == 0, run.stdout + run.stderr
    assert target.read_text() == "new" and not waiting.exists()
    assert not (root / "RestartRequested.txt").exists()
    assert kova("reboot", "--root", root).returncode == 0  # nothing left to do


def test_restart_question_and_the_recorded_restart(tmp_path):
    """An installation that wants a restart asks for it (message 37); Yes,
    or automatic mode, restarts, which the sandbox records for kova reboot;
    No does not."""
    text = (HELLO_MANIFEST.read_text().replace('"always-log",', '"always-log", "restart-pending",')
            .replace('"choose-directory",', ''))
    manifest = tmp_path / "hello" / "kova.toml"
    shutil.copytree(HELLO_MANIFEST.parent, manifest.parent)
    manifest.write_text(text)
    setup = tmp_path / "setup.exe"
    built = kova("build", manifest, "-o", setup, "--stub", stub_path())
    assert built.returncode == 0, built.stderr
    # Welcome, licence, read-me, the log not shown, then the restart.
    for n, (answers, automatic, restarted) in enumerate((("y\na\n\nn\ny\n", [], True),
                                                         ("y\na\n\nn\nn\n", [], False), ("", ["/a"], True))):
        root = tmp_path / f"root-{n}"
        run = subprocess.run([str(kova_path()), "run", "--root", str(root), str(setup), *automatic],
                             input=answers, capture_output=True, text=True, timeout=120)
        assert (root / "RestartRequested.txt").exists() == restarted, run.stderr
        if restarted:
            assert (root / "RestartRequested.txt").read_text() == "ExitWindowsEx 0x12\n"
            assert "kova reboot --root" in run.stderr
        if not automatic:
            assert "Windows must be restarted" in run.stderr or "restart" in run.stderr.lower(), run.stderr
