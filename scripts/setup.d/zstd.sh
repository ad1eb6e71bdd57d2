#!/usr/bin/env bash
# Builds zstd's library from Debian's source package (libzstd, Debian's patches applied) with
# its own makefile, as a static library into the dependency cache:
#   $DEPS/<triplet>/zstd      every Windows target: the launcher rebuilds changed files from
#                             patches, ornivel-publish writes them
#   $DEPS/native/zstd         host gcc                                      (build/native)
#   $DEPS/native-asan/zstd    clang-16 -fsanitize=address,undefined         (build/native-asan)
#   $DEPS/native-fuzz/zstd    clang-16 -fsanitize=fuzzer-no-link,address,undefined (fuzz/)
# Single-threaded, without the legacy formats, the dictionary builder and the deprecated API.
# Called by scripts/setup.sh with DEPS and TRIPLETS in the environment.
set -euo pipefail
: "${DEPS:?}" "${TRIPLETS:?}"
log() { printf '[setup] %s\n' "$*"; }

# scripts/setup.sh has made apt's deb-src entry available before it runs its hooks.
source "$(dirname "$0")/../debian-source.sh"
source "$(dirname "$0")/../native-flavours.sh"
src=$(debian_source libzstd)

# build OUT CC AR CFLAGS [make arguments...]: builds lib/libzstd.a in a copy of the library's
# sources (its makefile builds inside its own folder) and puts the result in place only when
# it is whole.
build() {
  local out=$1 cc=$2 ar=$3 cflags=$4 name; shift 4
  name=$(basename "$(dirname "$out")")
  local bld="$DEPS/build/zstd-$name"
  log "building zstd for $name"
  rm -rf "$bld" "$out" "$out.part"
  mkdir -p "$bld" "$out.part/lib" "$out.part/include"
  cp -r "$src/lib" "$bld/lib"
  # CFLAGS from the environment, so that the makefile's own additions still apply.
  (cd "$bld/lib" && CFLAGS="$cflags" make -j2 libzstd.a CC="$cc" AR="$ar" \
      ZSTD_LEGACY_SUPPORT=0 ZSTD_LIB_DICTBUILDER=0 ZSTD_LIB_DEPRECATED=0 "$@" >"$bld.log" 2>&1) ||
    { tail -50 "$bld.log" >&2; exit 1; }
  cp "$bld/lib/libzstd.a" "$out.part/lib/"
  cp "$src/lib/zstd.h" "$src/lib/zstd_errors.h" "$out.part/include/"
  mv "$out.part" "$out"
  rm -rf "$bld" "$bld.log"
}

for t in $TRIPLETS; do
  out="$DEPS/$t/zstd"
  [[ -f "$out/lib/libzstd.a" ]] && continue
  # No hand-written assembly (written for the System V calling convention).
  build "$out" "$t-gcc-posix" "$t-ar" "-O2" ZSTD_NO_ASM=1
done

build_native_flavours zstd libzstd.a
