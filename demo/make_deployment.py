#!/usr/bin/env python3
"""Builds the demo's deployment folder: a newer client (module archives, a background
picture, the login server list) and its file list "TarnFileList.xml"."""
import hashlib
import os
import sys
import time
import zipfile

def write_jar(path, entries):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as jar:
        jar.writestr("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nCreated-By: ornivel demo\r\n\r\n")
        for name, text in entries.items():
            jar.writestr(name, text)

def main(deployment, picture, reference_jar):
    os.makedirs(deployment, exist_ok=True)
    # A few module archives of some size, so that the progress is visible.
    for name, kib in (("module/ornivel-core-2.1.jar", 900), ("module/ornivel-ui-2.1.jar", 700),
                      ("module/ornivel-reports-2.1.jar", 500), ("system/jar/module-print-1.4.jar", 300),
                      ("system/jar/logging-1.2.jar", 200)):
        payload = {"data/blob%d.bin" % i: os.urandom(1024).hex() for i in range(kib // 2)}
        write_jar(os.path.join(deployment, name), payload)
    if reference_jar and os.path.exists(reference_jar):
        dest = os.path.join(deployment, "module", "ornivel-reference-client.jar")
        with open(reference_jar, "rb") as src, open(dest, "wb") as out:
            out.write(src.read())
    os.makedirs(os.path.join(deployment, "system", "pictures"), exist_ok=True)
    with open(picture, "rb") as src, open(os.path.join(deployment, "system", "pictures", "ornivel.bmp"), "wb") as out:
        out.write(src.read())
    os.makedirs(os.path.join(deployment, "system", "config"), exist_ok=True)
    with open(os.path.join(deployment, "system", "config", "server.ini"), "w", newline="") as ini:
        ini.write("demo.ornivel.invalid|4711|Demo server (production)\r\n")
        ini.write("test.ornivel.invalid|4712|Demo server (test)|2\r\n")

    stamp = time.strftime("%d.%m.%Y %H:%M:%S", time.gmtime(time.time() - 3600))
    entries = []
    for root, _, files in os.walk(deployment):
        for name in sorted(files):
            full = os.path.join(root, name)
            rel = os.path.relpath(full, deployment).replace("/", "\\")
            if rel == "TarnFileList.xml":
                continue
            with open(full, "rb") as f:
                data = f.read()
            entries.append('  <File Path="%s" TimestampGMT="%s" Size="%d" checksum="%s"/>'
                           % (rel, stamp, len(data), hashlib.md5(data).hexdigest()))
    with open(os.path.join(deployment, "TarnFileList.xml"), "w", newline="") as out:
        out.write("<FileList>\r\n" + "\r\n".join(entries) + "\r\n</FileList>\r\n")

if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else "")
