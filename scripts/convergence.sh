#!/usr/bin/env bash
# Interrupts a whole update (restart script included) at random moments, lets it finish
# uninterrupted, and counts the runs whose installation then equals the deployment.
#   bash scripts/convergence.sh [RUNS]      (default 100)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(realpath -m "${ORNIVEL_BUILD:-$ROOT/build}")"
B="$BUILD/x86_64"
RUNS="${1:-100}"
bash "$ROOT/scripts/setup.sh"
cmake -S "$ROOT" -B "$B" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64.cmake" >/dev/null
cmake --build "$B" --target test_convergence
source "$ROOT/scripts/wine-session.sh"
export LANG=C.UTF-8
wine_session_start "$B"
trap wine_session_stop EXIT
ORNIVEL_CONVERGENCE_RUNS="$RUNS" "$B/wine-run" "$B/tests/sync/test_convergence.exe" \
  --gtest_filter='*RandomMoments' | grep -aE '^(interrupted|converged)'
