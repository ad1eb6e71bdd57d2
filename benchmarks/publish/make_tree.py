#!/usr/bin/env python3
"""Makes the benchmark's client folder: FILES files of random bytes, TOTAL_MIB MiB together, in
200 folders below module/ and system/ (sizes from a third to five thirds of the mean), unless
the folder already holds that tree."""
import os
import sys


def main(folder, files, total_mib):
    marker = os.path.join(os.path.dirname(folder.rstrip("/")), os.path.basename(folder.rstrip("/")) + ".made")
    wanted = "%d %d" % (files, total_mib)
    if os.path.exists(marker) and open(marker).read() == wanted and os.path.isdir(folder):
        return
    if os.path.isdir(folder):
        for root, dirs, names in os.walk(folder, topdown=False):
            for name in names:
                os.unlink(os.path.join(root, name))
            for name in dirs:
                os.rmdir(os.path.join(root, name))
    mean = total_mib * 1048576 // files
    weights = [1 + (i * 7919) % 5 for i in range(files)]  # 1..5, averaging 3
    scale = mean * files / sum(weights)
    random = os.urandom(8 * 1048576)  # bytes are taken from this pool at varying offsets
    for i in range(files):
        top = "module" if i % 4 else "system/jar"
        path = os.path.join(folder, top, "part%03d" % (i % 200), "file%05d.jar" % i)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        size = int(weights[i] * scale)
        start = (i * 104729) % (len(random) - 1)
        with open(path, "wb") as out:
            left = size
            while left > 0:
                chunk = random[start:start + left]
                out.write(chunk)
                left -= len(chunk)
                start = 0
    with open(marker, "w") as out:
        out.write(wanted)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]))
