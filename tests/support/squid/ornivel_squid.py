#!/usr/bin/env python3
"""squid on loopback for the proxy tests of ornivel: one squid, unprivileged, in the
foreground, with everything (configuration, pid, logs, the hosts file, the password file)
under one run folder; no system service is involved.

Two ports: "open" forwards every request; "auth" asks for Basic credentials checked by
squid's basic_ncsa_auth against a password file. Names resolve through the hosts file only
(and a name server on loopback that does not exist), so a test host name is reachable
through the proxy and nowhere else.

  ornivel_squid.py host --run-dir DIR --port-file F [--host NAME]... [--user NAME:SECRET]...
      writes "control=N", "open=N" and "auth=N" lines to F once squid serves, and runs
      squid until the first connection to the control port closes (or 30 seconds after
      the start without one). Test programs under Wine, which cannot wait for Linux
      processes, hold that connection for as long as they need the proxy.
"""
import argparse
import os
import pwd
import shutil
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from service_host import die_with_parent, free_port, listening, stop_process, write_ports  # noqa: E402

SQUID = "/usr/sbin/squid"
NCSA = "/usr/lib/squid/basic_ncsa_auth"


def apr1(secret):
    return subprocess.run(["openssl", "passwd", "-apr1", secret], check=True, capture_output=True,
                          text=True).stdout.strip()


def write_run_dir(run_dir, hosts, users, open_port, auth_port):
    if os.path.isdir(run_dir):
        shutil.rmtree(run_dir)
    os.makedirs(run_dir)
    with open(os.path.join(run_dir, "hosts"), "w") as f:
        f.write("".join("127.0.0.1 %s\n" % name for name in hosts))
    with open(os.path.join(run_dir, "passwd"), "w") as f:
        for user in users:
            name, _, secret = user.partition(":")
            f.write("%s:%s\n" % (name, apr1(secret)))
    conf = os.path.join(run_dir, "squid.conf")
    with open(conf, "w") as f:
        f.write("\n".join([
            "http_port 127.0.0.1:%d name=open" % open_port,
            "http_port 127.0.0.1:%d name=auth" % auth_port,
            "visible_hostname ornivel-test-proxy",
            "pid_filename %s/squid.pid" % run_dir,
            "cache_log %s/cache.log" % run_dir,
            "access_log stdio:%s/access.log" % run_dir,
            "coredump_dir %s" % run_dir,
            "cache deny all",
            "hosts_file %s/hosts" % run_dir,
            "dns_nameservers 127.0.0.1",
            "shutdown_lifetime 1 seconds",
            "auth_param basic program %s %s/passwd" % (NCSA, run_dir),
            "auth_param basic realm ornivel-test",
            "auth_param basic children 2",
            "acl authport myportname auth",
            "acl authenticated proxy_auth REQUIRED",
            "http_access allow !authport",
            "http_access allow authport authenticated",
            "http_access deny all",
            ""]))
    # Started as root, squid works as the user "proxy": its files must be that user's.
    if os.geteuid() == 0:
        entry = pwd.getpwnam("proxy")
        for name in [""] + os.listdir(run_dir):
            os.chown(os.path.join(run_dir, name), entry.pw_uid, entry.pw_gid)
    return conf


def start_squid(run_dir, conf, ports):
    log = open(os.path.join(run_dir, "squid.out"), "ab")
    process = subprocess.Popen([SQUID, "-N", "-f", conf], stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                               preexec_fn=die_with_parent)
    deadline = time.time() + 20
    while time.time() < deadline and process.poll() is None:
        if all(listening(p) for p in ports):
            return process
        time.sleep(0.05)
    stop_process(process)
    return None


def host(args):
    # Started from test programs: never hold their output pipes.
    log = os.open(args.run_dir + ".log", os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
    null = os.open(os.devnull, os.O_RDONLY)
    os.dup2(null, 0)
    os.dup2(log, 1)
    os.dup2(log, 2)

    open_port, auth_port = free_port(), free_port()
    conf = write_run_dir(args.run_dir, args.host, args.user, open_port, auth_port)
    process = start_squid(args.run_dir, conf, [open_port, auth_port])
    if process is None:
        sys.stderr.write("squid did not start; see %s/cache.log\n" % args.run_dir)
        return 1
    control = socket.socket()
    control.bind(("127.0.0.1", 0))
    control.listen(1)
    control.settimeout(30)
    write_ports(args.port_file, {"control": control.getsockname()[1], "open": open_port, "auth": auth_port})
    try:
        connection, _ = control.accept()
        connection.settimeout(None)
        while connection.recv(4096):
            pass
    except OSError:
        pass
    finally:
        stop_process(process)
    return 0


def main():
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="mode", required=True)
    h = sub.add_parser("host")
    h.add_argument("--run-dir", required=True)
    h.add_argument("--port-file", required=True)
    h.add_argument("--host", action="append", default=[])
    h.add_argument("--user", action="append", default=[])
    args = parser.parse_args()
    return host(args)


if __name__ == "__main__":
    sys.exit(main())
