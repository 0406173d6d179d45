#!/usr/bin/env python3
"""Loopback HTTP server with byte ranges, for the resumed downloads' tests.

Usage: range_http_server.py ROOT
Listens on 127.0.0.1 on a free port and prints "PORT <n>" on one line.

GET /NAME serves ROOT/NAME. A "Range: bytes=N-" header gets 206 with
Content-Range, or 416 when N is not below the size. Each request's Range
header (or "-") is appended as a line to ROOT/ranges.log. Query parameters
change the answer:
  norange=1   ignore Range and answer 200 with the whole file
  nolength=1  send no Content-Length (the end is the closed connection)
  cut=N       send only the first N bytes of the body, then close
  status=C    answer with status C and a small page
  slow=MS     send the body in 64 KiB pieces, MS milliseconds apart
"""
import os
import sys
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ROOT = sys.argv[1] if len(sys.argv) > 1 else "."


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        q = {k: v[0] for k, v in urllib.parse.parse_qs(url.query).items()}
        rng = self.headers.get("Range")
        with open(os.path.join(ROOT, "ranges.log"), "a") as log:
            log.write((rng or "-") + "\n")
        if "status" in q:
            page = b"<html>error</html>"
            self.send_response(int(q["status"]))
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            self.wfile.write(page)
            return
        name = os.path.join(ROOT, os.path.basename(url.path))
        if not os.path.isfile(name):
            self.send_response(404)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        with open(name, "rb") as f:
            data = f.read()
        size = len(data)
        code = 200
        start = 0
        if rng and rng.startswith("bytes=") and q.get("norange") != "1":
            start = int(rng[6:].split("-")[0])
            if start >= size:
                self.send_response(416)
                self.send_header("Content-Range", "bytes */%d" % size)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            code = 206
        body = data[start:]
        self.send_response(code)
        if code == 206:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, size - 1, size))
        if q.get("nolength") != "1":
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if "cut" in q:
            body = body[: int(q["cut"])]
        if "slow" in q:
            try:
                for at in range(0, len(body), 65536):
                    self.wfile.write(body[at:at + 65536])
                    self.wfile.flush()
                    time.sleep(int(q["slow"]) / 1000.0)
            except (BrokenPipeError, ConnectionResetError):
                pass  # the client stopped, as a cancelled download does
            return
        self.wfile.write(body)
        self.wfile.flush()


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
