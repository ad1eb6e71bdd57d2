#!/usr/bin/env bash
# The test command: installs what is missing, builds both targets, and runs the whole
# suite under wine64 with a virtual display. Extra arguments go to every ctest run; with
# -R PATTERN (the quick inner loop, e.g. -R remote) only the matching tests run, and a native
# build without a matching test is neither built nor run.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${ORNIVEL_BUILD:-$ROOT/build}"
pattern=
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  [[ ${args[i]} == -R ]] && pattern=${args[i + 1]:-}
done
# native_run NAME SOURCE [CMAKE ARGUMENTS...]: configures, builds and runs the ctest of one
# native build, unless a pattern is given and none of its tests matches it.
native_run() {
  local dir="$BUILD/$1" source=$2; shift 2
  cmake -S "$source" -B "$dir" -G Ninja "$@" >/dev/null
  if [[ -n $pattern ]] && ! ctest --test-dir "$dir" -N -R "$pattern" | grep -q '^ *Test *#'; then
    return 0
  fi
  cmake --build "$dir"
  ctest --test-dir "$dir" --output-on-failure "${args[@]}"
}
bash "$ROOT/scripts/setup.sh"
# The layers: no include or library link against their order (no build needed).
python3 "$ROOT/scripts/check-layers.py"
ORNIVEL_BUILD="$BUILD" bash "$ROOT/scripts/build.sh"
# The pure logic, built natively with the host compiler, runs its tests without Wine.
native_run native "$ROOT/native"
# The same tests built with clang-16 under AddressSanitizer and UndefinedBehaviorSanitizer,
# then every fuzz target over its corpus and for a few seconds (fuzz/; all within two minutes).
native_run native-asan "$ROOT/native" -DCMAKE_CXX_COMPILER=clang++-16 -DORNIVEL_SANITIZE=ON
native_run native-fuzz "$ROOT/fuzz" -DCMAKE_CXX_COMPILER=clang++-16
source "$ROOT/scripts/wine-session.sh"
wine_session_start "$BUILD/x86_64"
trap wine_session_stop EXIT
ctest --test-dir "$BUILD/x86_64" --output-on-failure -j "$(nproc)" "${args[@]}"
