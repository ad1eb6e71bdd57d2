#!/usr/bin/env bash
# Prepares a Debian machine for building and testing ornivel:
#  - installs the Debian packages the build and the tests need (only what is missing),
#  - builds the third-party libraries from Debian's sources for both Windows targets
#    into a cache outside the checkout (TinyXML with Debian's patches, GoogleTest; the
#    hooks in setup.d/ add libarchive and libsodium).
# Idempotent: a second run finds everything in place and returns within seconds.
set -euo pipefail

DEPS="${ORNIVEL_DEPS:-$HOME/.cache/ornivel-deps}"
HERE="$(cd "$(dirname "$0")" && pwd)"
TRIPLETS=(i686-w64-mingw32 x86_64-w64-mingw32)
PACKAGES=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine64 xvfb x11-apps imagemagick xauth openbox
  cmake ninja-build googletest libgtest-dev g++ dpkg-dev
  python3 openjdk-17-jdk-headless openssl curl ca-certificates
  nginx-light autoconf automake libtool
)
# The proxy tests: squid (with its basic_ncsa_auth helper) on loopback.
PACKAGES+=(squid)
# Sanitizer and fuzz builds of the pure logic (native/, fuzz/): Debian's clang-16 with its
# sanitizer and libFuzzer runtimes, and llvm-16 for the symbolizer of their reports.
PACKAGES+=(clang-16 libclang-rt-16-dev llvm-16)

log() { printf '[setup] %s\n' "$*"; }

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if ((${#missing[@]})); then
    log "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null
    # nginx-light would start the system's nginx service where an init system runs one; the
    # tests and the demo start their own nginx, unprivileged, and nothing is left running.
    local guard=/usr/sbin/policy-rc.d placed=
    if [[ ! -e $guard ]]; then
      printf '#!/bin/sh\nexit 101\n' >"$guard" && chmod +x "$guard" && placed=1
    fi
    local status=0
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || status=$?
    [[ -n $placed ]] && rm -f "$guard"
    ((status == 0)) || exit "$status"
    if [[ " ${missing[*]} " == *" nginx-light "* ]]; then
      if [[ -d /run/systemd/system ]]; then
        systemctl disable --now nginx >/dev/null 2>&1 || true
      elif command -v update-rc.d >/dev/null && [[ -e /etc/init.d/nginx ]]; then
        update-rc.d nginx disable >/dev/null 2>&1 || true
      fi
    fi
  fi
}

enable_deb_src() {
  # apt-get source needs a deb-src entry; the stock machine only has deb entries.
  local f=/etc/apt/sources.list.d/ornivel-src.sources
  if ! grep -rqs '^Types: *deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    cat >"$f" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    apt-get update -qq >/dev/null
  fi
}

# debian_source: fetches and unpacks a Debian source package into $DEPS/src/<name>.
source "$HERE/debian-source.sh"

build_tinyxml() {
  local src
  enable_deb_src
  src=$(debian_source tinyxml)
  for t in "${TRIPLETS[@]}"; do
    local out="$DEPS/$t/tinyxml"
    [[ -f "$out/lib/libtinyxml.a" ]] && continue
    log "building TinyXML for $t"
    rm -rf "$out" && mkdir -p "$out/lib" "$out/include" "$out/obj"
    for f in tinyxml tinystr tinyxmlerror tinyxmlparser; do
      "$t-g++-posix" -O2 -DTIXML_USE_STL -c "$src/$f.cpp" -o "$out/obj/$f.o"
    done
    "$t-ar" rcs "$out/lib/libtinyxml.a" "$out"/obj/*.o
    cp "$src/tinyxml.h" "$src/tinystr.h" "$out/include/"
    rm -rf "$out/obj"
  done
}

build_googletest() {
  local t=x86_64-w64-mingw32 out="$DEPS/x86_64-w64-mingw32/googletest"
  [[ -f "$out/lib/libgtest.a" ]] && return 0
  log "building GoogleTest for $t"
  local bld="$DEPS/build/googletest-$t"
  rm -rf "$bld" "$out"
  cmake -S /usr/src/googletest -B "$bld" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$HERE/../cmake/toolchain-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out" \
    -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=ON >/dev/null
  cmake --build "$bld" >/dev/null
  cmake --install "$bld" >/dev/null
  rm -rf "$bld"
}

install_packages
mkdir -p "$DEPS"
build_tinyxml
build_googletest
for hook in "$HERE"/setup.d/*.sh; do
  [[ -f "$hook" ]] && DEPS="$DEPS" TRIPLETS="${TRIPLETS[*]}" bash "$hook"
done
log "dependencies ready in $DEPS"
