#!/usr/bin/env bash
# A throwaway certificate authority for the HTTPS test server, trusted only inside the test
# Wine prefix. Creates (once per build folder) test-tls/ beside the prefix with ca.pem,
# server.pem (for localhost and 127.0.0.1, signed by the CA) and server.key, and puts the CA
# into the Root store of the prefix (HKLM\Software\Microsoft\SystemCertificates\Root).
# Needs WINEPREFIX and WINE64 (set by scripts/wine-session.sh).
set -euo pipefail
[[ -n "${WINEPREFIX:-}" && -n "${WINE64:-}" ]] || exit 0
command -v openssl >/dev/null || exit 0
dir="$(dirname "$WINEPREFIX")/test-tls"
if [[ ! -f "$dir/server.pem" ]]; then
  rm -rf "$dir.tmp" && mkdir -p "$dir.tmp"
  (
    cd "$dir.tmp"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 3650 \
      -subj "/CN=ornivel test CA" -addext "basicConstraints=critical,CA:TRUE" \
      -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj "/CN=localhost" 2>/dev/null
    printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' >ext.cnf
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 3650 \
      -extfile ext.cnf 2>/dev/null
    rm -f server.csr ext.cnf ca.srl
  )
  rm -rf "$dir" && mv "$dir.tmp" "$dir"
fi

thumb=$(openssl x509 -in "$dir/ca.pem" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g' | tr a-f A-F)
key="HKLM\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\$thumb"
if ! "$WINE64" reg query "$key" /v Blob </dev/null >/dev/null 2>&1; then
  der=$(openssl x509 -in "$dir/ca.pem" -outform DER | od -An -v -tx1 | tr -d ' \n')
  len=$((${#der} / 2))
  # A serialised certificate element: property 32 (the encoded certificate), 1, its length.
  lenhex=$(printf '%08x' "$len" | sed -E 's/(..)(..)(..)(..)/\4\3\2\1/')
  "$WINE64" reg add "$key" /v Blob /t REG_BINARY /d "2000000001000000${lenhex}${der}" /f </dev/null >/dev/null 2>&1
fi
