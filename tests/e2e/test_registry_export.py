"""kova reg export writes REGEDIT4 text that Wine's regedit imports: a sandbox
registry is filled through kova reg, exported, imported into the Wine prefix,
and each value is read back with Wine's reg query."""
import subprocess
import uuid
from pathlib import Path

import pytest

from kovatest import WINE, kova_path


def run_logged(cmd, log_path, env=None, timeout=120):
    """Runs cmd with its output in a file (never a pipe: a wineserver started
    by it would inherit the pipe). Returns the exit code and the output."""
    with open(log_path, "w") as log:
        code = subprocess.run(cmd, env=env, stdout=log, stderr=subprocess.STDOUT, timeout=timeout).returncode
    return code, Path(log_path).read_text(errors="replace")


# name, kova reg set arguments, what Wine's reg query shows (type, data)
VALUES = [
    ("Text", ["C:\\Program Files\\\"Kova\""], ("REG_SZ", "C:\\Program Files\\\"Kova\"")),
    ("Number", ["--type", "dword", "0x1f"], ("REG_DWORD", "0x1f")),
    ("Bytes", ["--type", "binary", "00,01,7f,ff"], ("REG_BINARY", "00017FFF")),
    ("Long", ["--type", "binary", "ab" * 60], ("REG_BINARY", "AB" * 60)),
    ("List", ["--type", "multi_sz", "one\\0two"], ("REG_MULTI_SZ", "one\\0two")),
    ("Path", ["--type", "expand_sz", "%WinDir%\\Kova"], ("REG_EXPAND_SZ", "%WinDir%\\Kova")),
    ("", ["default text"], ("REG_SZ", "default text")),
]


def test_export_imports_into_wine(wine, tmp_path):
    kova = kova_path()
    if not kova.exists():
        pytest.fail(f"{kova} is missing: build the native preset first")
    root = tmp_path / "sandbox"
    key = f"HKEY_CURRENT_USER\\Software\\KovaE2E\\{uuid.uuid4().hex}"

    def reg(*args):
        code, out = run_logged([str(kova), "reg", *args[:1], "--root", str(root), *args[1:]],
                               tmp_path / "kova.log")
        assert code == 0, out

    for name, args, _ in VALUES:
        reg("set", key, name or "@", *args)
    reg("set", key + "\\Sub", "Inner", "inside")
    exported = tmp_path / "export.reg"
    reg("export", key, "-o", str(exported))
    text = exported.read_bytes()
    assert text.startswith(b"REGEDIT4\r\n\r\n[" + key.encode() + b"]\r\n")

    try:
        code, out = run_logged([WINE, "regedit", "/S", wine.windows_path(exported)], tmp_path / "regedit.log",
                               env=wine.env)
        assert code == 0, out
        for name, _, (type_name, data) in VALUES:
            query = [WINE, "reg", "query", key] + (["/v", name] if name else ["/ve"])
            code, out = run_logged(query, tmp_path / "query.log", env=wine.env)
            assert code == 0, out
            shown = name or "(Default)"
            lines = [line.strip() for line in out.splitlines() if line.strip().startswith(shown)]
            assert lines, out
            assert lines[0].split("    ") == [shown, type_name, data], out
        code, out = run_logged([WINE, "reg", "query", key + "\\Sub", "/v", "Inner"], tmp_path / "sub.log",
                               env=wine.env)
        assert code == 0 and "inside" in out, out
    finally:
        run_logged([WINE, "reg", "delete", key, "/f"], tmp_path / "cleanup.log", env=wine.env)
