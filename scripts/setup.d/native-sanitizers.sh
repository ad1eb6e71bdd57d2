#!/usr/bin/env bash
# Builds the third-party libraries the launcher parses with natively, from the same Debian
# sources (Debian's patches applied) as the Windows builds, into the dependency cache:
#   $DEPS/native/tinyxml          host g++                                (build/native)
#   $DEPS/native-asan/tinyxml     clang-16 -fsanitize=address,undefined   (build/native-asan)
#   $DEPS/native-fuzz/tinyxml     clang-16 -fsanitize=fuzzer-no-link,address,undefined (fuzz/)
#   $DEPS/native-fuzz/libarchive  the same, RAR reading only              (the extraction target)
# Called by scripts/setup.sh with DEPS in the environment, after TinyXML's and libarchive's
# sources have been unpacked there.
set -euo pipefail
: "${DEPS:?}"
log() { printf '[setup] %s\n' "$*"; }

CC=clang-16
CXX=clang++-16
COMMON="-O1 -g -fno-omit-frame-pointer -fno-sanitize-recover=all"
declare -A COMPILER=([native]=g++ [native-asan]=$CXX [native-fuzz]=$CXX)
declare -A FLAGS=(
  [native]="-O2"
  [native-asan]="$COMMON -fsanitize=address,undefined"
  [native-fuzz]="$COMMON -fsanitize=fuzzer-no-link,address,undefined"
)

tinyxml_src="$DEPS/src/tinyxml"
archive_src="$DEPS/src/libarchive"
[[ -f "$tinyxml_src/.unpacked" ]] || { echo "TinyXML source missing in $tinyxml_src" >&2; exit 1; }

for flavour in native native-asan native-fuzz; do
  out="$DEPS/$flavour/tinyxml"
  [[ -f "$out/lib/libtinyxml.a" ]] && continue
  log "building TinyXML ($flavour)"
  rm -rf "$out" && mkdir -p "$out/lib" "$out/include" "$out/obj"
  for f in tinyxml tinystr tinyxmlerror tinyxmlparser; do
    # shellcheck disable=SC2086
    "${COMPILER[$flavour]}" ${FLAGS[$flavour]} -DTIXML_USE_STL -c "$tinyxml_src/$f.cpp" -o "$out/obj/$f.o"
  done
  ar rcs "$out/lib/libtinyxml.a" "$out"/obj/*.o
  cp "$tinyxml_src/tinyxml.h" "$tinyxml_src/tinystr.h" "$out/include/"
  rm -rf "$out/obj"
done

out="$DEPS/native-fuzz/libarchive"
if [[ ! -f "$out/lib/libarchive.a" ]]; then
  [[ -f "$archive_src/.unpacked" ]] || { echo "libarchive source missing in $archive_src" >&2; exit 1; }
  log "building libarchive (native-fuzz)"
  bld="$DEPS/build/libarchive-native-fuzz"
  rm -rf "$bld" "$out"
  off=()
  for o in OPENSSL MBEDTLS NETTLE LIBB2 LZ4 LZO LZMA ZSTD ZLIB BZip2 LIBXML2 EXPAT PCREPOSIX PCRE2POSIX \
           LIBGCC CNG TAR CPIO CAT XATTR ACL ICONV TEST WERROR INSTALL; do
    off+=("-DENABLE_$o=OFF")
  done
  cmake -S "$archive_src" -B "$bld" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE= \
    -DCMAKE_C_COMPILER="$CC" -DCMAKE_C_FLAGS="${FLAGS[native-fuzz]}" \
    -DBUILD_SHARED_LIBS=OFF -DPOSIX_REGEX_LIB=NONE "${off[@]}" >"$bld.log" 2>&1 || { cat "$bld.log" >&2; exit 1; }
  # At most two compilers at a time: the machines are shared.
  cmake --build "$bld" --target archive_static -j2 >>"$bld.log" 2>&1 || { tail -50 "$bld.log" >&2; exit 1; }
  mkdir -p "$out/lib" "$out/include"
  cp "$bld/libarchive/libarchive.a" "$out/lib/libarchive.a"
  cp "$archive_src/libarchive/archive.h" "$archive_src/libarchive/archive_entry.h" "$out/include/"
  rm -rf "$bld" "$bld.log"
fi
