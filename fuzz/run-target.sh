#!/usr/bin/env bash
# Runs one fuzz target for the tests: with SECONDS 0 every input of its corpus once (the seeds
# and the regression inputs in fuzz/corpus/TARGET, and any further seed folders), otherwise
# fuzzing for SECONDS from that corpus. New inputs and findings go to WORK, never into the
# repository; WORK is emptied first unless ORNIVEL_FUZZ_KEEP is set (scripts/fuzz.sh keeps its
# growing corpus there). ORNIVEL_FUZZ_OPTIONS adds libFuzzer options.
#   run-target.sh PROGRAM TARGET WORK SECONDS [SEED_FOLDER...]
set -euo pipefail
program=$1 target=$2 work=$3 seconds=$4
shift 4
here="$(cd "$(dirname "$0")" && pwd)"
corpus=("$here/corpus/$target" "$@")
# -handle_xfsz=0: the extraction target cuts files at a size limit and expects the write to
# fail there.
options=(-artifact_prefix="$work/" -timeout=10 -rss_limit_mb=2048 -handle_xfsz=0 -print_final_stats=1)
[[ -f "$here/dict/$target.dict" ]] && options+=(-dict="$here/dict/$target.dict")
# Inputs of a size that real files, lines and headers have; archives small (the large seeds
# still run whole from the corpus), file lists large enough to nest deep.
case $target in
  rar_extraction) options+=(-max_len=16384) ;;
  file_list) options+=(-max_len=8192) ;;
  expanded_archive) options+=(-max_len=4096) ;;
  *) options+=(-max_len=1024) ;;
esac
options+=(${ORNIVEL_FUZZ_OPTIONS:-})
# A small quarantine: freed memory is reused sooner, which keeps page faults (slow on these
# machines) down; use after free within the last 8 MB freed is still caught.
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:quarantine_size_mb=8}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
symbolizer=/usr/lib/llvm-16/bin/llvm-symbolizer
[[ -x $symbolizer ]] && export ASAN_SYMBOLIZER_PATH=$symbolizer
# Scratch files of the targets (the extraction's folders) in memory where possible.
scratch="$(mktemp -d "$( [[ -w /dev/shm ]] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/ornivel-fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
export TMPDIR="$scratch"
[[ -n ${ORNIVEL_FUZZ_KEEP:-} ]] || rm -rf "$work"
mkdir -p "$work/new"
if [[ $seconds == 0 ]]; then
  "$program" "${options[@]}" -runs=0 "${corpus[@]}"
else
  "$program" "${options[@]}" -max_total_time="$seconds" "$work/new" "${corpus[@]}"
fi
