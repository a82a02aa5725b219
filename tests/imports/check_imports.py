#!/usr/bin/env python3
"""Checks Windows programs against the reviewed list of what they may import.

Usage: check_imports.py ARCH LIST NAME=FILE...     (ARCH: i686 or x86_64)

For every program it reads the PE file itself (no tool of the toolchain): the machine, the
version fields of the optional header, and every imported DLL!function of the import and
delay-import tables. It fails when
  - the machine is not ARCH, or the header's oldest Windows (operating-system and subsystem
    version) is not that build's oldest Windows (i686: 5.1, Windows XP; x86_64: 6.1, Windows 7);
  - a program imports a function the list does not allow for it on ARCH (a new import must be
    reviewed and added to the list);
  - a line of the list names a Windows release newer than the build's oldest Windows;
  - a line allows something on ARCH that none of its programs imports any more (stale lines
    hide what a program really needs).
It prints every program's import count and the verdict.
"""

import struct
import sys

OLDEST = {"i686": (5, 1), "x86_64": (6, 1)}
MACHINE = {"i686": 0x14C, "x86_64": 0x8664}
# The releases a list line may name, oldest first; the last one each build accepts.
RELEASES = ["NT3.1", "NT3.51", "NT4", "2000", "XP", "XPSP1", "XPSP2", "XPSP3", "Vista", "7", "8",
            "10"]
NEWEST_ALLOWED = {"i686": "XPSP3", "x86_64": "7"}
BUILDS = {"both": {"i686", "x86_64"}, "i686": {"i686"}, "x86_64": {"x86_64"}}


class PeError(Exception):
    pass


def read_pe(path):
    """Returns (machine, (os major, minor), (subsystem major, minor), set of imports)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"MZ":
        raise PeError("no MZ header")
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise PeError("no PE signature")
    machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    opt = pe + 24
    (magic,) = struct.unpack_from("<H", data, opt)
    if magic == 0x10B:
        directories, pointer = opt + 96, 4
    elif magic == 0x20B:
        directories, pointer = opt + 112, 8
    else:
        raise PeError("unknown optional header magic %#x" % magic)
    os_version = struct.unpack_from("<HH", data, opt + 40)
    subsystem_version = struct.unpack_from("<HH", data, opt + 48)
    (directory_count,) = struct.unpack_from("<I", data, directories - 4)

    table = opt + optional_size
    section_list = []
    for i in range(sections):
        vsize, vaddr, rawsize, rawptr = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        section_list.append((vaddr, max(vsize, rawsize), rawptr))

    def offset(rva):
        for vaddr, size, rawptr in section_list:
            if vaddr <= rva < vaddr + size:
                return rawptr + rva - vaddr
        raise PeError("address %#x lies in no section" % rva)

    def string(rva):
        start = offset(rva)
        return data[start:data.index(b"\0", start)].decode("ascii")

    def names(dll, thunk_rva):
        found = set()
        ordinal_bit = 1 << (8 * pointer - 1)
        at = offset(thunk_rva)
        while True:
            (entry,) = struct.unpack_from("<Q" if pointer == 8 else "<I", data, at)
            if entry == 0:
                return found
            if entry & ordinal_bit:
                found.add("%s!#%d" % (dll, entry & 0xFFFF))
            else:
                found.add("%s!%s" % (dll, string((entry & 0x7FFFFFFF) + 2)))
            at += pointer

    def dll_name(rva):
        name = string(rva).upper()
        return name[:-4] if name.endswith(".DLL") else name

    imports = set()
    if directory_count > 1:
        rva, size = struct.unpack_from("<II", data, directories + 8)
        at = offset(rva) if size else None
        while at is not None:
            lookup, _, _, name_rva, first_thunk = struct.unpack_from("<IIIII", data, at)
            if name_rva == 0:
                break
            imports |= names(dll_name(name_rva), lookup or first_thunk)
            at += 20
    if directory_count > 13:
        rva, size = struct.unpack_from("<II", data, directories + 13 * 8)
        at = offset(rva) if size else None
        while at is not None:
            _, name_rva, _, _, name_table = struct.unpack_from("<IIIII", data, at)[:5]
            if name_rva == 0:
                break
            imports |= names(dll_name(name_rva), name_table)
            at += 32
    return machine, tuple(os_version), tuple(subsystem_version), imports


def read_list(path):
    """Lines: DLL!function  builds  programs  since  note (columns split by blanks)."""
    entries = []
    problems = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            text = line.strip()
            if not text or text.startswith("#"):
                continue
            fields = text.split(None, 4)
            where = "%s:%d" % (path, number)
            if len(fields) < 5:
                problems.append("%s: needs DLL!function, builds, programs, since and a note" % where)
                continue
            name, builds, programs, since, _ = fields
            if "!" not in name or builds not in BUILDS or since not in RELEASES:
                problems.append("%s: cannot read '%s'" % (where, text))
                continue
            dll, function = name.split("!", 1)
            entries.append({"name": dll.upper() + "!" + function, "builds": BUILDS[builds],
                            "programs": set(programs.split(",")), "since": since,
                            "where": where, "used": False})
    return entries, problems


def main(argv):
    if len(argv) < 4 or argv[1] not in OLDEST:
        print(__doc__)
        return 2
    arch, list_path, programs = argv[1], argv[2], [a.split("=", 1) for a in argv[3:]]
    entries, problems = read_list(list_path)
    newest = RELEASES.index(NEWEST_ALLOWED[arch])
    for e in entries:
        if arch in e["builds"] and RELEASES.index(e["since"]) > newest:
            problems.append("%s: %s needs Windows %s, newer than the %s build's oldest Windows"
                            % (e["where"], e["name"], e["since"], arch))

    for program, path in programs:
        try:
            machine, os_version, subsystem, imports = read_pe(path)
        except (OSError, PeError, struct.error, ValueError) as error:
            problems.append("%s (%s): cannot read: %s" % (program, path, error))
            continue
        if machine != MACHINE[arch]:
            problems.append("%s: machine %#x, expected %#x (%s)" % (program, machine, MACHINE[arch], arch))
        for what, version in (("operating-system", os_version), ("subsystem", subsystem)):
            if version != OLDEST[arch]:
                problems.append("%s: %s version %d.%d in the PE header, expected %d.%d"
                                % ((program, what) + version + OLDEST[arch]))
        unlisted = []
        for name in sorted(imports):
            allowed = [e for e in entries if e["name"] == name and arch in e["builds"]
                       and (program in e["programs"] or "all" in e["programs"])]
            for e in allowed:
                e["used"] = True
            if not allowed:
                unlisted.append(name)
        for name in unlisted:
            problems.append("%s imports %s, which the list does not allow for it on %s"
                            % (program, name, arch))
        print("%s (%s): %d imports, %d not on the list, header version %d.%d"
              % ((program, arch, len(imports), len(unlisted)) + os_version))

    checked = {p for p, _ in programs}
    for e in entries:
        mine = e["programs"] & checked or ("all" in e["programs"] and checked)
        if arch in e["builds"] and mine and not e["used"]:
            problems.append("%s: %s is listed for %s on %s but not imported: remove the line "
                            "or narrow it" % (e["where"], e["name"], ",".join(sorted(e["programs"])), arch))
    for p in problems:
        print("FAIL: " + p)
    print("imports %s: %d programs, %d list lines for this build, %d problems"
          % (arch, len(programs), sum(arch in e["builds"] for e in entries), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
