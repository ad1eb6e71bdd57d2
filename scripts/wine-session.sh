# Sourced by the test and demo scripts: a virtual display and a persistent wineserver for
# the build's Wine prefix. Usage: wine_session_start BUILD_DIR; ...; wine_session_stop
# With ORNIVEL_WINDOW_MANAGER=1 (the demo and the benchmarks) the virtual display gets a
# window manager (openbox), as a desktop has: without one, Wine waits about 2 s whenever a
# top-level window is hidden or destroyed, which would be timed as the launcher's own.
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64

wine_session_start() {
  local build=$1 root
  root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [[ -z "${ORNIVEL_KEEP_DISPLAY:-}" || -z "${DISPLAY:-}" ]]; then
    local n=90
    while [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    ORNIVEL_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$n ]] && break; sleep 0.1; done
    if [[ -n "${ORNIVEL_WINDOW_MANAGER:-}" ]] && command -v openbox >/dev/null; then
      openbox --sm-disable </dev/null >/dev/null 2>&1 &
      ORNIVEL_WM_PID=$!
    fi
  fi
  # Wine's background services must not inherit the caller's pipes (ctest would wait for
  # them for ever), so the server and the prefix boot get /dev/null on all three streams.
  if [[ ! -d "$WINEPREFIX" ]]; then
    "$WINE64" wineboot --init </dev/null >/dev/null 2>&1 || true
    "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
  fi
  "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
  "$WINE64" wineboot </dev/null >/dev/null 2>&1 || true
  for hook in "$root"/tests/support/prefix.d/*.sh; do
    [[ -f "$hook" ]] && WINE64="$WINE64" bash "$hook" </dev/null
  done
  return 0
}

wine_session_stop() {
  "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
  [[ -n "${ORNIVEL_WM_PID:-}" ]] && kill "$ORNIVEL_WM_PID" 2>/dev/null || true
  [[ -n "${ORNIVEL_XVFB_PID:-}" ]] && kill "$ORNIVEL_XVFB_PID" 2>/dev/null || true
  return 0
}
