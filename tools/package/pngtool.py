#!/usr/bin/env python3
"""PNG pictures of the headless runner (8-bit RGB or RGBA).

    pngtool.py diff A.png B.png [TOLERANCE]
        exit code 0 when both have the same size and every channel of every
        pixel differs by at most TOLERANCE (default 0); otherwise 1, with the
        number of differing pixels and the first of them
    pngtool.py compress FILE.png...
        rewrites each picture with the same pixels, compressed (the runner
        stores its pictures uncompressed)
"""
import struct
import sys
import zlib


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG file")
    pos, idat, width = 8, [], None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour not in (2, 6) or interlace:
                raise ValueError(f"{path}: only 8-bit RGB or RGBA without interlace")
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
    if width is None:
        raise ValueError(f"{path}: no header")
    raw = zlib.decompress(b"".join(idat))
    stride = width * channels
    rows, prev = [], bytearray(stride)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, cur = line[0], bytearray(line[1:])
        for i in range(stride):
            a = cur[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if kind == 1:
                cur[i] = (cur[i] + a) & 255
            elif kind == 2:
                cur[i] = (cur[i] + b) & 255
            elif kind == 3:
                cur[i] = (cur[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else b if pb <= pc else c
                cur[i] = (cur[i] + pred) & 255
        rows.append(bytes(cur))
        prev = cur
    return width, height, channels, rows


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def compress(path):
    width, height, channels, rows = read_png(path)
    # Filter "up" on every row but the first: long runs of equal rows and
    # columns of the drawings become zeros.
    raw, prev = bytearray(), bytes(len(rows[0]))
    for row in rows:
        raw.append(2)
        raw += bytes((a - b) & 255 for a, b in zip(row, prev))
        prev = row
    header = struct.pack(">IIBBBBB", width, height, 8, 2 if channels == 3 else 6, 0, 0, 0)
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


def diff(args):
    tolerance = int(args[2]) if len(args) == 3 else 0
    wa, ha, ca, ra = read_png(args[0])
    wb, hb, cb, rb = read_png(args[1])
    if (wa, ha) != (wb, hb):
        print(f"sizes differ: {wa}x{ha} and {wb}x{hb}")
        return 1
    bad, first = 0, None
    for y in range(ha):
        if ra[y] == rb[y] and ca == cb:
            continue
        for x in range(wa):
            pa = ra[y][x * ca:x * ca + 3]
            pb = rb[y][x * cb:x * cb + 3]
            if any(abs(p - q) > tolerance for p, q in zip(pa, pb)):
                bad += 1
                if first is None:
                    first = (x, y, tuple(pa), tuple(pb))
    if bad:
        print(f"{bad} pixels differ; the first at {first[0]},{first[1]}: {first[2]} and {first[3]}")
        return 1
    return 0


def main():
    args = sys.argv[1:]
    if len(args) in (3, 4) and args[0] == "diff":
        return diff(args[1:])
    if len(args) >= 2 and args[0] == "compress":
        for path in args[1:]:
            compress(path)
        return 0
    print(__doc__.strip())
    return 2


if __name__ == "__main__":
    sys.exit(main())
