#!/usr/bin/env bash
# Figures of ornivel-publish (the native Linux build): a first publication of FILES files /
# TOTAL_MIB MiB (default 20,000 files, 2 GiB) against md5sum over the same files (both from
# the page cache), and a second publication after one file changed. Not a timed test.
#   ORNIVEL_BUILD=build-me bash benchmarks/publish/run.sh
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="$(realpath -m "${ORNIVEL_BUILD:-$ROOT/build}")"
FILES=${FILES:-20000}
TOTAL_MIB=${TOTAL_MIB:-2048}
cmake -S "$ROOT/native" -B "$BUILD/native" -G Ninja >/dev/null
cmake --build "$BUILD/native" --target ornivel-publish >/dev/null
PUBLISH="$BUILD/native/ornivel-publish"
work="$BUILD/bench-publish"
client="$work/client"
deployment="$work/deployment"
mkdir -p "$work"
python3 "$ROOT/benchmarks/publish/make_tree.py" "$client" "$FILES" "$TOTAL_MIB"

REPEAT=${REPEAT:-3}
calc() { python3 -c "print($1)"; }
# The shortest of REPEAT runs of a command (other work on the machine only ever adds time):
# "wall user system" in seconds. $BEFORE runs before each run, untimed.
best() {
  local best= real user sys TIMEFORMAT='%R %U %S'
  for ((run = 0; run < REPEAT; run++)); do
    [[ -n ${BEFORE:-} ]] && eval "$BEFORE"
    { time eval "$1"; } 2>"$work/time.txt"
    read -r real user sys <"$work/time.txt"
    if [[ -z $best ]] || (($(calc "int($real < ${best%% *})"))); then best="$real $user $sys"; fi
  done
  echo "$best"
}
wall() { echo "${1%% *}"; }
figure() {
  local real user sys
  read -r real user sys <<<"$1"
  printf '%.2f s (CPU %.2f s)' "$real" "$(calc "$user + $sys")"
}

# Both read from the page cache: one read of everything first.
find "$client" -type f -print0 | xargs -0 cat >/dev/null
md5_time=$(best '(cd "$client" && find . -type f -print0 | xargs -0 md5sum >/dev/null)')
BEFORE='rm -rf "$deployment"' first_time=$(best '"$PUBLISH" "$client" "$deployment" --server "http|127.0.0.1|/ornivel/deploy|8080" >"$work/first.txt"')

# One archive rebuilt each time: a new file in its place, as a build makes it.
BEFORE='changed="$client/module/part007/file$(printf %05d $((200 * (RANDOM % 100) + 7))).jar"; cp "$changed" "$work/changed.tmp" && printf x >>"$work/changed.tmp" && mv "$work/changed.tmp" "$changed"'
second_time=$(best '"$PUBLISH" "$client" "$deployment" >"$work/second.txt"')

bytes=$(du -sb "$client" | cut -f1)
echo "client folder: $FILES files, $(calc "round($bytes / 1073741824, 2)") GiB; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); shortest of $REPEAT runs each"
echo "md5sum over the files:          $(figure "$md5_time")"
echo "first publication:              $(figure "$first_time")  ($(calc "round($(wall "$first_time") / $(wall "$md5_time"), 2)") x md5sum; limit 1.2 x)"
echo "  $(sed -n 2p "$work/first.txt" | sed 's/^ *//')"
echo "publication after one change:   $(figure "$second_time")  (limit 1 s)"
echo "  $(sed -n 2p "$work/second.txt" | sed 's/^ *//')"
