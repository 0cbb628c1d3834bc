"""The uninstaller image an installer makes of itself: the program without
its archive section, a valid PE by a parser we did not write, and under
Wine it is the guard."""
import subprocess

import pefile

from kovatest import ROOT, kova_path, stub_path
from test_archive_checks import GUARD, expect_box


def test_uninstaller_image_is_the_bare_stub(wine, tmp_path):
    setup = tmp_path / "setup.exe"
    image = tmp_path / "uninst.exe"
    subprocess.run([str(kova_path()), "build", str(ROOT / "examples/hello/kova.toml"), "-o", str(setup),
                    "--stub", str(stub_path()), "-q"], check=True)
    subprocess.run([str(kova_path()), "inspect", str(setup), "--save-uninstaller", str(image)], check=True,
                   stdout=subprocess.DEVNULL)

    pe = pefile.PE(str(image))
    names = [s.Name.rstrip(b"\0") for s in pe.sections]
    assert b".kova" not in names
    installer = pefile.PE(str(setup))
    assert pe.FILE_HEADER.NumberOfSections == installer.FILE_HEADER.NumberOfSections - 1
    last = pe.sections[-1]
    alignment = pe.OPTIONAL_HEADER.SectionAlignment
    assert pe.OPTIONAL_HEADER.SizeOfImage == last.VirtualAddress + -(-last.Misc_VirtualSize // alignment) * alignment
    assert len(pe.__data__) == last.PointerToRawData + last.SizeOfRawData
    # Apart from the header fields the builder changed, the image is the stub.
    assert len(pe.__data__) == stub_path().stat().st_size

    expect_box(wine.run(image), GUARD)
