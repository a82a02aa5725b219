#!/usr/bin/env python3
"""Reads the PE header of each program given and checks the flags that harden it: ASLR
(dynamic base, with its relocations kept), DEP (NX compatible), terminal-server aware, and on
x86_64 high-entropy ASLR. Prints the flags it found; exits 1 when one is missing.

Usage: check-hardening.py PROGRAM.exe...
"""
import struct
import sys

IMAGE_FILE_RELOCS_STRIPPED = 0x0001
DLL_HIGH_ENTROPY_VA = 0x0020
DLL_DYNAMIC_BASE = 0x0040
DLL_NX_COMPAT = 0x0100
DLL_TERMINAL_SERVER_AWARE = 0x8000
MACHINES = {0x014C: "i386", 0x8664: "x86_64"}
BASE_RELOCATION_DIRECTORY = 5


def check(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"MZ":
        return [f"{path}: no MZ header"]
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return [f"{path}: no PE signature at {pe:#x}"]
    machine, _, _, _, _, optional_size, characteristics = struct.unpack_from(
        "<HHIIIHH", data, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    wide = magic == 0x20B  # PE32+
    dll_characteristics = struct.unpack_from("<H", data, optional + 70)[0]
    # The data directories follow NumberOfRvaAndSizes: at 92 (PE32) or 108 (PE32+).
    count_offset = optional + (108 if wide else 92)
    directories = struct.unpack_from("<I", data, count_offset)[0]
    relocation_size = 0
    if directories > BASE_RELOCATION_DIRECTORY:
        relocation_size = struct.unpack_from(
            "<II", data, count_offset + 4 + 8 * BASE_RELOCATION_DIRECTORY)[1]

    wanted = {
        "dynamic base (ASLR)": DLL_DYNAMIC_BASE,
        "NX compatible (DEP)": DLL_NX_COMPAT,
        "terminal-server aware": DLL_TERMINAL_SERVER_AWARE,
    }
    if machine == 0x8664:
        wanted["high-entropy ASLR"] = DLL_HIGH_ENTROPY_VA
    problems = []
    found = []
    for name, bit in wanted.items():
        (found if dll_characteristics & bit else problems).append(name)
    # Without relocations the loader cannot move the image, whatever the flag says.
    if characteristics & IMAGE_FILE_RELOCS_STRIPPED or relocation_size == 0:
        problems.append("relocations (stripped: ASLR cannot move the image)")
    else:
        found.append(f"relocations ({relocation_size} bytes)")
    arch = MACHINES.get(machine, hex(machine))
    print(f"{path}: {arch}, DllCharacteristics {dll_characteristics:#06x}: " + ", ".join(found))
    return [f"{path}: missing {p}" for p in problems]


def main(paths):
    if not paths:
        print(__doc__, file=sys.stderr)
        return 2
    problems = []
    for path in paths:
        problems += check(path)
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
