#!/usr/bin/env python3
"""Writes the record-file fixtures of this folder. Run it from anywhere; the
files are committed, so it only needs running again when a fixture changes.

valid_urls.dat          a good urls.dat: three UrlRecords, zlib at the default level
damaged_urls.dat        not a zlib stream at all (text and stray bytes)
truncated_urls.dat      the stream of valid_urls.dat cut off in the middle
bad_checksum_urls.dat   the stream of valid_urls.dat with a wrong Adler-32 trailer
garbage_after_stream_urls.dat  the stream of valid_urls.dat followed by stray bytes
header_only_urls.dat    just the two zlib header bytes
mixed_line_ends.dat     zlib stream whose lines end in CR LF, lone LF and lone CR
mixed_line_ends.txt     the same text without compression (plain clip.dat form)
"""
import os
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def url_record(rid, folder, created, url):
    rec = "0000 000" + rid.ljust(19) + folder.ljust(8) + created.ljust(19)
    rec += " " * 38 + "0" * 100 + " " * 36 + " " * 1175
    assert len(rec) == 1403
    return rec + url


RECORDS = [
    url_record("5hmeiwmdphn21i3v900", "00000003", "05/14/2007 13:45:30",
               "http://example.com/"),
    url_record("5hmeiwmdphn21i3v901", "00000003", "05/14/2007 13:45:31",
               "https://example.org/a?b=c"),
    url_record("5hmeiwmdphn21i3v902", "00000003", "05/14/2007 13:45:32",
               "ftp://example.net/file.txt"),
]
TEXT = "".join(r + "\r\n" for r in RECORDS).encode("ascii")
STREAM = zlib.compress(TEXT, zlib.Z_DEFAULT_COMPRESSION)
MIXED = b"first\r\nsecond\nthird\rfourth\r\n\r\nsixth\n\nlast"


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


write("valid_urls.dat", STREAM)
write("damaged_urls.dat",
      b"This is not a zlib stream.\r\n\x00\x01\x02\xff\xfe\x9c\x78garbage\r\n")
write("truncated_urls.dat", STREAM[: len(STREAM) // 2])
bad = bytearray(STREAM)
bad[-1] ^= 0x55
write("bad_checksum_urls.dat", bytes(bad))
write("garbage_after_stream_urls.dat", STREAM + b"\x00GARBAGE\xff\r\n")
write("header_only_urls.dat", STREAM[:2])
write("mixed_line_ends.dat", zlib.compress(MIXED, zlib.Z_DEFAULT_COMPRESSION))
write("mixed_line_ends.txt", MIXED)
