#!/usr/bin/env bash
# The launcher's main job on the demo installation: sets up what is missing, builds, makes a
# demo installation with an older client and a local deployment server holding a newer one,
# and runs ornivel.exe under Wine. With a display ($DISPLAY) you watch the update and log in
# yourself (any user id and password; the stand-in client opens its window; close it to end).
# Without one (or with ORNIVEL_DEMO_HEADLESS=1) it runs on a virtual display, plays the user,
# and saves screenshots of each phase under build/demo/screenshots/.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(realpath -m "${ORNIVEL_BUILD:-$ROOT/build}")"
B="$BUILD/x86_64"
DEMO="$BUILD/demo"
winpath() { echo "Z:${1//\//\\}"; }

bash "$ROOT/scripts/setup.sh"
ORNIVEL_BUILD="$BUILD" bash "$ROOT/scripts/build.sh"

echo "[demo] preparing $DEMO"
rm -rf "$DEMO/installation" "$DEMO/deployment" "$DEMO/screenshots"
mkdir -p "$DEMO/installation" "$DEMO/deployment" "$DEMO/screenshots" "$DEMO/reference-client"
bash "$ROOT/reference-client/build.sh" "$DEMO/reference-client" >/dev/null 2>&1 || echo "[demo] (no reference client jar)"
python3 "$ROOT/demo/make_deployment.py" "$DEMO/deployment" "$ROOT/res/ornivel.bmp" \
  "$DEMO/reference-client/ornivel-reference-client.jar"

rm -f "$DEMO/port"
python3 "$ROOT/demo/demo_server.py" "$DEMO/deployment" "$DEMO/port" 0.4 2>"$DEMO/server.log" &
SERVER=$!
for _ in $(seq 100); do [[ -s "$DEMO/port" ]] && break; sleep 0.1; done
PORT=$(cat "$DEMO/port")
echo "[demo] deployment server on http://127.0.0.1:$PORT/ (version check /check, files /deploy/)"

# The installation: the launcher, its server file, an outdated module, and the stand-in Java
# runtime (no Windows Java runtime exists on Linux; it plays the Java client's side).
INST="$DEMO/installation"
cp "$B/launcher/ornivel.exe" "$INST/ornivel.exe"
printf 'http://127.0.0.1:%s/check' "$PORT" >"$INST/ornivel-Server.dat"
mkdir -p "$INST/module" "$INST/java_17.0.1/bin/client" "$INST/system/pictures"
printf 'outdated' >"$INST/module/ornivel-core-2.0.jar"
cp "$ROOT/res/ornivel.bmp" "$INST/system/pictures/ornivel.bmp"
cp "$B/tests/support/standin-jvm/runtime/jvm.dll" "$INST/java_17.0.1/bin/client/jvm.dll"
printf 'outcomes=success\nwindow=yes\nclient-ms=600000\n' >"$INST/standin-jvm.scenario"

source "$ROOT/scripts/wine-session.sh"
headless=${ORNIVEL_DEMO_HEADLESS:-}
[[ -z "${DISPLAY:-}" ]] && headless=1
if [[ -z "$headless" ]]; then export ORNIVEL_KEEP_DISPLAY=1; fi
wine_session_start "$DEMO"
cleanup() { kill "$SERVER" 2>/dev/null || true; wine_session_stop; }
trap cleanup EXIT

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
