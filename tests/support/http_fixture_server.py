#!/usr/bin/env python3
"""HTTP server for the URL checker's tests and benchmark; 127.0.0.1 only.

Prints "PORT <n>" once listening, then one line "<METHOD> <target>" per
request before answering it (a proxy also adds the Proxy-Authorization value,
or "-"). Ends when its standard input closes or its parent goes away, so it
never outlives the test.

Origin paths:
  /status/NNN          answers NNN (301 and 302 carry a Location)
  /head405, /head501   answers 405 or 501 to HEAD, 200 to GET
  /headclose           hangs up on HEAD, 200 to GET
  /endless             405 to HEAD; 200 to GET with a body that keeps coming
  /close               hangs up without answering
  /slow                answers 200 only after 30 s
With --proxy every request needs Proxy-Authorization (else 407 with a Basic
challenge) and is answered 203 by the proxy itself.
"""
import http.server
import os
import sys
import threading
import time

from fixture_server_common import OUTPUT_LOCK, QuietServer, serve_in_background

LONGEST_WAIT = 30.0  # seconds; bounds the slow and endless answers


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    proxy_mode = False

    def log_message(self, *args):
        pass

    def record(self, extra=""):
        line = f"{self.command} {self.path}{extra}"
        with OUTPUT_LOCK:
            sys.stdout.write(line + "\n")
            sys.stdout.flush()

    def answer(self, code, headers=(), body=b""):
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def hang_up(self):
        self.close_connection = True

    def handle_proxy(self):
        auth = self.headers.get("Proxy-Authorization")
        self.record(" " + (auth or "-"))
        if not auth:
            self.answer(407, [("Proxy-Authenticate", 'Basic realm="fixture"')])
        else:
            self.answer(203, body=b"from the proxy\n")

    def handle_origin(self):
        self.record()
        head = self.command == "HEAD"
        path = self.path.split("?", 1)[0]
        if path.startswith("/status/") and path[8:].isdigit():
            code = int(path[8:])
            moved = [("Location", "/status/200")] if code in (301, 302) else []
            self.answer(code, moved, b"status page\n")
        elif path in ("/head405", "/head501"):
            self.answer(int(path[5:]) if head else 200, body=b"ok\n")
        elif path == "/headclose":
            self.hang_up() if head else self.answer(200, body=b"ok\n")
        elif path == "/endless":
            self.answer(405) if head else self.send_endless()
        elif path == "/close":
            self.hang_up()
        elif path == "/slow":
            time.sleep(LONGEST_WAIT)
            self.answer(200)
        else:
            self.answer(404)

    def send_endless(self):
        self.send_response(200)
        self.send_header("Content-Length", str(1 << 40))
        self.end_headers()
        chunk = b"x" * 1024
        stop = time.monotonic() + LONGEST_WAIT
        try:
            while time.monotonic() < stop:
                self.wfile.write(chunk)
                self.wfile.flush()
                time.sleep(0.01)
        except OSError:
            pass
        self.close_connection = True

    def handle_any(self):
        self.handle_proxy() if self.proxy_mode else self.handle_origin()

    do_GET = do_HEAD = do_POST = do_CONNECT = handle_any


def main():
    Handler.proxy_mode = "--proxy" in sys.argv[1:]
    server = QuietServer(Handler)
    serve_in_background(server)
    with OUTPUT_LOCK:
        print(f"PORT {server.server_address[1]}", flush=True)
    sys.stdin.read()  # until the test closes it or ends
    os._exit(0)  # handler threads may still be sleeping


if __name__ == "__main__":
    main()
