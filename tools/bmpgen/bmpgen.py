#!/usr/bin/env python3
"""Writes the bitmap files that the bitmap test cases draw: valid files of
every form the runtime reads, and broken ones that it must refuse.

Usage: bmpgen.py OUTPUT_DIR     writes every file into the directory
       bmpgen.py --list         prints each file with what drawing it must do

Every valid file shows the same 32 x 16 picture, four quadrants:

    red   (255, 0, 0)   | green  (0, 255, 0)
    ----------------------+--------------------
    blue  (0, 0, 255)   | yellow (255, 255, 0)

except the 1-bit files, which have two colours only: red where the picture
is red or yellow, blue where it is green or blue (a checkerboard of
quadrants, so that a picture drawn upside down is seen).

Standard library only; the output is the same on every run.
"""

import os
import struct
import sys

W, H = 32, 16
RED, GREEN, BLUE, YELLOW = (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0)
QUADS = [RED, GREEN, BLUE, YELLOW]
GREY = (128, 128, 128)

NOT_BITMAP = "Not a legitimate BitMap file."
LOAD = "Unable to load bitmap file."
RLE_LOAD = "Could not load RLE file."
PALETTE = "CreatePalette() failed."
PICTURE = "picture"


def quadrant(x, y):
    """0..3 for TL, TR, BL, BR; y counts from the top."""
    return (2 if y >= H // 2 else 0) + (1 if x >= W // 2 else 0)


def index_at(x, y, bits):
    q = quadrant(x, y)
    if bits == 1:
        return 0 if q in (0, 3) else 1
    return q


# ---------------------------------------------------------------- pieces

def info_header(w, h, bits, comp=0, size_image=0, clr_used=0, clr_imp=0, planes=1, size=40):
    hdr = struct.pack("<IiiHHIIiiII", size, w, h, planes, bits, comp, size_image,
                      2835, 2835, clr_used, clr_imp)
    return hdr + bytes(max(0, size - 40))


def core_header(w, h, bits, planes=1):
    return struct.pack("<IHHHH", 12, w, h, planes, bits)


def table4(colours):
    return b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in colours)


def table3(colours):
    return b"".join(struct.pack("BBB", b, g, r) for r, g, b in colours)


def colour_table(bits, count=None):
    """The picture's colours first, grey after them."""
    if bits == 1:
        base = [RED, BLUE]
    else:
        base = list(QUADS)
    n = count if count is not None else (1 << bits if bits <= 8 else 0)
    return (base + [GREY] * n)[:n]


def stride(w, bits):
    return ((w * bits + 31) // 32) * 4


def pack_row(y, bits, w=W):
    """One row of the picture (y from the top), padded to 32 bits."""
    out = bytearray()
    if bits in (1, 4, 8):
        acc, n = 0, 0
        for x in range(w):
            acc = (acc << bits) | index_at(x, y, bits)
            n += bits
            if n == 8:
                out.append(acc)
                acc, n = 0, 0
        if n:
            out.append(acc << (8 - n))
    else:
        for x in range(w):
            r, g, b = QUADS[quadrant(x, y)]
            if bits == 16:
                out += struct.pack("<H", (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3))
            elif bits == 24:
                out += bytes((b, g, r))
            else:
                out += bytes((b, g, r, 0))
    while len(out) % 4:
        out.append(0)
    return bytes(out)


def pixels(bits, topdown=False):
    rows = [pack_row(y, bits) for y in range(H)]
    if not topdown:
        rows.reverse()
    return b"".join(rows)


def file_header(total, offset):
    return struct.pack("<2sIHHI", b"BM", total, 0, 0, offset)


def bmp(header, table, data, with_file_header=True, gap=b"", offset=None):
    body = header + table + gap + data
    if not with_file_header:
        return body
    if offset is None:
        offset = 14 + len(header) + len(table) + len(gap)
    return file_header(14 + len(body), offset) + body


def plain(bits, **kw):
    """A valid uncompressed file with a 40-byte header."""
    table = colour_table(bits)
    return bmp(info_header(W, H, bits), table4(table), pixels(bits), **kw)


# ---------------------------------------------------------------- run-length streams

def rle8_stream():
    """The picture as RLE8: encoded runs, one row in absolute mode, an
    end-of-line after every row and the end-of-bitmap mark."""
    out = bytearray()
    for y in reversed(range(H)):          # bottom row first
        left, right = index_at(0, y, 8), index_at(W - 1, y, 8)
        if y == 3:
            row = bytes(index_at(x, y, 8) for x in range(W))
            out += bytes((0, W)) + row       # W is even: no padding byte
        else:
            out += bytes((W // 2, left, W // 2, right))
        out += b"\x00\x00"
    out += b"\x00\x01"
    return bytes(out)


def rle4_stream():
    out = bytearray()
    for y in reversed(range(H)):
        left, right = index_at(0, y, 4), index_at(W - 1, y, 4)
        if y == 3:
            # 32 pixels given one by one: 16 bytes, already a whole number of words
            row = bytearray()
            for x in range(0, W, 2):
                row.append(index_at(x, y, 4) << 4 | index_at(x + 1, y, 4))
            out += bytes((0, W)) + row
        else:
            out += bytes((W // 2, left << 4 | left, W // 2, right << 4 | right))
        out += b"\x00\x00"
    out += b"\x00\x01"
    return bytes(out)


def rle_file(stream, bits, comp, size_image=None, h=H, **kw):
    table = colour_table(bits)
    si = len(stream) if size_image is None else size_image
    return bmp(info_header(W, h, bits, comp=comp, size_image=si), table4(table), stream, **kw)


def rle8(stream, **kw):
    return rle_file(stream, 8, 1, **kw)


def rle4(stream, **kw):
    return rle_file(stream, 4, 2, **kw)


# ---------------------------------------------------------------- the files

def valid_files():
    f = {}
    for bits in (1, 4, 8, 16, 24, 32):
        f["v%d.bmp" % bits] = plain(bits)
    # Top-down rows (negative height), with and without image size.
    f["v24_topdown.bmp"] = bmp(info_header(W, -H, 24, size_image=stride(W, 24) * H), b"",
                               pixels(24, topdown=True))
    f["v8_topdown.bmp"] = bmp(info_header(W, -H, 8, size_image=stride(W, 8) * H),
                              table4(colour_table(8)), pixels(8, topdown=True))
    # 12-byte core headers with 3-byte colour entries.
    for bits in (1, 4, 8, 24):
        table = table3(colour_table(bits))
        f["core%d.bmp" % bits] = bmp(core_header(W, H, bits), table, pixels(bits))
    f["core8_nofh.bmp"] = bmp(core_header(W, H, 8), table3(colour_table(8)), pixels(8),
                              with_file_header=False)
    # No file header: the pixels follow the colour table.
    f["v8_nofh.bmp"] = plain(8, with_file_header=False)
    f["v24_nofh.bmp"] = plain(24, with_file_header=False)
    # A colour table shorter than the bit count allows.
    f["v8_used4.bmp"] = bmp(info_header(W, H, 8, clr_used=4), table4(colour_table(8, 4)), pixels(8))
    f["v8_used20.bmp"] = bmp(info_header(W, H, 8, clr_used=20), table4(colour_table(8, 20)),
                             pixels(8))
    # Colours used with a high word: only the low 16 bits count (2 colours).
    f["v1_hiword.bmp"] = bmp(info_header(W, H, 1, clr_used=0x10002), table4(colour_table(1)),
                             pixels(1))
    # A gap of garbage between the colour table and the pixels.
    f["v8_gap.bmp"] = bmp(info_header(W, H, 8), table4(colour_table(8)), pixels(8),
                          gap=b"\xEE" * 300)
    # An image size larger than the rows need.
    f["v24_bigsize.bmp"] = bmp(info_header(W, H, 24, size_image=stride(W, 24) * H + 1000), b"",
                               pixels(24) + bytes(1000))
    # The lower half of the rows only (bottom-up: the upper rows are missing).
    f["v24_trunc.bmp"] = plain(24)[:14 + 40 + stride(W, 24) * (H // 2)]
    # Run-length encoded.
    f["rle8.bmp"] = rle8(rle8_stream())
    f["rle4.bmp"] = rle4(rle4_stream())
    # Image size 0: the runtime reads rows x stride bytes; the stream ends first.
    f["rle8_size0.bmp"] = rle8(rle8_stream(), size_image=0)
    # A screen-sized 1-bit picture: left half red, right half blue.
    row = (b"\x00" * (1024 // 16) + b"\xFF" * (1024 // 16))
    f["big1.bmp"] = bmp(info_header(1024, 768, 1), table4([RED, BLUE]), row * 768)
    # Files for the GETBITMAPDIM checks: 640 x 480, 8 bits, header and table only.
    f["dim640.bmp"] = bmp(info_header(640, 480, 8), table4(colour_table(8)), b"")
    f["dimcore.bmp"] = bmp(core_header(300, 200, 4), table3(colour_table(4)), bytes(40))
    return f


def broken_files():
    """name -> (bytes, message of the drawing commands)."""
    f = {}
    good8 = plain(8)
    t8 = table4(colour_table(8))
    p8 = pixels(8)
    f["bad_empty.bmp"] = (b"", NOT_BITMAP)
    f["bad_short.bmp"] = (good8[:20], NOT_BITMAP)
    f["bad_fileheader_only.bmp"] = (good8[:14], NOT_BITMAP)
    f["bad_hsize64.bmp"] = (bmp(info_header(W, H, 8, size=64), t8, p8), NOT_BITMAP)
    f["bad_hsize108.bmp"] = (bmp(info_header(W, H, 8, size=108), t8, p8), NOT_BITMAP)
    f["bad_width0.bmp"] = (bmp(info_header(0, H, 8), t8, p8), NOT_BITMAP)
    f["bad_width_neg.bmp"] = (bmp(info_header(-W, H, 8), t8, p8), NOT_BITMAP)
    f["bad_height0.bmp"] = (bmp(info_header(W, 0, 8), t8, p8), NOT_BITMAP)
    f["bad_height_min.bmp"] = (bmp(info_header(W, -0x80000000, 8), t8, p8), NOT_BITMAP)
    for bits in (0, 2, 7, 64):
        f["bad_bits%d.bmp" % bits] = (bmp(info_header(W, H, bits), t8, p8), NOT_BITMAP)
    f["bad_bitfields.bmp"] = (bmp(info_header(W, H, 16, comp=3),
                                  struct.pack("<III", 0x7C00, 0x3E0, 0x1F), pixels(16)), NOT_BITMAP)
    f["bad_jpeg.bmp"] = (bmp(info_header(W, H, 24, comp=4), b"", pixels(24)), NOT_BITMAP)
    f["bad_dims_huge.bmp"] = (bmp(info_header(0x7FFFFFFF, 0x7FFFFFFF, 32), b"", b"\0" * 64),
                              NOT_BITMAP)
    # width x bit count beyond 32 bits, few rows
    f["bad_row_overflow.bmp"] = (bmp(info_header(0x08000001, 4, 32), b"", b"\0" * 64), NOT_BITMAP)
    # top-down rows with no image size: the header does not say what it holds
    f["bad_topdown_size0.bmp"] = (bmp(info_header(W, -H, 24), b"", pixels(24, topdown=True)),
                                  NOT_BITMAP)
    f["bad_topdown_size0_8.bmp"] = (bmp(info_header(W, -H, 8), t8, pixels(8, topdown=True)),
                                    NOT_BITMAP)
    # top-down with image size 0 and an absurd height
    f["bad_topdown_huge.bmp"] = (bmp(info_header(0x10000, -0x10000, 24), b"", b"\0" * 64),
                                 NOT_BITMAP)
    f["bad_size_small.bmp"] = (bmp(info_header(W, H, 8, size_image=stride(W, 8) * H - 1), t8, p8),
                               NOT_BITMAP)
    f["bad_colours_65535.bmp"] = (bmp(info_header(W, H, 8, clr_used=0xFFFF), t8, p8), NOT_BITMAP)
    f["bad_colours_300.bmp"] = (bmp(info_header(W, H, 24, clr_used=300), table4([GREY] * 300),
                                    pixels(24)), NOT_BITMAP)
    # 200 colours announced, the file ends after 8 of them
    f["bad_colours_beyond.bmp"] = (bmp(info_header(W, H, 8, clr_used=200),
                                       table4(colour_table(8, 8)), b""), NOT_BITMAP)
    # the pixel offset points into the info header
    f["bad_offset_inside.bmp"] = (bmp(info_header(W, H, 8), t8, p8, offset=30), NOT_BITMAP)
    # a core header file shorter than a 40-byte header
    f["bad_core_short.bmp"] = (core_header(4, 2, 1) + table3([RED, BLUE]) + bytes(8), NOT_BITMAP)
    # run-length headers that cannot be
    f["bad_rle8_24bits.bmp"] = (bmp(info_header(W, H, 24, comp=1, size_image=len(rle8_stream())),
                                    b"", rle8_stream()), NOT_BITMAP)
    f["bad_rle4_8bits.bmp"] = (bmp(info_header(W, H, 8, comp=2, size_image=len(rle4_stream())),
                                   t8, rle4_stream()), NOT_BITMAP)
    f["bad_rle8_topdown.bmp"] = (rle8(rle8_stream(), h=-H), NOT_BITMAP)
    # sizes that no block is made for
    f["bad_alloc.bmp"] = (bmp(info_header(12000, 12000, 8), t8, p8), LOAD)
    f["bad_rle_alloc.bmp"] = (rle8(rle8_stream(), size_image=0x7FFFFFF0), RLE_LOAD)
    # no palette in BITMAP mode
    f["pal16.bmp"] = (plain(16), PALETTE)
    f["pal32.bmp"] = (plain(32), PALETTE)
    # run-length streams that leave the bitmap or their buffer
    s = rle8_stream()
    f["bad_rle8_overrun.bmp"] = (rle8(bytes((W + 1, 1)) + s), RLE_LOAD)
    f["bad_rle8_no_eob.bmp"] = (rle8(s[:-2]), RLE_LOAD)
    f["bad_rle8_cut_absolute.bmp"] = (rle8(bytes((0, W)) + bytes(6)), RLE_LOAD)
    f["bad_rle8_cut_delta.bmp"] = (rle8(b"\x00\x02\x01"), RLE_LOAD)
    f["bad_rle8_delta_out.bmp"] = (rle8(b"\x00\x02\x00\xC8\x01\x01\x00\x01"), RLE_LOAD)
    f["bad_rle8_rows.bmp"] = (rle8(s[:-2] + b"\x02\x01\x00\x00" + b"\x00\x01"), RLE_LOAD)
    f["bad_rle8_lines.bmp"] = (rle8(b"\x00\x00" * (H + 1) + b"\x00\x01"), RLE_LOAD)
    f["bad_rle8_trunc.bmp"] = (rle8(s)[:-20], RLE_LOAD)
    f["bad_rle4_abs_overrun.bmp"] = (rle4(bytes((0, W + 2)) + bytes((W + 2 + 1) // 2 + 1)
                                          + b"\x00\x01"), RLE_LOAD)
    return f


def all_files():
    out = {name: (data, PICTURE) for name, data in valid_files().items()}
    out.update(broken_files())
    return out


def main(argv):
    if len(argv) == 2 and argv[1] == "--list":
        for name, (data, what) in sorted(all_files().items()):
            print("%-28s %6d  %s" % (name, len(data), what))
        return 0
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    out = argv[1]
    os.makedirs(out, exist_ok=True)
    for name, (data, _) in all_files().items():
        with open(os.path.join(out, name), "wb") as fh:
            fh.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
