#!/usr/bin/env bash
# Builds libsodium from Debian's source package (Debian's patches applied) with its own build
# system, as Debian builds it (autoreconf, configure), into the dependency cache: a static
# library of the minimal API (Ed25519 signatures among it) for every Windows target, which
# the launcher links to verify signed file lists, and for this machine, which the native
# ornivel-publish links to make keys and sign. Called by scripts/setup.sh with DEPS and
# TRIPLETS in the environment.
set -euo pipefail
: "${DEPS:?}" "${TRIPLETS:?}"
log() { printf '[setup] %s\n' "$*"; }

# scripts/setup.sh has made apt's deb-src entry available before it runs its hooks.
source "$(dirname "$0")/../debian-source.sh"
# The source is a release without a generated configure script.
src=$(debian_source libsodium autoreconf -fi)

# build OUT [configure arguments...]: configures and builds out of the source folder, and puts
# the result in place only when it is whole.
build() {
  local out=$1 name; shift
  name=$(basename "$(dirname "$out")")
  local bld="$DEPS/build/libsodium-$name"
  log "building libsodium for $name"
  rm -rf "$bld" "$out" "$out.part"
  mkdir -p "$bld"
  (cd "$bld" && "$src/configure" --prefix="$out.part" --disable-shared --enable-static --enable-minimal \
      --disable-dependency-tracking "$@" >"$bld.log" 2>&1 &&
    make -j2 >>"$bld.log" 2>&1 && make install >>"$bld.log" 2>&1) || { tail -50 "$bld.log" >&2; exit 1; }
  mv "$out.part" "$out"
  rm -rf "$bld" "$bld.log"
}

for t in $TRIPLETS; do
  out="$DEPS/$t/libsodium"
  [[ -f "$out/lib/libsodium.a" ]] && continue
  # No stack-protector runtime (the executables import system libraries only) and no
  # hand-written assembly (written for the System V calling convention).
  build "$out" --host="$t" CC="$t-gcc-posix" --disable-ssp --disable-asm
done

out="$DEPS/native/libsodium"
[[ -f "$out/lib/libsodium.a" ]] || build "$out"
