#!/usr/bin/env python3
"""The layers of the launcher, each folder one library:

    common -> logdriver -> config -> remote, jvm -> sync -> ui -> launcher

A folder uses only folders to its left; remote and jvm do not use each other. Fails (exit
status 1) with one line per offence when a project include or a library link of a layer
points against that order. "res/" (the resource identifiers) is open to every layer.
"""
import pathlib
import re
import sys

RANK = {"common": 0, "logdriver": 1, "config": 2, "remote": 3, "jvm": 3, "sync": 4, "ui": 5, "launcher": 6}
LIBRARY = {f"ornivel_{name}": name for name in RANK}
OPEN_TO_ALL = {"res"}


def allowed(user: str, used: str) -> bool:
    if used == user or used in OPEN_TO_ALL:
        return True
    return used in RANK and RANK[used] < RANK[user]


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    offences = []
    include = re.compile(r'^\s*#\s*include\s+"([^"/]+)/')
    for layer in RANK:
        folder = root / layer
        for path in sorted(folder.rglob("*")):
            if path.suffix in (".h", ".cpp"):
                for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
                    match = include.match(line)
                    if match and (match.group(1) in RANK or match.group(1) in OPEN_TO_ALL):
                        if not allowed(layer, match.group(1)):
                            offences.append(f"{path.relative_to(root)}:{number}: {layer} includes {match.group(1)}")
            elif path.name == "CMakeLists.txt":
                text = path.read_text(encoding="utf-8")
                for link in re.finditer(r"target_link_libraries\(\s*(\S+)([^)]*)\)", text):
                    for library in link.group(2).split():
                        used = LIBRARY.get(library)
                        if used and not allowed(layer, used):
                            offences.append(f"{path.relative_to(root)}: {link.group(1)} links {library}")
        for library, name in LIBRARY.items():
            if name != layer and (folder / "CMakeLists.txt").exists() and \
                    re.search(rf"add_library\(\s*{library}\b", (folder / "CMakeLists.txt").read_text(encoding="utf-8")):
                offences.append(f"{layer}/CMakeLists.txt defines {library}, the library of {name}/")
    for offence in offences:
        print(offence)
    if offences:
        print(f"{len(offences)} uses against the order of the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
