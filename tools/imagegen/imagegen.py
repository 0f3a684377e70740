#!/usr/bin/env python3
"""Draws the runtime's icons, cursors and About-box bitmap and writes them as
.ico, .cur and .bmp files for the resource compiler.

Usage: imagegen.py OUTPUT_DIR

Every picture is computed here from simple geometry and a small hand-made
pixel font, so the output is the same on every run and needs nothing but the
standard library.

Files written:
  tarvo01.ico .. tarvo17.ico  the numbered icons: a shape and a colour that no
                              other number shares, with the number as a badge
  tarvo.ico                   the application icon
  cross.cur pencil.cur magnify.cur   three monochrome cursors with hot spots
  about.bmp                   the banner at the top of the About box
"""

import os
import struct
import sys

# The standard 16-colour palette; icons are stored with 4 bits per pixel so
# that they look the same on any display depth.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)
CLEAR = None  # transparent pixel of an icon or cursor

ICON_COUNT = 17
ICON_SIZES = (32, 16)

# Small digits for the icon badges, 3 x 5.
DIGITS_3X5 = {
    "0": ["###", "#.#", "#.#", "#.#", "###"],
    "1": [".#.", "##.", ".#.", ".#.", "###"],
    "2": ["###", "..#", "###", "#..", "###"],
    "3": ["###", "..#", ".##", "..#", "###"],
    "4": ["#.#", "#.#", "###", "..#", "..#"],
    "5": ["###", "#..", "###", "..#", "###"],
    "6": ["###", "#..", "###", "#.#", "###"],
    "7": ["###", "..#", ".#.", ".#.", ".#."],
    "8": ["###", "#.#", "###", "#.#", "###"],
    "9": ["###", "#.#", "###", "..#", "###"],
}

# Letters for the About banner, 5 x 7.
GLYPHS_5X7 = {
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "V": ["#...#", "#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "4": ["...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."],
    "0": [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    ".": [".....", ".....", ".....", ".....", ".....", ".##..", ".##.."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}


# ---------------------------------------------------------------- shapes

def _disc(u, v):
    return u * u + v * v <= 0.86 * 0.86


def _square(u, v):
    return max(abs(u), abs(v)) <= 0.74


def _diamond(u, v):
    return abs(u) + abs(v) <= 0.94


def _triangle(u, v):
    # apex at the top, base at the bottom (v grows downwards)
    return -0.86 <= v <= 0.78 and abs(u) <= (v + 0.86) * 0.58


def _ring(u, v):
    r2 = u * u + v * v
    return 0.42 * 0.42 <= r2 <= 0.9 * 0.9


def _cross(u, v):
    return ((abs(u) <= 0.3 and abs(v) <= 0.9) or
            (abs(v) <= 0.3 and abs(u) <= 0.9))


SHAPES = [_disc, _square, _diamond, _triangle, _ring, _cross]
# Nine fill colours against six shapes: shape and colour repeat together only
# after 18 icons, so each of the 17 numbered icons is a pair of its own.
FILLS = [RED, BLUE, GREEN, YELLOW, FUCHSIA, TEAL, MAROON, AQUA, PURPLE]


def icon_design(number):
    """Shape function and fill colour of numbered icon 1..17."""
    return SHAPES[(number - 1) % len(SHAPES)], FILLS[(number - 1) % len(FILLS)]


def new_image(width, height, value=CLEAR):
    return [[value] * width for _ in range(height)]


def shape_mask(size, inside, margin=1.0):
    """Pixels whose centres fall inside a shape given on [-1, 1] x [-1, 1]."""
    half = size / 2.0 - margin
    return [[inside((x + 0.5 - size / 2.0) / half, (y + 0.5 - size / 2.0) / half)
             for x in range(size)] for y in range(size)]


def outline_of(mask):
    """Pixels of the mask that touch a pixel outside it (or the border)."""
    h, w = len(mask), len(mask[0])
    steps = [(1, 0), (-1, 0), (0, 1), (0, -1)]
    out = [[False] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            if not mask[y][x]:
                continue
            for dx, dy in steps:
                nx, ny = x + dx, y + dy
                if not (0 <= nx < w and 0 <= ny < h) or not mask[ny][nx]:
                    out[y][x] = True
                    break
    return out


def paint_shape(img, mask, fill, edge=BLACK):
    edges = outline_of(mask)
    for y, row in enumerate(mask):
        for x, on in enumerate(row):
            if on:
                img[y][x] = edge if edges[y][x] else fill


def stamp(img, glyph, x0, y0, colour, scale=1):
    for gy, line in enumerate(glyph):
        for gx, ch in enumerate(line):
            if ch != "#":
                continue
            for sy in range(scale):
                for sx in range(scale):
                    y, x = y0 + gy * scale + sy, x0 + gx * scale + sx
                    if 0 <= y < len(img) and 0 <= x < len(img[0]):
                        img[y][x] = colour


def fill_rect(img, x0, y0, x1, y1, colour):
    for y in range(max(y0, 0), min(y1, len(img))):
        for x in range(max(x0, 0), min(x1, len(img[0]))):
            img[y][x] = colour


# ---------------------------------------------------------------- icons

def numbered_icon(number, size):
    shape, fill = icon_design(number)
    img = new_image(size, size)
    paint_shape(img, shape_mask(size, shape), fill)
    if size >= 32:
        # The number in a white badge in the bottom-right corner.
        text = str(number)
        width = 4 * len(text) - 1
        x0 = size - width - 3
        y0 = size - 9
        fill_rect(img, x0 - 2, y0 - 2, size, size, BLACK)
        fill_rect(img, x0 - 1, y0 - 1, size - 1, size - 1, WHITE)
        for i, ch in enumerate(text):
            stamp(img, DIGITS_3X5[ch], x0 + 4 * i, y0, BLACK)
    return img


def application_icon(size):
    """A white letter T on a blue tile with a yellow corner mark."""
    img = new_image(size, size)

    def tile(u, v):
        # a square with rounded corners
        return abs(u) ** 4 + abs(v) ** 4 <= 0.9 ** 4

    paint_shape(img, shape_mask(size, tile, margin=0.5), BLUE)
    s = size / 32.0

    def box(x0, y0, x1, y1):
        return [[x0 * s <= x + 0.5 < x1 * s and y0 * s <= y + 0.5 < y1 * s
                 for x in range(size)] for y in range(size)]

    bar, stem = box(7, 6, 25, 12), box(13, 6, 19, 27)
    letter = [[bar[y][x] or stem[y][x] for x in range(size)] for y in range(size)]
    paint_shape(img, letter, WHITE)
    mark = [[(x + 0.5 - 24.5 * s) ** 2 + (y + 0.5 - 22.5 * s) ** 2 <= (3.2 * s) ** 2
             for x in range(size)] for y in range(size)]
    paint_shape(img, mark, YELLOW)
    return img


def pack_rows(rows, bits):
    """Bottom-up DIB rows, each padded to a multiple of 4 bytes."""
    out = bytearray()
    for row in reversed(rows):
        acc, nbits, line = 0, 0, bytearray()
        for value in row:
            acc = (acc << bits) | value
            nbits += bits
            if nbits == 8:
                line.append(acc)
                acc, nbits = 0, 0
        if nbits:
            line.append(acc << (8 - nbits))
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def dib_header(width, height, bits, colours):
    # The height counts the colour bits and the mask together.
    return struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0,
                       0, 0, 0, colours, 0)


def icon_image(img):
    size = len(img)
    colour_rows = [[BLACK if p is CLEAR else p for p in row] for row in img]
    mask_rows = [[1 if p is CLEAR else 0 for p in row] for row in img]
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return (dib_header(size, size, 4, 16) + palette +
            pack_rows(colour_rows, 4) + pack_rows(mask_rows, 1))


def icon_file(images):
    """An .ico holding the given 4-bit images, largest first."""
    blobs = [icon_image(img) for img in images]
    head = struct.pack("<HHH", 0, 1, len(blobs))
    offset = len(head) + 16 * len(blobs)
    entries = b""
    for img, blob in zip(images, blobs):
        size = len(img)
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0,
                               1, 4, len(blob), offset)
        offset += len(blob)
    return head + entries + b"".join(blobs)


# ---------------------------------------------------------------- cursors
# A cursor pixel is CLEAR, BLACK, or WHITE.

def outlined_cursor(mask):
    """White figure with a one-pixel black border all around."""
    h, w = len(mask), len(mask[0])
    img = new_image(w, h)
    for y in range(h):
        for x in range(w):
            if mask[y][x]:
                img[y][x] = WHITE
                continue
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    ny, nx = y + dy, x + dx
                    if 0 <= ny < h and 0 <= nx < w and mask[ny][nx]:
                        img[y][x] = BLACK
    return img


def segment_distance(px, py, ax, ay, bx, by):
    """Distance of a point from segment A-B, and where along it (0..1)."""
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / float(dx * dx + dy * dy)
    t = min(1.0, max(0.0, t))
    cx, cy = ax + t * dx, ay + t * dy
    return ((px - cx) ** 2 + (py - cy) ** 2) ** 0.5, t


def crosshair_cursor():
    """Thin cross with an open centre; hot spot in the middle."""
    mask = [[False] * 32 for _ in range(32)]
    for i in range(1, 30):
        if abs(i - 15) > 3:
            mask[15][i] = True
            mask[i][15] = True
    img = outlined_cursor(mask)
    img[15][15] = BLACK  # a single dot marks the spot
    return img, (15, 15)


def pencil_cursor():
    """Pencil pointing down-left; hot spot at the tip."""
    tip, end = (3.0, 28.0), (28.0, 3.0)
    mask = [[False] * 32 for _ in range(32)]
    band = []
    for y in range(32):
        for x in range(32):
            d, t = segment_distance(x + 0.5, y + 0.5, tip[0], tip[1], end[0], end[1])
            width = 3.0 * min(1.0, t / 0.22)
            if d <= width:
                mask[y][x] = True
                if 0.78 <= t <= 0.84:
                    band.append((x, y))
    img = outlined_cursor(mask)
    for x, y in band:
        img[y][x] = BLACK
    img[28][3] = BLACK
    return img, (3, 28)


def magnifier_cursor():
    """Magnifying glass; hot spot at the centre of the lens."""
    cx, cy = 11.5, 11.5
    mask = [[False] * 32 for _ in range(32)]
    for y in range(32):
        for x in range(32):
            r = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
            d, _ = segment_distance(x + 0.5, y + 0.5, 18.5, 18.5, 28.0, 28.0)
            if 6.5 <= r <= 8.5 or d <= 2.2:
                mask[y][x] = True
    return outlined_cursor(mask), (11, 11)


def cursor_file(img, hotspot):
    """A monochrome 32 x 32 .cur: AND mask 1 = transparent, XOR 1 = white."""
    size = len(img)
    xor_rows = [[1 if p == WHITE else 0 for p in row] for row in img]
    and_rows = [[1 if p is CLEAR else 0 for p in row] for row in img]
    blob = (dib_header(size, size, 1, 2) +
            struct.pack("<BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0) +
            pack_rows(xor_rows, 1) + pack_rows(and_rows, 1))
    head = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 2, 0, hotspot[0], hotspot[1],
                        len(blob), len(head) + 16)
    return head + entry + blob


CURSORS = {
    "cross.cur": crosshair_cursor,
    "pencil.cur": pencil_cursor,
    "magnify.cur": magnifier_cursor,
}


# ---------------------------------------------------------------- bitmap

ABOUT_WIDTH, ABOUT_HEIGHT = 200, 90


def about_banner():
    """RGB picture: the product name over a blue gradient and a row of the
    icon shapes."""
    w, h = ABOUT_WIDTH, ABOUT_HEIGHT
    img = []
    for y in range(h):
        k = y / float(h - 1)
        top, bottom = (0, 0, 96), (0, 120, 150)
        colour = tuple(int(round(a + (b - a) * k)) for a, b in zip(top, bottom))
        img.append([colour] * w)

    def write(text, x0, y0, scale, colour, shadow):
        for i, ch in enumerate(text):
            x = x0 + i * 6 * scale
            stamp(img, GLYPHS_5X7[ch], x + scale // 2 + 1, y0 + scale // 2 + 1,
                  shadow, scale)
            stamp(img, GLYPHS_5X7[ch], x, y0, colour, scale)

    write("TARVO", 10, 10, 4, (255, 255, 255), (0, 0, 40))
    write("4.0", 138, 17, 3, PALETTE[YELLOW], (0, 0, 40))
    # The six icon shapes in a row along the bottom.
    for i, shape in enumerate(SHAPES):
        tile = new_image(16, 16)
        paint_shape(tile, shape_mask(16, shape), FILLS[i])
        for y in range(16):
            for x in range(16):
                if tile[y][x] is not CLEAR:
                    img[54 + y][12 + 30 * i + x] = PALETTE[tile[y][x]]
    fill_rect(img, 0, h - 4, w, h, PALETTE[YELLOW])
    return img


def bmp_file(img):
    """A 24-bit bottom-up .bmp."""
    h, w = len(img), len(img[0])
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(img):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels),
                       2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0,
                       14 + len(info))
    return head + info + bytes(pixels)


# ---------------------------------------------------------------- main

def all_files():
    """File name -> bytes, for everything this generator makes."""
    files = {}
    for n in range(1, ICON_COUNT + 1):
        files["tarvo%02d.ico" % n] = icon_file(
            [numbered_icon(n, s) for s in ICON_SIZES])
    files["tarvo.ico"] = icon_file([application_icon(s) for s in ICON_SIZES])
    for name, draw in CURSORS.items():
        files[name] = cursor_file(*draw())
    files["about.bmp"] = bmp_file(about_banner())
    return files


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: imagegen.py OUTPUT_DIR\n")
        return 2
    out = argv[1]
    os.makedirs(out, exist_ok=True)
    for name, data in sorted(all_files().items()):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
