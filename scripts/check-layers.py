#!/usr/bin/env python3
"""The layers of the launcher, each folder one library:

    common -> logdriver -> config -> remote, jvm, filelist -> sync -> ui -> launcher

A folder uses only folders to its left; remote, jvm and filelist (the deployment's list
format) do not use each other. The programs in tools/ (the extraction tool, ornivel-publish)
use common and filelist only. Fails (exit
status 1) with one line per offence when a project include or a library link of a layer
points against that order ("res/", the resource identifiers, is open to every layer), or
when a source that needs no Windows header, not even through the project headers it
includes, is missing from the list of pure sources that the native builds take
(cmake/pure-sources.cmake).
"""
import pathlib
import re
import sys

RANK = {"common": 0, "logdriver": 1, "config": 2, "remote": 3, "jvm": 3, "filelist": 3, "sync": 4, "ui": 5, "launcher": 6}
LIBRARY = {f"ornivel_{name}": name for name in RANK}
OPEN_TO_ALL = {"res"}
TOOLS = "tools"
TOOLS_MAY_USE = {"common", "filelist"}
WINDOWS_HEADERS = {"windows.h", "winsock2.h", "ws2tcpip.h", "winhttp.h", "commctrl.h", "shlwapi.h", "objbase.h",
                   "olectl.h", "ocidl.h", "shellapi.h", "winnetwk.h", "share.h", "io.h", "process.h"}
SYSTEM_INCLUDE = re.compile(r'^\s*#\s*include\s+<([^>]+)>', re.M)
PROJECT_INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def allowed(user: str, used: str) -> bool:
    if user == TOOLS:
        return used in TOOLS_MAY_USE
    if used == user or used in OPEN_TO_ALL:
        return True
    return used in RANK and RANK[used] < RANK[user]


def needs_windows(path: pathlib.Path, root: pathlib.Path, seen: dict) -> bool:
    """Whether the file includes a Windows header, itself or through project headers."""
    if path in seen:
        return seen[path]
    seen[path] = False  # a cycle adds nothing
    text = path.read_text(encoding="utf-8", errors="replace")
    result = any(name in WINDOWS_HEADERS for name in SYSTEM_INCLUDE.findall(text))
    for name in PROJECT_INCLUDE.findall(text):
        header = root / name
        if not header.exists():
            header = path.parent / name
        if header.exists() and needs_windows(header, root, seen):
            result = True
    seen[path] = result
    return result


def pure_list_offences(root: pathlib.Path) -> list:
    listed = set()
    text = (root / "cmake" / "pure-sources.cmake").read_text(encoding="utf-8")
    for block in re.finditer(r"set\((ORNIVEL_PURE_SOURCES|ORNIVEL_POSIX_SOURCES)([^)]*)\)", text):
        listed.update(block.group(2).split())
    offences = [f"cmake/pure-sources.cmake lists {name}, which does not exist"
                for name in sorted(listed) if not (root / name).exists()]
    seen = {}
    for layer in RANK:
        for path in sorted((root / layer).glob("*.cpp")):
            name = path.relative_to(root).as_posix()
            if name.endswith("Win32.cpp") or name in listed:
                continue
            if not needs_windows(path, root, seen):
                offences.append(f"{name} needs no Windows header but is missing from cmake/pure-sources.cmake")
    return offences


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    offences = []
    include = re.compile(r'^\s*#\s*include\s+"([^"/]+)/')
    for layer in list(RANK) + [TOOLS]:
        folder = root / layer
        for path in sorted(folder.rglob("*")):
            if path.suffix in (".h", ".cpp"):
                for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
                    match = include.match(line)
                    if match and (match.group(1) in RANK or match.group(1) in OPEN_TO_ALL) and \
                            not (layer == TOOLS and match.group(1) == TOOLS):
                        if not allowed(layer, match.group(1)):
                            offences.append(f"{path.relative_to(root)}:{number}: {layer} includes {match.group(1)}")
            elif path.name == "CMakeLists.txt" or (layer == TOOLS and path.suffix == ".cmake"):
                text = path.read_text(encoding="utf-8")
                for link in re.finditer(r"target_link_libraries\(\s*(\S+)([^)]*)\)", text):
                    for library in link.group(2).split():
                        used = LIBRARY.get(library)
                        if used and not allowed(layer, used):
                            offences.append(f"{path.relative_to(root)}: {link.group(1)} links {library}")
                if layer == TOOLS:
                    for used in sorted(set(re.findall(r"(?:\$\{[A-Z_]+\}/|\s)([a-z]+)/[A-Za-z0-9_]+\.cpp", text))):
                        if used in RANK and not allowed(layer, used):
                            offences.append(f"{path.relative_to(root)}: compiles a source of {used}/ by path")
        for library, name in LIBRARY.items():
            if name != layer and (folder / "CMakeLists.txt").exists() and \
                    re.search(rf"add_library\(\s*{library}\b", (folder / "CMakeLists.txt").read_text(encoding="utf-8")):
                offences.append(f"{layer}/CMakeLists.txt defines {library}, the library of {name}/")
    offences += pure_list_offences(root)
    for offence in offences:
        print(offence)
    if offences:
        print(f"{len(offences)} offences against the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
