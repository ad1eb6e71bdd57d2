"""What the test helpers on the Linux side share (tests/support/nginx/ornivel_nginx.py,
tests/support/squid/ornivel_squid.py): free loopback ports, a service that dies with its
helper, waiting until it listens, ending it, and the port file that the test program under
Wine reads (no event crosses from Linux to Wine)."""
import ctypes
import os
import signal
import socket
import subprocess

PR_SET_PDEATHSIG = 1


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def die_with_parent():
    # A service must not outlive the helper that started it.
    ctypes.CDLL(None).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def listening(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1):
            return True
    except OSError:
        return False


def stop_process(process):
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def write_ports(port_file, ports):
    temporary = port_file + ".tmp%d" % os.getpid()
    with open(temporary, "w") as f:
        f.write("".join("%s=%d\n" % item for item in ports.items()))
    os.replace(temporary, port_file)
