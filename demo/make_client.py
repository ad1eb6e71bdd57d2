#!/usr/bin/env python3
"""Builds the demo's client folder: a newer client (module archives, the reference client, a
background picture, the login server list), as a build would leave it for ornivel-publish."""
import os
import sys
import zipfile

def write_jar(path, entries):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as jar:
        jar.writestr("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nCreated-By: ornivel demo\r\n\r\n")
        for name, text in entries.items():
            jar.writestr(name, text)

def main(client, picture, reference_jar):
    os.makedirs(client, exist_ok=True)
    # A few module archives of some size, so that the progress is visible.
    for name, kib in (("module/ornivel-core-2.1.jar", 900), ("module/ornivel-ui-2.1.jar", 700),
                      ("module/ornivel-reports-2.1.jar", 500), ("system/jar/module-print-1.4.jar", 300),
                      ("system/jar/logging-1.2.jar", 200)):
        payload = {"data/blob%d.bin" % i: os.urandom(1024).hex() for i in range(kib // 2)}
        write_jar(os.path.join(client, name), payload)
    if reference_jar and os.path.exists(reference_jar):
        dest = os.path.join(client, "module", "ornivel-reference-client.jar")
        with open(reference_jar, "rb") as src, open(dest, "wb") as out:
            out.write(src.read())
    os.makedirs(os.path.join(client, "system", "pictures"), exist_ok=True)
    with open(picture, "rb") as src, open(os.path.join(client, "system", "pictures", "ornivel.bmp"), "wb") as out:
        out.write(src.read())
    os.makedirs(os.path.join(client, "system", "config"), exist_ok=True)
    with open(os.path.join(client, "system", "config", "server.ini"), "w", newline="") as ini:
        ini.write("demo.ornivel.invalid|4711|Demo server (production)\r\n")
        ini.write("test.ornivel.invalid|4712|Demo server (test)|2\r\n")

if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else "")
