#!/usr/bin/env python3
"""Static checks of the built stubs with pefile (a PE parser we did not
write): machine and subsystem, imports limited to DLLs that Windows always
loads from the system directory, no archive section in the bare stub, and the
size budget of the shipped i686 stub."""
import re
import subprocess
import sys

import pefile

ALLOWED_IMPORTS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll"}
# The budget of the finished i686 stub, which every part is in now. It is
# reported (bench/stub-size tracks it) while the ceiling fails the check: the
# ceiling follows the size down, so that what a size pass took off cannot
# come back unnoticed, and comes down to the budget when the stub fits it.
BUDGET = 64 * 1024
CEILING = 104 * 1024
EXPECT = {
    pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]: ("PE32", 0x10B),
    pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]: ("PE32+", 0x20B),
}


def direct_import_calls(path, machine, start, size):
    """Counts call/jmp instructions whose target lies inside the import
    address table: the linker's auto-import of a function, which works only
    after a runtime relocation pass."""
    tool = "i686-w64-mingw32-objdump" if machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"] \
        else "x86_64-w64-mingw32-objdump"
    listing = subprocess.run([tool, "-d", path], capture_output=True, text=True, check=True).stdout
    count = 0
    for match in re.finditer(r"\t(?:call|jmp)\s+(0x[0-9a-f]+|[0-9a-f]+)\s", listing):
        target = int(match.group(1), 16)
        count += start <= target < start + size
    return count


def check(path):
    problems = []
    pe = pefile.PE(path)
    machine = pe.FILE_HEADER.Machine
    if machine not in EXPECT:
        problems.append(f"unexpected machine 0x{machine:x}")
    elif pe.OPTIONAL_HEADER.Magic != EXPECT[machine][1]:
        problems.append(f"optional header is not {EXPECT[machine][0]}")
    if pe.OPTIONAL_HEADER.Subsystem != pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]:
        problems.append("not a GUI program")
    dlls = sorted(e.dll.decode().lower() for e in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []))
    extra = [d for d in dlls if d not in ALLOWED_IMPORTS]
    if extra:
        problems.append(f"imports DLLs that may be loaded from the program's folder: {extra}")
    names = [s.Name.rstrip(b"\0").decode(errors="replace") for s in pe.sections]
    if ".kova" in names:
        problems.append("the bare stub already has an archive section")
    iat = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IAT"]]
    bad = direct_import_calls(path, machine, pe.OPTIONAL_HEADER.ImageBase + iat.VirtualAddress, iat.Size)
    if bad:
        problems.append(f"{bad} direct calls into the import table (auto-imported functions that only "
                        "the MinGW start-up code would patch; the stub has none of it)")
    size = len(pe.__data__)
    i386 = machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]
    if i386 and size > CEILING:
        problems.append(f"{size} bytes: over the {CEILING}-byte ceiling")
    elif i386 and size > BUDGET:
        print(f"  note: {size} bytes, {size - BUDGET} over the {BUDGET}-byte budget of the finished stub")
    print(f"{path}: {EXPECT.get(machine, ('?',))[0]}, {size} bytes, imports {', '.join(dlls)}")
    for p in problems:
        print(f"  FAIL: {p}")
    return not problems


if __name__ == "__main__":
    ok = all([check(p) for p in sys.argv[1:]])
    sys.exit(0 if ok else 1)
