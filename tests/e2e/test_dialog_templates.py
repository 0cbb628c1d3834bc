"""The dialog templates as the stub carries them, read from both builds'
resources: classic templates in language 1033, the window style, the Arial
10-point font, the position, the one caption of its own (the language
dialog's), and every control's id, class, style and rectangle, table by
table. Control texts are empty: they are filled from the message table."""
import struct

import pefile
import pytest

from kovatest import BUILD

DIALOG_STYLE = 0x90C800C0   # WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT
STATIC, DEFAULT_BUTTON, BUTTON, PAGE = 0x50020000, 0x50010001, 0x50010000, 0x50A10804
CLASSES = {0x80: "BUTTON", 0x81: "EDIT", 0x82: "STATIC", 0x83: "LISTBOX"}

TEMPLATES = {
    "LANGUAGEDLG": ((180, 125), "Choose Your Language", [
        (1017, "LISTBOX", 0x50800001, (3, 3, 174, 104)),
        (1001, "BUTTON", DEFAULT_BUTTON, (3, 110, 85, 12)),
        (1003, "BUTTON", BUTTON, (92, 110, 85, 12)),
    ]),
    "LICENSEDLG": ((284, 178), "", [
        (1001, "BUTTON", DEFAULT_BUTTON, (3, 145, 277, 14)),
        (1003, "BUTTON", BUTTON, (3, 161, 277, 14)),
        (1009, "STATIC", STATIC, (3, 2, 277, 20)),
        (1005, "EDIT", PAGE, (3, 20, 277, 120)),
    ]),
    "READMEDLG": ((239, 148), "", [
        (1001, "BUTTON", DEFAULT_BUTTON, (3, 133, 115, 12)),
        (1003, "BUTTON", BUTTON, (121, 133, 115, 12)),
        (1009, "STATIC", STATIC, (3, 2, 233, 20)),
        (1005, "EDIT", PAGE, (3, 21, 233, 107)),
    ]),
    "CHOOSEDIRDLG": ((239, 57), "", [
        (1009, "STATIC", STATIC, (3, 2, 231, 20)),
        (1015, "EDIT", 0x50810080, (3, 25, 168, 12)),
        (1013, "BUTTON", BUTTON, (174, 25, 62, 12)),
        (1001, "BUTTON", DEFAULT_BUTTON, (3, 42, 115, 12)),
        (1003, "BUTTON", BUTTON, (121, 42, 115, 12)),
    ]),
    "PROGRESSDLG": ((195, 60), "", [
        (1009, "STATIC", STATIC, (5, 2, 185, 8)),
        (1007, "STATIC", 0x50000007, (5, 12, 185, 9)),
        (1011, "STATIC", STATIC, (5, 24, 185, 16)),
        (1003, "BUTTON", BUTTON, (60, 43, 75, 12)),
    ]),
}


class Reader:
    def __init__(self, data):
        self.data, self.at = data, 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.at)
        self.at += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def text(self):
        end = self.at
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        value = self.data[self.at:end].decode("utf-16-le")
        self.at = end + 2
        return value

    def name_or_ordinal(self):
        if self.data[self.at:self.at + 2] == b"\xff\xff":
            self.at += 2
            return self.take("H")
        return self.text()

    def align(self):
        self.at = (self.at + 3) & ~3


def read_template(data):
    r = Reader(data)
    style, ex_style, count, x, y, cx, cy = r.take("IIHhhhh")
    menu, cls, caption = r.name_or_ordinal(), r.name_or_ordinal(), r.text()
    points, face = r.take("H"), r.text()
    controls = []
    for _ in range(count):
        r.align()
        c_style, c_ex, cx_, cy_, cw, ch, cid = r.take("IIhhhhH")
        c_class, c_text = r.name_or_ordinal(), r.name_or_ordinal()
        extra = r.take("H")
        r.at += extra
        controls.append((cid, CLASSES.get(c_class, c_class), c_style, (cx_, cy_, cw, ch), c_ex, c_text))
    return {"style": style, "ex_style": ex_style, "position": (x, y), "size": (cx, cy), "menu": menu,
            "class": cls, "caption": caption, "font": (points, face), "controls": controls}


def dialogs(stub):
    pe = pefile.PE(str(stub))
    out = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != pefile.RESOURCE_TYPE["RT_DIALOG"]:
            continue
        for name in kind.directory.entries:
            for language in name.directory.entries:
                entry = language.data.struct
                out[str(name.name)] = (language.id, pe.get_data(entry.OffsetToData, entry.Size))
    return out


@pytest.mark.parametrize("preset", ["win32", "win64"])
def test_every_template_is_as_its_table(preset):
    stub = BUILD / preset / "kovastub.exe"
    if not stub.exists():
        pytest.fail(f"{stub} is missing: build the {preset} preset first")
    found = dialogs(stub)
    assert sorted(found) == sorted(TEMPLATES)
    for name, (size, caption, controls) in TEMPLATES.items():
        language, data = found[name]
        assert language == 1033, name
        template = read_template(data)
        assert (template["style"], template["ex_style"], template["position"], template["size"]) == \
            (DIALOG_STYLE, 0, (6, 15), size), name
        assert (template["menu"], template["class"], template["caption"], template["font"]) == \
            ("", "", caption, (10, "Arial")), name
        assert template["controls"] == [(i, c, s, r, 0, "") for i, c, s, r in controls], name
