# Sourced by the benchmark scripts: the loopback test server over folders of the benchmark's
# data, a Wine session for the build, and the helpers the scripts time with.
#   bench_session_start ROOT BUILD_X86_64 WORK --folder PREFIX=FOLDER ...   (sets $port)
bench_session_start() {
  local root=$1 build=$2 work=$3
  shift 3
  rm -f "$work/ports"
  python3 "$root/tests/support/httpserver/ornivel_httpserver.py" --port-file "$work/ports" --no-lease \
    "$@" --log "$work/server.log" &
  BENCH_SERVER=$!
  source "$root/scripts/wine-session.sh"
  trap 'kill "$BENCH_SERVER" 2>/dev/null || true; wine_session_stop' EXIT
  for _ in $(seq 100); do [[ -s "$work/ports" ]] && break; sleep 0.1; done
  port=$(sed -n 's/^http=//p' "$work/ports")
  wine_session_start "$build"
}

now() { date +%s.%N; }
calc() { python3 -c "print($1)"; }
