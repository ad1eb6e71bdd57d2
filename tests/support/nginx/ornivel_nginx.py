#!/usr/bin/env python3
"""nginx on loopback for the tests and the demo of ornivel: a server block on one HTTP and
one HTTPS port (the test CA's certificate) that includes a deployment's nginx.conf written by
ornivel-publish. nginx runs unprivileged in the foreground with everything (configuration,
pid, logs, temporary files) under one prefix folder; no system service is involved.

  ornivel_nginx.py serve --prefix DIR --fragment FILE --port-file F [--tls-dir D]
                         [--limit-rate R] [--http-port N]
      runs nginx until this program is ended (SIGTERM, SIGINT) and ends it with itself.
  ornivel_nginx.py free-port
      prints a free loopback port.
  ornivel_nginx.py host --port-file F --run-dir DIR [--tls-dir D] [--log L]
      for test programs under Wine (which cannot wait for Linux processes): a control port
      that runs Linux programs to their end and starts nginx. It ends, and nginx with it,
      when the first control connection closes, or 30 seconds after start without one.

Control protocol of "host": one JSON object per line, one answer line each.
  {"cmd":"run","argv":[...]}                  OK <exit status> <hex of output and errors>
  {"cmd":"serve","fragment":F[,"extra":T]}   OK, or ERR with nginx's complaint; T: more
                                              lines for the server block (say, an exact
                                              location that slows or fails one file)
  {"cmd":"quit"}                              BYE
Strings are read as Latin-1, so every byte value passes.
"""
import argparse
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from service_host import die_with_parent, free_port, listening, stop_process, write_ports  # noqa: E402

NGINX = "/usr/sbin/nginx"


def write_conf(prefix, fragment, http_port, https_port, tls_dir, limit_rate, extra=""):
    """The main configuration: everything under `prefix`, one server including `fragment`
    (and the lines `extra` before it)."""
    for sub in ("logs", "tmp"):
        os.makedirs(os.path.join(prefix, sub), exist_ok=True)
    temp = os.path.join(prefix, "tmp")
    listen = ["listen 127.0.0.1:%d;" % http_port]
    if https_port:
        listen += ["listen 127.0.0.1:%d ssl;" % https_port,
                   'ssl_certificate "%s/server.pem";' % tls_dir,
                   'ssl_certificate_key "%s/server.key";' % tls_dir]
    if limit_rate:
        listen.append("limit_rate %s;" % limit_rate)
    text = "\n".join([
        # A master started by root hands its workers to "nobody", who may not read the
        # deployment; run them as the same user instead.
        "user root root;" if os.geteuid() == 0 else "",
        "worker_processes 1;",
        'pid "%s/nginx.pid";' % prefix,
        'error_log "%s/logs/error.log";' % prefix,
        "events { worker_connections 64; }",
        "http {",
        "    log_format ornivel '$scheme $status $request_method $request_uri';",
        '    access_log "%s/logs/access.log" ornivel;' % prefix,
        "".join('    %s_temp_path "%s/%s";\n' % (kind, temp, kind)
                for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi")),
        "    server {",
        "        server_name localhost;",
        "".join("        %s\n" % line for line in listen + extra.splitlines()),
        '        include "%s";' % fragment,
        "    }",
        "}",
        ""])
    conf = os.path.join(prefix, "nginx.conf")
    with open(conf, "w", encoding="utf-8", errors="surrogateescape") as out:
        out.write(text)
    return conf


def start_nginx(prefix, conf, ports):
    """Starts nginx in the foreground; returns (process, None) once it listens on all ports,
    or (None, complaint)."""
    log = open(os.path.join(prefix, "logs", "nginx.out"), "ab")
    process = subprocess.Popen([NGINX, "-p", prefix, "-c", conf, "-e", os.path.join(prefix, "logs", "error.log"),
                                "-g", "daemon off;"], stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                               preexec_fn=die_with_parent)
    deadline = time.time() + 15
    while time.time() < deadline:
        if process.poll() is not None:
            break
        if all(listening(port) for port in ports):
            return process, None
        time.sleep(0.05)
    stop_process(process)
    with open(os.path.join(prefix, "logs", "error.log"), "rb") as errors:
        return None, errors.read().decode("utf-8", "replace")[-2000:] or "nginx did not start"


def detach_streams(log_path):
    # Started from test programs: never hold their output pipes.
    log = os.open(log_path, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
    null = os.open(os.devnull, os.O_RDONLY)
    os.dup2(null, 0)
    os.dup2(log, 1)
    os.dup2(log, 2)


def serve(args):
    http_port = args.http_port or free_port()
    https_port = free_port() if args.tls_dir else 0
    conf = write_conf(args.prefix, args.fragment, http_port, https_port, args.tls_dir, args.limit_rate)
    process, complaint = start_nginx(args.prefix, conf, [p for p in (http_port, https_port) if p])
    if process is None:
        sys.stderr.write(complaint + "\n")
        return 1
    write_ports(args.port_file, {"http": http_port, "https": https_port})
    ending = []
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: ending.append(1))
    while not ending and process.poll() is None:
        time.sleep(0.5)
    stop_process(process)
    return 0


class Host:
    def __init__(self, run_dir, tls_dir, ports):
        self.run_dir = run_dir
        self.tls_dir = tls_dir
        self.ports = ports
        self.nginx = None

    def handle(self, command):
        kind = command.get("cmd")
        if kind == "run":
            argv = [arg.encode("latin-1") for arg in command["argv"]]
            done = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                  timeout=command.get("timeout", 300))
            return "OK %d %s" % (done.returncode, done.stdout.hex())
        if kind == "serve":
            stop_process(self.nginx)
            fragment = command["fragment"].encode("latin-1").decode("utf-8", "surrogateescape")
            extra = command.get("extra", "").encode("latin-1").decode("utf-8", "surrogateescape")
            conf = write_conf(self.run_dir, fragment, self.ports["http"], self.ports["https"], self.tls_dir, None, extra)
            self.nginx, complaint = start_nginx(self.run_dir, conf, [self.ports["http"], self.ports["https"]])
            return "OK" if self.nginx else "ERR " + complaint.replace("\n", " | ")
        if kind == "quit":
            return "BYE"
        return "ERR unknown command"


def host(args):
    detach_streams(args.log)
    shutil.rmtree(args.run_dir, ignore_errors=True)  # a name used by an earlier run
    os.makedirs(args.run_dir)
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    ports = {"http": free_port(), "https": free_port(), "control": listener.getsockname()[1]}
    state = Host(args.run_dir, args.tls_dir, ports)
    write_ports(args.port_file, ports)
    listener.settimeout(30)
    try:
        conn, _ = listener.accept()
    except socket.timeout:
        return 0
    try:
        for line in conn.makefile("rb"):
            if not line.strip():
                continue
            try:
                reply = state.handle(json.loads(line))
            except (ValueError, KeyError, OSError, subprocess.SubprocessError) as error:
                reply = "ERR %s" % str(error).replace("\n", " | ")
            conn.sendall((reply + "\n").encode("latin-1", "replace"))
            if reply == "BYE":
                break
    finally:
        stop_process(state.nginx)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="mode", required=True)
    s = sub.add_parser("serve")
    s.add_argument("--prefix", required=True)
    s.add_argument("--fragment", required=True)
    s.add_argument("--port-file", required=True)
    s.add_argument("--tls-dir")
    s.add_argument("--limit-rate")
    s.add_argument("--http-port", type=int, default=0)
    sub.add_parser("free-port")
    h = sub.add_parser("host")
    h.add_argument("--port-file", required=True)
    h.add_argument("--run-dir", required=True)
    h.add_argument("--tls-dir", required=True)
    h.add_argument("--log", default=os.devnull)
    args = parser.parse_args()
    if args.mode == "free-port":
        print(free_port())
        return 0
    return serve(args) if args.mode == "serve" else host(args)


if __name__ == "__main__":
    sys.exit(main())
