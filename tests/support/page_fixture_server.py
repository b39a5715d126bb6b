#!/usr/bin/env python3
"""Pages for the capture worker's tests and benchmark; 127.0.0.1 only.

Prints "PORT <n>" once listening, then "BARE <m>": a second port serving the
same pages but no /favicon.ico (a site without any icon). With --log, one
line "<METHOD> <target>" per request follows before it is answered (through
the proxy: "PROXY <METHOD> <target> <Proxy-Authorization or ->"); without it
nothing more is printed, so nobody has to read the output. Ends when its
standard input closes or its parent goes away, so it never outlives the test.

Options:
  --log                  log each request as above
  --latency MS           every answer waits MS milliseconds first
  --proxy USER:PASSWORD  the main port is a forwarding proxy instead: each
                         request needs those Basic credentials (else 407) and
                         is passed on to the 127.0.0.1 origin it names; the
                         BARE port still serves the pages directly

Pages (GET):
  /basic            title, meta description and keywords, UTF-8 text,
                    a declared PNG icon, links of every kind, paragraphs,
                    Last-Modified
  /cp1251           a windows-1251 page (charset in the Content-Type header)
  /latin1           an iso-8859-1 page (charset only in a <meta>)
  /noicon           declares no icon (so /favicon.ico is the site's icon)
  /badicon          declares an icon that is not there
  /gificon          declares a GIF icon
  /svgicon          declares an SVG icon (red)
  /dataicon         declares its icon as a data: address (yellow PNG)
  /long             several screens; a loading="lazy" red image and a
                    blue one loaded by an IntersectionObserver further down
  /huge             far taller than any screenshot may be
  /redirect/CODE/N  N redirects of status CODE (301, 302, ...) to /basic
  /missing          404 with a small page
  /never            a page whose script never finishes loading
  /hang.js          (its script) answers the headers, then keeps silent
  /cookie           sets a cookie (header and script) and a localStorage item
  /peek             title shows the cookies and the localStorage item it sees
  /notitle          a bare page: no title, no head, no body tags
  /alert            opens an alert (and a confirm) before it has loaded
  /busy             loads, then keeps its script running forever
  /plain            text/plain
  /binary           application/octet-stream with a file name (a download)
  /empty            200 with no body at all
  /icon.png /img/red.png /img/blue.png /icon.gif /icon.svg /favicon.ico
"""
import base64
import http.client
import http.server
import os
import struct
import sys
import threading
import time
import zlib

from fixture_server_common import OUTPUT_LOCK, QuietServer, serve_in_background

LONGEST_WAIT = 30.0  # seconds; bounds the answers that hang
LAST_MODIFIED = "Wed, 21 Oct 2015 07:28:00 GMT"


def png(width, height, rgb):
    """A solid-colour PNG, RGB 8 bit."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    row = b"\x00" + bytes(rgb) * width
    raw = row * height
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw))
            + chunk(b"IEND", b""))


def bmp_ico(size, rgb):
    """An .ico with one 32-bit BMP entry of a solid colour."""
    pixels = bytes((rgb[2], rgb[1], rgb[0], 255)) * (size * size)
    mask = b"\x00" * (((size + 31) // 32) * 4 * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    return (struct.pack("<HHH", 0, 1, 1)
            + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22)
            + image)


def gif(size, rgb):
    """A solid-colour GIF (two-colour palette, one LZW-coded frame)."""
    header = b"GIF89a" + struct.pack("<HHBBB", size, size, 0x80, 0, 0)
    palette = bytes(rgb) + b"\x00\x00\x00"
    descriptor = b"," + struct.pack("<HHHHB", 0, 0, size, size, 0)
    # LZW with minimum code size 2: clear (4), then the index 0 for every
    # pixel, restarting with a clear before the table would grow past 3 bits.
    codes = []
    for i in range(size * size):
        if i % 2 == 0:
            codes.append(4)
        codes.append(0)
    codes.append(5)  # end
    bits, nbits, out = 0, 0, bytearray()
    for code in codes:
        bits |= code << nbits
        nbits += 3
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        out.append(bits & 0xFF)
    blocks = b""
    for i in range(0, len(out), 255):
        piece = bytes(out[i:i + 255])
        blocks += bytes([len(piece)]) + piece
    return header + palette + descriptor + b"\x02" + blocks + b"\x00;"


ICON_PNG = png(32, 32, (0, 160, 0))
FAVICON_ICO = bmp_ico(16, (200, 0, 200))
ICON_GIF = gif(16, (0, 0, 255))
RED_PNG = png(200, 200, (255, 0, 0))
BLUE_PNG = png(200, 200, (0, 0, 255))

BASIC = """<!DOCTYPE html>
<html><head><meta charset="utf-8">
<title>Fixture  Basic
 Page</title>
<meta name="description" content="A page for the capture tests">
<meta name="Keywords" content="capture, fixture, test">
<link rel="icon" type="image/png" href="/icon.png">
</head><body>
<h1>Basic heading</h1>
<p>First paragraph with äöü and “quotes”.</p>
<p>Second   paragraph
 spread over lines.</p>
<div>A division of text.</div>
<a href="relative/page.html">Relative link</a>
<a href="/rooted?x=1&amp;y=2">Rooted &lt;b&gt; link</a>
<a href="http://127.0.0.1:1/elsewhere">Absolute "quoted" link</a>
<a href="#frag">Fragment</a>
<a name="anchor-without-href">no link</a>
<a href="mailto:someone@example.invalid">Mail</a>
<a href="/image-link"><img src="/img/red.png" width="10" height="10" alt="red"></a>
<script>document.write('');</script>
</body></html>
"""

CP1251 = ("<html><head><title>Страница в кодировке 1251</title>"
          "<meta name=\"description\" content=\"Описание\"></head>"
          "<body><p>Привет, мир!</p></body></html>")

LATIN1 = ("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">"
          "<title>Café crème</title></head>"
          "<body><p>Señor Müller's café</p></body></html>")

NOICON = """<html><head><title>No declared icon</title></head>
<body><p>Only the site's /favicon.ico.</p></body></html>"""

BADICON = """<html><head><title>Broken icon</title>
<link rel="shortcut icon" href="/no-such-icon.png"></head>
<body><p>The declared icon is missing.</p></body></html>"""

GIFICON = """<html><head><title>GIF icon</title>
<link rel="icon" href="/icon.gif"></head>
<body><p>A GIF icon.</p></body></html>"""

# Screens of 768 px: the lazy image at 2600, the observed one at 3600.
SVGICON = """<html><head><title>SVG icon</title>
<link rel="icon" type="image/svg+xml" href="/icon.svg"></head>
<body><p>An SVG icon.</p></body></html>"""

ICON_SVG = (b'<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16" viewBox="0 0 16 16">'
            b'<rect width="16" height="16" fill="#ff0000"/></svg>')

DATAICON = ("<html><head><title>Data icon</title><link rel=\"icon\" href=\"data:image/png;base64,"
            + base64.b64encode(png(16, 16, (255, 255, 0))).decode()
            + "\"></head><body><p>An inline icon.</p></body></html>")

LONG = """<!DOCTYPE html>
<html><head><title>Long page</title>
<style>
body { margin: 0; background: #ffffff; }
.block { height: 1000px; }
img { display: block; width: 200px; height: 200px; }
</style></head><body>
<div class="block"><p>Screen one</p></div>
<div class="block"><p>Screen two</p></div>
<div style="height: 600px"></div>
<img id="lazy" loading="lazy" src="/img/red.png" alt="lazy">
<div style="height: 800px"></div>
<img id="observed" data-src="/img/blue.png" alt="observed">
<div class="block"><p>The end</p></div>
<script>
const target = document.getElementById('observed');
new IntersectionObserver((entries, observer) => {
  for (const entry of entries) {
    if (entry.isIntersecting) {
      entry.target.src = entry.target.dataset.src;
      observer.disconnect();
    }
  }
}).observe(target);
</script>
</body></html>
"""

HUGE = """<!DOCTYPE html>
<html><head><title>Huge page</title></head>
<body style="margin:0"><div style="height: 40000px; background: #eeeeee">tall</div>
<p>bottom</p></body></html>
"""

NEVER = """<html><head><title>Never finishes</title></head>
<body><p>Still loading.</p><script src="/hang.js"></script></body></html>"""

COOKIE = """<html><head><title>Cookie setter</title></head><body><p>set</p>
<script>
document.cookie = "scripted=yes; path=/; max-age=3600";
localStorage.setItem("kept", "from-job-1");
</script></body></html>"""

PEEK = """<html><head><title>peek</title></head><body><p>peek</p>
<script>
document.title = "cookies=[" + document.cookie + "] storage=[" +
                 (localStorage.getItem("kept") || "") + "]";
</script></body></html>"""

NOTITLE = "just some words, no markup"

ALERT = """<html><head><title>Dialogs</title>
<script>alert("stop"); confirm("really?");</script></head>
<body><p>After the dialogs.</p></body></html>"""

BUSY = """<html><head><title>Busy</title></head><body><p>Spinning.</p>
<script>addEventListener("load", () => setTimeout(() => { for (;;) {} }, 0));</script>
</body></html>"""

MISSING = "<html><head><title>Not here</title></head><body><p>Gone.</p></body></html>"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    latency = 0.0
    proxy_credentials = None  # on the proxy port: "Basic ..." expected

    def log_message(self, *args):
        pass

    def record(self, line):
        if not LOG_REQUESTS:
            return
        with OUTPUT_LOCK:
            sys.stdout.write(line + "\n")
            sys.stdout.flush()

    def answer(self, code, body=b"", content_type="text/html; charset=utf-8", headers=()):
        self.send_response(code)
        if content_type:
            self.send_header("Content-Type", content_type)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def handle_any(self):
        if self.latency:
            time.sleep(self.latency)
        if self.server.is_proxy:
            self.handle_proxy()
        else:
            self.record(f"{self.command} {self.path}")
            self.handle_origin()

    do_GET = do_HEAD = do_POST = handle_any

    def handle_proxy(self):
        auth = self.headers.get("Proxy-Authorization")
        self.record(f"PROXY {self.command} {self.path} {auth or '-'}")
        if auth != self.proxy_credentials:
            self.answer(407, b"proxy credentials wanted",
                        headers=[("Proxy-Authenticate", 'Basic realm="fixture"')])
            return
        if not self.path.startswith("http://127.0.0.1:"):
            self.answer(502, b"only 127.0.0.1 origins")
            return
        rest = self.path[len("http://127.0.0.1:"):]
        port, _, target = rest.partition("/")
        try:
            conn = http.client.HTTPConnection("127.0.0.1", int(port), timeout=LONGEST_WAIT)
            headers = {k: v for k, v in self.headers.items()
                       if k.lower() not in ("proxy-authorization", "proxy-connection", "connection")}
            conn.request(self.command, "/" + target, headers=headers)
            response = conn.getresponse()
            body = response.read()
        except (OSError, ValueError, http.client.HTTPException):
            self.answer(502, b"origin unreachable")
            return
        passed = [(k, v) for k, v in response.getheaders()
                  if k.lower() not in ("content-length", "transfer-encoding", "connection",
                                       "content-type")]
        self.answer(response.status, body, response.getheader("Content-Type"), passed)

    def handle_origin(self):
        path = self.path.split("?", 1)[0]
        html = "text/html; charset=utf-8"
        if path in ("/", "/basic"):
            self.answer(200, BASIC.encode("utf-8"), headers=[("Last-Modified", LAST_MODIFIED)])
        elif path == "/cp1251":
            self.answer(200, CP1251.encode("cp1251"), "text/html; charset=windows-1251")
        elif path == "/latin1":
            self.answer(200, LATIN1.encode("latin-1"), "text/html")
        elif path == "/noicon":
            self.answer(200, NOICON.encode(), html)
        elif path == "/badicon":
            self.answer(200, BADICON.encode(), html)
        elif path == "/gificon":
            self.answer(200, GIFICON.encode(), html)
        elif path == "/dataicon":
            self.answer(200, DATAICON.encode(), html)
        elif path == "/svgicon":
            self.answer(200, SVGICON.encode(), html)
        elif path == "/icon.svg":
            self.answer(200, ICON_SVG, "image/svg+xml")
        elif path == "/long":
            self.answer(200, LONG.encode(), html)
        elif path == "/huge":
            self.answer(200, HUGE.encode(), html)
        elif path.startswith("/redirect/"):
            self.redirect(path)
        elif path == "/missing":
            self.answer(404, MISSING.encode(), html)
        elif path == "/never":
            self.answer(200, NEVER.encode(), html)
        elif path == "/hang.js":
            self.hang()
        elif path == "/cookie":
            self.answer(200, COOKIE.encode(), html,
                        [("Set-Cookie", "served=yes; Path=/; Max-Age=3600")])
        elif path == "/peek":
            self.answer(200, PEEK.encode(), html)
        elif path == "/alert":
            self.answer(200, ALERT.encode(), html)
        elif path == "/busy":
            self.answer(200, BUSY.encode(), html)
        elif path == "/notitle":
            self.answer(200, NOTITLE.encode(), "text/html")
        elif path == "/plain":
            self.answer(200, b"plain text\nsecond line\n", "text/plain; charset=utf-8")
        elif path == "/binary":
            self.answer(200, bytes(range(256)) * 64, "application/octet-stream",
                        [("Content-Disposition", 'attachment; filename="data.bin"')])
        elif path == "/empty":
            self.answer(200, b"", html)
        elif path == "/icon.png":
            self.answer(200, ICON_PNG, "image/png")
        elif path == "/icon.gif":
            self.answer(200, ICON_GIF, "image/gif")
        elif path == "/img/red.png":
            self.answer(200, RED_PNG, "image/png")
        elif path == "/img/blue.png":
            self.answer(200, BLUE_PNG, "image/png")
        elif path == "/favicon.ico" and not self.server.bare:
            self.answer(200, FAVICON_ICO, "image/x-icon")
        else:
            self.answer(404, b"<html><body>not found</body></html>", html)

    def redirect(self, path):
        parts = path.split("/")
        try:
            code, hops = int(parts[2]), int(parts[3])
        except (IndexError, ValueError):
            self.answer(400, b"bad redirect")
            return
        target = "/basic" if hops <= 1 else f"/redirect/{code}/{hops - 1}"
        self.answer(code, b"moved", headers=[("Location", target)])

    def hang(self):
        self.send_response(200)
        self.send_header("Content-Type", "application/javascript")
        self.send_header("Content-Length", "100000")
        self.end_headers()
        try:
            self.wfile.write(b"// ")
            self.wfile.flush()
            stop = time.monotonic() + LONGEST_WAIT
            while time.monotonic() < stop:
                time.sleep(0.2)
        except OSError:
            pass
        self.close_connection = True


LOG_REQUESTS = False  # --log: one line per request on standard output


class Server(QuietServer):
    def __init__(self, is_proxy, bare):
        super().__init__(Handler)
        self.is_proxy = is_proxy
        self.bare = bare


def main():
    global LOG_REQUESTS
    args = sys.argv[1:]
    proxy = None
    i = 0
    while i < len(args):
        if args[i] == "--latency" and i + 1 < len(args):
            Handler.latency = float(args[i + 1]) / 1000.0
            i += 2
        elif args[i] == "--log":
            LOG_REQUESTS = True
            i += 1
        elif args[i] == "--proxy" and i + 1 < len(args):
            proxy = args[i + 1]
            i += 2
        else:
            sys.stderr.write(f"page_fixture_server: unknown argument {args[i]}\n")
            sys.exit(2)
    if proxy is not None:
        Handler.proxy_credentials = "Basic " + base64.b64encode(proxy.encode()).decode()
    main_server = Server(proxy is not None, False)
    bare_server = Server(False, True)
    for server in (main_server, bare_server):
        serve_in_background(server)
    with OUTPUT_LOCK:
        print(f"PORT {main_server.server_address[1]}", flush=True)
        print(f"BARE {bare_server.server_address[1]}", flush=True)
    sys.stdin.read()  # until the test closes it or ends
    os._exit(0)  # handler threads may still be sleeping


if __name__ == "__main__":
    main()
