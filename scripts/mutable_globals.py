#!/usr/bin/env python3
"""Lists the mutable data symbols of built libraries: variables at file or
namespace scope and function-local statics, whatever their linkage, found in
the writable data sections (.data, .bss, thread-local ones), but not the
constant tables the compiler places in .data.rel.ro nor guard variables.
Prints one count line per library, and the names with -v. With --max N,
exits 1 when the first library holds more than N.

    scripts/mutable_globals.py [-v] [--max N] build/libkelvarin_sim.a [...]
"""
import argparse
import subprocess
import sys

WRITABLE = (".data", ".bss", ".tdata", ".tbss")


def mutable_symbols(library):
    out = subprocess.run(["nm", "-C", "-f", "sysv", "--defined-only", library], capture_output=True, text=True,
                         check=True).stdout
    names = []
    for line in out.splitlines():
        fields = [f.strip() for f in line.split("|")]
        if len(fields) < 7 or fields[3] != "OBJECT":
            continue
        name, section = fields[0], fields[6]
        if section.startswith(".data.rel.ro") or not section.startswith(WRITABLE):
            continue
        if name.startswith(("guard variable for", "DW.ref.")):
            continue
        names.append(name)
    return sorted(set(names))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("libraries", nargs="+")
    parser.add_argument("-v", "--verbose", action="store_true")
    parser.add_argument("--max", type=int, default=None)
    args = parser.parse_args()
    total = 0
    first = None
    for lib in args.libraries:
        names = mutable_symbols(lib)
        if first is None:
            first = len(names)
        total += len(names)
        print("%-40s %4d" % (lib, len(names)))
        if args.verbose:
            for n in names:
                print("    " + n)
    if len(args.libraries) > 1:
        print("%-40s %4d" % ("total", total))
    if args.max is not None and first > args.max:
        print("%s holds %d mutable data symbols, more than %d" % (args.libraries[0], first, args.max))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
