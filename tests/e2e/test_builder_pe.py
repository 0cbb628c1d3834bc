"""The PE file that `kova build` writes, checked with pefile against the real
stubs: the archive is the last section, raw and virtual sizes are equal and
aligned to both alignments, the headers are updated to match, and removing
the section again (as the stub does for its uninstaller) gives back the stub
with only the checksum field cleared and the icon image replaced."""
import json
import subprocess

import pefile
import pytest

from kovatest import BUILD, ROOT, kova_path

SCN_INITIALIZED_DATA_READ = 0x40000040
ICON_BYTES = 2216


PRESETS = ("win32", "win64")


def align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


def uninstaller_image(data, pe, section_index):
    """Removes the archive section the way the stub builds its uninstaller."""
    section = pe.sections[section_index]
    image = bytearray(data[:section.PointerToRawData])
    image += data[section.PointerToRawData + section.SizeOfRawData:]
    e_lfanew = pe.DOS_HEADER.e_lfanew
    count = pe.FILE_HEADER.NumberOfSections
    size = section.SizeOfRawData

    def u32(at):
        return int.from_bytes(image[at:at + 4], "little")

    image[e_lfanew + 6:e_lfanew + 8] = (count - 1).to_bytes(2, "little")
    image[e_lfanew + 32:e_lfanew + 36] = (u32(e_lfanew + 32) - size).to_bytes(4, "little")
    image[e_lfanew + 80:e_lfanew + 84] = (u32(e_lfanew + 80) - size).to_bytes(4, "little")
    table = e_lfanew + 24 + pe.FILE_HEADER.SizeOfOptionalHeader
    for i in range(section_index, count + 1):
        slot = table + 40 * i
        image[slot:slot + 40] = image[slot + 40:slot + 80]
        if i + 1 < count:
            image[slot + 20:slot + 24] = (u32(slot + 20) - size).to_bytes(4, "little")
    return bytes(image)


@pytest.mark.parametrize("preset", PRESETS)
def test_built_installer_is_a_sound_pe(preset, tmp_path):
    stub = BUILD / preset / "kovastub.exe"
    if not stub.exists():
        pytest.fail(f"{stub} is missing: build the {preset} preset first")
    out = tmp_path / "setup.exe"
    subprocess.run([str(kova_path()), "build", str(ROOT / "examples/hello/kova.toml"), "-o", str(out),
                    "--stub", str(stub), "--level", "fast", "--quiet"], check=True)
    data = out.read_bytes()
    original = stub.read_bytes()
    pe = pefile.PE(data=data)
    base = pefile.PE(data=original)
    assert pe.get_warnings() == []

    oh, base_oh = pe.OPTIONAL_HEADER, base.OPTIONAL_HEADER
    kova = pe.sections[-1]
    assert kova.Name.rstrip(b"\0") == b".kova"
    assert pe.FILE_HEADER.NumberOfSections == base.FILE_HEADER.NumberOfSections + 1
    assert kova.Characteristics == SCN_INITIALIZED_DATA_READ
    assert kova.Misc_VirtualSize == kova.SizeOfRawData
    assert kova.SizeOfRawData % oh.FileAlignment == 0 and kova.SizeOfRawData % oh.SectionAlignment == 0
    assert kova.PointerToRawData == align(len(original), oh.FileAlignment)
    assert kova.PointerToRawData + kova.SizeOfRawData == len(data)
    assert kova.VirtualAddress == align(base_oh.SizeOfImage, oh.SectionAlignment)
    assert oh.SizeOfImage == kova.VirtualAddress + kova.Misc_VirtualSize
    assert oh.SizeOfInitializedData == base_oh.SizeOfInitializedData + kova.SizeOfRawData
    assert oh.CheckSum == 0
    # The archive header: magic, and the stub checksum field names the bytes before the section.
    header = data[kova.PointerToRawData:kova.PointerToRawData + 36]
    assert int.from_bytes(header[0:4], "little") == 0xA4F23DE5
    assert int.from_bytes(header[4:8], "little") == 820

    image = uninstaller_image(data, pe, len(pe.sections) - 1)
    assert len(image) == len(original)
    unpe = pefile.PE(data=image)
    assert unpe.get_warnings() == []
    assert all(s.Name.rstrip(b"\0") != b".kova" for s in unpe.sections)
    assert unpe.OPTIONAL_HEADER.SizeOfImage == base_oh.SizeOfImage
    assert unpe.OPTIONAL_HEADER.SizeOfInitializedData == base_oh.SizeOfInitializedData
    # Byte for byte the stub, apart from the cleared CheckSum (and the icon,
    # which the stub patches in afterwards at the offset the script names).
    checksum_at = pe.DOS_HEADER.e_lfanew + 24 + 64
    expected = bytearray(original)
    expected[checksum_at:checksum_at + 4] = bytes(4)
    assert image == bytes(expected)

    report = json.loads(subprocess.run([str(kova_path()), "inspect", "--json", str(out)], check=True,
                                       capture_output=True, text=True).stdout)
    assert report["ok"] and report["result"] == "ok"
    icon_offset = report["script"]["iconPatchOffset"]
    icon = (ROOT / "examples/hello/hello.ico").read_bytes()[22:]
    assert 0 < icon_offset <= 999998 and len(icon) == ICON_BYTES
    # The offset is the stub's own 32x32 icon image, found through its resources.
    assert original[icon_offset:icon_offset + 16] == (40).to_bytes(4, "little") + (32).to_bytes(4, "little") + \
        (64).to_bytes(4, "little") + (1).to_bytes(2, "little") + (8).to_bytes(2, "little")
    assert report["uninstallerImageBytes"] == len(original)
