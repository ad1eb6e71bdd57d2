#!/usr/bin/env bash
# Builds zlib from Debian's source package (zlib, Debian's patches applied) as a static
# library into the dependency cache: its inflate and deflate, which patches of ZIP archives
# (JARs) use on both sides. The same source everywhere matters: the launcher must deflate an
# entry to exactly the bytes ornivel-publish found it reproduces.
#   $DEPS/<triplet>/zlib      every Windows target
#   $DEPS/native/zlib         host gcc                                      (build/native)
#   $DEPS/native-asan/zlib    clang-16 -fsanitize=address,undefined         (build/native-asan)
#   $DEPS/native-fuzz/zlib    clang-16 -fsanitize=fuzzer-no-link,address,undefined (fuzz/)
# Called by scripts/setup.sh with DEPS and TRIPLETS in the environment.
set -euo pipefail
: "${DEPS:?}" "${TRIPLETS:?}"
log() { printf '[setup] %s\n' "$*"; }

source "$(dirname "$0")/../debian-source.sh"
source "$(dirname "$0")/../native-flavours.sh"
src=$(debian_source zlib)
# The library's own C files, without the gzip file functions (no file access is needed).
sources=(adler32 compress crc32 deflate infback inffast inflate inftrees trees uncompr zutil)

# build OUT CC AR CFLAGS: compiles the sources and puts lib/libz.a in place only when it is whole.
build() {
  local out=$1 cc=$2 ar=$3 cflags=$4 name
  name=$(basename "$(dirname "$out")")
  local bld="$DEPS/build/zlib-$name"
  log "building zlib for $name"
  rm -rf "$bld" "$out" "$out.part"
  mkdir -p "$bld" "$out.part/lib" "$out.part/include"
  for s in "${sources[@]}"; do
    # shellcheck disable=SC2086
    "$cc" $cflags -c "$src/$s.c" -I"$src" -o "$bld/$s.o" 2>>"$bld.log" ||
      { tail -50 "$bld.log" >&2; exit 1; }
  done
  "$ar" rcs "$out.part/lib/libz.a" "$bld"/*.o
  cp "$src/zlib.h" "$src/zconf.h" "$out.part/include/"
  mv "$out.part" "$out"
  rm -rf "$bld" "$bld.log"
}

for t in $TRIPLETS; do
  out="$DEPS/$t/zlib"
  [[ -f "$out/lib/libz.a" ]] || build "$out" "$t-gcc-posix" "$t-ar" "-O2"
done

build_native_flavours zlib libz.a
