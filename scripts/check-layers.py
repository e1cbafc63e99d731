#!/usr/bin/env python3
"""Checks that no include runs back up between the layers of the source tree.

The reporter (crash/) is built in layers, lowest first; a file may include
headers of its own group and of groups below it, never of a group above it or
beside it. Programs that use the reporter see only its public API. Prints
every offending include and exits with 1 when there is one.

Usage: scripts/check-layers.py [root]
"""

import os
import re
import sys

# Lowest first. A group is a folder prefix; the longest matching prefix wins.
# Groups on one line share a rank and may not include one another.
LAYERS = [
    ["crash/include"],
    ["crash/base"],
    ["crash/settings"],
    ["crash/flow"],
    ["crash/imaging"],
    ["crash/report/disasm"],
    ["crash/report/symbols"],
    ["crash/report/stack"],
    ["crash/report/compose"],
    ["crash/report/file"],
    ["crash/report/lists"],
    ["crash/ui/progress", "crash/ui/clipboard", "crash/ui/delivery"],
    ["crash/ui/upload"],
    ["crash/ui/sending"],
    ["crash/ui/exception_box"],
    ["crash/ui/assistant"],
    ["crash/handling/threads"],
    ["crash/handling/lifetime"],
    ["crash/handling/exception_report"],
    ["crash/handling/dispatch"],
    ["crash/handling/interception"],
    ["crash/handling/startup"],
]

# Parts of the product that use the reporter as any program would: through
# its public API only.
API_USERS = ["app", "goldmine", "sim"]

# The public API is included as "ostrel/...", from crash/include.
API_PREFIX = "ostrel/"

SOURCE = re.compile(r"\.(h|hpp|c|cpp|inc)$")
INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]+(?:"([^"]+)"|<((?:crash|ostrel)/[^>]+)>)', re.M)


def rank_of(path):
    best = None
    for rank, groups in enumerate(LAYERS):
        for group in groups:
            if path == group or path.startswith(group + "/"):
                if best is None or len(group) > len(best[1]):
                    best = (rank, group)
    return best


def target_of(include):
    if include.startswith(API_PREFIX):
        return "crash/include/" + include
    return include


def check(root):
    problems = []
    for top in ["crash"] + API_USERS:
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not SOURCE.search(name):
                    continue
                path = os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for line_no, include in includes(text):
                    problem = judge(path, include)
                    if problem:
                        problems.append(f"{path}:{line_no}: {problem}")
    return problems


def includes(text):
    # Quoted includes, and the reporter's headers however they are written.
    for match in INCLUDE.finditer(text):
        yield text.count("\n", 0, match.start()) + 1, match.group(1) or match.group(2)


def judge(path, include):
    target = target_of(include)
    if not path.startswith("crash/"):
        if target.startswith("crash/") and not target.startswith("crash/include/"):
            return f'"{include}": only the public API ("{API_PREFIX}...") is for programs'
        return None
    if path.startswith("crash/include/"):
        if not include.startswith(API_PREFIX):
            return f'"{include}": the public API includes nothing from outside itself'
        return None
    if "/" not in include:
        return f'"{include}": includes are written from the root of the tree'
    here, there = rank_of(path), rank_of(target)
    if here is None:
        return "this folder has no layer (add it to scripts/check-layers.py)"
    if not target.startswith("crash/"):
        return f'"{include}": the reporter includes nothing outside crash/'
    if there is None:
        return f'"{include}": that folder has no layer'
    if there[1] == here[1] or there[0] < here[0]:
        return None
    if there[0] == here[0]:
        return f'"{include}": {there[1]} is beside {here[1]}, not below it'
    return f'"{include}": {there[1]} is above {here[1]}'


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    problems = check(os.path.abspath(root))
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} include(s) against the layers")
        return 1
    print("layers: every include runs downwards")
    return 0


if __name__ == "__main__":
    sys.exit(main())
