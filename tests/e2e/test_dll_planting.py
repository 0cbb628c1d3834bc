"""No library planted beside the installer is ever loaded. Installers are run
from download folders, where anyone can leave a DLL; Windows loads a library
named by its bare name from the program's own folder first unless it is a
KnownDLL, and not only the program's own loads are made that way: system
libraries and the dialog code load their helpers by bare name too.

Fifteen DLLs of names that are often planted (none of them a KnownDLL),
built here with MinGW, each writing a marker file beside itself when it is
loaded, are put beside an installer of examples/hello, which is installed in
automatic mode with the installer's folder as the current directory. Wine is
told to prefer a DLL it finds over its own for those names, as Windows does
for every library that is not a KnownDLL. The installation must happen and no
marker may appear. A control proves the test can fail: a program that loads
one of the names the naive way, under the same conditions, does load the
planted DLL.
"""
import shutil
import subprocess
import time

import pefile
import pytest

from installs import HELLO, HELLO_FILES, WineHost, build_hello, hello_installed
from kovatest import BUILD, kova_path, stub_path

# Not version.dll, though it is planted often: Wine's own user32 imports it,
# and Wine resolves that import through the program's folder while it loads
# the program's imports, before any code of the program runs. On Windows
# user32 is a KnownDLL, whose imports come from the system directory.
PLANTED = ["uxtheme", "msimg32", "dwmapi", "cryptbase", "profapi", "userenv", "winmm", "riched20", "textshaping",
           "comctl32", "propsys", "secur32", "wtsapi32", "oleacc", "shell32"]
# Native first for the planted names, as Windows treats every library that
# is not a KnownDLL.
OVERRIDES = {"WINEDLLOVERRIDES": "mscoree,mshtml=;" + ",".join(PLANTED) + "=n,b"}
# What the stub may import: libraries Windows always takes from the system
# directory, loaded before any of the stub's code runs.
KNOWN_IMPORTS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll"}

PLANTED_SOURCE = r"""
#include <windows.h>
/* A planted library: says it was loaded by leaving NAME.dll.loaded beside it. */
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH + 8];
    DWORD n = GetModuleFileNameA(instance, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      lstrcpyA(path + n, ".loaded");
      CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL));
    }
  }
  return TRUE;
}
"""

NAIVE_SOURCE = r"""
#include <stdio.h>
#include <windows.h>
/* Loads a library by its bare name, as system code does. */
int main(int argc, char** argv) {
  HMODULE module = LoadLibraryA(argc > 1 ? argv[1] : "uxtheme.dll");
  printf("%s: %p\n", argc > 1 ? argv[1] : "uxtheme.dll", (void*)module);
  return module ? 0 : 1;
}
"""


def compile_windows(source, output, *flags):
    c_file = output.with_suffix(".c")
    c_file.write_text(source)
    subprocess.run(["x86_64-w64-mingw32-gcc", "-O2", "-Wall", *flags, "-o", str(output), str(c_file)], check=True)
    c_file.unlink()


@pytest.fixture(scope="module")
def planted_dlls(tmp_path_factory):
    """The planted DLLs, built once."""
    folder = tmp_path_factory.mktemp("planted-dlls")
    for name in PLANTED:
        compile_windows(PLANTED_SOURCE, folder / f"{name}.dll", "-shared")
    return folder


@pytest.fixture
def download_folder(tmp_path, planted_dlls):
    folder = tmp_path / "Downloads"
    shutil.copytree(planted_dlls, folder)
    return folder


def markers(folder):
    return sorted(p.name for p in folder.glob("*.loaded"))


def test_planted_libraries_are_not_loaded(wine, download_folder, wine_target):
    setup = build_hello(download_folder / "setup.exe")
    run = wine.run(setup, ["/a", f"/d:{wine_target}"], cwd=download_folder, env=OVERRIDES)
    assert run.exit_code == 1 and run.boxes == [], run.log
    assert hello_installed(WineHost(wine, BUILD / "e2e" / "logs").host_path, wine_target) == list(HELLO_FILES)
    assert markers(download_folder) == []


def test_setup_window_and_folder_browser_load_nothing_planted(wine, download_folder, wine_target):
    """An interactive run: the setup window's gradient (msimg32's
    GradientFill) and the directory dialog's folder browser (shell32) are
    loaded by full path while the planted copies lie beside the installer."""
    (download_folder / "sources").mkdir()
    (download_folder / "sources" / "a.txt").write_text("a")
    (download_folder / "sources" / "kova.toml").write_text(
        '[product]\nname = "Planted"\nflags = ["choose-directory"]\n'
        '[window]\ntop-color = "#2040C0"\nbottom-color = "#000000"\n[[file]]\nsource = "a.txt"\n')
    setup = download_folder / "setup.exe"
    subprocess.run([str(kova_path()), "build", str(download_folder / "sources" / "kova.toml"), "-o", str(setup),
                    "--stub", str(stub_path()), "-q"], check=True)
    steps = iter([["press id 1013"], ["press id 2"], ["press id 1003"]])
    run = wine.run(setup, [f"/d:{wine_target}"], cwd=download_folder, env=OVERRIDES, answer="Yes",
                   dialog=lambda box: next(steps))
    assert [d.caption for d in run.dialogs][-3:-1] == ["Installation Folder", "Browse for Folder"], run.log
    assert markers(download_folder) == []


def test_language_licence_readme_and_restart_question_load_nothing_planted(wine, download_folder, wine_target):
    """Every question of an interactive installation of examples/hello, with
    a language list added and a restart wanted: the language, licence and
    read-me dialogs, the directory dialog, the shortcuts (ole32), the log
    question and the restart question, all answered while the planted copies
    lie beside the installer."""
    sources = download_folder / "hello"
    shutil.copytree(HELLO, sources)
    manifest = sources / "kova.toml"
    manifest.write_text(manifest.read_text().replace('"always-log",', '"always-log", "restart-pending",')
                        + '\n[[language]]\nname = "English"\n\n[[language]]\nname = "Deutsch"\n')
    setup = download_folder / "setup.exe"
    subprocess.run([str(kova_path()), "build", str(manifest), "-o", str(setup), "--stub", str(stub_path()), "-q"],
                   check=True)
    shutil.rmtree(sources)

    def dialog(box):
        """OK, Yes, I agree, Next: the first button of each of the stub's
        dialogs; the setup and progress windows are left alone."""
        return ["press id 1001"] if any(c.id == 1001 for c in box.controls) else ["leave"]

    def answer(box):
        return "No" if "log" in box.text.lower() else "Yes"

    run = wine.run(setup, [f"/d:{wine_target}"], cwd=download_folder, env=OVERRIDES, answer=answer, dialog=dialog)
    # Each of the stub's dialogs in its turn, and the restart question last.
    captions = iter(d.caption for d in run.dialogs)
    for expected in ("Choose Your Language", "Licence Agreement", "Read Me", "Installation Folder"):
        assert expected in captions, run.log
    assert "restart" in run.boxes[-1].text.lower(), run.log
    assert hello_installed(WineHost(wine, BUILD / "e2e" / "logs").host_path, wine_target) == list(HELLO_FILES)
    assert markers(download_folder) == []


def test_uninstaller_and_its_self_deletion_load_nothing_planted(wine, download_folder, planted_dlls, wine_target):
    """The uninstaller runs from the installation's own folder, which a user
    may have filled: the planted copies lie beside it while it removes the
    product (shortcuts, associations, its setup window) and while its
    self-deletion batch runs there."""
    setup = build_hello(download_folder / "setup.exe")
    wine.run(setup, ["/a", f"/d:{wine_target}"], cwd=download_folder, env=OVERRIDES)
    host = WineHost(wine, BUILD / "e2e" / "logs")
    uninstaller = host.host_path(f"{wine_target}\\Uninstall\\Uninstall Hello.exe")
    assert uninstaller.exists()
    for dll in planted_dlls.glob("*.dll"):
        shutil.copyfile(dll, uninstaller.parent / dll.name)
    run = wine.run(uninstaller, cwd=uninstaller.parent, env=OVERRIDES,
                   command_line=f'"{wine.windows_path(uninstaller)}" /a /u:"Hello"')
    deadline = time.monotonic() + 60
    while uninstaller.exists() and time.monotonic() < deadline:
        time.sleep(0.5)
    assert not uninstaller.exists(), run.log
    assert not host.host_path(f"{wine_target}\\Hello.txt").exists()
    assert markers(uninstaller.parent) == [] and markers(download_folder) == []


def test_control_a_naive_load_takes_the_planted_library(wine, download_folder):
    """Under the same conditions, a bare-name load without the stub's
    restriction loads what was planted: the test above can fail."""
    naive = download_folder / "naive.exe"
    compile_windows(NAIVE_SOURCE, naive)
    run = wine.run(naive, ["uxtheme.dll"], cwd=download_folder, env=OVERRIDES)
    assert run.exit_code == 0, run.log
    assert markers(download_folder) == ["uxtheme.dll.loaded"]


@pytest.mark.parametrize("preset", ["win32", "win64"])
def test_stub_imports_only_libraries_taken_from_the_system_directory(preset):
    """Imports are loaded before any of the stub's code runs, so only
    libraries that Windows never takes from the program's folder may be
    imported; every other one is loaded at run time by full path."""
    stub = BUILD / preset / "kovastub.exe"
    if not stub.exists():
        pytest.fail(f"{stub} is missing: build the {preset} preset first")
    pe = pefile.PE(str(stub))
    imports = {entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    assert imports <= KNOWN_IMPORTS

