#!/usr/bin/env python3
"""Checks that the code's floors are kept: every #include "folder/file.h" of a
code folder names a folder on its own floor or below, so no folder reaches
one above it and no two folders include each other. With --nm LIBRARY, also
checks that the simulation library needs no GL, GLU, GLX, X11 or OpenAL
symbol. Exit status 0 when all is well, 1 (with one line per fault) when not.

    scripts/check_floors.py [--nm build/libkelvarin_sim.a]
"""
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# What each code folder may include besides itself, from the bottom up.
FLOORS = {
    "platform": set(),
    "sim": {"platform"},
    "ai": {"platform", "sim"},
    "net": {"platform", "sim"},
    "render": {"platform", "sim"},
    "input": {"platform"},
    "sound": {"platform", "sim"},
    "ui": {"platform", "sim", "render", "input", "sound"},
    "game": {"platform", "sim", "ai", "net", "render", "input", "sound", "ui"},
}
# The headless loop lives with the program but is built on the simulation
# and the computer players alone: it may include nothing of the floors in
# between.
HEADLESS = {"game/headless.cpp", "game/headless.h"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/([A-Za-z0-9_]+\.h)"')
# Symbols of the libraries the simulation must not need.
FORBIDDEN_SYMBOL = re.compile(r"^(gl[A-Z]\w*|glu[A-Z]\w*|glX\w*|X[A-Z]\w*|XF86\w*|al[A-Z]\w*|alc[A-Z]\w*|alut\w*)$")


def include_faults():
    faults = []
    for folder, allowed in FLOORS.items():
        path = os.path.join(ROOT, folder)
        if not os.path.isdir(path):
            faults.append("%s/: the folder is missing" % folder)
            continue
        for name in sorted(os.listdir(path)):
            if not name.endswith((".cpp", ".h")):
                continue
            rel = "%s/%s" % (folder, name)
            may = {"platform", "sim", "ai", "game"} if rel in HEADLESS else allowed | {folder}
            with open(os.path.join(path, name), encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = m.group(1)
                    if target not in FLOORS:
                        continue
                    if rel in HEADLESS and target == "game" and m.group(2) != "headless.h":
                        faults.append("%s:%d includes %s/%s: the headless loop stands on the simulation alone"
                                      % (rel, number, target, m.group(2)))
                    elif target not in may:
                        faults.append("%s:%d includes %s/%s, a floor %s may not reach"
                                      % (rel, number, target, m.group(2), folder))
    return faults


def symbol_faults(library):
    out = subprocess.run(["nm", "--undefined-only", "--format=just-symbols", library], capture_output=True,
                         text=True)
    if out.returncode != 0:
        return ["nm %s failed: %s" % (library, out.stderr.strip())]
    bad = sorted({s for s in out.stdout.split() if FORBIDDEN_SYMBOL.match(s)})
    return ["%s needs %s, which the simulation must not" % (os.path.basename(library), s) for s in bad]


def main(argv):
    faults = include_faults()
    if "--nm" in argv:
        i = argv.index("--nm")
        if i + 1 >= len(argv):
            print("check_floors: --nm needs a library", file=sys.stderr)
            return 2
        faults += symbol_faults(argv[i + 1])
    for f in faults:
        print(f)
    if not faults:
        print("floors: every include runs downward%s" % (", and the simulation needs no GL, X11 or OpenAL"
                                                          if "--nm" in argv else ""))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
