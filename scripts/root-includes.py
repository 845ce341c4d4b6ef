#!/usr/bin/env python3
"""Rewrites every #include "..." of a project header to its path from the source root.

    scripts/root-includes.py [FILE...]     (default: every C and C++ source of the tree)

A name resolves as the compiler would find it from the including file's folder first, then
by the map of every project header's name (and trailing path) to its path; a name that
two headers share and the including folder does not settle is reported, not guessed.
The public headers (installed side by side) keep including each other by name alone.
tests/layout/CheckLayers.cmake checks the result.
"""
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ["runtime", "model", "capi", "vehicle", "engine", "fmi", "tools", "tests", "bench", "fuzz"]
PUBLIC = {"capi/corvanta.h", "engine/corvanta_engine.h", "engine/sweep/corvanta_sweep.h",
          "vehicle/corvanta_vehicle.h", "vehicle/corvanta_signal_list.def"}
INCLUDE = re.compile(r'^(\s*#\s*include\s*)"([^"]+)"(.*)$')


def tracked(folders):
    listing = subprocess.run(["git", "ls-files", "--"] + folders, capture_output=True, text=True, check=True, cwd=ROOT)
    return [name for name in listing.stdout.split() if not name.startswith("tests/data/")]


def main(arguments):
    files = tracked(FOLDERS)
    headers = [name for name in files if re.search(r"\.(h|hpp|def|inc)$", name)]
    sources = arguments or [name for name in files if re.search(r"\.(c|cc|cpp|h|hpp|def|inc)$", name)]
    unresolved = []
    changed = 0
    for source in sources:
        path = os.path.join(ROOT, source)
        with open(path, encoding="utf-8") as handle:
            lines = handle.read().split("\n")
        edited = False
        for number, line in enumerate(lines):
            match = INCLUDE.match(line)
            if not match:
                continue
            name = match.group(2)
            beside = os.path.normpath(os.path.join(os.path.dirname(source), name))
            if os.path.isfile(os.path.join(ROOT, beside)):
                target = beside
            elif "/" in name and os.path.isfile(os.path.join(ROOT, name)):
                target = name
            else:
                candidates = [header for header in headers if header == name or header.endswith("/" + name)]
                if len(candidates) != 1:
                    if candidates:
                        unresolved.append(f"{source}:{number + 1}: \"{name}\" is one of {', '.join(candidates)}")
                    continue
                target = candidates[0]
            wanted = os.path.basename(target) if source in PUBLIC and target in PUBLIC else target
            if wanted != name:
                lines[number] = f'{match.group(1)}"{wanted}"{match.group(3)}'
                edited = True
        if edited:
            changed += 1
            with open(path + ".tmp", "w", encoding="utf-8") as handle:
                handle.write("\n".join(lines))
            os.replace(path + ".tmp", path)
    print(f"{changed} files rewritten")
    for entry in unresolved:
        print(f"ambiguous: {entry}", file=sys.stderr)
    return 1 if unresolved else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
