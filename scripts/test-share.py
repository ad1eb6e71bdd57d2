#!/usr/bin/env python3
"""Lines of the product, of its tests and of the test-only support, and the tests' share.

    python3 scripts/test-share.py [ROOT]

Counts non-blank lines of C++ sources and headers (and the test servers' Python and shell
files under tests/): the product is the layers' folders and tools/; the tests are tests/
without tests/support/, which is counted on its own (stand-in runtime, test servers,
window drivers). The share is tests / (product + tests).
"""
import pathlib
import sys

PRODUCT = ["common", "logdriver", "config", "filelist", "remote", "jvm", "sync", "ui", "launcher", "tools"]
CODE = {".cpp", ".h", ".c"}
TEST_CODE = CODE | {".py", ".sh", ".in"}


def lines(path: pathlib.Path) -> int:
    return sum(1 for line in path.read_text(encoding="utf-8", errors="replace").splitlines() if line.strip())


def count(folder: pathlib.Path, suffixes: set, skip: pathlib.Path = None) -> int:
    if not folder.is_dir():
        return 0
    return sum(lines(p) for p in folder.rglob("*")
               if p.is_file() and p.suffix in suffixes and not (skip and skip in p.parents))


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    product = sum(count(root / name, CODE) for name in PRODUCT)
    support = count(root / "tests" / "support", TEST_CODE)
    tests = count(root / "tests", TEST_CODE, skip=root / "tests" / "support")
    print(f"product       {product:7d} lines")
    print(f"tests         {tests:7d} lines")
    print(f"test support  {support:7d} lines")
    print(f"tests' share  {tests / (product + tests):7.1%} of product and tests")
    return 0


if __name__ == "__main__":
    sys.exit(main())
