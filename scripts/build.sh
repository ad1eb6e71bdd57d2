#!/usr/bin/env bash
# Configures and builds both Windows targets: build/i686 (the product) and build/x86_64
# (the same sources plus the tests, run under wine64).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${ORNIVEL_BUILD:-$ROOT/build}"
for arch in i686 x86_64; do
  extra=()
  [[ $arch == x86_64 ]] && extra+=("-DORNIVEL_I686_EXE=$BUILD/i686/launcher/ornivel.exe")
  # Configuring every time is cheap and picks up test folders added since the last run.
  cmake -S "$ROOT" -B "$BUILD/$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch.cmake" "${extra[@]}" >/dev/null
  cmake --build "$BUILD/$arch"
done
