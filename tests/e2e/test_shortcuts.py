"""The shortcuts of the hello example, made by the shell's link object under
Wine and written by the sandbox, read back with liblnk's lnkinfo: both
point at the installed file, with the installation folder as working
directory and the icon the record names."""
import re
import subprocess

from installs import WineHost, build_hello
from kovarun import Sandbox
from kovatest import BUILD

FIELDS = ("Local path", "Working directory", "Icon location", "Command line arguments")


def link_fields(path):
    run = subprocess.run(["lnkinfo", str(path)], capture_output=True, text=True, timeout=60)
    assert run.returncode == 0, run.stdout + run.stderr
    fields = {}
    for line in run.stdout.splitlines():
        match = re.match(r"\s*([A-Za-z ]+?)\s*:\s(.*)$", line)
        if match and match.group(1) in FIELDS:
            fields[match.group(1)] = match.group(2).strip()
    return fields


def test_desktop_and_start_menu_links_read_the_same(wine, wine_target, tmp_path):
    setup = build_hello(tmp_path / "hello-setup.exe")
    sandbox = Sandbox(tmp_path / "root")
    run = sandbox.run(setup, ["/a", f"/d:{wine_target}"])
    assert run.exit_code == 0, run.output
    in_sandbox = link_fields(sandbox.host_path("C:\\WINDOWS\\Desktop\\Hello.LNK"))
    assert in_sandbox["Local path"].lower() == f"{wine_target}\\Hello.txt".lower(), in_sandbox
    assert in_sandbox["Working directory"].lower() == wine_target.lower()
    assert sandbox.host_path("C:\\WINDOWS\\Start Menu\\Programs\\Kova Examples\\Hello\\Hello Read Me.LNK").exists()

    host = WineHost(wine, BUILD / "e2e" / "logs")
    folders = host.reg_query("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders")
    desktop = folders["Desktop"][1]
    wine.run(setup, ["/a", f"/d:{wine_target}"])
    link = host.host_path(desktop + "\\Hello.LNK")
    try:
        under_wine = link_fields(link)
        for field in ("Local path", "Working directory"):
            assert under_wine[field].lower() == in_sandbox[field].lower(), (under_wine, in_sandbox)
        assert under_wine["Icon location"].lower() == in_sandbox["Icon location"].lower()
    finally:
        link.unlink(missing_ok=True)
