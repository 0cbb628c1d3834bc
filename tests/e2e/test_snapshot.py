"""kova snapshot and kova diff show what an installation did, the same way on
a sandbox root and on a Wine prefix: the hello example installed in
automatic mode on both gives the same added files with the same contents
(but the log, which holds the date), and nothing else below the drives."""
import json
import subprocess

from installs import build_hello
from kovarun import Sandbox
from kovatest import kova_path

HELLO_DIR = "C:\\KOVAE2E\\SNAPSHOT"


def snapshot(root, out):
    # The release build: a Wine prefix holds some 700 MB to hash.
    run = subprocess.run([str(kova_path("native-release")), "snapshot", "--root", str(root), "-o", str(out)],
                         capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stderr
    return out


def diff(before, after):
    run = subprocess.run([str(kova_path()), "diff", "--json", str(before), str(after)],
                         capture_output=True, text=True, timeout=120)
    assert run.returncode in (0, 1), run.stderr
    return json.loads(run.stdout)


def installed_files(changes, folder):
    """{path below folder: sha256 or kind} of what was added there."""
    prefix = folder.lower() + "\\"
    found = {}
    for entry in changes["added"]:
        path = entry.get("path", "")
        if path.lower().startswith(prefix):
            rest = path[len(prefix):]
            if entry["kind"] != "file":
                found[rest] = entry["kind"]
            elif rest.lower().endswith((".log", ".lnk", ".dat")):
                # The date, the shell's own link format and the paths of
                # the shell folders differ by platform.
                found[rest] = "present"
            else:
                found[rest] = entry["after"].split("sha256 ")[-1]
    return found


def test_sandbox_and_wine_snapshots_show_the_same_installation(wine, wine_target, tmp_path):
    setup = build_hello(tmp_path / "hello-setup.exe")

    sandbox = Sandbox(tmp_path / "root")
    # A first run, under another name, makes the sandbox's own folders.
    sandbox.run(setup, ["/a", "/n:Warm-up", "/d:C:\\KOVAE2E\\WARMUP"])
    snapshot(sandbox.root, tmp_path / "sandbox-before.json")
    run = sandbox.run(setup, ["/a", f"/d:{HELLO_DIR}"])
    assert run.exit_code == 0, run.output
    sandbox_changes = diff(tmp_path / "sandbox-before.json", snapshot(sandbox.root, tmp_path / "sandbox-after.json"))

    # Wine writes its registry files when its server ends.
    wine.start()
    snapshot(wine.prefix, tmp_path / "wine-before.json")
    result = wine.run(setup, ["/a", f"/d:{wine_target}"])
    assert result.exit_code == 1, result.output  # the stub always ends with 1
    wine.start()
    wine_changes = diff(tmp_path / "wine-before.json", snapshot(wine.prefix, tmp_path / "wine-after.json"))

    in_sandbox = installed_files(sandbox_changes, HELLO_DIR)
    under_wine = installed_files(wine_changes, wine_target)
    assert "Hello.txt" in in_sandbox and "Uninstall\\Install.LOG" in in_sandbox, sandbox_changes
    assert in_sandbox == under_wine

    # In the sandbox nothing else changed below the drives but the shortcuts
    # in the shell's folders; the same kova diff of a snapshot with itself
    # finds nothing.
    others = [e["path"] for e in sandbox_changes["added"] + sandbox_changes["changed"] + sandbox_changes["removed"]
              if e["kind"] in ("file", "link") and not e["path"].lower().startswith(HELLO_DIR.lower())]
    assert others and all(path.lower().endswith(".lnk") for path in others), others
    same = subprocess.run([str(kova_path()), "diff", str(tmp_path / "wine-after.json"),
                           str(tmp_path / "wine-after.json")], capture_output=True, text=True)
    assert same.returncode == 0 and same.stdout == ""
