"""Volume files under Wine and in the sandbox: a missing volume brings the
disk prompt (message 26 with the volume number and the drive, caption 27)
and the installation goes on once the volume is in place; a wrong volume
(another sequence number, or 4 bytes only) brings the prompt with message 30 and a blank line
in front; cancelling at the prompt asks message 28 and ends without a file;
a volume holding more than the missing bytes gives only those; in automatic
mode, where nobody can be asked, a missing volume is fatal; a damaged
volume fails the checksum of the whole stream.

The prompts need the interactive installer (no /a): any question before the
files takes its default, the view-the-log question after them is answered
No. Under Wine the boxes are answered by pressing their buttons; in the
sandbox with lines on standard input. An answer to the disk prompt first
puts the volume in place.
"""
import shutil
import struct

import pytest

from archive_tool import Installer
from installs import WineHost, build, prepare_sources
from kovarun import Sandbox

FILES = {"Part A.bin": "vol-a.bin", "Data\\Part B.bin": "vol-b.bin", "Data\\Part C.bin": "vol-c.bin"}


@pytest.fixture(scope="module")
def sources(tmp_path_factory):
    return prepare_sources(tmp_path_factory.mktemp("volume-sources") / "fixtures")


@pytest.fixture(scope="module")
def built(sources, tmp_path_factory):
    setup = build(sources, "volumes.toml", tmp_path_factory.mktemp("volume-built"))
    assert sorted(p.name for p in setup.parent.glob("*.KVA")) == ["KOVAVOL2.KVA", "KOVAVOL3.KVA"]
    return setup


@pytest.fixture(scope="module")
def messages(built):
    script = Installer(built.read_bytes()).script()
    languages = script.get("language_count")
    texts = script.get("messages")
    return lambda n: texts[n * languages].decode("latin-1").replace("<product>", "Kova Volumes")


def copy_installer(built, folder):
    folder.mkdir(parents=True, exist_ok=True)
    for path in built.parent.iterdir():
        shutil.copyfile(path, folder / path.name)
    return folder / "setup.exe"


def installed(host_path, install_dir, sources):
    """Which files are installed with the right contents; a wrong one fails."""
    found = []
    for name, source in FILES.items():
        path = host_path(f"{install_dir}\\{name}")
        if path.exists():
            assert path.read_bytes() == (sources / "generated" / source).read_bytes(), name
            found.append(name)
    return found


class Setting:
    """One prompt case: how the volumes are laid out before the run, and what
    an answer to the disk prompt does."""

    def __init__(self, setup, case):
        self.folder = setup.parent
        self.case = case
        self.away = self.folder / "away"
        self.away.mkdir()
        if case in ("missing", "cancel"):
            shutil.move(self.folder / "KOVAVOL3.KVA", self.away / "KOVAVOL3.KVA")
        elif case in ("wrong", "short"):
            good = self.folder / "KOVAVOL2.KVA"
            shutil.move(good, self.away / "KOVAVOL2.KVA")
            data = bytearray((self.away / "KOVAVOL2.KVA").read_bytes())
            struct.pack_into("<I", data, 0, struct.unpack_from("<I", data)[0] + 7)
            good.write_bytes(bytes(data) if case == "wrong" else bytes(data[:4]))

    def put_in_place(self):
        for path in self.away.iterdir():
            shutil.move(path, self.folder / path.name)


CASES = [
    # case, volume number asked for, wrong volume (message 30 first)
    ("missing", 3, False),
    ("wrong", 2, True),     # another sequence number
    ("short", 2, True),     # the sequence number and nothing else
]


def disk_prompt(messages, number, wrong):
    text = messages(26).replace("%d", str(number)).replace("%c", "Z")
    return (messages(30) + "\r\n\r\n" + text) if wrong else text


@pytest.mark.parametrize("case, number, wrong", CASES, ids=[c[0] for c in CASES])
def test_sandbox_prompts_for_the_volume(built, sources, messages, tmp_path, case, number, wrong):
    setting = Setting(copy_installer(built, tmp_path / "media"), case)
    asked = []

    def answer(box):
        asked.append(box)
        if box.caption == messages(27):
            setting.put_in_place()
            return ""
        return "n" if box.caption == messages(41) else ""

    sandbox = Sandbox(tmp_path / "root")
    run = sandbox.run(setting.folder / "setup.exe", ["/d:C:\\KOVAE2E\\VOLPROMPT"], answer=answer)
    assert run.exit_code == 0, run.output
    prompts = [b for b in asked if b.caption == messages(27)]
    assert [b.text for b in prompts] == [disk_prompt(messages, number, wrong)], run.output
    assert installed(sandbox.host_path, "C:\\KOVAE2E\\VOLPROMPT", sources) == list(FILES)


def test_sandbox_cancel_at_the_prompt_installs_nothing(built, sources, messages, tmp_path):
    setting = Setting(copy_installer(built, tmp_path / "media"), "cancel")
    captions = []

    def answer(box):
        captions.append(box.caption)
        if box.caption == messages(27):
            return "c"          # Cancel ...
        if box.caption == messages(20) and box.text == messages(28):
            return "y"          # ... and yes, stop the installation
        return ""

    sandbox = Sandbox(tmp_path / "root")
    run = sandbox.run(setting.folder / "setup.exe", ["/d:C:\\KOVAE2E\\VOLCANCEL"], answer=answer)
    assert captions[-2:] == [messages(27), messages(20)], run.output
    assert run.exit_code == 0, run.output
    assert installed(sandbox.host_path, "C:\\KOVAE2E\\VOLCANCEL", sources) == []


def test_sandbox_without_answers_gives_up_at_the_prompt(built, sources, messages, tmp_path):
    """Nobody left to answer (end of input): the welcome question takes its
    default, the prompt is cancelled and the cancel question takes its
    default, rather than asking for ever."""
    setting = Setting(copy_installer(built, tmp_path / "media"), "missing")
    sandbox = Sandbox(tmp_path / "root")
    run = sandbox.run(setting.folder / "setup.exe", ["/d:C:\\KOVAE2E\\VOLNOANS"], timeout=60)
    assert [b.caption for b in run.boxes] == ["Kovabuild v8.2", messages(27), messages(20)], run.output
    assert run.exit_code == 0, run.output
    assert installed(sandbox.host_path, "C:\\KOVAE2E\\VOLNOANS", sources) == []


def test_sandbox_automatic_mode_cannot_ask_for_a_volume(built, sources, messages, tmp_path):
    setting = Setting(copy_installer(built, tmp_path / "media"), "missing")
    sandbox = Sandbox(tmp_path / "root")
    run = sandbox.run(setting.folder / "setup.exe", ["/a", "/d:C:\\KOVAE2E\\VOLAUTO"])
    assert run.exit_code == 1, run.output
    assert [(b.caption, b.text) for b in run.boxes] == [("FATAL ERROR", messages(13).replace("%d", "50"))]
    assert installed(sandbox.host_path, "C:\\KOVAE2E\\VOLAUTO", sources) == []


def test_sandbox_damaged_volume_fails_the_stream_checksum(built, sources, messages, tmp_path):
    setup = copy_installer(built, tmp_path / "media")
    volume = setup.parent / "KOVAVOL3.KVA"
    data = bytearray(volume.read_bytes())
    data[len(data) // 2] ^= 0x10
    volume.write_bytes(bytes(data))
    sandbox = Sandbox(tmp_path / "root")
    run = sandbox.run(setup, ["/a", "/d:C:\\KOVAE2E\\VOLBAD"])
    assert run.exit_code == 1, run.output
    assert [(b.caption, b.text) for b in run.boxes] == [("FATAL ERROR", messages(13).replace("%d", "55"))]
    assert installed(sandbox.host_path, "C:\\KOVAE2E\\VOLBAD", sources) == []


def test_sandbox_takes_only_the_missing_bytes_from_a_volume(built, sources, tmp_path):
    setup = copy_installer(built, tmp_path / "media")
    with open(setup.parent / "KOVAVOL3.KVA", "ab") as last:
        last.write(b"bytes past the end of the stream" * 100)
    sandbox = Sandbox(tmp_path / "root")
    run = sandbox.run(setup, ["/a", "/d:C:\\KOVAE2E\\VOLLONG"])
    assert run.exit_code == 0 and run.boxes == [], run.output
    assert installed(sandbox.host_path, "C:\\KOVAE2E\\VOLLONG", sources) == list(FILES)


@pytest.mark.parametrize("case, number, wrong", CASES, ids=[c[0] for c in CASES])
def test_wine_prompts_for_the_volume(wine, built, sources, messages, tmp_path, case, number, wrong):
    setting = Setting(copy_installer(built, tmp_path / "media"), case)
    host = WineHost(wine, tmp_path / "wine-logs")
    install_dir = f"C:\\KOVAE2E\\VOLWINE{case.upper()}"
    shutil.rmtree(host.host_path(install_dir), ignore_errors=True)

    def answer(box):
        if box.caption == messages(27):
            setting.put_in_place()
        return "No" if box.caption == messages(41) else "default"

    try:
        run = wine.run(setting.folder / "setup.exe", [f"/d:{install_dir}"], answer=answer, timeout=120)
        assert run.exit_code == 1
        prompts = [b for b in run.boxes if b.caption == messages(27)]
        assert len(prompts) == 1, [(b.caption, b.text) for b in run.boxes]
        assert prompts[0].text == disk_prompt(messages, number, wrong)
        assert installed(host.host_path, install_dir, sources) == list(FILES)
    finally:
        shutil.rmtree(host.host_path(install_dir), ignore_errors=True)
