#!/usr/bin/env bash
# Throughput of the WinHTTP and socket sources against curl on loopback: one 200 MiB file and
# 1,000 files of 10 KiB, all from the same test server. Prints seconds, MiB/s and the ratio
# source/curl (throughput; above 1 means faster than curl).
#   ORNIVEL_BUILD=build-remote bash benchmarks/remote/run.sh
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
B="$(realpath -m "${ORNIVEL_BUILD:-$ROOT/build}")/x86_64"
BIG_MIB=${BIG_MIB:-200}
SMALL=${SMALL:-1000}
cmake --build "$B" --target bench_remote >/dev/null
work="$B/bench-remote"
data="$work/data"
mkdir -p "$data/small"
if [[ ! -f "$data/big.bin" || $(stat -c %s "$data/big.bin") -ne $((BIG_MIB * 1048576)) ]]; then
  head -c $((BIG_MIB * 1048576)) /dev/urandom >"$data/big.bin"
fi
for ((i = 0; i < SMALL; i++)); do
  [[ -f "$data/small/f$i.bin" ]] || head -c 10240 /dev/urandom >"$data/small/f$i.bin"
done

source "$ROOT/benchmarks/bench-session.sh"
bench_session_start "$ROOT" "$B" "$work" --folder "/bench/=$data" --folder "//bench/=$data"

rm -rf "$work/out" && mkdir -p "$work/out/curl/small"
t0=$(now)
curl -s -o "$work/out/curl/big.bin" "http://127.0.0.1:$port/bench/big.bin"
t1=$(now)
cfg="$work/curl-small.cfg"
: >"$cfg"
for ((i = 0; i < SMALL; i++)); do
  printf 'url = "http://127.0.0.1:%s/bench/small/f%d.bin"\noutput = "%s/out/curl/small/f%d.bin"\n' "$port" "$i" "$work" "$i" >>"$cfg"
done
t2=$(now)
curl -s -K "$cfg"
t3=$(now)
curl_big=$(calc "$t1 - $t0")
curl_small=$(calc "$t3 - $t2")

results=$("$WINE64" "$B/benchmarks/remote/bench_remote.exe" "$port" "$(WINEPREFIX=$WINEPREFIX "$WINE64" winepath -w "$work/out" 2>/dev/null)" big.bin "$SMALL" </dev/null 2>/dev/null | tr -d '\r')
echo "$results"
cmp -s "$data/big.bin" "$work/out/winhttp/big.bin" || echo "winhttp big file differs!"
cmp -s "$data/big.bin" "$work/out/socket/big.bin" || echo "socket big file differs!"

printf '\n%-16s %10s %12s %14s\n' case seconds MiB/s 'ratio to curl'
printf '%-16s %10.3f %12.1f %14s\n' curl-big "$curl_big" "$(calc "$BIG_MIB / $curl_big")" 1.00
printf '%-16s %10.3f %12.1f %14s\n' curl-small "$curl_small" "$(calc "$SMALL * 10 / 1024 / $curl_small")" 1.00
while read -r _ name secs bytes status; do
  base=$curl_big; [[ $name == *-small ]] && base=$curl_small
  printf '%-16s %10.3f %12.1f %14.2f %s\n' "$name" "$secs" "$(calc "$bytes / 1048576 / $secs")" \
    "$(calc "$base / $secs")" "$status"
done <<<"$(grep '^RESULT' <<<"$results")"
