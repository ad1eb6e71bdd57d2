#!/usr/bin/env bash
# Figures of the synchroniser: the comparison pass over 20,000 listed files (with and without
# checksums) and a whole first synchronisation of 2,000 files / 200 MiB from the loopback
# test server, against the time curl needs to fetch the same files from the same server.
#   ORNIVEL_BUILD=build-sync bash benchmarks/sync/run.sh
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
B="$(realpath -m "${ORNIVEL_BUILD:-$ROOT/build}")/x86_64"
COMPARE=${COMPARE:-20000}
FILES=${FILES:-2000}
TOTAL_MIB=${TOTAL_MIB:-200}
cmake --build "$B" --target bench_sync >/dev/null
work="$B/bench-sync"
data="$work/deploy"
mkdir -p "$work"
# The deployment: FILES files of random bytes in 20 folders and their file list.
python3 - "$data" "$FILES" "$TOTAL_MIB" <<'PY'
import hashlib, os, sys
data, files, total = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]) * 1048576
size = total // files
marker = os.path.join(data, ".made")
if os.path.exists(marker) and open(marker).read() == f"{files} {size}":
    sys.exit(0)
os.makedirs(data, exist_ok=True)
entries = []
for i in range(files):
    rel = f"module/part{i % 20:02d}/file{i:05d}.jar"
    path = os.path.join(data, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    body = os.urandom(size)
    open(path, "wb").write(body)
    entries.append((rel.replace("/", "\\"), hashlib.md5(body).hexdigest(), size))
with open(os.path.join(data, "TarnFileList.xml"), "w") as out:
    out.write("<FileList>\n")
    for rel, md5, n in entries:
        out.write(f'  <File Path="{rel}" TimestampGMT="01.02.2024 10:00:00" Size="{n}" checksum="{md5}"/>\n')
    out.write("</FileList>\n")
open(marker, "w").write(f"{files} {size}")
PY

source "$ROOT/benchmarks/bench-session.sh"
bench_session_start "$ROOT" "$B" "$work" --folder "/bench/=$data"

# curl: the list and every file, one connection reused, as the synchroniser does.
rm -rf "$work/curl" && mkdir -p "$work/curl"
cfg="$work/curl.cfg"
printf 'url = "http://127.0.0.1:%s/bench/TarnFileList.xml"\noutput = "%s/curl/TarnFileList.xml"\n' "$port" "$work" >"$cfg"
(cd "$data" && find module -type f) | while read -r rel; do
  printf 'url = "http://127.0.0.1:%s/bench/%s"\noutput = "%s/curl/%s"\ncreate-dirs\n' "$port" "$rel" "$work" "$rel"
done >>"$cfg"
t0=$(now)
curl -s -K "$cfg"
t1=$(now)
curl_time=$(calc "$t1 - $t0")

winwork=$(WINEPREFIX=$WINEPREFIX "$WINE64" winepath -w "$work" 2>/dev/null | tr -d '\r')
rm -rf "$work/inst" "$work/compare"
sync_result=$("$WINE64" "$B/benchmarks/sync/bench_sync.exe" sync "$port" "$winwork\\inst" </dev/null 2>/dev/null | tr -d '\r')
diff -rq "$data/module" "$work/inst/module" >/dev/null && same=identical || same=DIFFERENT
compare_result=$("$WINE64" "$B/benchmarks/sync/bench_sync.exe" compare "$COMPARE" "$winwork" </dev/null 2>/dev/null | tr -d '\r')
rm -rf "$work/compare" "$work/inst" "$work/curl"

read -r _ _ sync_time _ sync_status <<<"$(grep 'full-sync' <<<"$sync_result")"
printf '%-28s %10s %14s\n' case seconds 'note'
while read -r _ name secs count status; do
  printf '%-28s %10.3f %14s\n' "$name ($count files)" "$secs" "$status"
done <<<"$(grep '^RESULT compare' <<<"$compare_result")"
printf '%-28s %10.3f %14s\n' "curl ($FILES files)" "$curl_time" "$TOTAL_MIB MiB"
printf '%-28s %10.3f %14s\n' "full-sync ($FILES files)" "$sync_time" "$sync_status, $same"
printf 'ratio full-sync / curl: %.2f\n' "$(calc "$sync_time / $curl_time")"
