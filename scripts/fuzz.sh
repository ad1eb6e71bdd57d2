#!/usr/bin/env bash
# The long fuzzing campaign: builds the fuzz targets (build/native-fuzz, see fuzz/CMakeLists.txt)
# and runs each for SECONDS (default 600), one target at a time at low priority. Each target
# keeps its corpus in build/fuzz-campaign/TARGET/new, so a campaign goes on from the last one;
# a finding (crash, sanitizer report, broken invariant, leak, time-out) is saved there as
# crash-*, leak-*, timeout-* or oom-* and the target is started again for the rest of its time.
# Prints per target the executions, libFuzzer's coverage counts (cov: edges, ft: features)
# and the findings of this campaign.
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
# ORNIVEL_FUZZ_RUNS=N ends a target after N executions if that comes before its time.
# ORNIVEL_FUZZ_DECODER_SEEDS=1 adds the RAR test archives of Debian's libarchive source to
# the extraction target's seeds: they reach the decoders at once, but their dictionaries of
# up to 256 MB make each run of such an input some hundred times slower under the sanitizers.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${ORNIVEL_BUILD:-$ROOT/build}"
seconds=${1:-600}
shift || true

bash "$ROOT/scripts/setup.sh" >/dev/null
cmake -S "$ROOT/fuzz" -B "$BUILD/native-fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++-16 >/dev/null
nice -n 10 cmake --build "$BUILD/native-fuzz" -j2 >/dev/null
targets=("$@")
((${#targets[@]})) || IFS=';' read -r -a targets <"$BUILD/native-fuzz/fuzz-targets.txt" || true  # one line, no line end

findings_in() {
  find "$1" -maxdepth 1 \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l
}

printf '%-18s %12s %8s %6s %7s %9s\n' target executions exec/s cov ft findings
for target in "${targets[@]}"; do
  work="$BUILD/fuzz-campaign/$target"
  mkdir -p "$work"
  seeds=()
  [[ $target == rar_extraction && -n ${ORNIVEL_FUZZ_DECODER_SEEDS:-} ]] && seeds+=("$BUILD/native-fuzz/rar-seeds")
  before=$(findings_in "$work")
  executions=0 cov=0 ft=0 started=$SECONDS
  while :; do
    left=$((seconds - (SECONDS - started)))
    ((left > 0)) || break
    runs=()
    if [[ -n ${ORNIVEL_FUZZ_RUNS:-} ]]; then
      ((executions < ORNIVEL_FUZZ_RUNS)) || break
      runs=(-runs=$((ORNIVEL_FUZZ_RUNS - executions)))
    fi
    status=0
    ORNIVEL_FUZZ_KEEP=1 ORNIVEL_FUZZ_OPTIONS="${runs[*]:-}" nice -n 10 bash "$ROOT/fuzz/run-target.sh" \
      "$BUILD/native-fuzz/fuzz_$target" "$target" "$work" "$left" "${seeds[@]}" >"$work/last.log" 2>&1 || status=$?
    executions=$((executions + $(sed -n 's/^stat::number_of_executed_units: *//p' "$work/last.log" | tail -1)))
    line=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$work/last.log" | tail -1 || true)
    [[ -n $line ]] && read -r _ cov _ ft <<<"$line"
    ((status == 0)) && break
    (($(findings_in "$work") - before < 20)) || break  # the same fault over and over
  done
  elapsed=$((SECONDS - started))
  printf '%-18s %12d %8d %6d %7d %9d\n' "$target" "$executions" $((executions / (elapsed > 0 ? elapsed : 1))) \
    "$cov" "$ft" $(($(findings_in "$work") - before))
done
