"""The stub opening its own archive under Wine: a good installer gets through
the archive checks silently and installs its files; each damaged variant ends
in its exact FATAL ERROR box, read whole (the error-code line included), and
exit code 1, with nothing installed. The sandbox and kova inspect judge each
variant with the same code. The variants are made with archive_tool, which
rewrites one field and makes every other checksum right again. Every run
under Wine exits with code 1, so only the files tell a finished installation
from one that stopped."""
import re
import shutil

import pytest

from archive_tool import Installer
from installs import HELLO_FILES, WineHost, build_hello, hello_installed
from kovarun import Sandbox, inspect_code
from kovatest import BUILD, stub_path

CORRUPT = ("This installation program is corrupt.  This is usually caused by a faulty download, but it "
           "can also be caused by a virus on your computer.  The installation cannot proceed.\r\n\r\n"
           "Delete the corrupted installer (to prevent caching), then re-download it.  If the problem "
           "persists, check your system for viruses.\r\n\r\nError code: {code}")
GUARD = ("This program performs installations and uninstallations.\r\nThere is no installation archive "
         "present.\r\nNo Uninstallation parameters were specified.\r\n\r\nYou should not delete this "
         "program or execute it directly.")
VERSION = ("The installer version (8.2) does not match the version of KOVA (8.2).  Close all applications "
           "and reinstall KOVA.")


@pytest.fixture(scope="module")
def built(tmp_path_factory):
    return build_hello(tmp_path_factory.mktemp("built") / "setup.exe")


def expect_box(run, text):
    assert run.exit_code == 1
    assert [(b.caption, b.text) for b in run.boxes] == [("FATAL ERROR", text)], run.log
    assert run.pressed == [("FATAL ERROR", "OK")]


def installed(wine, folder):
    return hello_installed(WineHost(wine, BUILD / "e2e" / "logs").host_path, folder)


def test_good_installer_passes_every_check(wine, built, wine_target):
    run = wine.run(built, ["/a", f"/d:{wine_target}"])
    assert run.exit_code == 1 and run.boxes == [], run.log
    assert installed(wine, wine_target) == list(HELLO_FILES)


def test_bare_stub_is_the_guard(wine, tmp_path):
    stub = tmp_path / "kovastub.exe"
    shutil.copyfile(stub_path(), stub)
    expect_box(wine.run(stub), GUARD)


def mutate_script(name, value):
    def change(installer, path):
        script = installer.script()
        script.set(name, value)
        installer.write(path, script_bytes=script.encode())
    return change


def mutate_header(**fields):
    return lambda installer, path: installer.write(path, header=fields)


def cut_at(offset):
    return lambda installer, path: path.write_bytes(bytes(installer.data[:offset(installer)]))


VARIANTS = [
    ("wrong magic", mutate_header(magic=0xA4F23DE4), CORRUPT.format(code=20)),
    ("script size 0xA00000", mutate_header(script_size=0xA00000), CORRUPT.format(code=22)),
    ("licence count 21", mutate_script("licence_count", 21), CORRUPT.format(code=24)),
    ("message count 0", mutate_script("message_count", 0), CORRUPT.format(code=31)),
    ("message count 10001", mutate_script("message_count", 10001), CORRUPT.format(code=31)),
    ("language count 0", mutate_script("language_count", 0), CORRUPT.format(code=30)),
    # A message count the bytes left cannot hold is refused before the
    # table is read: the built-in text.
    ("message count beyond the bytes", mutate_script("message_count", 10000), CORRUPT.format(code=32)),
    ("blank volume name", mutate_script("volume_base", b"  "), CORRUPT.format(code=21)),
    ("blank uninstaller name", mutate_script("uninstaller_name", b""), CORRUPT.format(code=33)),
    ("icon offset 999999", mutate_script("icon_offset", 999999), CORRUPT.format(code=23)),
    ("section renamed .KOVA", lambda i, p: i.write(p, section_name=b".KOVA"), GUARD),
    ("version 821", mutate_header(version=821), VERSION),
    # Cut short: the section's first byte is beyond the end, the header
    # stops inside the file-size table, the script block ends early. The
    # Windows loader refuses to start a file whose sections run past its end
    # (Wine too), so these are the sandbox's and inspect's, which read the
    # file as data.
    ("cut at the section", cut_at(lambda i: i.raw_ptr), CORRUPT.format(code=10)),
    ("cut inside the header", cut_at(lambda i: i.raw_ptr + 36 + 2), CORRUPT.format(code=28)),
    ("cut inside the script", cut_at(lambda i: i.raw_ptr + 36 + 4 * len(i.sizes) + i.header["script_size"] // 2),
     CORRUPT.format(code=47)),
]
NOT_LOADABLE = {"cut at the section", "cut inside the header", "cut inside the script"}


@pytest.mark.parametrize("name, change, text", VARIANTS, ids=[v[0] for v in VARIANTS])
def test_damaged_installer_shows_its_error(wine, built, tmp_path, wine_target, name, change, text):
    path = tmp_path / "setup.exe"
    change(Installer(built.read_bytes()), path)
    if name not in NOT_LOADABLE:
        expect_box(wine.run(path, ["/a", f"/d:{wine_target}"]), text)
        assert installed(wine, wine_target) == []
    # The sandbox and kova inspect judge with the same code.
    run = Sandbox(tmp_path / "root").run(path, ["/a"])
    assert [(b.caption, b.text) for b in run.boxes] == [("FATAL ERROR", text)], run.output
    code = re.search(r"Error code: (\d+)$", text)
    assert inspect_code(path) == (int(code.group(1)) if code else -1)


ARCHIVE_MESSAGE_VARIANTS = [
    # Damage found once the whole message table has been read: the box is
    # the archive's own message 13.
    ("stub checksum", mutate_header(stub_checksum=12345), 40),
    ("wrong end marker", mutate_script("end_marker", 0xD3E82B96), 32),
]


@pytest.mark.parametrize("name, change, code", ARCHIVE_MESSAGE_VARIANTS, ids=[v[0] for v in ARCHIVE_MESSAGE_VARIANTS])
def test_late_damage_uses_the_archive_message(wine, built, tmp_path, wine_target, name, change, code):
    installer = Installer(built.read_bytes())
    path = tmp_path / "setup.exe"
    change(installer, path)
    script = installer.script()
    languages = script.get("language_count")
    text = script.get("messages")[13 * languages].decode("latin-1").replace("%d", str(code))
    assert text != CORRUPT.format(code=code)
    expect_box(wine.run(path, ["/a", f"/d:{wine_target}"]), text)
    assert installed(wine, wine_target) == []
    run = Sandbox(tmp_path / "root").run(path, ["/a"])
    assert [(b.caption, b.text) for b in run.boxes] == [("FATAL ERROR", text)], run.output
    assert inspect_code(path) == code


@pytest.mark.parametrize("version", [820, 819])
def test_accepted_versions(wine, built, tmp_path, wine_target, version):
    path = tmp_path / "setup.exe"
    Installer(built.read_bytes()).write(path, header={"version": version})
    run = wine.run(path, ["/a", f"/d:{wine_target}"])
    assert run.exit_code == 1 and run.boxes == [], run.log
    assert installed(wine, wine_target) == list(HELLO_FILES)
