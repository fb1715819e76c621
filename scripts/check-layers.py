#!/usr/bin/env python3
"""Lists the includes of each folder of the product and fails on one that
runs upward: a folder may include only itself and the folders of the layers
below it. Also fails on two files whose headers include each other's, round
a circle. Tests, fuzz targets, benchmarks and examples are left out.

    scripts/check-layers.py [--list]
"""
import os
import re
import sys

# Lowest first. A folder may include the folders of every earlier layer;
# folders of one layer do not include each other.
LAYERS = [
    ["platform"],
    ["base"],
    ["config", "trust"],
    ["lang"],
    ["package"],
    ["pages", "pack", "uninst"],
    ["finish"],
    ["shell"],
]
RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
SOURCE = (".h", ".cpp", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def sources(root):
    for folder in RANK:
        for base, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if name.endswith(SOURCE):
                    yield os.path.relpath(os.path.join(base, name), root)


def includes(root, path):
    with open(os.path.join(root, path), encoding="latin-1") as f:
        for target in INCLUDE.findall(f.read()):
            if os.path.exists(os.path.join(root, target)):
                yield target


def module(path):
    return os.path.splitext(path)[0]


def circles(edges):
    """Strongly connected groups of more than one module (Tarjan)."""
    index, low, stack, on, found = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on.add(v)
        for w in edges.get(v, ()):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for v in sorted(edges):
        if v not in index:
            visit(v)
    return found


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    listing = "--list" in argv
    problems = []
    by_folder = {}
    edges = {}
    for path in sources(root):
        folder = path.split(os.sep)[0]
        for target in includes(root, path):
            other = target.split("/")[0]
            by_folder.setdefault(folder, set()).add(other)
            if module(target) != module(path):
                edges.setdefault(module(path), set()).add(module(target))
            if other not in RANK:
                problems.append(f"{path}: includes {target}, outside the layers")
            elif other != folder and RANK[other] >= RANK[folder]:
                problems.append(f"{path}: includes {target}, which is not below {folder}/")
    if listing:
        for folder in sorted(by_folder, key=lambda f: (RANK[f], f)):
            print(f"{folder}/ includes: {', '.join(sorted(by_folder[folder] - {folder})) or 'nothing'}")
    for group in circles(edges):
        problems.append("include circle: " + " -> ".join(group))
    for p in problems:
        print(p, file=sys.stderr)
    print(f"layers: {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
