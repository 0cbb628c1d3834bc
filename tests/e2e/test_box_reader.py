"""The box reader itself, against a dialog of known contents
(helpers/dialog_probe.c): it reads the caption and every control whole
(a label longer than Wine's msgbox trace would show, an edit field, the
items and selection of a list and a combo box, a disabled button, the
default button), and carries out the answers a test gives: setting a text,
selecting items with the notification a user's choice sends, pressing a
button by id or by text, and refusing to press a disabled one. The probe's
OK brings a message box, which is told apart from the dialog."""
import pytest

from kovatest import windows_helper

LABEL = "Line of the probe's label, long enough to be cut. " * 20 + "\r\nEnd:\t\"quoted\" C:\\path caf\xe9"


def probe(wine, tmp_path, dialog, answer="default"):
    result = tmp_path / "result.txt"
    run = wine.run(windows_helper("dialog_probe"), [wine.windows_path(result)], answer=answer, dialog=dialog)
    return run, result


def test_reads_every_control_whole(wine, tmp_path):
    run, result = probe(wine, tmp_path, dialog=lambda box: ["press id 2"])
    assert run.exit_code == 2, run.log
    assert run.boxes == [] and len(run.dialogs) == 1
    dialog = run.dialogs[0]
    assert (dialog.caption, dialog.text, dialog.default) == ("Probe Dialog", "", 1)
    controls = [(c.id, c.cls, c.text, c.enabled, c.items, c.selected) for c in dialog.controls]
    assert controls == [
        (100, "Static", LABEL, True, None, None),
        (101, "Edit", "first text", True, None, None),
        (102, "ListBox", "", True, ["Alpha", "Beta", "Gamma"], 0),
        (103, "ComboBox", "", True, ["Alpha", "Beta", "Gamma"], 1),
        (104, "Button", "&Apply", False, None, None),
        (1, "Button", "OK", True, None, None),
        (2, "Button", "Cancel", True, None, None),
    ]
    assert dialog.buttons == ["Apply", "OK", "Cancel"]
    assert run.pressed == [("Probe Dialog", "Cancel")]
    assert not result.exists()


def test_answers_set_texts_select_items_and_press_buttons(wine, tmp_path):
    commands = ["set 101 second text", "select 102 2", "select 103 0", "press text OK"]
    run, result = probe(wine, tmp_path, dialog=lambda box: commands, answer="OK")
    expected = "edit=second text list=2/1 combo=0/1"
    assert result.read_text() == expected
    assert [(b.caption, b.text, b.default) for b in run.boxes] == [("Probe Result", expected, 2)]
    assert [d.caption for d in run.dialogs] == ["Probe Dialog", "Probe Result"]
    assert run.pressed == [("Probe Dialog", "OK"), ("Probe Result", "OK")]
    assert run.exit_code == 1, run.log


@pytest.mark.parametrize("command, fault", [
    ("press id 104", "button 104 is disabled or hidden"),
    ("press text Nothing", "no button text Nothing"),
    ("select 101 1", "select: no list or combo box of that id"),
])
def test_impossible_answers_fail_the_run(wine, tmp_path, command, fault):
    with pytest.raises(AssertionError, match=f"box reader: {fault}"):
        probe(wine, tmp_path, dialog=lambda box: [command])
