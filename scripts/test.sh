#!/usr/bin/env bash
# The test command: installs what is missing, builds both targets, and runs the whole
# suite under wine64 with a virtual display. Extra arguments go to ctest (e.g. -R logdriver).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${ORNIVEL_BUILD:-$ROOT/build}"
bash "$ROOT/scripts/setup.sh"
ORNIVEL_BUILD="$BUILD" bash "$ROOT/scripts/build.sh"
# The pure logic, built natively with the host compiler, runs its tests without Wine.
cmake -S "$ROOT/native" -B "$BUILD/native" -G Ninja >/dev/null
cmake --build "$BUILD/native"
ctest --test-dir "$BUILD/native" --output-on-failure
source "$ROOT/scripts/wine-session.sh"
wine_session_start "$BUILD/x86_64"
trap wine_session_stop EXIT
ctest --test-dir "$BUILD/x86_64" --output-on-failure -j "$(nproc)" "$@"
