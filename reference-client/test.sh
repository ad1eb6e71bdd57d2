#!/bin/sh
# Builds the reference client and runs its tests with the JDK on this machine.
#   reference-client/test.sh [WORK_FOLDER]
set -eu
HERE="$(cd "$(dirname "$0")" && pwd)"
WORK="${1:-$HERE/out}"
"$HERE/build.sh" "$WORK" >/dev/null
rm -rf "$WORK/test-classes"
mkdir -p "$WORK/test-classes"
javac --release 17 -encoding UTF-8 -Xlint:all -Werror -cp "$WORK/classes" -d "$WORK/test-classes" \
  $(find "$HERE/test" -name '*.java' | sort)
java -Djava.awt.headless=true -cp "$WORK/classes:$WORK/test-classes" de.torbenwald.reference.ReferenceClientTest
