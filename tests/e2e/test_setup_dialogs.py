"""The installer's dialogs under Wine, driven through the box reader: the
language list and its buttons speaking the highlighted language, the licence
and read-me pages, the directory dialog with its edit limit, the folder
browser and every refusal of the directory loop, and the keys that must do
nothing (Esc, the close box). Texts of the fixture's messages are its own,
so every expectation reads straight from the manifest below."""
import subprocess

import pytest

from installs import WineHost
from kovatest import BUILD, kova_path, stub_path

MANIFEST = r'''
[product]
name = "Dialog Test"
publisher = "Kova Tests"
install-dir = "C:\\KOVAE2E\\dialogs"
flags = [{flags}]

[messages]
0 = "<product> Setup"
1 = "Install <product>?"
11 = "Folder for <product>:"
14 = "Not a folder name."
16 = "No drive %c:."
17 = "Not a drive's root."
18 = "Not in %s."
19 = "Need %s on %c:, %s free. Go on?"
20 = "Question"
21 = "Problem"
22 = "Use %s?"
23 = "Create %s?"
24 = "Folder"
40 = "Installed. See the log %s?"
44 = "Licence of <product>"
45 = "Yes, I agree"
46 = "No, I refuse"
47 = "Read the licence:"
50 = "About <product>"
51 = "Read this first:"
52 = "Browse..."
63 = "First licence page of <product>."
64 = ""

[[language]]
name = "English"

[[language]]
name = "Deutsch"
[language.messages]
1 = "<product> installieren?"
48 = "Weiter"
49 = "Abbrechen"

[[license]]
text = "Second licence page.{long}"

[[readme]]
text = "Read me of <product>."

[[file]]
source = "a.txt"
name = "Installed.txt"
'''

LANGUAGE, LICENSE, README, DIRECTORY = "Choose Your Language", "Licence of Dialog Test", "About Dialog Test", "Folder"
ESC, ENTER = 27, 13
# The two licence pages and the read-me page, accepted.
PAGES = [(LICENSE, ["press id 1001"]), (LICENSE, ["press id 1001"]), (README, ["press id 1001"])]


def build(tmp_path, flags=("choose-directory",), languages=True, long_page=False):
    sources = tmp_path / "sources"
    sources.mkdir(parents=True, exist_ok=True)
    (sources / "a.txt").write_text("installed")
    text = MANIFEST.format(flags=", ".join(f'"{f}"' for f in flags),
                           long="\\r\\nline" * 200 if long_page else "")
    if not languages:
        text = text[:text.index("[[language]]")] + text[text.index("[[license]]"):]
    (sources / "kova.toml").write_text(text)
    setup = tmp_path / "setup.exe"
    subprocess.run([str(kova_path()), "build", str(sources / "kova.toml"), "-o", str(setup), "--stub",
                    str(stub_path()), "-q"], check=True)
    return setup


class Script:
    """Answers the dialogs and boxes of one run in order: a list of
    (caption, reply) pairs, where reply is a list of box reader commands, a
    button for a message box, or a callable given the dialog returning
    either. Each dialog must come with the caption expected next (None: any
    caption, for the system's own dialogs). The progress dialog is left as it
    is."""

    def __init__(self, steps, ignore=("Dialog Test Setup",)):
        self.steps = list(steps)
        self.ignore = ignore
        self.seen = []

    def __call__(self, box):
        if box.caption in self.ignore:
            return ["leave"]
        self.seen.append(box)
        assert self.steps, f"unexpected dialog {box.caption!r}: {box.text or box.controls}"
        caption, reply = self.steps.pop(0)
        assert caption is None or box.caption == caption, f"expected {caption!r}, got {box.caption!r}: {box.text}"
        return reply(box) if callable(reply) else reply


def run(wine, setup, steps, args=()):
    script = Script(steps)
    result = wine.run(setup, list(args), answer=script, dialog=script)
    assert script.steps == [], f"not reached: {script.steps}\n{result.log}"
    return result, script.seen


def texts(box, *ids):
    return [box.control(i).text for i in ids]


def test_language_list_relabels_its_buttons_and_cancel_ends_the_program(wine, tmp_path, wine_target):
    setup = build(tmp_path)

    def first_look(box):
        assert box.control(1017).items == ["English", "Deutsch"] and box.control(1017).selected == 0
        assert texts(box, 1001, 1003) == ["OK", "Cancel"] and box.default == 1001
        return ["select 1017 1", "again"]

    def german(box):
        assert box.control(1017).selected == 1
        assert texts(box, 1001, 1003) == ["Weiter", "Abbrechen"]
        return ["select 1017 0", "again"]

    def english_again(box):
        assert texts(box, 1001, 1003) == ["OK", "Cancel"]
        return ["select 1017 1", "again"]

    def german_again(box):
        assert texts(box, 1001, 1003) == ["Weiter", "Abbrechen"]
        return ["select 1017 -1", "again"]

    def nothing_selected(box):
        # No selection is no language: the buttons keep the last one's texts.
        assert box.control(1017).selected == -1
        assert texts(box, 1001, 1003) == ["Weiter", "Abbrechen"]
        return ["press id 1003"]

    steps = [(LANGUAGE, first_look), (LANGUAGE, german), (LANGUAGE, english_again), (LANGUAGE, german_again),
             (LANGUAGE, nothing_selected)]
    result, seen = run(wine, setup, steps, [f"/d:{wine_target}"])
    # Cancelled: no welcome question, nothing made.
    assert result.exit_code == 1 and result.boxes == []
    assert not WineHost(wine, BUILD / "e2e" / "logs").host_path(wine_target).exists()


@pytest.mark.parametrize("choose, welcome", [
    (["dblclick 1017 1"], "Dialog Test installieren?"),
    (["select 1017 1", f"key {ENTER}"], "Dialog Test installieren?"),
    # OK with nothing selected takes the first language.
    (["select 1017 1", "select 1017 -1", "press id 1001"], "Install Dialog Test?"),
], ids=["double-click", "enter", "ok-without-selection"])
def test_double_click_enter_or_ok_choose_the_language(wine, tmp_path, choose, welcome):
    result, seen = run(wine, build(tmp_path), [(LANGUAGE, choose), ("Kovabuild v8.2", "No")])
    # The welcome question speaks the language chosen.
    assert result.boxes[0].text == welcome


@pytest.mark.parametrize("keys", [[f"key {ESC}"], ["close"]], ids=["esc", "close-box"])
def test_esc_and_the_close_box_leave_every_dialog_open(wine, tmp_path, wine_target, keys):
    """Each dialog is sent the key (or WM_CLOSE), read again, and must still
    be there, unchanged, before it is answered."""
    def ignored(caption, then):
        """Two steps: the keys and a second reading, then the answer."""
        first = {}

        def send(box):
            # Every dialog opens centred on the 1024 x 768 screen.
            left, top, right, bottom = box.rect
            assert abs((left + right) // 2 - 512) <= 1 and abs((top + bottom) // 2 - 384) <= 1, box.rect
            first["controls"] = box.controls
            return keys + ["again"]

        def answer(box):
            assert box.controls == first["controls"]
            return then
        return [(caption, send), (caption, answer)]

    accept = ["press id 1001"]
    steps = [*ignored(LANGUAGE, accept), ("Kovabuild v8.2", "Yes"), *ignored(LICENSE, accept),
             *ignored(LICENSE, accept), *ignored(README, accept), *ignored(DIRECTORY, ["press id 1003"])]
    result, seen = run(wine, build(tmp_path), steps, [f"/d:{wine_target}"])
    assert result.exit_code == 1
    assert not WineHost(wine, BUILD / "e2e" / "logs").host_path(wine_target).exists()


def test_licence_pages_show_their_texts_and_a_refusal_writes_nothing(wine, tmp_path, wine_target):
    def first_page(box):
        assert texts(box, 1009, 1001, 1003) == ["Read the licence:", "Yes, I agree", "No, I refuse"]
        assert box.control(1005).text == "First licence page of Dialog Test."
        assert box.default == 1001
        # The page cannot be edited: typing changes nothing.
        return ["type 1005 typed", "again"]

    def typed(box):
        assert box.control(1005).text == "First licence page of Dialog Test."
        return [f"key {ENTER}"]   # the default: accept

    def second_page(box):
        assert box.control(1005).text.startswith("Second licence page.\r\nline\r\nline")
        return ["press id 1003"]

    result, seen = run(wine, build(tmp_path, languages=False, long_page=True),
                       [("Kovabuild v8.2", "Yes"), (LICENSE, first_page), (LICENSE, typed), (LICENSE, second_page)],
                       [f"/d:{wine_target}"])
    assert result.exit_code == 1
    assert [b.caption for b in result.boxes] == ["Kovabuild v8.2"]
    assert not WineHost(wine, BUILD / "e2e" / "logs").host_path(wine_target).exists()


def test_directory_loop_refuses_until_a_directory_is_confirmed(wine, tmp_path, wine_target):
    host = WineHost(wine, BUILD / "e2e" / "logs")
    existing = wine_target + "\\existing"
    host.host_path(existing).mkdir(parents=True)
    target = wine_target + "\\new folder"

    def choose(path):
        return ["set 1015 " + path, "press id 1001"]

    def first_look(box):
        assert box.caption == DIRECTORY
        assert texts(box, 1009, 1015, 1013, 1001, 1003) == ["Folder for Dialog Test:", wine_target, "Browse...",
                                                             "OK", "Cancel"]
        assert box.default == 1001
        # At most 259 characters can be typed.
        return ["set 1015 ", "type 1015 " + "x" * 300, "again"]

    def limited(box):
        assert box.control(1015).text == "x" * 259
        return choose("C:\\App?")

    def shows_target(box):
        # After a refusal the dialog starts from the text last chosen.
        assert box.control(1015).text == target
        return choose(target)

    steps = [("Kovabuild v8.2", "Yes"), *PAGES,
             (DIRECTORY, first_look), (DIRECTORY, limited),
             ("Problem", "OK"), (DIRECTORY, choose("D:")),
             ("Problem", "OK"), (DIRECTORY, choose("Q:\\App")),
             ("Problem", "OK"), (DIRECTORY, choose("C:\\")),
             ("Problem", "OK"), (DIRECTORY, choose("C:\\Program Files\\")),
             ("Problem", "OK"), (DIRECTORY, choose("\\\\server\\share\\app")),
             ("Question", "No"), (DIRECTORY, choose("  " + existing + " ")),
             (DIRECTORY, "No"), (DIRECTORY, choose(target)),
             (DIRECTORY, "No"), (DIRECTORY, shows_target),
             (DIRECTORY, "Yes"),
             ("Installation Complete", "No")]
    result, seen = run(wine, build(tmp_path, languages=False), steps, [f"/d:{wine_target}"])
    boxes = [(b.caption, b.text) for b in result.boxes]
    assert boxes == [
        ("Kovabuild v8.2", "Install Dialog Test?"),
        ("Problem", "Not a folder name.\r\nC:\\App?"),
        ("Problem", "Not a folder name.\r\nD:"),
        ("Problem", "No drive Q:."),
        ("Problem", "Not a drive's root."),
        ("Problem", "Not in C:\\Program Files."),
        ("Question", boxes[6][1]),
        ("Folder", f"Use {existing}?"),
        ("Folder", f"Create {target}?"),
        ("Folder", f"Create {target}?"),
        ("Installation Complete", boxes[10][1]),
    ], result.log
    # Free space on a network path cannot be known: the question is asked
    # (a network path has no drive letter to name).
    assert boxes[6][1].startswith("Need 9 bytes on ")
    assert (host.host_path(target) / "Installed.txt").read_text() == "installed"
    assert not (host.host_path(existing) / "Installed.txt").exists()


def test_browse_opens_the_folder_browser_on_the_current_folder(wine, tmp_path, wine_target):
    host = WineHost(wine, BUILD / "e2e" / "logs")
    start = wine_target + "\\start"
    host.host_path(start).mkdir(parents=True)

    def browser(press):
        def reply(box):
            # Centred on the 1024 x 768 screen, titled with message 11.
            left, top, right, bottom = box.rect
            assert abs((left + right) // 2 - 512) <= 2 and abs((top + bottom) // 2 - 384) <= 2, box.rect
            assert any(c.text == "Folder for Dialog Test:" for c in box.controls)
            assert box.control(press).cls == "Button"
            return [f"press id {press}"]
        return reply

    def unchanged(box):
        # Cancelled: the edit keeps its text.
        assert box.control(1015).text == start
        return ["press id 1013"]

    def chosen(box):
        # OK takes the folder preselected from the edit's text. (The first
        # browser after Wine's server starts may not preselect yet: the
        # cancelled one comes first.)
        assert box.control(1015).text.lower() == start.lower()
        return ["press id 1003"]

    steps = [("Kovabuild v8.2", "Yes"), *PAGES, (DIRECTORY, ["set 1015 " + start, "press id 1013"]),
             (None, browser(2)), (DIRECTORY, unchanged), (None, browser(1)), (DIRECTORY, chosen)]
    result, seen = run(wine, build(tmp_path, languages=False), steps, [f"/d:{wine_target}"])
    assert result.exit_code == 1
