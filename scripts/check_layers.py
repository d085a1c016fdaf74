#!/usr/bin/env python3
"""Fails when a source folder includes a folder above it, when the core
includes a Qt header, or when units include each other in a loop.

A unit is a header and its source file (Foo.h + Foo.cpp); unit A depends on
unit B when either file of A includes B's header."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SRC = ROOT / "src"

# What each folder may include besides itself. The core's layers, lowest
# first; the windows sit on top of the whole core.
CORE = ["app", "frame", "video/capture", "record", "mail", "update", "notify", "video", "program"]
ALLOWED = {
    "core/app": [],
    "core/frame": ["app"],
    "core/video/capture": ["app", "frame"],
    "core/record": ["app", "frame"],
    "core/mail": ["app"],
    "core/update": ["app"],
    "core/notify": ["app", "mail"],
    "core/video": ["app", "frame", "video/capture", "record", "mail", "notify"],
    "core/program": ["app", "frame", "video/capture", "record", "mail", "update", "notify", "video"],
    "gui/widgets": CORE,
    "gui/setup": CORE + ["widgets"],
    "gui/main": CORE + ["widgets", "setup"],
    "main": CORE + ["widgets", "setup", "main"],
}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def folder_of(path):
    rel = path.relative_to(SRC).parent.as_posix()
    return rel


def include_folder(name):
    """The folder an include names: 'video/capture/X.h' -> 'video/capture'."""
    return name.rsplit("/", 1)[0] if "/" in name else ""


def main():
    problems = []
    units = {}  # unit key (folder/stem) -> set of included unit keys
    for path in sorted(SRC.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        folder = folder_of(path)
        if folder not in ALLOWED:
            problems.append(f"{path.relative_to(ROOT)}: folder {folder} has no layer rule")
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        base = folder.split("/", 1)[1] if folder.startswith(("core/", "gui/")) else folder
        key = f"{folder}/{path.stem}"
        deps = units.setdefault(key, set())
        for bracket, name in INCLUDE.findall(text):
            if bracket == "<":
                if folder.startswith("core") and re.match(r"Q[A-Za-z]+$|Qt", name):
                    problems.append(f"{path.relative_to(ROOT)}: the core includes Qt <{name}>")
                continue
            target = include_folder(name)
            if target == "":  # a file beside it
                deps.add(f"{folder}/{pathlib.Path(name).stem}")
                continue
            if target != base and target not in ALLOWED[folder]:
                problems.append(f"{path.relative_to(ROOT)}: {folder} may not include {name}")
            prefix = "gui" if target in ("main", "setup", "widgets") else "core"
            deps.add(f"{prefix}/{target}/{pathlib.Path(name).stem}")

    # Loops between units: a depth-first search that reports each cycle once.
    state, stack, seen_cycles = {}, [], set()

    def visit(unit):
        state[unit] = 1
        stack.append(unit)
        for dep in sorted(units.get(unit, ())):
            if dep == unit or dep not in units:
                continue
            if state.get(dep) == 1:
                cycle = stack[stack.index(dep):]
                if frozenset(cycle) not in seen_cycles:
                    seen_cycles.add(frozenset(cycle))
                    problems.append("include loop: " + " -> ".join(cycle + [dep]))
            elif dep not in state:
                visit(dep)
        stack.pop()
        state[unit] = 2

    for unit in sorted(units):
        if unit not in state:
            visit(unit)

    for p in problems:
        print(p)
    print(f"layer check: {len(units)} units, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
