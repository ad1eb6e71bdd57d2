#!/usr/bin/env python3
"""A loopback TCP relay in front of a web server: a slow link.

Every client connection gets a connection of its own to the server. Bytes in either direction
arrive LATENCY/2 after they were sent (so a request and its answer take LATENCY more), and the
answers of all connections together pass at RATE bytes a second at most.

    limited_relay.py --target PORT --rate BYTES --latency SECONDS --port-file FILE

FILE receives "relay=PORT" once the relay listens on 127.0.0.1; it runs until killed.
"""
import argparse
import collections
import os
import socket
import threading
import time

BLOCK = 16 * 1024


class Bucket:
    """Bytes a second shared by every connection's answers."""

    def __init__(self, rate):
        self.rate = rate
        self.lock = threading.Lock()
        self.next_free = time.monotonic()

    def take(self, count):
        with self.lock:
            now = time.monotonic()
            start = max(now, self.next_free)
            self.next_free = start + count / self.rate
            wait = self.next_free - now
        if wait > 0:
            time.sleep(wait)


def pipe(source, sink, delay, bucket):
    """Forwards source to sink, each block delay seconds after it arrived."""
    queue = collections.deque()
    ready = threading.Condition()
    finished = [False]

    def deliver():
        try:
            while True:
                with ready:
                    while not queue and not finished[0]:
                        ready.wait()
                    if not queue:
                        break
                    due, data = queue.popleft()
                pause = due - time.monotonic()
                if pause > 0:
                    time.sleep(pause)
                if bucket:
                    bucket.take(len(data))
                sink.sendall(data)
        except OSError:
            pass
        try:
            sink.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    sender = threading.Thread(target=deliver, daemon=True)
    sender.start()
    try:
        while True:
            data = source.recv(BLOCK)
            if not data:
                break
            with ready:
                queue.append((time.monotonic() + delay, data))
                ready.notify()
    except OSError:
        pass
    with ready:
        finished[0] = True
        ready.notify()
    sender.join()


def serve(client, target, delay, bucket):
    try:
        server = socket.create_connection(("127.0.0.1", target))
    except OSError:
        client.close()
        return
    up = threading.Thread(target=pipe, args=(client, server, delay, None), daemon=True)
    up.start()
    pipe(server, client, delay, bucket)
    up.join()
    client.close()
    server.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--target", type=int, required=True)
    parser.add_argument("--rate", type=float, required=True)
    parser.add_argument("--latency", type=float, required=True)
    parser.add_argument("--port-file", required=True)
    args = parser.parse_args()
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    with open(args.port_file + ".part", "w") as f:
        f.write(f"relay={listener.getsockname()[1]}\n")
    os.replace(args.port_file + ".part", args.port_file)
    bucket = Bucket(args.rate)
    while True:
        client, _ = listener.accept()
        threading.Thread(target=serve, args=(client, args.target, args.latency / 2, bucket), daemon=True).start()


if __name__ == "__main__":
    main()
