#!/usr/bin/env python3
"""Figures of the source tree's layering: lines per folder of src/, the
longest functions, and the #include edges from one folder to another.

    scripts/layer-figures.py [--functions N]

Lines count non-blank lines of .h and .cpp files. Functions come from
Universal Ctags (start and end line). An include edge is counted once per
including file and included folder; includes inside the same folder and
system headers are not edges."""
import argparse
import collections
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SRC = os.path.join(ROOT, "src")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder_of(path):
    rel = os.path.relpath(path, SRC)
    return rel.split(os.sep)[0]


def sources():
    for base, _, files in os.walk(SRC):
        for name in sorted(files):
            if name.endswith((".cpp", ".h")):
                yield os.path.join(base, name)


def included_folder(source, target):
    # Layer-rooted ("gui/CFrame.h") or relative ("../gui/CFrame.h", "CFrame.h").
    relative = os.path.normpath(os.path.join(os.path.dirname(source), target))
    if os.path.exists(relative) and relative.startswith(SRC + os.sep):
        return folder_of(relative)
    rooted = os.path.join(SRC, target)
    if os.path.exists(rooted):
        return folder_of(rooted)
    return target.split("/")[0] if "/" in target else None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--functions", type=int, default=10)
    args = parser.parse_args()

    lines = collections.Counter()
    edges = collections.Counter()
    for path in sources():
        folder = folder_of(path)
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read().splitlines()
        lines[folder] += sum(1 for line in text if line.strip())
        seen = set()
        for line in text:
            m = INCLUDE.match(line)
            if not m:
                continue
            to = included_folder(path, m.group(1))
            if to and to != folder and to not in seen:
                seen.add(to)
                edges[(folder, to)] += 1

    print("Non-blank lines per folder of src/:")
    for folder, n in sorted(lines.items()):
        print(f"  {folder:10} {n:6}")
    print(f"  {'total':10} {sum(lines.values()):6}")

    print("\nInclude edges across folders (files that include):")
    for (a, b), n in sorted(edges.items()):
        print(f"  {a:>9} -> {b:9} {n:3}")
    print(f"  {len(edges)} edges, {sum(edges.values())} including files")

    tags = subprocess.run(
        ["ctags", "-R", "--fields=+ne", "--kinds-C++=f", "-x",
         "--_xformat=%N %F %n %e", "src"],
        cwd=ROOT, capture_output=True, text=True, check=True).stdout
    functions = []
    for row in tags.splitlines():
        parts = row.split()
        if len(parts) == 4 and parts[3].isdigit():
            functions.append((int(parts[3]) - int(parts[2]) + 1, parts[0], parts[1]))
    functions.sort(reverse=True)
    print(f"\nLongest functions (lines):")
    for length, name, path in functions[: args.functions]:
        print(f"  {length:4}  {name}  {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
