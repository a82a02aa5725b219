#!/usr/bin/env python3
"""The rights a program's embedded manifest asks for.

Usage: check-manifest.py PROGRAM LEVEL [PROGRAM LEVEL ...]
Each PROGRAM's manifest resource (UTF-8 text inside the file) must hold exactly one
requestedExecutionLevel, and it must be LEVEL (asInvoker, requireAdministrator, ...).
"""
import re
import sys


def level(path):
    data = open(path, "rb").read()
    found = re.findall(rb'<requestedExecutionLevel\s+level="([A-Za-z]+)"', data)
    if len(found) != 1:
        return None, f"{path}: {len(found)} requestedExecutionLevel elements, expected 1"
    return found[0].decode(), None


def main(args):
    if not args or len(args) % 2:
        print(__doc__, file=sys.stderr)
        return 2
    problems = []
    for path, wanted in zip(args[::2], args[1::2]):
        got, problem = level(path)
        if problem:
            problems.append(problem)
        elif got != wanted:
            problems.append(f"{path}: asks for {got}, expected {wanted}")
        else:
            print(f"{path}: {got}")
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
