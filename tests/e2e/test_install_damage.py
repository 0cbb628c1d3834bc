"""Damaged file data, under Wine, in the sandbox and for kova inspect: each
damage gets the same code from all three, ends the installation in the FATAL ERROR box with the archive's message 13 and the
damage's code, and nothing of the damaged record (nor of any later one) is
written. The damaged installers are made with archive_tool, which rewrites
the file data stream and makes every other checksum right again, so that
exactly the chosen fault is left."""
import shutil

import pytest

from archive_tool import FileRecord, Installer, checksum32, compress_literal, encode_stream
from installs import WineHost, build, prepare_sources
from kovarun import Sandbox, inspect_code

NAMES = ["First.txt", "Second\\Second.txt", "Third.txt"]


def record_change(index, **fields):
    """Changes fields of one record; its checksum is kept unless named."""
    def change(records, sizes):
        records[index] = FileRecord(**{**records[index].__dict__, **fields})
        return records, [len(r.data) for r in records]
    return change


def flip_data(index):
    def change(records, sizes):
        r = records[index]
        records[index] = FileRecord(**{**r.__dict__, "data": bytes([r.data[0] ^ 1]) + r.data[1:]})
        return records, sizes
    return change


def grow_size(index, extra):
    def change(records, sizes):
        sizes = list(sizes)
        sizes[index] += extra
        return records, sizes
    return change


def write_records(change, cut=0):
    """A rewrite of the records (and size table), the stream's checksum made
    right; cut drops bytes from the end of the stream as stored."""
    def rewrite(installer, path):
        records, sizes = change(installer.records(), installer.sizes)
        stored, _ = encode_stream(records, installer.compressed())
        installer.write(path, file_data=stored[:len(stored) - cut], sizes=sizes)
    return rewrite


def stream_checksum_wrong(installer, path):
    data = bytearray(installer.file_data)
    data[len(data) // 2] ^= 0x40
    installer.write(path, file_data=bytes(data), header={"file_data_checksum": installer.header["file_data_checksum"]})


def block_cut_short(installer, path):
    """A compressed stream whose block ends before its stated size."""
    block = compress_literal(b"".join(r.encode() for r in installer.records()))
    installer.write(path, file_data=block[:-40])


VARIANTS = [
    # name, compressed, damage, code, records written before it
    ("stream checksum", False, stream_checksum_wrong, 55, 0),
    ("compressed stream checksum", True, stream_checksum_wrong, 55, 0),
    ("decompression", True, block_cut_short, 60, 0),
    ("empty name", False, write_records(record_change(1, name=b"")), 70, 1),
    ("name leaving the folder", False, write_records(record_change(1, name=b"..\\Escaped.txt")), 70, 1),
    ("record checksum", False, write_records(flip_data(1)), 100, 1),
    ("record checksum, compressed", True, write_records(flip_data(1)), 100, 1),
    ("unknown type", False, write_records(record_change(1, type=7)), 110, 1),
    ("unknown type, compressed", True, write_records(record_change(1, type=2)), 110, 1),
    ("data past the end", False, write_records(grow_size(2, 1000)), 72, 2),
    ("texts past the end", False, write_records(lambda r, s: (r, s), cut=3), 100, 2),
    ("stream 40 bytes short, inside the last data", False, write_records(lambda r, s: (r, s), cut=40), 72, 2),
]


@pytest.fixture(scope="module")
def built(tmp_path_factory):
    sources = prepare_sources(tmp_path_factory.mktemp("damage-sources") / "fixtures")
    out = tmp_path_factory.mktemp("damage-built")
    return {False: build(sources, "three-files.toml", out / "plain"),
            True: build(sources, "three-files.toml", out / "compressed", ("compressed-data",))}


def corrupt_text(installer, code):
    script = installer.script()
    message = script.get("messages")[13 * script.get("language_count")].decode("latin-1")
    return message.replace("%d", str(code))


def written(host_path, folder):
    return [name for name in NAMES + ["Escaped.txt", "..\\Escaped.txt"] if host_path(f"{folder}\\{name}").exists()]


@pytest.mark.parametrize("name, compressed, damage, code, before", VARIANTS, ids=[v[0] for v in VARIANTS])
def test_damaged_file_data_is_fatal(wine, built, tmp_path, name, compressed, damage, code, before):
    installer = Installer(built[compressed].read_bytes())
    setup = tmp_path / "setup.exe"
    damage(installer, setup)
    text = corrupt_text(installer, code)
    folder = f"C:\\KOVAE2E\\DAMAGE\\{name.replace(' ', '_').replace(',', '')}"
    args = ["/a", f"/d:{folder}"]

    assert inspect_code(setup) == code  # kova inspect reads with the installer's own code

    sandbox = Sandbox(tmp_path / "root")
    run = sandbox.run(setup, args)
    assert run.exit_code == 1, run.output
    assert [(b.caption, b.text) for b in run.boxes] == [("FATAL ERROR", text)], run.output
    assert written(sandbox.host_path, folder) == NAMES[:before]

    host = WineHost(wine, tmp_path / "wine-logs")
    shutil.rmtree(host.host_path(folder), ignore_errors=True)
    try:
        run = wine.run(setup, args)
        assert run.exit_code == 1
        assert [(b.caption, b.text) for b in run.boxes] == [("FATAL ERROR", text)], run.log
        assert written(host.host_path, folder) == NAMES[:before]
    finally:
        shutil.rmtree(host.host_path(folder), ignore_errors=True)


def test_rewriting_keeps_a_sound_installer(built, tmp_path):
    """The rewriter itself: records written back unchanged install."""
    installer = Installer(built[True].read_bytes())
    setup = tmp_path / "setup.exe"
    write_records(lambda r, s: (r, s))(installer, setup)
    assert checksum32(Installer(setup.read_bytes()).file_data) == Installer(setup.read_bytes()).header[
        "file_data_checksum"]
    run = Sandbox(tmp_path / "root").run(setup, ["/a", "/d:C:\\KOVAE2E\\SOUND"])
    assert run.exit_code == 0 and run.boxes == [], run.output
    assert written(Sandbox(tmp_path / "root").host_path, "C:\\KOVAE2E\\SOUND") == NAMES
