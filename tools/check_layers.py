#!/usr/bin/env python3
"""Fails when a library of the project calls a function of a library it does not link.

Static libraries link whatever the program brings along, so a call from a lower folder into a
higher one would go unnoticed at link time. This reads the symbols of every library with nm:
a symbol a library needs must not be defined (strongly: functions and data, not the inline
and template code every user holds a copy of) by a project library outside the ones it links,
directly or through them.

Usage: check_layers.py LAYERS_FILE, a file of lines "name|archive|linked;linked;...".
"""
import subprocess
import sys


def symbols(archive, undefined):
    flag = "--undefined-only" if undefined else "--defined-only"
    out = subprocess.run(["nm", "-g", flag, archive], capture_output=True, text=True,
                         check=True).stdout
    found = set()
    for line in out.splitlines():
        parts = line.split()
        if undefined and len(parts) == 2 and parts[0] == "U":
            found.add(parts[1])
        elif not undefined and len(parts) == 3 and parts[1] in "TDBR":
            found.add(parts[2])
    return found


def main():
    libraries = {}
    with open(sys.argv[1], encoding="utf-8") as layers:
        for line in layers:
            line = line.strip()
            if line:
                name, archive, linked = line.split("|")
                libraries[name] = (archive, [l for l in linked.split(";") if l])

    def reach(name, seen):
        for dep in libraries[name][1]:
            if dep in libraries and dep not in seen:
                seen.add(dep)
                reach(dep, seen)
        return seen

    defined = {name: symbols(archive, False) for name, (archive, _) in libraries.items()}
    faults = []
    for name, (archive, _) in libraries.items():
        allowed = reach(name, {name})
        needed = symbols(archive, True)
        for other in sorted(set(libraries) - allowed):
            wrong = needed & defined[other]
            if wrong:
                names = subprocess.run(["c++filt"], input="\n".join(sorted(wrong)),
                                       capture_output=True, text=True).stdout.split("\n")
                faults.append(f"{name} calls {other}, which it does not link: " +
                              ", ".join(n for n in names[:5] if n))
    for fault in faults:
        print("layer check: " + fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
