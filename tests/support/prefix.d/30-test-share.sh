#!/usr/bin/env bash
# A network share for the share-source tests: \\ornivel-test\share in the test Wine prefix is
# the folder test-share/ beside the prefix (Wine maps UNC paths through dosdevices/unc).
set -euo pipefail
[[ -n "${WINEPREFIX:-}" ]] || exit 0
share="$(dirname "$WINEPREFIX")/test-share"
mkdir -p "$share" "$WINEPREFIX/dosdevices/unc/ornivel-test"
ln -sfn "$share" "$WINEPREFIX/dosdevices/unc/ornivel-test/share"
