#!/usr/bin/env bash
# The launcher's main job on the demo installation: sets up what is missing, builds, makes a
# newer client, publishes it with ornivel-publish and serves the deployment with nginx on
# loopback (unprivileged, ended with the demo), makes a demo installation with an older
# client, and runs ornivel.exe under Wine. With a display ($DISPLAY) you watch the update and
# log in yourself (any user id and password; the stand-in client opens its window; close it to end).
# Without one (or with ORNIVEL_DEMO_HEADLESS=1) it runs on a virtual display, plays the user,
# and saves screenshots of each phase under build/demo/screenshots/.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(realpath -m "${ORNIVEL_BUILD:-$ROOT/build}")"
B="$BUILD/x86_64"
DEMO="$BUILD/demo"
winpath() { echo "Z:${1//\//\\}"; }

NGINX_HELPER="$ROOT/tests/support/nginx/ornivel_nginx.py"
source "$ROOT/scripts/wine-session.sh"
SERVER=
SESSION=
cleanup() {
  if [[ -n $SERVER ]]; then kill "$SERVER" 2>/dev/null || true; wait "$SERVER" 2>/dev/null || true; fi
  if [[ -n $SESSION ]]; then wine_session_stop; fi
}
trap cleanup EXIT

bash "$ROOT/scripts/setup.sh"
ORNIVEL_BUILD="$BUILD" bash "$ROOT/scripts/build.sh"
cmake -S "$ROOT/native" -B "$BUILD/native" -G Ninja >/dev/null
cmake --build "$BUILD/native" --target ornivel-publish
PUBLISH="$BUILD/native/ornivel-publish"

echo "[demo] preparing $DEMO"
rm -rf "$DEMO/installation" "$DEMO/client" "$DEMO/deployment" "$DEMO/nginx" "$DEMO/screenshots"
mkdir -p "$DEMO/installation" "$DEMO/screenshots" "$DEMO/reference-client"
bash "$ROOT/reference-client/build.sh" "$DEMO/reference-client" >/dev/null 2>&1 || echo "[demo] (no reference client jar)"
python3 "$ROOT/demo/make_client.py" "$DEMO/client" "$ROOT/res/ornivel.bmp" \
  "$DEMO/reference-client/ornivel-reference-client.jar"

# The administrator's part: publish the client, serve the deployment with nginx.
PORT=$(python3 "$NGINX_HELPER" free-port)
"$PUBLISH" "$DEMO/client" "$DEMO/deployment" --server "http|127.0.0.1|/ornivel/deploy|$PORT|Demo deployment server"
rm -f "$DEMO/nginx.ports"
# A slow line (half a megabyte a second) keeps the progress on the screen long enough to watch.
python3 "$NGINX_HELPER" serve --prefix "$DEMO/nginx" --fragment "$DEMO/deployment/nginx.conf" \
  --port-file "$DEMO/nginx.ports" --http-port "$PORT" --limit-rate 512k 2>"$DEMO/nginx.log" &
SERVER=$!
for _ in $(seq 150); do [[ -s "$DEMO/nginx.ports" ]] || ! kill -0 "$SERVER" 2>/dev/null && break; sleep 0.1; done
if [[ ! -s "$DEMO/nginx.ports" ]]; then
  echo "[demo] nginx did not start:"; cat "$DEMO/nginx.log"; exit 1
fi
echo "[demo] nginx serves the deployment on http://127.0.0.1:$PORT/ornivel/ (version check check/, files deploy/)"

# The installation: the launcher, its server file, an outdated module, and the stand-in Java
# runtime (no Windows Java runtime exists on Linux; it plays the Java client's side).
INST="$DEMO/installation"
cp "$B/launcher/ornivel.exe" "$INST/ornivel.exe"
printf 'http://127.0.0.1:%s/ornivel/check' "$PORT" >"$INST/ornivel-Server.dat"
mkdir -p "$INST/module" "$INST/java_17.0.1/bin/client" "$INST/system/pictures"
printf 'outdated' >"$INST/module/ornivel-core-2.0.jar"
cp "$ROOT/res/ornivel.bmp" "$INST/system/pictures/ornivel.bmp"
cp "$B/tests/support/standin-jvm/runtime/jvm.dll" "$INST/java_17.0.1/bin/client/jvm.dll"
printf 'outcomes=success\nwindow=yes\nclient-ms=600000\n' >"$INST/standin-jvm.scenario"

headless=${ORNIVEL_DEMO_HEADLESS:-}
[[ -z "${DISPLAY:-}" ]] && headless=1
if [[ -z "$headless" ]]; then export ORNIVEL_KEEP_DISPLAY=1; fi
SESSION=1
ORNIVEL_WINDOW_MANAGER=1 wine_session_start "$DEMO"

status=0
if [[ -n "$headless" ]]; then
  echo "[demo] no display: running on a virtual display and playing the user"
  "$WINE64" "$B/tests/support/demo/demo_driver.exe" "$(winpath "$INST")" "$(winpath "$DEMO/screenshots")" || status=$?
  echo "[demo] screenshots:"; ls -1 "$DEMO/screenshots"
else
  echo "[demo] starting ornivel.exe on $DISPLAY: watch the update, then log in"
  (cd "$INST" && "$WINE64" ornivel.exe) || status=$?
fi
echo "[demo] the launcher ended with status $status; its log: $INST/log/launcher.log"
