#!/bin/sh
# Builds the reference Java client into a JAR with the JDK on this machine (javac 17):
#   reference-client/build.sh [OUTPUT_FOLDER]   (default: reference-client/out)
# The JAR goes into an installation's "module/" folder; the launcher names the main class.
set -eu
HERE="$(cd "$(dirname "$0")" && pwd)"
OUT="${1:-$HERE/out}"
rm -rf "$OUT/classes"
mkdir -p "$OUT/classes"
javac --release 17 -encoding UTF-8 -Xlint:all -Werror -d "$OUT/classes" $(find "$HERE/src" -name '*.java' | sort)
jar --create --file "$OUT/ornivel-reference-client.jar" -C "$OUT/classes" .
echo "$OUT/ornivel-reference-client.jar"
