#!/usr/bin/env bash
# Builds libarchive from Debian's source package (Debian's patches applied) for every
# Windows target into the dependency cache: a static library with only what reading RAR
# archives needs (no compression libraries, crypto, XML or iconv). The extraction tool in
# tools/ links it. Called by scripts/setup.sh with DEPS and TRIPLETS in the environment.
set -euo pipefail
: "${DEPS:?}" "${TRIPLETS:?}"
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$HERE/../.."
log() { printf '[setup] %s\n' "$*"; }

# scripts/setup.sh has made apt's deb-src entry available before it runs its hooks.
source "$(dirname "$0")/../debian-source.sh"
src=$(debian_source libarchive)

for t in $TRIPLETS; do
  out="$DEPS/$t/libarchive"
  [[ -f "$out/lib/libarchive.a" ]] && continue
  case $t in
    i686-*) toolchain="$ROOT/cmake/toolchain-i686.cmake" ;;
    x86_64-*) toolchain="$ROOT/cmake/toolchain-x86_64.cmake" ;;
    *) echo "unknown target $t" >&2; exit 1 ;;
  esac
  log "building libarchive for $t"
  bld="$DEPS/build/libarchive-$t"
  rm -rf "$bld" "$out"
  off=()
  for o in OPENSSL MBEDTLS NETTLE LIBB2 LZ4 LZO LZMA ZSTD ZLIB BZip2 LIBXML2 EXPAT PCREPOSIX PCRE2POSIX \
           LIBGCC CNG TAR CPIO CAT XATTR ACL ICONV TEST WERROR INSTALL; do
    off+=("-DENABLE_$o=OFF")
  done
  cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS=OFF -DPOSIX_REGEX_LIB=NONE "${off[@]}" >"$bld.log" 2>&1 || { cat "$bld.log" >&2; exit 1; }
  cmake --build "$bld" --target archive_static >>"$bld.log" 2>&1 || { tail -50 "$bld.log" >&2; exit 1; }
  mkdir -p "$out/lib" "$out/include" "$out/test"
  # The static library is named libarchive_static.a on Windows targets.
  cp "$(ls "$bld"/libarchive/libarchive_static.a "$bld"/libarchive/libarchive.a 2>/dev/null | head -1)" \
    "$out/lib/libarchive.a"
  cp "$src/libarchive/archive.h" "$src/libarchive/archive_entry.h" "$out/include/"
  rm -rf "$bld" "$bld.log"
done

# The RAR test archives of the same source, for the tests' own fixtures (uuencoded).
mkdir -p "$DEPS/libarchive-test"
cp "$src"/libarchive/test/test_read_format_rar*.rar.uu "$DEPS/libarchive-test/" 2>/dev/null || true
