#!/usr/bin/env bash
# For development: builds only the given x86_64 targets (and what they need) in the build
# folder $ORNIVEL_BUILD (default build/), then runs the ctest tests matching $TESTS (a
# regular expression, default: the target names) under wine64.
#   ORNIVEL_BUILD=build-me bash scripts/dev-test.sh test_sync
#   TESTS='sync|remote' bash scripts/dev-test.sh test_sync test_remote ornivel
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(realpath -m "${ORNIVEL_BUILD:-$ROOT/build}")"
B="$BUILD/x86_64"
cmake -S "$ROOT" -B "$B" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64.cmake" >/dev/null
cmake --build "$B" --target "$@"
source "$ROOT/scripts/wine-session.sh"
wine_session_start "$B"
trap wine_session_stop EXIT
regex="${TESTS:-$(IFS='|'; echo "$*")}"
ctest --test-dir "$B" --output-on-failure -R "$regex"
