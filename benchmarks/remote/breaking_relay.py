#!/usr/bin/env python3
"""A loopback TCP relay in front of a web server: a link that breaks.

Every client connection gets a connection of its own to the server; the relay forwards both
ways and closes the client connection (and the server's) as soon as it has forwarded
--break-after bytes of answers on it (0: never). It counts the bytes it forwarded to clients.

    breaking_relay.py --target PORT --break-after BYTES --port-file FILE

FILE receives "relay=PORT" and "control=PORT" lines once the relay listens. A connection to
the control port gets one line, "forwarded=BYTES connections=COUNT", and is closed. The
relay listens on 127.0.0.1 only, serves at most MAX_CONNECTIONS clients at a time and holds
at most one block per direction of each; it runs until killed.
"""
import argparse
import os
import socket
import threading

BLOCK = 64 * 1024
MAX_CONNECTIONS = 16


class Counters:
    def __init__(self):
        self.lock = threading.Lock()
        self.forwarded = 0
        self.connections = 0


def close(sock):
    try:
        sock.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass
    sock.close()


def requests(client, server):
    """Client to server, until either side ends."""
    try:
        while True:
            data = client.recv(BLOCK)
            if not data:
                break
            server.sendall(data)
    except OSError:
        pass
    try:
        server.shutdown(socket.SHUT_WR)
    except OSError:
        pass


def relay(client, target, limit, counters, slots):
    try:
        server = socket.create_connection(("127.0.0.1", target))
    except OSError:
        close(client)
        slots.release()
        return
    with counters.lock:
        counters.connections += 1
    threading.Thread(target=requests, args=(client, server), daemon=True).start()
    sent = 0
    try:
        while limit == 0 or sent < limit:
            data = server.recv(BLOCK if limit == 0 else min(BLOCK, limit - sent))
            if not data:
                break
            client.sendall(data)
            sent += len(data)
            with counters.lock:
                counters.forwarded += len(data)
    except OSError:
        pass
    close(client)
    close(server)
    slots.release()


def control(listener, counters):
    while True:
        conn, _ = listener.accept()
        with counters.lock:
            line = "forwarded=%d connections=%d\n" % (counters.forwarded, counters.connections)
        conn.sendall(line.encode("ascii"))
        close(conn)


def listen():
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    return listener


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--target", type=int, required=True, help="the server's loopback port")
    parser.add_argument("--break-after", type=int, default=0, help="answer bytes per connection; 0: never")
    parser.add_argument("--port-file", required=True)
    args = parser.parse_args()

    counters = Counters()
    slots = threading.Semaphore(MAX_CONNECTIONS)
    clients, controls = listen(), listen()
    threading.Thread(target=control, args=(controls, counters), daemon=True).start()
    temporary = args.port_file + ".tmp"
    with open(temporary, "w") as out:
        out.write("relay=%d\ncontrol=%d\n" % (clients.getsockname()[1], controls.getsockname()[1]))
    os.replace(temporary, args.port_file)
    while True:
        slots.acquire()
        client, _ = clients.accept()
        client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        threading.Thread(target=relay, args=(client, args.target, args.break_after, counters, slots),
                         daemon=True).start()


if __name__ == "__main__":
    main()
