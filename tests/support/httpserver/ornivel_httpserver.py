#!/usr/bin/env python3
"""A scriptable HTTP/HTTPS server for the tests and benchmarks of ornivel.

It listens on loopback only: one plain HTTP port, optionally one TLS port (the same routes),
and one control port. Each answer is scripted through the control port (status, headers,
body, delays, dropped connections, missing Content-Length, raw bytes) or comes from a folder
mapped under a URL prefix. Every request received is recorded byte for byte.

Control protocol: one JSON object per line, one answer line per command ("OK ..." or
"ERR message"). See README.md in this folder.

Lifetime: unless --no-lease is given, the server ends when the first control connection
closes (so it cannot outlive the test program that started it), or after 30 seconds
without any control connection.
"""
import argparse
import email.utils
import json
import os
import re
import socket
import ssl
import struct
import sys
import threading
import time

STANDARD_REASONS = {200: "OK", 204: "No Content", 206: "Partial Content", 301: "Moved Permanently",
                    302: "Found", 304: "Not Modified", 307: "Temporary Redirect", 400: "Bad Request",
                    403: "Forbidden", 404: "Not Found", 416: "Range Not Satisfiable", 500: "Internal Server Error",
                    503: "Service Unavailable"}
MAX_REQUEST_HEADER = 1024 * 1024
# Answer options that a served folder can apply to each of its files.
FOLDER_OPTIONS = ("headers", "delay", "body_delay", "drop_after", "close", "bytes_per_second", "stall_after",
                  "reset_after", "ignore_range")


class State:
    def __init__(self):
        self.lock = threading.Lock()
        self.routes = {}      # path -> list of answer dicts (the last one repeats)
        self.prefix_routes = []  # (prefix, list of answer dicts), for every path with the prefix
        self.folders = []     # (prefix, unix folder, answer options for its files)
        self.requests = []    # (connection id, tls flag, raw header bytes + body)
        self.body_bytes = 0   # body bytes sent in all answers
        self.next_connection = 1

    def connection_id(self):
        with self.lock:
            value = self.next_connection
            self.next_connection += 1
            return value

    def answer_for(self, path):
        path = merged_slashes(path)
        with self.lock:
            answers = self.routes.get(path)
            if not answers:
                answers = next((a for p, a in self.prefix_routes if path.startswith(p)), None)
            if answers:
                return answers.pop(0) if len(answers) > 1 else answers[0]
            folders = list(self.folders)
        for prefix, root, options in folders:
            if path.startswith(prefix):
                relative = path[len(prefix):].split("?", 1)[0]
                relative = percent_decode(relative).lstrip("/")
                full = os.path.realpath(os.path.join(root, relative))
                if full.startswith(os.path.realpath(root)) and os.path.isfile(full):
                    return dict(options, status=200, file=full)
        return {"status": 404, "body": "not found"}


def merged_slashes(path):
    """Like common web servers (nginx's merge_slashes), "//" in a path counts as "/"."""
    return re.sub(r"/{2,}", "/", path)


def percent_decode(text):
    raw = text.encode("latin-1", "replace")
    out = bytearray()
    i = 0
    while i < len(raw):
        if raw[i] == 0x25 and i + 2 < len(raw):
            try:
                out.append(int(raw[i + 1:i + 3], 16))
                i += 3
                continue
            except ValueError:
                pass
        out.append(raw[i])
        i += 1
    return out.decode("utf-8", "surrogateescape")


def read_request(conn, pending):
    """Reads one request header (and body by Content-Length); returns (raw, path) or None."""
    while b"\r\n\r\n" not in pending:
        if len(pending) > MAX_REQUEST_HEADER:
            return None
        data = conn.recv(65536)
        if not data:
            return None
        pending.extend(data)
    end = pending.index(b"\r\n\r\n") + 4
    header = bytes(pending[:end])
    del pending[:end]
    length = 0
    for line in header.split(b"\r\n")[1:]:
        if line.lower().startswith(b"content-length:"):
            length = int(line.split(b":", 1)[1].strip() or 0)
    while len(pending) < length:
        data = conn.recv(65536)
        if not data:
            return None
        pending.extend(data)
    body = bytes(pending[:length])
    del pending[:length]
    request_line = header.split(b"\r\n", 1)[0].split(b" ")
    path = request_line[1].decode("latin-1") if len(request_line) > 1 else ""
    return header + body, path


def request_header(raw, name):
    """The value of a request header field (name in lower case), or None."""
    for line in raw.split(b"\r\n\r\n", 1)[0].split(b"\r\n")[1:]:
        key, colon, value = line.partition(b":")
        if colon and key.strip().lower() == name:
            return value.strip().decode("latin-1")
    return None


def file_validators(path):
    """ETag (from inode, size and modification time) and Last-Modified of a file."""
    info = os.stat(path)
    return ('"%x-%x-%x"' % (info.st_ino, info.st_size, info.st_mtime_ns),
            email.utils.formatdate(info.st_mtime, usegmt=True))


def requested_start(raw, validators):
    """The first byte of a "Range: bytes=N-" request whose If-Range, when given, still names
    the file; None when the whole file is to be sent."""
    match = re.fullmatch(r"bytes=(\d+)-", request_header(raw, b"range") or "")
    if not match:
        return None
    condition = request_header(raw, b"if-range")
    if condition is not None and condition not in validators:
        return None
    return int(match.group(1))


def answer_body(answer):
    if "body_hex" in answer:
        return bytes.fromhex(answer["body_hex"]), None, None
    if "body" in answer:
        return answer["body"].encode("utf-8"), None, None
    if "size" in answer:
        size = int(answer["size"])
        return None, size, None
    if "file" in answer:
        return None, os.path.getsize(answer["file"]), answer["file"]
    return b"", None, None


def pattern_chunks(size):
    block = bytes(i % 251 for i in range(251 * 1024))
    sent = 0
    while sent < size:
        piece = block[:min(len(block), size - sent)]
        sent += len(piece)
        yield piece


class Trickle:
    """A connection whose sends go out at a fixed number of bytes per second."""

    def __init__(self, conn, rate):
        self.conn = conn
        self.rate = rate

    def sendall(self, data):
        for i in range(len(data)):
            self.conn.sendall(data[i:i + 1])
            time.sleep(1.0 / self.rate)


def hold(conn, seconds=120):
    """Keeps the connection open without sending until the client gives up."""
    conn.settimeout(seconds)
    try:
        while conn.recv(65536):
            pass
    except OSError:
        pass


def send_answer(conn, answer, raw, state):
    """Sends one scripted answer to the request `raw`; returns False when the connection must
    close."""
    if answer.get("delay"):
        time.sleep(float(answer["delay"]))
    if answer.get("no_response"):
        return False
    if answer.get("endless_header"):
        conn.sendall(b"HTTP/1.1 200 OK\r\n")
        number = 0
        while True:
            number += 1
            conn.sendall(b"X-Filler-%d: %s\r\n" % (number, b"x" * 1000))
    socket_ = conn
    if answer.get("bytes_per_second"):
        conn = Trickle(conn, float(answer["bytes_per_second"]))
    if "raw_hex" in answer:
        conn.sendall(bytes.fromhex(answer["raw_hex"]))
        return not answer.get("close", False)
    status = int(answer.get("status", 200))
    body, size, path = answer_body(answer)
    length = len(body) if body is not None else size
    headers = list(answer.get("headers", []))
    start = 0
    if path is not None and status == 200:
        # Files carry validators and honour a range request unless told to ignore it.
        validators = file_validators(path)
        headers += [["ETag", validators[0]], ["Last-Modified", validators[1]]]
        first = None if answer.get("ignore_range") else requested_start(raw, validators)
        if first is not None and first >= length:
            status, headers, body, path = 416, headers + [["Content-Range", "bytes */%d" % length]], b"", None
            length = 0
        elif first is not None:
            status, start = 206, first
            headers.append(["Content-Range", "bytes %d-%d/%d" % (first, length - 1, length)])
            length -= first
    reason = answer.get("reason", STANDARD_REASONS.get(status, "Status"))
    lines = ["HTTP/1.1 %d %s" % (status, reason)]
    for name, value in headers:
        lines.append("%s: %s" % (name, value))
    announced = answer.get("content_length", "auto")
    if announced == "auto":
        lines.append("Content-Length: %d" % length)
    elif announced != "omit":
        lines.append("Content-Length: %d" % int(announced))
    keep_open = not answer.get("close", False) and announced != "omit"
    if not keep_open:
        lines.append("Connection: close")
    conn.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))
    if answer.get("body_delay"):
        time.sleep(float(answer["body_delay"]))
    limit = answer.get("drop_after")
    for cut in ("stall_after", "reset_after"):
        if answer.get(cut) is not None:
            limit = answer[cut]
    limit = length if limit is None else min(int(limit), length)
    with state.lock:  # counted first: a client may have it all before the send returns
        state.body_bytes += limit
    if body is not None:
        conn.sendall(body[:limit])
    elif path is not None:
        with open(path, "rb") as f:
            if isinstance(conn, (ssl.SSLSocket, Trickle)):
                f.seek(start)
                remaining = limit
                while remaining > 0:
                    piece = f.read(min(1 << 20, remaining))
                    if not piece:
                        break
                    conn.sendall(piece)
                    remaining -= len(piece)
            else:
                conn.sendfile(f, start, limit)
    else:
        remaining = limit
        for piece in pattern_chunks(limit):
            conn.sendall(piece)
            remaining -= len(piece)
    if answer.get("stall_after") is not None:
        hold(socket_)
        return False
    if answer.get("reset_after") is not None:
        socket_.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        return False
    if answer.get("drop_after") is not None:
        return False
    return keep_open


def serve_connection(state, conn, tls):
    connection = state.connection_id()
    pending = bytearray()
    try:
        conn.settimeout(120)
        while True:
            request = read_request(conn, pending)
            if request is None:
                break
            raw, path = request
            with state.lock:
                state.requests.append((connection, tls, raw))
            if not send_answer(conn, state.answer_for(path), raw, state):
                break
    except (OSError, ValueError):
        pass
    finally:
        try:
            conn.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        conn.close()


def accept_loop(state, listener, context):
    while True:
        try:
            conn, _ = listener.accept()
        except OSError:
            return
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if context is not None:
            def handshake(raw=conn):
                try:
                    wrapped = context.wrap_socket(raw, server_side=True)
                except (OSError, ssl.SSLError):
                    raw.close()
                    return
                serve_connection(state, wrapped, True)
            threading.Thread(target=handshake, daemon=True).start()
        else:
            threading.Thread(target=serve_connection, args=(state, conn, False), daemon=True).start()


def handle_command(state, command):
    kind = command.get("cmd")
    if kind == "route":
        with state.lock:
            if command.get("prefix"):
                state.prefix_routes.insert(0, (merged_slashes(command["path"]), list(command["responses"])))
            else:
                state.routes[merged_slashes(command["path"])] = list(command["responses"])
        return "OK"
    if kind == "folder":
        options = {key: value for key, value in command.get("answer", {}).items() if key in FOLDER_OPTIONS}
        with state.lock:
            state.folders.append((command["prefix"], command["root"], options))
        return "OK"
    if kind == "sent":
        with state.lock:
            return "OK %d" % state.body_bytes
    if kind == "requests":
        with state.lock:
            items = ["%d:%d:%s" % (c, 1 if t else 0, raw.hex()) for c, t, raw in state.requests]
        return " ".join(["OK"] + items)
    if kind == "clear":
        with state.lock:
            state.routes.clear()
            state.prefix_routes.clear()
            state.folders.clear()
            state.requests.clear()
            state.body_bytes = 0
        return "OK"
    if kind == "quit":
        return "BYE"
    return "ERR unknown command"


def control_loop(state, listener, lease):
    listener.settimeout(30 if lease else None)
    while True:
        try:
            conn, _ = listener.accept()
        except socket.timeout:
            os._exit(0)
        conn.settimeout(None)
        reader = conn.makefile("rb")
        for line in reader:
            line = line.strip()
            if not line:
                continue
            try:
                reply = handle_command(state, json.loads(line))
            except (ValueError, KeyError) as error:
                reply = "ERR %s" % error
            conn.sendall((reply + "\n").encode("ascii"))
            if reply == "BYE":
                os._exit(0)
        conn.close()
        if lease:
            os._exit(0)
        listener.settimeout(None)


def listen():
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(128)
    return listener


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--port-file", required=True, help="written as http=N https=N control=N lines")
    parser.add_argument("--cert", help="PEM server certificate chain; enables the TLS port")
    parser.add_argument("--key", help="PEM private key of --cert")
    parser.add_argument("--folder", action="append", default=[], help="PREFIX=FOLDER served as files")
    parser.add_argument("--no-lease", action="store_true", help="run until killed")
    parser.add_argument("--log", default=os.devnull, help="where the server's own output goes")
    args = parser.parse_args()

    # Started from test programs: never hold their output pipes.
    log = os.open(args.log, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
    null = os.open(os.devnull, os.O_RDONLY)
    os.dup2(null, 0)
    os.dup2(log, 1)
    os.dup2(log, 2)

    state = State()
    for mapping in args.folder:
        prefix, root = mapping.split("=", 1)
        state.folders.append((prefix, root, {}))

    plain = listen()
    ports = {"http": plain.getsockname()[1]}
    threading.Thread(target=accept_loop, args=(state, plain, None), daemon=True).start()
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        secure = listen()
        ports["https"] = secure.getsockname()[1]
        threading.Thread(target=accept_loop, args=(state, secure, context), daemon=True).start()
    control = listen()
    ports["control"] = control.getsockname()[1]

    temporary = args.port_file + ".tmp%d" % os.getpid()
    with open(temporary, "w") as f:
        f.write("".join("%s=%d\n" % item for item in ports.items()))
    os.replace(temporary, args.port_file)
    print("listening: %s" % ports, flush=True)
    control_loop(state, control, not args.no_lease)


if __name__ == "__main__":
    sys.exit(main())
