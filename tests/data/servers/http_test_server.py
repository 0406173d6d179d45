#!/usr/bin/env python3
"""Loopback HTTP server for the network tests.

Usage: http_test_server.py ROOT
Listens on 127.0.0.1 on a free port and prints "PORT <n>" on one line.

Routes (query parameters in brackets):
  /bytes?size=N[&cl=0]        200 with N bytes; without Content-Length when cl=0
  /short?size=N&declared=M    announces M bytes, sends N, closes the connection
  /stall?size=N&declared=M&ms=T  sends N of M bytes, then stays silent T ms
  /slow?ms=T                  waits T ms before any answer, then 200 "late"
  /trickle?size=N&chunk=C&ms=T  announces N bytes and sends them C at a time, T ms apart
  /deliver?SOURCE[&gz=1][&enc=gzip][&cl=0][&cut=K][&then=close|stall|drip][&ms=T]
                              a hostile answer with status 200. SOURCE is
                              file=NAME (ROOT/NAME), random=N (N seeded random
                              bytes) or html=N (an N-byte error page); gz=1
                              gzips it; enc=gzip adds "Content-Encoding: gzip";
                              cl=0 leaves out the length. cut=K sends the first
                              K bytes, then: close the connection (default),
                              stay silent T ms (stall), or send the rest one
                              byte every T ms (drip)
  /status/CODE                that status with a small HTML error page
  /redirect?to=PATH           302 to PATH
  /files/NAME                 200 with the bytes of ROOT/NAME (404 when absent)
  /api/NAME                   records the method and headers into
                              ROOT/request_NAME.txt and the body into
                              ROOT/request_NAME.body, and answers 200 with
                              ROOT/reply_NAME.json (400 when absent)
"""
import gzip
import os
import random
import sys
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ROOT = sys.argv[1] if len(sys.argv) > 1 else "."


def pattern(n):
    block = bytes(range(256)) * 4096
    out = bytearray()
    while len(out) < n:
        out += block[: n - len(out)]
    return bytes(out)


def deliver_body(q):
    if "file" in q:
        with open(os.path.join(ROOT, os.path.basename(q["file"])), "rb") as f:
            body = f.read()
    elif "random" in q:
        body = random.Random(1).randbytes(int(q["random"]))
    else:
        n = int(q["html"])
        head = b"<!DOCTYPE html>\r\n<html><head><title>503 Service Unavailable</title></head><body>\r\n"
        tail = b"</body></html>\r\n"
        body = head + b"<p>Please try again later.</p>\r\n" * max(0, (n - len(head) - len(tail)) // 34) + tail
    if q.get("gz") == "1":
        body = gzip.compress(body, mtime=0)
    return body


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def send_body(self, code, body, content_type="application/octet-stream", length=True):
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def handle_any(self):
        url = urllib.parse.urlsplit(self.path)
        q = {k: v[0] for k, v in urllib.parse.parse_qs(url.query).items()}
        path = url.path
        body_len = int(self.headers.get("Content-Length", "0") or 0)
        body = self.rfile.read(body_len) if body_len > 0 else b""

        if path == "/bytes":
            self.send_body(200, pattern(int(q["size"])), length=q.get("cl", "1") != "0")
        elif path in ("/short", "/stall"):
            data = pattern(int(q["size"]))
            self.send_response(200)
            self.send_header("Content-Length", q["declared"])
            self.end_headers()
            self.wfile.write(data)
            self.wfile.flush()
            if path == "/stall":
                time.sleep(int(q.get("ms", "5000")) / 1000.0)
        elif path == "/trickle":
            size, chunk = int(q["size"]), int(q.get("chunk", "65536"))
            self.send_response(200)
            self.send_header("Content-Length", str(size))
            self.end_headers()
            sent = 0
            try:
                while sent < size:
                    n = min(chunk, size - sent)
                    self.wfile.write(pattern(n))
                    self.wfile.flush()
                    sent += n
                    time.sleep(int(q.get("ms", "50")) / 1000.0)
            except (BrokenPipeError, ConnectionResetError):
                pass
        elif path == "/deliver":
            self.deliver(q)
        elif path == "/slow":
            time.sleep(int(q.get("ms", "5000")) / 1000.0)
            self.send_body(200, b"late", "text/plain")
        elif path.startswith("/status/"):
            code = int(path.split("/")[2])
            page = b"<html><body><h1>Error %d</h1>" % code + b"x" * 2000 + b"</body></html>"
            self.send_body(code, page, "text/html")
        elif path == "/redirect":
            self.send_response(302)
            self.send_header("Location", q["to"])
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif path.startswith("/files/"):
            name = os.path.join(ROOT, os.path.basename(path))
            if os.path.isfile(name):
                with open(name, "rb") as f:
                    self.send_body(200, f.read())
            else:
                self.send_body(404, b"<html>Not found</html>", "text/html")
        elif path.startswith("/api/"):
            name = os.path.basename(path)
            with open(os.path.join(ROOT, "request_%s.txt" % name), "wb") as f:
                f.write(self.command.encode() + b"\n")
                f.write(str(self.headers).encode())
            with open(os.path.join(ROOT, "request_%s.body" % name), "wb") as f:
                f.write(body)
            reply = os.path.join(ROOT, "reply_%s.json" % name)
            if os.path.isfile(reply):
                with open(reply, "rb") as f:
                    self.send_body(200, f.read(), "application/json")
            else:
                self.send_body(400, b'{"message": "no reply prepared"}', "application/json")
        else:
            self.send_body(404, b"<html>Not found</html>", "text/html")

    def deliver(self, q):
        body = deliver_body(q)
        cut = int(q.get("cut", len(body)))
        then = q.get("then", "close")
        ms = int(q.get("ms", "500")) / 1000.0
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if q.get("enc"):
            self.send_header("Content-Encoding", q["enc"])
        if q.get("cl", "1") != "0":
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            self.wfile.write(body[:cut])
            self.wfile.flush()
            if then == "stall":
                time.sleep(ms)
            elif then == "drip":
                for i in range(cut, len(body)):
                    time.sleep(ms)
                    self.wfile.write(body[i:i + 1])
                    self.wfile.flush()
        except (BrokenPipeError, ConnectionResetError):
            pass

    def do_GET(self):
        self.handle_any()

    def do_POST(self):
        self.handle_any()


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
