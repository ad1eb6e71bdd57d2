#!/usr/bin/env bash
# The test command: installs what is missing, builds both targets, and runs the whole
# suite under wine64 with a virtual display. Extra arguments go to ctest (e.g. -R logdriver).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${ORNIVEL_BUILD:-$ROOT/build}"
bash "$ROOT/scripts/setup.sh"
# The layers: no include or library link against their order (no build needed).
python3 "$ROOT/scripts/check-layers.py"
ORNIVEL_BUILD="$BUILD" bash "$ROOT/scripts/build.sh"
# The pure logic, built natively with the host compiler, runs its tests without Wine.
cmake -S "$ROOT/native" -B "$BUILD/native" -G Ninja >/dev/null
cmake --build "$BUILD/native"
ctest --test-dir "$BUILD/native" --output-on-failure
# The same tests built with clang-16 under AddressSanitizer and UndefinedBehaviorSanitizer,
# then every fuzz target over its corpus and for a few seconds (fuzz/; all within two minutes).
cmake -S "$ROOT/native" -B "$BUILD/native-asan" -G Ninja -DCMAKE_CXX_COMPILER=clang++-16 -DORNIVEL_SANITIZE=ON >/dev/null
cmake --build "$BUILD/native-asan"
ctest --test-dir "$BUILD/native-asan" --output-on-failure
cmake -S "$ROOT/fuzz" -B "$BUILD/native-fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++-16 >/dev/null
cmake --build "$BUILD/native-fuzz"
ctest --test-dir "$BUILD/native-fuzz" --output-on-failure
source "$ROOT/scripts/wine-session.sh"
wine_session_start "$BUILD/x86_64"
trap wine_session_stop EXIT
ctest --test-dir "$BUILD/x86_64" --output-on-failure -j "$(nproc)" "$@"
