#!/usr/bin/env python3
"""Compares a real installation in a Wine prefix with the plan `mediatool check --json` made.

usage: compare-plan.py PLAN.json PREFIX BEFORE_DIR AFTER_DIR

BEFORE_DIR and AFTER_DIR hold, taken before and after the installation: files.txt (every file
below drive_c/windows/system32, drive_c/windows/Fonts and drive_c/users, one "size path" a
line) and the exports fonts.reg, fontsnt.reg and uninstall.reg (UTF-16 as `reg export`
writes them; missing when the key did not exist).

Every folder, file, value and shortcut the plan names must be there, with its size or data,
and nothing else may have appeared: the installation folder holds exactly the plan's tree, the
system and fonts folders gained exactly its files (plus the marker a registered test library
leaves), the Fonts keys gained exactly its values, the uninstall key holds its five values, and
the only new .lnk files are its shortcuts. Prints one line per check; exits 1 on a mismatch.
"""
import json
import os
import sys

failures = []


def fail(message):
    failures.append(message)
    print("MISMATCH: " + message)


def unix_path(prefix, windows_path):
    """The prefix's file for a C:\\ path, each component matched without regard to case."""
    assert windows_path[1:3] == ":\\", windows_path
    current = os.path.join(prefix, "drive_" + windows_path[0].lower())
    for part in [p for p in windows_path[3:].split("\\") if p]:
        try:
            names = os.listdir(current)
        except OSError:
            return None
        match = [n for n in names if n.lower() == part.lower()]
        if not match:
            return None
        current = os.path.join(current, match[0])
    return current


def read_files(folder):
    files = {}
    with open(os.path.join(folder, "files.txt"), encoding="utf-8", errors="surrogateescape") as f:
        for line in f:
            size, path = line.rstrip("\n").split(" ", 1)
            files[path] = int(size)
    return files


def read_export(path):
    """{name: data} of the first key in a `reg export` file ("" for the default value)."""
    if not os.path.exists(path):
        return None
    text = open(path, "rb").read().decode("utf-16")
    values, keys = {}, 0
    for line in text.splitlines():
        if line.startswith("["):
            keys += 1
            continue
        if keys != 1 or "=" not in line:
            continue
        if line.startswith("@="):
            name, raw = "", line[2:]
        elif line.startswith('"'):
            end = 1
            while line[end] != '"':
                end += 2 if line[end] == "\\" else 1
            name, raw = line[1:end].replace('\\"', '"').replace("\\\\", "\\"), line[end + 2:]
        else:
            continue
        if raw.startswith('"') and raw.endswith('"'):
            values[name] = raw[1:-1].replace('\\"', '"').replace("\\\\", "\\")
        else:
            values[name] = raw  # not a REG_SZ: kept as written, so it cannot match a plan value
    return values


def main():
    plan_path, prefix, before_dir, after_dir = sys.argv[1:5]
    plan = json.load(open(plan_path, encoding="utf-8"))
    if not plan["completed"]:
        fail("the plan says the installation stops: " + str(plan["stopped_by"]))

    # The installation folder: exactly the plan's tree.
    root = unix_path(prefix, plan["install_dir"])
    actual = {}
    if root:
        for folder, dirs, names in os.walk(root):
            rel = os.path.relpath(folder, root)
            for d in dirs:
                actual[os.path.normpath(os.path.join(rel, d)).replace("/", "\\").lower()] = None
            for n in names:
                path = os.path.join(folder, n)
                actual[os.path.normpath(os.path.join(rel, n)).replace("/", "\\").lower()] = os.path.getsize(path)
    expected = {f["path"].lower(): (None if f["type"] == "folder" else f["size"]) for f in plan["installed"]}
    for path in sorted(set(expected) | set(actual)):
        if path not in actual:
            fail("installation folder: %s is in the plan but not installed" % path)
        elif path not in expected:
            fail("installation folder: %s was installed but is not in the plan" % path)
        elif actual[path] != expected[path]:
            fail("installation folder: %s has %s bytes, the plan says %s" % (path, actual[path], expected[path]))
    print("installation folder %s: %d entries compared" % (plan["install_dir"], len(expected)))
    if plan["install_cfg"] is not None and root:
        cfg = os.path.join(root, [n for n in os.listdir(root) if n.lower() == "install.cfg"][0])
        lines = open(cfg, "rb").read().decode("cp1256").split("\r\n")
        if lines[-1] == "":
            lines.pop()
        if lines != plan["install_cfg"]:
            fail("INSTALL.CFG holds %s, the plan says %s" % (lines, plan["install_cfg"]))
        print("INSTALL.CFG: %d lines compared" % len(plan["install_cfg"]))

    # New files in the system and fonts folders, and new shortcuts anywhere in the profiles.
    before, after = read_files(before_dir), read_files(after_dir)
    new = {p: s for p, s in after.items() if before.get(p) != s}
    def folder_of(windows_dir):
        path = unix_path(prefix, windows_dir)
        return os.path.relpath(path, prefix).replace(os.sep, "/") + "/" if path else None
    registered = {os.path.basename(unix_path(prefix, p) or p).lower() for p in plan["registered"]}
    for key, listing in (("system_dir", "system_files"), ("fonts_dir", "font_files")):
        base = folder_of(plan[key])
        got = {p[len(base):].lower(): s for p, s in new.items() if base and p.startswith(base)}
        want = {f["path"].lower(): f["size"] for f in plan[listing]}
        if key == "system_dir":
            # The test library's DllRegisterServer leaves "<name>.registered" beside itself.
            markers = {p[: -len(".registered")] for p in got if p.endswith(".registered")}
            got = {p: s for p, s in got.items() if not p.endswith(".registered")}
            if markers != registered:
                fail("registered components: %s, the plan says %s" % (sorted(markers), sorted(registered)))
        for path in sorted(set(got) | set(want)):
            if path not in got:
                fail("%s: %s is in the plan but was not copied" % (plan[key], path))
            elif path not in want:
                fail("%s: %s was copied but is not in the plan" % (plan[key], path))
            elif got[path] != want[path]:
                fail("%s: %s has %d bytes, the plan says %d" % (plan[key], path, got[path], want[path]))
        print("%s: %d new files compared" % (plan[key], len(want)))
    print("registered: %s" % (sorted(registered) or "none"))

    links = {p.lower() for p in new if p.lower().endswith(".lnk")}
    want_links = set()
    for link in plan["shortcuts"]:
        path = unix_path(prefix, link["path"])
        if not path or not os.path.isfile(path):
            fail("shortcut %s is missing" % link["path"])
            continue
        want_links.add(os.path.relpath(path, prefix).replace(os.sep, "/").lower())
        data = open(path, "rb").read()
        if link["target"].encode("utf-8") not in data and link["target"].encode("utf-16-le") not in data:
            fail("shortcut %s does not point at %s" % (link["path"], link["target"]))
    for extra in sorted(links - want_links):
        fail("a shortcut not in the plan: " + extra)
    print("shortcuts: %d compared" % len(plan["shortcuts"]))

    # Registry: the Fonts keys gained exactly the plan's values; the uninstall key holds its own.
    for export, key in (("fonts.reg", "HKLM\\Software\\Microsoft\\windows\\CurrentVersion\\Fonts"),
                        ("fontsnt.reg", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts")):
        old = read_export(os.path.join(before_dir, export)) or {}
        now = read_export(os.path.join(after_dir, export)) or {}
        got = {n: d for n, d in now.items() if old.get(n) != d}
        want = {v["name"]: v["data"] for v in plan["font_values"] if v["key"].lower() == key.lower()}
        if got != want:
            fail("%s gained %s, the plan says %s" % (key, got, want))
        print("%s: %d values compared" % (key, len(want)))
    now = read_export(os.path.join(after_dir, "uninstall.reg")) or {}
    want = {v["name"]: v["data"] for v in plan["uninstall_values"]}
    if now != want:
        fail("uninstall entry holds %s, the plan says %s" % (now, want))
    print("%s: %d values compared" % (plan["uninstall_key"], len(want)))
    if plan["other_files"]:
        fail("the plan names files outside the compared folders: %s" % plan["other_files"])

    if failures:
        print("%d mismatches between the plan and the installation" % len(failures))
        return 1
    print("the installation matches the plan")
    return 0


if __name__ == "__main__":
    sys.exit(main())
