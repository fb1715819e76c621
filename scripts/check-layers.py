#!/usr/bin/env python3
"""Checks that the layers of the product only reach downward.

    scripts/check-layers.py [--list]
        Reads the includes of each folder and fails on one that runs upward
        (a folder may include only itself and the folders of the layers below
        it), on a quoted include that names no file of the tree, and on
        headers that include each other round a circle.

    scripts/check-layers.py --objects BUILD_FOLDER [--nm NM]
        Reads the object files that a build made of the product's sources
        (with nm, or the NM given, such as i686-w64-mingw32-nm) and fails on
        a call that runs upward or between two folders of one layer, and on
        files that call each other round a circle.

Tests, fuzz targets, benchmarks and examples are left out.
"""
import os
import re
import subprocess
import sys

# Lowest first. A folder may include and call the folders of every earlier
# layer; folders of one layer do not reach each other.
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
# Folders the builds name as include folders, beside the top of the tree and
# the including file's own folder.
INCLUDE_FOLDERS = ["platform", "pages/resources"]


def sources(root):
    for folder in RANK:
        for base, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if name.endswith(SOURCE):
                    yield os.path.relpath(os.path.join(base, name), root)


def resolve(root, path, target):
    """The tree path an include names, or None when it names no file."""
    for folder in ["", os.path.dirname(path)] + INCLUDE_FOLDERS:
        candidate = os.path.normpath(os.path.join(folder, target))
        if os.path.isfile(os.path.join(root, candidate)):
            return candidate.replace(os.sep, "/")
    return None


def module(path):
    return os.path.splitext(path)[0]


def circles(edges):
    """Strongly connected groups of more than one node (Tarjan)."""
    index, low, stack, on, found = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on.add(v)
        for w in sorted(edges.get(v, ())):
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

    sys.setrecursionlimit(10000)
    for v in sorted(edges):
        if v not in index:
            visit(v)
    return found


def reaches(source_folder, target_folder):
    """Whether a file of source_folder may include or call one of target_folder."""
    if source_folder == target_folder:
        return True
    return RANK[target_folder] < RANK[source_folder]


def check_includes(root, listing):
    problems, by_folder, edges = [], {}, {}
    for path in sources(root):
        folder = path.split(os.sep)[0]
        with open(os.path.join(root, path), encoding="latin-1") as f:
            targets = INCLUDE.findall(f.read())
        for written in targets:
            target = resolve(root, path, written)
            if target is None:
                problems.append(f"{path}: includes \"{written}\", which names no file of the tree")
                continue
            other = target.split("/")[0]
            by_folder.setdefault(folder, set()).add(other)
            if module(target) != module(path):
                edges.setdefault(module(path), set()).add(module(target))
            if other not in RANK:
                problems.append(f"{path}: includes {target}, outside the layers")
            elif not reaches(folder, other):
                problems.append(f"{path}: includes {target}, which is not below {folder}/")
    if listing:
        for folder in sorted(by_folder, key=lambda f: (RANK[f], f)):
            print(f"{folder}/ includes: {', '.join(sorted(by_folder[folder] - {folder})) or 'nothing'}")
    for group in circles(edges):
        problems.append("include circle: " + " -> ".join(group))
    return problems


OBJECT = re.compile(r"\.dir/(.+)\.(?:cpp|c)\.(?:o|obj)$")


def product_objects(root, build):
    """(tree path of the source, object path) of every product object whose
    source is still in the tree (a build folder keeps the objects of files
    since removed)."""
    for base, _, files in os.walk(build):
        if "CMakeFiles" not in base or "googletest" in base:
            continue
        for name in files:
            full = os.path.join(base, name)
            match = OBJECT.search(full.replace(os.sep, "/"))
            if not match:
                continue
            source = match.group(1) + ".cpp"
            # The object path repeats the source's path below the folder
            # whose CMakeLists made the target.
            target_folder = os.path.relpath(base[: base.index("CMakeFiles")], build)
            tree = os.path.normpath(os.path.join("" if target_folder == "." else target_folder, source))
            tree = tree.replace(os.sep, "/")
            if tree.split("/")[0] in RANK and os.path.isfile(os.path.join(root, tree)):
                yield tree, full


def standard(name):
    """A name of the standard library's namespace std (its templates'
    instantiations, which any object may hold a copy of)."""
    if name.startswith("__Z"):
        name = name[1:]
    return name.startswith(("_ZNSt", "_ZNKSt", "_ZSt", "_ZNSa", "_ZNKSa", "_ZNSs", "_ZNKSs"))


def symbols(nm, path):
    """Strong definitions and undefined references of one object file."""
    out = subprocess.run([nm, "-P", path], capture_output=True, text=True, check=True).stdout
    defined, wanted = set(), set()
    for line in out.splitlines():
        parts = line.split()
        if len(parts) < 2:
            continue
        name, kind = parts[0], parts[1]
        if kind == "U":
            wanted.add(name)
        elif kind in "TDBRC" and kind.isupper() and not standard(name):
            defined.add(name)
    return defined, wanted


def check_calls(root, build, nm):
    problems, owners, needs = [], {}, {}
    objects = sorted(set(product_objects(root, build)))
    if not objects:
        return [f"{build}: no object file of the product found"]
    for tree, path in objects:
        defined, wanted = symbols(nm, path)
        needs.setdefault(tree, set()).update(wanted)
        for name in defined:
            owners.setdefault(name, set()).add(tree)
    edges = {}
    for tree, wanted in needs.items():
        folder = tree.split("/")[0]
        for name in wanted:
            for owner in owners.get(name, ()):
                if owner == tree:
                    continue
                edges.setdefault(module(tree), set()).add(module(owner))
                other = owner.split("/")[0]
                if not reaches(folder, other):
                    problems.append(f"{tree}: calls {name} of {owner}, which is not below {folder}/")
    for group in circles(edges):
        problems.append("call circle: " + " -> ".join(group))
    print(f"calls: {len(objects)} object files read")
    return problems


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    if "--objects" in argv:
        build = argv[argv.index("--objects") + 1]
        nm = argv[argv.index("--nm") + 1] if "--nm" in argv else "nm"
        problems = check_calls(root, build, nm)
    else:
        problems = check_includes(root, "--list" in argv)
    for p in sorted(set(problems)):
        print(p, file=sys.stderr)
    print(f"layers: {len(set(problems))} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
