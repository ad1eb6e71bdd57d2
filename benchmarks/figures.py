#!/usr/bin/env python3
"""The figures of benchmarks/run-all.sh (which builds the programs, starts nginx and the Wine
session and passes their places in the environment). Each figure runs REPEAT rounds; in every
round the reference tool and the launcher's code run one right after the other, and the
table shows the median of the rounds' ratios and their spread."""
import hashlib
import os
import shutil
import socket
import statistics
import subprocess
import sys
import time

ROOT, B, W = os.environ["ROOT"], os.environ["B"], os.environ["W"]
PORT, WINE64 = int(os.environ["PORT"]), os.environ["WINE64"]
NGINX_LOG = os.environ["NGINX_LOG"]
REPEAT = int(os.environ.get("REPEAT", "3"))
FIGURES = os.environ.get("FIGURES", "").split()
WWW = os.path.join(W, "www")
OUT = os.path.join(W, "out")
URL = f"http://127.0.0.1:{PORT}"

rows = []  # (figure, ours, reference, ratios, target text, met)


def say(text):
    print(text, file=sys.stderr, flush=True)


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def timed(command, **options):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdin=subprocess.DEVNULL, **options)
    return time.perf_counter() - start


def wine(*arguments, cwd=None, check=True):
    done = subprocess.run([WINE64, *arguments], cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, text=True, errors="replace")
    if check and done.returncode != 0:
        raise RuntimeError(f"{arguments[0]} ended with {done.returncode}: {done.stdout}")
    return done.stdout


def results(output):
    """RESULT lines as {name: [fields...]}."""
    found = {}
    for line in output.splitlines():
        parts = line.split()
        if len(parts) >= 2 and parts[0] == "RESULT":
            found[parts[1]] = parts[2:]
    return found


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path, exist_ok=True)
    return path


def random_file(path, size):
    if os.path.exists(path) and os.path.getsize(path) == size:
        return
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        left = size
        while left:
            chunk = min(left, 1 << 22)
            out.write(os.urandom(chunk))
            left -= chunk


def deployment(folder, files, size, groups):
    """`files` random files of `size` bytes in `groups` module folders and their file list."""
    marker = os.path.join(folder, ".made")
    if os.path.exists(marker) and open(marker).read() == f"{files} {size}":
        return
    fresh(folder)
    entries = []
    for i in range(files):
        relative = f"module/part{i % groups:02d}/file{i:05d}.jar"
        path = os.path.join(folder, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        body = os.urandom(size)
        with open(path, "wb") as out:
            out.write(body)
        entries.append((relative.replace("/", "\\"), hashlib.md5(body).hexdigest()))
    with open(os.path.join(folder, "TarnFileList.xml"), "w") as out:
        out.write("<FileList>\n")
        for relative, digest in entries:
            out.write(f'  <File Path="{relative}" TimestampGMT="01.02.2024 10:00:00" Size="{size}" '
                      f'checksum="{digest}"/>\n')
        out.write("</FileList>\n")
    with open(marker, "w") as out:
        out.write(f"{files} {size}")


def curl_config(path, pairs):
    with open(path, "w") as out:
        for url, target in pairs:
            out.write(f'url = "{url}"\noutput = "{target}"\ncreate-dirs\n')
    return path


def deployment_pairs(server_path, folder, target):
    pairs = [(f"{URL}/{server_path}/TarnFileList.xml", os.path.join(target, "TarnFileList.xml"))]
    for base, _, names in os.walk(os.path.join(folder, "module")):
        for name in sorted(names):
            relative = os.path.relpath(os.path.join(base, name), folder)
            pairs.append((f"{URL}/{server_path}/{relative}", os.path.join(target, relative)))
    return pairs


def names_file(folder, path, prefix="", first=()):
    """The deployment's list and files as remote names, one a line, for bench_remote (each after
    `prefix`, and after the names `first`)."""
    with open(path, "w") as out:
        for name in first:
            out.write(name + "\n")
        out.write(prefix + "TarnFileList.xml\n")
        for base, _, names in os.walk(os.path.join(folder, "module")):
            for name in sorted(names):
                out.write(prefix + os.path.relpath(os.path.join(base, name), folder).replace("/", "\\") + "\n")
    return path


def winhttp_alone(folder, server_path):
    """Seconds the WinHTTP source alone takes for a deployment's list and files."""
    target = fresh(os.path.join(OUT, "winhttp-alone"))
    found = results(wine(os.path.join(B, "benchmarks/remote/bench_remote.exe"), "winhttp", str(PORT), winpath(target),
                         "list", winpath(names_file(folder, os.path.join(OUT, "names.txt"))), server_path))
    if found["winhttp-list"][2] != "ok":
        raise RuntimeError("WinHTTP alone failed")
    return float(found["winhttp-list"][0])


def winhttp_loop(folder, server_path, check=None):
    """The bare WinHTTP loop (bench_remote winhttp-loop) fetching a deployment's list and files,
    after the version check `check` (a path below the server's root) when given, one after the
    other into files: (seconds inside the program, seconds from its start under Wine to its end,
    the folder holding the deployment's files)."""
    target = fresh(os.path.join(OUT, "winhttp-loop"))
    prefix = server_path.strip("/").replace("/", "\\") + "\\"
    names = names_file(folder, os.path.join(OUT, "loop-names.txt"), prefix,
                       [check.strip("/").replace("/", "\\")] if check else [])
    start = time.perf_counter()
    found = results(wine(os.path.join(B, "benchmarks/remote/bench_remote.exe"), "winhttp-loop", str(PORT),
                         winpath(target), "list", winpath(names), ""))
    whole = time.perf_counter() - start
    if found["winhttp-loop-list"][2] != "ok":
        raise RuntimeError("the bare WinHTTP loop failed")
    return float(found["winhttp-loop-list"][0]), whole, os.path.join(target, *server_path.strip("/").split("/"))


def same_deployment(folder, target):
    """Whether `target` holds the deployment's list and files as the server has them."""
    lists = [os.path.join(folder, "TarnFileList.xml"), os.path.join(target, "TarnFileList.xml")]
    return same_tree(os.path.join(folder, "module"), os.path.join(target, "module")) and subprocess.run(
        ["cmp", "-s", *lists]).returncode == 0


def same_tree(a, b):
    return subprocess.run(["diff", "-rq", a, b], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def median(values):
    return statistics.median(values)


def spread(values):
    return f"{min(values):.2f}-{max(values):.2f}" if len(values) > 1 else ""


def add(figure, ours, reference, ratios, target, met):
    rows.append((figure, ours, reference, ratios, target, met))


# --- figures ---------------------------------------------------------------------------------

def figure_md5():
    data = os.path.join(W, "md5", "data.bin")
    random_file(data, 256 << 20)
    subprocess.run(["md5sum", data], stdout=subprocess.DEVNULL, check=True)  # page cache
    ratios, memory_ratios, ours, ref = [], [], [], []
    for _ in range(REPEAT):
        done = subprocess.run(["md5sum", data], stdout=subprocess.PIPE, text=True, check=True)
        start = time.perf_counter()
        subprocess.run(["md5sum", data], stdout=subprocess.DEVNULL, check=True)
        reference = time.perf_counter() - start
        found = results(wine(os.path.join(B, "benchmarks/updatedata/bench_updatedata.exe"), "md5", winpath(data)))
        seconds, digest = float(found["md5-file"][0]), found["md5-file"][1]
        if digest != done.stdout.split()[0]:
            raise RuntimeError("MD5 digests differ")
        ratios.append(reference / seconds)
        memory_ratios.append(reference / float(found["md5-memory"][0]))
        ours.append(seconds)
        ref.append(reference)
    add("MD5 of a 256 MiB file vs md5sum (speed)", f"{median(ours):.3f} s", f"{median(ref):.3f} s", ratios,
        ">= 0.95x", median(ratios) >= 0.95)
    add("  the digest alone, in memory (speed)", "", "", memory_ratios, "(info)", None)


def figure_http(source):
    big, count = os.path.join(WWW, "bench", "big.bin"), 1000
    random_file(big, 200 << 20)
    for i in range(count):
        random_file(os.path.join(WWW, "bench", "small", f"f{i}.bin"), 10240)
    program = os.path.join(B, "benchmarks/remote/bench_remote.exe")
    big_ratios, small_ratios, big_ours, small_ours, big_ref, small_ref = [], [], [], [], [], []
    big_bare, small_bare = [], []
    for round_ in range(REPEAT):
        curl_out, ours_out = fresh(os.path.join(OUT, "curl")), fresh(os.path.join(OUT, source))
        reference = timed(["curl", "-s", "-o", os.path.join(curl_out, "big.bin"), f"{URL}/bench/big.bin"])
        found = results(wine(program, source, str(PORT), winpath(ours_out), "big", "big.bin"))
        seconds = float(found[f"{source}-big"][0])
        if round_ == 0 and subprocess.run(["cmp", "-s", big, os.path.join(ours_out, "big.bin")]).returncode:
            raise RuntimeError(f"{source}: the big file differs")
        big_ratios.append(reference / seconds)
        big_ours.append(seconds)
        big_ref.append(reference)
        found = results(wine(program, f"{source}-bare", str(PORT), winpath(ours_out), "big", "big.bin"))
        big_bare.append(reference / float(found[f"{source}-bare-big"][0]))

        config = curl_config(os.path.join(OUT, "small.cfg"),
                             [(f"{URL}/bench/small/f{i}.bin", os.path.join(curl_out, "small", f"f{i}.bin"))
                              for i in range(count)])
        reference = timed(["curl", "-s", "-K", config])
        found = results(wine(program, source, str(PORT), winpath(ours_out), "small", str(count)))
        seconds = float(found[f"{source}-small"][0])
        if round_ == 0 and not same_tree(os.path.join(WWW, "bench", "small"), os.path.join(ours_out, "small")):
            raise RuntimeError(f"{source}: the small files differ")
        small_ratios.append(reference / seconds)
        small_ours.append(seconds)
        small_ref.append(reference)
        found = results(wine(program, f"{source}-bare", str(PORT), winpath(ours_out), "small", str(count)))
        small_bare.append(reference / float(found[f"{source}-bare-small"][0]))
    fresh(OUT)
    name = {"socket": "socket client", "winhttp": "WinHTTP source"}[source]
    system = {"socket": "Wine's sockets", "winhttp": "Wine's WinHTTP"}[source]
    big_target, small_target = {"socket": (0.9, 0.5), "winhttp": (None, None)}[source]

    def verdict(ratios, target):
        return None if target is None else median(ratios) >= target

    add(f"{name}, one 200 MiB file vs curl (speed)", f"{median(big_ours):.3f} s", f"{median(big_ref):.3f} s",
        big_ratios, f">= {big_target}x" if big_target else "(report)", verdict(big_ratios, big_target))
    add(f"  the same request straight through {system}, nothing written, vs curl (speed)", "", "", big_bare,
        "(Wine's share)", None)
    add(f"{name}, 1,000 x 10 KiB vs curl (speed)", f"{median(small_ours):.3f} s", f"{median(small_ref):.3f} s",
        small_ratios, f">= {small_target}x" if small_target else "(report)", verdict(small_ratios, small_target))
    add(f"  the same requests straight through {system}, nothing written, vs curl (speed)", "", "", small_bare,
        "(Wine's share)", None)


def start_relay(break_after, name):
    """The breaking relay (benchmarks/remote/breaking_relay.py) in front of nginx: (process,
    relay port, control port)."""
    port_file = os.path.join(W, f"relay-{name}.ports")
    if os.path.exists(port_file):
        os.remove(port_file)
    process = subprocess.Popen([sys.executable, os.path.join(ROOT, "benchmarks/remote/breaking_relay.py"),
                                "--target", str(PORT), "--break-after", str(break_after), "--port-file", port_file],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(200):
        if os.path.exists(port_file):
            break
        time.sleep(0.05)
    ports = dict(line.split("=") for line in open(port_file).read().split())
    return process, int(ports["relay"]), int(ports["control"])


def relay_forwarded(control_port):
    with socket.create_connection(("127.0.0.1", control_port)) as conn:
        answer = conn.makefile().readline()
    return dict(item.split("=") for item in answer.split())


def figure_broken():
    """A 64 MiB file over a link that breaks every 4 MiB: what the link carried in all, and the
    time against the same transfer over the same relay unbroken."""
    size, every = 64 << 20, 4 << 20
    data = os.path.join(WWW, "bench", "broken.bin")
    random_file(data, size)
    program = os.path.join(B, "benchmarks/remote/bench_remote.exe")
    broken, broken_port, broken_control = start_relay(every, "broken")
    whole, whole_port, _ = start_relay(0, "whole")
    try:
        for source in ("winhttp", "socket"):
            sent, times, tries, ours, ref = [], [], [], [], []
            for round_ in range(REPEAT):
                before = relay_forwarded(broken_control)
                target = fresh(os.path.join(OUT, "broken"))
                fields = results(wine(program, source, str(broken_port), winpath(target), "big",
                                      "broken.bin"))[f"{source}-big"]
                after = relay_forwarded(broken_control)
                if fields[2] != "ok" or (round_ == 0 and subprocess.run(
                        ["cmp", "-s", data, os.path.join(target, "broken.bin")]).returncode):
                    raise RuntimeError(f"{source}: the file did not arrive whole over the broken link")
                seconds = float(fields[0])
                target = fresh(os.path.join(OUT, "unbroken"))
                fields = results(wine(program, source, str(whole_port), winpath(target), "big",
                                      "broken.bin"))[f"{source}-big"]
                if fields[2] != "ok":
                    raise RuntimeError(f"{source}: the unbroken transfer failed")
                sent.append((int(after["forwarded"]) - int(before["forwarded"])) / size)
                tries.append(int(after["connections"]) - int(before["connections"]))
                times.append(seconds / float(fields[0]))
                ours.append(seconds)
                ref.append(float(fields[0]))
            name = {"socket": "socket client", "winhttp": "WinHTTP source"}[source]
            add(f"{name}, 64 MiB over a link broken every 4 MiB: bytes the link carried / file size "
                f"({median(tries):.0f} connections)", f"{median(ours):.3f} s", "", sent, "<= 1.05",
                median(sent) <= 1.05)
            add("  its time against the same transfer over the same relay unbroken (time)", "",
                f"{median(ref):.3f} s", times, "(report)", None)
    finally:
        for process in (broken, whole):
            process.kill()
            process.wait()
        fresh(OUT)


def figure_sync():
    folder = os.path.join(WWW, "sync")
    deployment(folder, 2000, (200 << 20) // 2000, 20)
    program = os.path.join(B, "benchmarks/sync/bench_sync.exe")
    ratios, ours, ref, alone, loop_ratios, loops, loop_vs_curl = [], [], [], [], [], [], []
    for round_ in range(REPEAT):
        target = fresh(os.path.join(OUT, "curl-sync"))
        reference = timed(["curl", "-s", "-K", curl_config(os.path.join(OUT, "sync.cfg"),
                                                            deployment_pairs("sync", folder, target))])
        alone.append(winhttp_alone(folder, "/sync") / reference)
        # Both times are taken inside the programs: the loop's from its first request, the
        # synchroniser's around the synchronisation.
        loop, _, fetched = winhttp_loop(folder, "/sync")
        if round_ == 0 and not same_deployment(folder, fetched):
            raise RuntimeError("the bare WinHTTP loop wrote other files")
        installation = fresh(os.path.join(OUT, "sync-inst"))
        found = results(wine(program, "sync", str(PORT), winpath(installation), "/sync"))
        seconds, status = float(found["full-sync"][0]), found["full-sync"][2]
        if status != "ok" or (round_ == 0 and not same_tree(os.path.join(folder, "module"),
                                                            os.path.join(installation, "module"))):
            raise RuntimeError("the synchronisation failed or wrote other files")
        ratios.append(seconds / reference)
        ours.append(seconds)
        ref.append(reference)
        loop_ratios.append(seconds / loop)
        loops.append(loop)
        loop_vs_curl.append(loop / reference)
    fresh(OUT)
    add("first synchronisation, 2,000 files / 200 MiB vs the bare WinHTTP loop (time)", f"{median(ours):.3f} s",
        f"{median(loops):.3f} s", loop_ratios, "<= 1.0x", median(loop_ratios) <= 1.0)
    add("  the same vs curl (time)", f"{median(ours):.3f} s", f"{median(ref):.3f} s", ratios, "<= 2x",
        median(ratios) <= 2)
    add("  the bare WinHTTP loop vs curl (time)", "", "", loop_vs_curl, "(Wine's share)", None)
    add("  the WinHTTP source alone fetching the same files vs curl (time)", "", "", alone, "(Wine's share)", None)


def install_launcher(folder, scenario):
    fresh(folder)
    shutil.copy(os.path.join(B, "launcher", "ornivel.exe"), folder)
    runtime = os.path.join(folder, "java_17.0.1", "bin", "client")
    os.makedirs(runtime)
    shutil.copy(os.path.join(B, "tests/support/standin-jvm/runtime/jvm.dll"), runtime)
    os.makedirs(os.path.join(folder, "system", "pictures"))
    shutil.copy(os.path.join(ROOT, "res", "ornivel.bmp"), os.path.join(folder, "system", "pictures"))
    with open(os.path.join(folder, "standin-jvm.scenario"), "w") as out:
        out.write(scenario)


def creation_stamp(folder):
    """Seconds since 1970 at which the stand-in runtime was asked to create the VM, or None."""
    try:
        with open(os.path.join(folder, "standin-jvm.log"), encoding="utf-8", errors="replace") as record:
            for line in record:
                fields = line.rstrip("\r\n").split("\t")
                if fields[0] == "create-called":
                    return int(fields[1]) / 1e6
    except FileNotFoundError:
        pass
    return None


def nginx_requests(since):
    """(time, uri) of the requests nginx logged after `since` (its log is flushed each second)."""
    time.sleep(1.2)
    found = []
    with open(NGINX_LOG) as log:
        for line in log:
            parts = line.split()
            if len(parts) == 4 and float(parts[0]) >= since:
                found.append((float(parts[0]), parts[3]))
    return found


def figure_launcher():
    folder = os.path.join(WWW, "launch")
    deployment(folder, 1000, 100 << 10, 10)
    installation = os.path.join(OUT, "launcher-inst")
    answer = "/check/clientChecksum%3d0123456789abcdef0123456789abcdef"
    ratios, ours, ref, phases, alone, loop_ratios, loops, loop_vs_curl = [], [], [], [], [], [], [], []
    for round_ in range(REPEAT):
        target = fresh(os.path.join(OUT, "curl-launch"))
        pairs = [(f"{URL}{answer}", os.path.join(target, "answer"))]
        pairs += deployment_pairs("launch", folder, target)
        reference = timed(["curl", "-s", "-K", curl_config(os.path.join(OUT, "launch.cfg"), pairs)])
        alone.append(winhttp_alone(folder, "/launch") / reference)
        # The loop makes the same requests as curl; like the launcher's, its time runs from
        # starting it under Wine (to its end; the launcher's to its creating the VM).
        _, loop, fetched = winhttp_loop(folder, "/launch", answer)
        if round_ == 0 and not same_deployment(folder, fetched):
            raise RuntimeError("the bare WinHTTP loop wrote other files")

        install_launcher(installation, "window=no\nclient-ms=0\n")
        with open(os.path.join(installation, "ornivel-Server.dat"), "w") as out:
            out.write(f"{URL}/check")
        start = time.time()
        # Standard output and error go to a file: a desktop start has none, and Wine spends
        # milliseconds per line on an inherited /dev/null.
        with open(os.path.join(OUT, "launcher.out"), "w") as output:
            subprocess.run([WINE64, os.path.join(installation, "ornivel.exe"), "aussendienst"], cwd=installation,
                           stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT)
        stamp = creation_stamp(installation)
        if stamp is None or (round_ == 0 and not same_tree(os.path.join(folder, "module"),
                                                           os.path.join(installation, "module"))):
            raise RuntimeError("the launcher did not synchronise or did not start Java")
        seconds = stamp - start
        requests = nginx_requests(start)
        check = min(t for t, uri in requests if uri.startswith("/check/"))
        last = max(t for t, uri in requests if uri.startswith("/launch/"))
        phases.append((check - start, last - check, stamp - last))
        ratios.append(seconds / reference)
        ours.append(seconds)
        ref.append(reference)
        loop_ratios.append(seconds / loop)
        loops.append(loop)
        loop_vs_curl.append(loop / reference)
    fresh(OUT)
    add("whole launcher, field-service start with its dialog, 1,000 files / 100 MiB vs the bare WinHTTP loop (time)",
        f"{median(ours):.3f} s", f"{median(loops):.3f} s", loop_ratios, "<= 1.0x", median(loop_ratios) <= 1.0)
    add("  the same vs curl (time)", f"{median(ours):.3f} s", f"{median(ref):.3f} s", ratios, "<= 2x",
        median(ratios) <= 2)
    for index, label in enumerate(["start to version check", "version check to last file", "last file to Java"]):
        add(f"  {label}", f"{median(p[index] for p in phases):.3f} s", "", [], "(breakdown)", None)
    add("  the bare WinHTTP loop vs curl (time)", "", "", loop_vs_curl, "(Wine's share)", None)
    add("  the WinHTTP source alone fetching the same files vs curl (time)", "", "", alone, "(Wine's share)", None)


def figure_compare():
    count = 20000
    program = os.path.join(B, "benchmarks/sync/bench_sync.exe")
    wine(program, "compare", str(count), winpath(W))  # makes the files once
    folder = os.path.join(W, "compare")
    names = os.path.join(W, "compare-files")
    with open(names, "wb") as out:
        for base, _, files in os.walk(os.path.join(folder, "module")):
            for name in sorted(files):
                out.write(os.path.relpath(os.path.join(base, name), folder).encode() + b"\0")
    subprocess.run(["xargs", "-0", "-a", names, "md5sum"], cwd=folder, stdout=subprocess.DEVNULL, check=True)
    ratios, ours, ref, plain, bare = [], [], [], [], []
    for _ in range(REPEAT):
        reference = timed(["xargs", "-0", "-a", names, "md5sum"], cwd=folder, stdout=subprocess.DEVNULL)
        found = results(wine(program, "compare", str(count), winpath(W)))
        if found["compare-checksum"][2] != "ok" or found["compare-size-time"][2] != "ok":
            raise RuntimeError("the comparison pass asked for downloads")
        seconds = float(found["compare-checksum"][0])
        ratios.append(seconds / reference)
        ours.append(seconds)
        ref.append(reference)
        plain.append(float(found["compare-size-time"][0]))
        bare.append(float(found["compare-bare"][0]) / reference)
    add("comparison pass, 20,000 files of 4 KiB with checksums vs md5sum (time)", f"{median(ours):.3f} s",
        f"{median(ref):.3f} s", ratios, "<= 1.2x", median(ratios) <= 1.2)
    add("  the same files only opened and read under Wine, no digest, vs md5sum (time)", "", "", bare,
        "(Wine's share)", None)
    add("  the same list without checksums (size and time)", f"{median(plain):.3f} s", "", [], "(info)", None)


def figure_memory():
    huge = os.path.join(WWW, "bench", "huge.bin")
    if not os.path.exists(huge) or os.path.getsize(huge) != 1 << 30:
        random_file(huge, 1 << 30)
    unc = os.path.join(os.environ["WINEPREFIX"], "dosdevices", "unc", "ornivel-bench")
    os.makedirs(unc, exist_ok=True)
    if not os.path.islink(os.path.join(unc, "share")):
        os.symlink(os.path.join(WWW, "bench"), os.path.join(unc, "share"))
    program = os.path.join(B, "benchmarks/remote/bench_remote.exe")
    for source, where in (("winhttp", str(PORT)), ("socket", str(PORT)), ("share", "\\\\ornivel-bench\\share")):
        target = fresh(os.path.join(OUT, "memory"))
        found = results(wine(program, source, where, winpath(target), "big", "huge.bin"))
        fields = found[f"{source}-big"]
        if fields[2] != "ok" or int(fields[1]) != 1 << 30:
            raise RuntimeError(f"{source}: the 1 GiB download failed")
        peak, before = int(fields[3]) / 2**20, int(fields[4]) / 2**20
        add(f"peak memory, one 1 GiB file, {source} (working set)", f"{peak:.1f} MiB",
            f"{before:.1f} MiB before", [], "<= 64 MiB", peak <= 64)
    fresh(OUT)


def stamp_delay(program):
    """Milliseconds from starting a program that prints its entry time to that entry."""
    start = time.time()
    return (int(wine(program).split()[0]) / 1e6 - start) * 1000


def figure_start():
    installation = os.path.join(W, "start-inst")
    install_launcher(installation, "window=no\n")
    empty = os.path.join(B, "benchmarks/start/bench_start.exe")
    imports = os.path.join(B, "benchmarks/start/bench_start_imports.exe")
    launcher_ms, empty_ms, imports_ms, differences, beyond_imports = [], [], [], [], []
    for _ in range(REPEAT * 3):  # starts vary more than transfers: more pairs
        empty_ms.append(stamp_delay(empty))
        imports_ms.append(stamp_delay(imports))

        record = os.path.join(installation, "standin-jvm.log")
        if os.path.exists(record):
            os.remove(record)
        start = time.time()
        output = open(os.path.join(W, "start.out"), "w")  # as for the whole launcher: a file
        process = subprocess.Popen([WINE64, "ornivel.exe", "-noupdate"], cwd=installation, stdin=subprocess.DEVNULL,
                                   stdout=output, stderr=subprocess.STDOUT)
        stamp = None
        while stamp is None and time.time() - start < 60:
            time.sleep(0.002)
            stamp = creation_stamp(installation)
        process.kill()
        process.wait()
        output.close()
        if stamp is None:
            raise RuntimeError("the launcher did not create the VM")
        launcher_ms.append((stamp - start) * 1000)
        differences.append(launcher_ms[-1] - empty_ms[-1])
        beyond_imports.append(launcher_ms[-1] - imports_ms[-1])
    add("process start to JNI_CreateJavaVM with -noupdate, beyond an empty program's start (ms)",
        f"{median(launcher_ms):.0f} ms", f"{median(empty_ms):.0f} ms", differences, "<= 50 ms",
        median(differences) <= 50)
    add("  beyond an empty program with the launcher's libraries and resources (ms)", "",
        f"{median(imports_ms):.0f} ms", beyond_imports, "(ours)", None)


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def main():
    load_before = loadavg()
    table = {"md5": [figure_md5], "socket": [lambda: figure_http("socket")],
             "winhttp": [lambda: figure_http("winhttp")], "sync": [figure_sync], "launcher": [figure_launcher],
             "compare": [figure_compare], "memory": [figure_memory], "start": [figure_start],
             "broken": [figure_broken]}
    fresh(OUT)
    for name in FIGURES:
        say(f"[bench] {name}")
        for run in table[name]:
            run()
    load_after = loadavg()
    print(f"\nornivel benchmarks: {os.cpu_count()} cores, load average {load_before} (start) / {load_after} (end), "
          f"{REPEAT} rounds; ratio = median of the rounds (spread)")
    print(f"{'figure':<108} {'ours':>11} {'reference':>17} {'ratio':>9} {'spread':>11}  {'target':<10} met")
    for figure, ours, reference, ratios, target, met in rows:
        ratio = f"{median(ratios):.2f}" if ratios else ""
        mark = "" if met is None else ("yes" if met else "NO")
        print(f"{figure:<108} {ours:>11} {reference:>17} {ratio:>9} {spread(ratios):>11}  {target:<10} {mark}")


main()
