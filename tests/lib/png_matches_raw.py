#!/usr/bin/env python3
"""Decodes an 8-bit RGB PNG on its own (chunk CRCs, zlib stream, every row
filter) and compares its pixels with a raw colour buffer (little-endian
0x00RRGGBB words, row by row), as scanvane-render writes them.

    png_matches_raw.py PNG RAW [PNG RAW ...]

Prints one line per pair that differs, and exits 1 if any did."""
import struct
import sys
import zlib


def decode(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("no PNG signature")
    at, header, idat, ended = 8, None, [], False
    while at < len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + size]
        (crc,) = struct.unpack(">I", data[at + 8 + size:at + 12 + size])
        if len(body) != size or zlib.crc32(kind + body) != crc:
            raise ValueError("chunk %r at byte %d is cut short or has a wrong CRC" % (kind, at))
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            ended = at + 12 + size == len(data)
            break
        at += 12 + size
    if not header or not ended:
        raise ValueError("no IHDR, or no IEND at the end")
    width, height, depth, colour, compression, filtering, interlace = header
    if (depth, colour, compression, filtering, interlace) != (8, 2, 0, 0, 0):
        raise ValueError("not 8-bit RGB without interlace: %s" % (header,))
    raw = zlib.decompress(b"".join(idat))  # checks the Adler-32 too
    stride = 3 * width
    if len(raw) != height * (stride + 1):
        raise ValueError("%d bytes of rows, want %d" % (len(raw), height * (stride + 1)))
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride if kind else 0):
            left = row[i - 3] if i >= 3 else 0
            up, corner = previous[i], previous[i - 3] if i >= 3 else 0
            if kind == 1:
                row[i] = (row[i] + left) & 255
            elif kind == 2:
                row[i] = (row[i] + up) & 255
            elif kind == 3:
                row[i] = (row[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                row[i] = (row[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
            elif kind != 0:
                raise ValueError("row %d has filter type %d" % (y, kind))
        rows.append(bytes(row))
        previous = row
    return width, height, b"".join(rows)


def compare(png_path, raw_path):
    width, height, rgb = decode(open(png_path, "rb").read())
    words = open(raw_path, "rb").read()
    if len(words) != 4 * width * height:
        return "%s is %dx%d, %s holds %d bytes" % (png_path, width, height, raw_path, len(words))
    want = bytearray(3 * width * height)
    want[0::3], want[1::3], want[2::3] = words[2::4], words[1::4], words[0::4]
    if rgb != want:
        first = next(i for i in range(len(rgb)) if rgb[i] != want[i]) // 3
        return "%s differs from %s first at pixel (%d, %d)" % (png_path, raw_path, first % width, first // width)
    return None


def main():
    pairs = sys.argv[1:]
    if not pairs or len(pairs) % 2:
        sys.exit("usage: png_matches_raw.py PNG RAW [PNG RAW ...]")
    failed = 0
    for png_path, raw_path in zip(pairs[0::2], pairs[1::2]):
        try:
            why = compare(png_path, raw_path)
        except (ValueError, zlib.error, struct.error, OSError) as error:
            why = "%s: %s" % (png_path, error)
        if why:
            print(why)
            failed += 1
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
