#!/usr/bin/env python3
"""The demo's deployment server on loopback: the version-check service at /check (it
answers every client checksum with the list of one deployment server) and the deployment
folder at /deploy/. Files are sent with a short pause each, so that the launcher's
progress can be watched."""
import http.server
import os
import sys
import time
import urllib.parse

DEPLOYMENT = sys.argv[1]
PORT_FILE = sys.argv[2]
FILE_PAUSE = float(sys.argv[3]) if len(sys.argv) > 3 else 0.4

class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def answer(self, status, body):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        path = urllib.parse.unquote(self.path)
        if path.startswith("/check/clientChecksum="):
            port = self.server.server_address[1]
            servers = "http|127.0.0.1|/deploy|%d|||Demo deployment server|\r\n" % port
            return self.answer(200, servers.encode("ascii"))
        if path.startswith("/deploy/"):
            rel = os.path.normpath(path[len("/deploy/"):]).lstrip(os.sep)
            full = os.path.join(DEPLOYMENT, rel)
            if ".." not in rel.split(os.sep) and os.path.isfile(full):
                if not rel.endswith(".xml"):
                    time.sleep(FILE_PAUSE)
                with open(full, "rb") as f:
                    return self.answer(200, f.read())
        self.answer(404, b"not found")

    def log_message(self, fmt, *args):
        sys.stderr.write("demo server: " + fmt % args + "\n")

server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(PORT_FILE, "w") as f:
    f.write(str(server.server_address[1]))
server.serve_forever()
