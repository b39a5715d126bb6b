#!/usr/bin/env python3
"""Capture benchmark: pages per minute of `orvexctl update` on a local corpus.

Generates a corpus of realistic pages (1 to 8 screens of text, images,
declared or default site icons, links), serves it on 127.0.0.1 with a fixed
latency per request, fills a fresh workspace with one project holding every
page, and runs `orvexctl update` over it at 1, 3 and 10 workers with
full-page screenshots, thumbnails and every file written. Prints pages per
minute, the machine's busy CPU seconds per page and the time per phase that
the workers log (ORVEX_PHASE_LOG). Prints figures only; asserts nothing.

  capture_bench.py --bin BUILD/bin [--pages 60] [--latency-ms 50]
                   [--workers 1,3,10] [--keep DIR]
"""
import argparse
import http.server
import os
import random
import shutil
import socketserver
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

WORDS = ("lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor "
         "incididunt ut labore et dolore magna aliqua enim ad minim veniam quis nostrud "
         "exercitation ullamco laboris nisi aliquip ex ea commodo consequat duis aute irure "
         "in reprehenderit voluptate velit esse cillum fugiat nulla pariatur").split()


def png_bytes(width, height, seed):
    """A gradient picture, so PNG sizes resemble photographs more than flat fills."""
    rng = random.Random(seed)
    r0, g0, b0 = rng.randrange(256), rng.randrange(256), rng.randrange(256)
    rows = []
    for y in range(height):
        row = bytearray([0])
        for x in range(width):
            row += bytes(((r0 + x) & 255, (g0 + y) & 255, (b0 + x * y // 7) & 255))
        rows.append(bytes(row))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b""))


def busy_cpu_seconds():
    """CPU time the whole machine has spent busy, from /proc/stat.

    The browser's renderer processes are not all children of the run, so the
    run's own resource usage misses much of the work; the machine's figure
    counts it all (and anything else running, so bench on a quiet machine).
    """
    with open("/proc/stat") as stat:
        fields = [int(v) for v in stat.readline().split()[1:]]
    idle = fields[3] + (fields[4] if len(fields) > 4 else 0)  # idle and iowait
    busy = sum(fields[:7]) - idle  # user to softirq; steal is not ours
    return busy / os.sysconf("SC_CLK_TCK")


def sentence(rng, words):
    return " ".join(rng.choice(WORDS) for _ in range(words)).capitalize() + "."


def make_corpus(root, pages, seed=7):
    rng = random.Random(seed)
    os.makedirs(os.path.join(root, "img"), exist_ok=True)
    for i in range(12):
        w, h = rng.choice([(320, 200), (480, 320), (640, 400), (200, 200)])
        with open(os.path.join(root, "img", f"p{i}.png"), "wb") as f:
            f.write(png_bytes(w, h, i))
    with open(os.path.join(root, "icon.png"), "wb") as f:
        f.write(png_bytes(32, 32, 99))
    with open(os.path.join(root, "favicon.ico"), "wb") as f:
        icon = png_bytes(16, 16, 98)
        f.write(struct.pack("<HHH", 0, 1, 1) +
                struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, len(icon), 22) + icon)
    names = []
    for p in range(pages):
        screens = 1 + p % 8
        paragraphs = []
        for s in range(screens * 4):
            paragraphs.append(f"<p>{sentence(rng, rng.randint(30, 70))}</p>")
            if s % 3 == 1:
                lazy = ' loading="lazy"' if s > 4 else ""
                paragraphs.append(f'<img src="/img/p{rng.randrange(12)}.png" width="480"{lazy} alt="figure">')
        links = "".join(f'<li><a href="/page{rng.randrange(pages)}.html">{sentence(rng, 3)}</a></li>'
                        for _ in range(rng.randint(20, 80)))
        icon = '<link rel="icon" href="/icon.png" type="image/png">' if p % 2 == 0 else ""
        html = f"""<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Page {p}: {sentence(rng, 4)}</title>
<meta name="description" content="{sentence(rng, 12)}">
<meta name="keywords" content="{', '.join(rng.sample(WORDS, 5))}">
{icon}
<style>body{{font-family:sans-serif;max-width:900px;margin:auto}} img{{display:block;margin:8px 0}}</style>
</head><body><h1>Page {p}</h1><nav><ul>{links}</ul></nav>{''.join(paragraphs)}</body></html>"""
        name = f"page{p}.html"
        with open(os.path.join(root, name), "w", encoding="utf-8") as f:
            f.write(html)
        names.append(name)
    return names


class LatencyServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def serve(root, latency):
    class Handler(http.server.SimpleHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=root, **kwargs)

        def log_message(self, *args):
            pass

        def send_head(self):
            time.sleep(latency)
            return super().send_head()

    server = LatencyServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def run(cmd, env=None, stdin=None):
    return subprocess.run(cmd, env=env, input=stdin, capture_output=True, text=True, check=True)


def phase_averages(log_path):
    sums, count = {}, 0
    if not os.path.exists(log_path):
        return {}, 0
    with open(log_path) as f:
        for line in f:
            fields = dict(part.split("=", 1) for part in line.split() if "=" in part)
            if not fields:
                continue
            count += 1
            for key, value in fields.items():
                try:
                    sums[key] = sums.get(key, 0.0) + float(value)
                except ValueError:
                    pass
    return {k: v / count for k, v in sums.items()}, count


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder holding orvexctl and oxupdate")
    parser.add_argument("--pages", type=int, default=60)
    parser.add_argument("--latency-ms", type=int, default=50)
    parser.add_argument("--workers", default="1,3,10")
    parser.add_argument("--keep", help="leave the workspace and corpus in this folder")
    args = parser.parse_args()

    work = args.keep or tempfile.mkdtemp(prefix="orvex-capture-bench-")
    corpus = os.path.join(work, "corpus")
    names = make_corpus(corpus, args.pages)
    server = serve(corpus, args.latency_ms / 1000.0)
    base = f"http://127.0.0.1:{server.server_address[1]}/"
    orvexctl = os.path.join(args.bin, "orvexctl")
    print(f"corpus: {len(names)} pages of 1 to 8 screens, {args.latency_ms} ms latency; "
          f"full-page PNG, thumbnail, icon, HTML, text, digest, headers")
    print(f"{'workers':>7} {'pages':>5} {'failed':>6} {'seconds':>8} {'pages/min':>9} "
          f"{'CPU s/page':>10}  phases (ms per page, mean)")
    try:
        for workers in [int(w) for w in args.workers.split(",")]:
            workspace = os.path.join(work, f"ws{workers}")
            shutil.rmtree(workspace, ignore_errors=True)
            os.makedirs(workspace)
            run([orvexctl, "--workspace", workspace, "project", "new", "Bench"])
            run([orvexctl, "--workspace", workspace, "url", "add", "Bench", "-"],
                stdin="".join(base + n + "\n" for n in names))
            log = os.path.join(work, f"phases{workers}.log")
            if os.path.exists(log):
                os.remove(log)
            env = dict(os.environ, ORVEX_PHASE_LOG=log)
            before = busy_cpu_seconds()
            started = time.monotonic()
            result = run([orvexctl, "--workspace", workspace, "update", "Bench",
                          "--threads", str(workers)], env=env)
            seconds = time.monotonic() - started
            cpu = busy_cpu_seconds() - before
            listing = run([orvexctl, "--workspace", workspace, "url", "list", "Bench"]).stdout
            failed = sum(1 for line in listing.splitlines() if "\tFailed\t" in line)
            phases, logged = phase_averages(log)
            phase_text = " ".join(f"{k}={v:.0f}" for k, v in phases.items()) or "(no phase log)"
            print(f"{workers:>7} {len(names):>5} {failed:>6} {seconds:>8.1f} "
                  f"{len(names) / seconds * 60:>9.1f} {cpu / len(names):>10.2f}  {phase_text}")
            sys.stdout.flush()
            if result.stdout.strip():
                print(f"        orvexctl: {result.stdout.strip()}")
    finally:
        server.shutdown()
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
