#!/usr/bin/env python3
"""Fails when a source file includes across layers in a way the house does not
allow. Usage: check-layers.py [ROOT]  (default: the repository)

Each top folder is a layer; a file may include its own layer and the layers
listed for it below. The hardware layer and the shared facts are plain C++:
no Qt header there. Tests and benchmarks may use everything."""

import pathlib
import re
import sys

PLAIN = {"base", "hw"}  # no Qt
ADDON = {"base", "framework", "res", "doc", "dialogs", "view"}
ALLOWED = {
    "base": set(),
    "hw": {"base"},
    "framework": {"base"},
    "res": {"base", "framework"},
    "doc": {"base", "framework", "res"},
    "dialogs": {"base", "framework", "res", "doc", "hw"},
    "view": {"base", "framework", "res", "doc", "dialogs"},
    "journal": ADDON,
    "alarm": ADDON,
    "hwlink": ADDON | {"hw"},
    "remote": ADDON | {"journal"},  # the journal's events go out as they are
    "tools": {"base", "hw"},
    "app": None,  # puts the program together: anything
}
SKIP = {"tests", "bench", "build", "docs", "scripts", "cmake", "packaging"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
QT_HEADER = re.compile(r"^(Q[A-Za-z0-9]+|Qt[A-Za-z]+/.*|qt[a-z]+\.h)$")


def check(root):
    problems = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in {".cpp", ".h"} or not path.is_file():
            continue
        rel = path.relative_to(root)
        layer = rel.parts[0]
        if len(rel.parts) < 2 or layer in SKIP or layer.startswith("build"):
            continue
        if layer not in ALLOWED:
            problems.append(f"{rel}: folder {layer}/ is no known layer")
            continue
        allowed = ALLOWED[layer]
        text = path.read_text(encoding="utf-8", errors="replace")
        for kind, name in INCLUDE.findall(text):
            if kind == "<":
                if layer in PLAIN and QT_HEADER.match(name):
                    problems.append(f"{rel}: includes <{name}>, but {layer}/ is plain C++")
                continue
            target = name.split("/")[0] if "/" in name else layer
            if allowed is None or target == layer or target not in ALLOWED:
                continue  # own layer, or a generated or third-party header
            if target not in allowed:
                uses = ", ".join(sorted(allowed)) or "nothing"
                problems.append(f'{rel}: includes "{name}", but {layer}/ may use only {uses}')
    return problems


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[1])
    problems = check(root.resolve())
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} include(s) across layers not allowed", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
