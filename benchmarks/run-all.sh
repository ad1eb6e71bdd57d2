#!/usr/bin/env bash
# Every speed figure of the launcher in one go, each side by side with its reference tool in
# the same run, printed as one table of ratios with the machine's core count and load.
#
#   ORNIVEL_BUILD=build-me bash benchmarks/run-all.sh            # every figure, 3 rounds
#   REPEAT=5 FIGURES="socket winhttp" bash benchmarks/run-all.sh  # a subset
#
# Figures: md5, socket, winhttp, sync, launcher, compare, memory, start, broken, patch, patchmem.
# "sync" and "launcher" also run the bare WinHTTP loop (bench_remote winhttp-loop: the same files
# one after the other through one WinHTTP session, each written to disk). The HTTP
# figures fetch from nginx (Debian's nginx-light), started here unprivileged on a loopback port;
# "broken" fetches through a relay in front of it that breaks every connection after 4 MiB
# (benchmarks/remote/breaking_relay.py); "patch" updates an installation of real JARs from npm
# patched and whole over a relay of 2 MiB/s and 50 ms, "patchmem" rebuilds a 100 MiB file from a
# patch (benchmarks/patch/run.sh);
# the program figures run the x86_64 build under Wine (the whole launcher with its dialog
# on a virtual display). Data is made once under <build>/x86_64/bench-all and kept.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(realpath -m "${ORNIVEL_BUILD:-$ROOT/build}")"
B="$BUILD/x86_64"
W="$B/bench-all"
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}

for tool in nginx curl md5sum python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/setup.sh" >&2; exit 1; }
done
cmake -S "$ROOT" -B "$B" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64.cmake" >/dev/null
cmake --build "$B" --target bench_updatedata bench_remote bench_sync bench_start bench_start_imports bench_patch ornivel standin_jvm >/dev/null
mkdir -p "$W"

# nginx on a free loopback port, every path of its own under $W/nginx. As root its workers
# would switch to another user, so the whole server then runs as nobody.
NGINX_DIR="$W/nginx"
rm -rf "$NGINX_DIR" && mkdir -p "$NGINX_DIR/tmp" "$W/www"
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$NGINX_DIR/nginx.conf" <<EOF
worker_processes 1;
pid $NGINX_DIR/nginx.pid;
error_log $NGINX_DIR/error.log;
events { worker_connections 1024; }
http {
  log_format timing '\$msec \$status \$bytes_sent \$request_uri';
  access_log $NGINX_DIR/access.log timing buffer=256k flush=1s;
  client_body_temp_path $NGINX_DIR/tmp/body;
  proxy_temp_path $NGINX_DIR/tmp/proxy;
  fastcgi_temp_path $NGINX_DIR/tmp/fastcgi;
  uwsgi_temp_path $NGINX_DIR/tmp/uwsgi;
  scgi_temp_path $NGINX_DIR/tmp/scgi;
  default_type application/octet-stream;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 1000000;
  open_file_cache max=10000;
  server {
    listen 127.0.0.1:$PORT;
    root $W/www;
    # The version check of the whole-launcher figure: its deployment is /launch.
    location /check/ { default_type text/plain; return 200 "http|127.0.0.1|/launch|$PORT|||"; }
  }
}
EOF
source "$ROOT/benchmarks/nginx.sh"
start_nginx "$NGINX_DIR" "$W/nginx.out"

source "$ROOT/scripts/wine-session.sh"
stop_all() {
  kill "$NGINX" 2>/dev/null || true
  wait "$NGINX" 2>/dev/null || true
  wine_session_stop
}
trap stop_all EXIT
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$PORT/" && break; sleep 0.05; done
ORNIVEL_WINDOW_MANAGER=1 wine_session_start "$B"

FIGURES="${FIGURES:-md5 socket winhttp sync launcher compare memory start broken patch patchmem}"
# The patch figures run on their own (benchmarks/patch/run.sh), after the others.
patch_figures=() other_figures=()
for figure in $FIGURES; do
  case $figure in patch | patchmem) patch_figures+=("$figure") ;; *) other_figures+=("$figure") ;; esac
done
if ((${#other_figures[@]})); then
  ROOT="$ROOT" B="$B" W="$W" PORT="$PORT" WINE64="$WINE64" NGINX_LOG="$NGINX_DIR/access.log" \
    REPEAT="${REPEAT:-3}" FIGURES="${other_figures[*]}" python3 "$ROOT/benchmarks/figures.py"
fi
if ((${#patch_figures[@]})); then
  ROOT="$ROOT" BUILD="$BUILD" B="$B" W="$W" WINE64="$WINE64" FIGURES="${patch_figures[*]}" \
    bash "$ROOT/benchmarks/patch/run.sh"
fi
