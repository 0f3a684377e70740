#!/usr/bin/env python3
"""Checks the files that imagegen.py writes by reading them back with a
decoder of its own: headers and sizes as the resource compiler and the
icon and cursor loaders expect them, transparency, hot spots, and that the
numbered icons can be told apart.

Run: python3 tools/imagegen/test_imagegen.py
"""

import os
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import imagegen  # noqa: E402


def decode_dib(blob, bits_expected):
    """Colour indices and transparency of one icon or cursor image."""
    (size, width, height2, planes, bits, compression, _, _, _, used,
     _) = struct.unpack_from("<IiiHHIIiiII", blob)
    assert size == 40 and planes == 1 and compression == 0, "bad header"
    assert bits == bits_expected, bits
    height = height2 // 2
    assert height2 == 2 * width, "height must count colour bits and mask"
    colours = used or (1 << bits)
    pos = 40 + 4 * colours
    palette = [struct.unpack_from("<BBB", blob, 40 + 4 * i)[::-1]
               for i in range(colours)]

    def rows(bits_per_pixel, start):
        stride = ((width * bits_per_pixel + 31) // 32) * 4
        out = []
        for r in range(height):
            line = blob[start + r * stride: start + (r + 1) * stride]
            vals = []
            for x in range(width):
                bit = x * bits_per_pixel
                byte = line[bit // 8]
                shift = 8 - bits_per_pixel - bit % 8
                vals.append((byte >> shift) & ((1 << bits_per_pixel) - 1))
            out.append(vals)
        return list(reversed(out)), start + height * stride

    colour, pos = rows(bits, pos)
    mask, pos = rows(1, pos)
    assert pos == len(blob), "image size does not match its header"
    return [[None if mask[y][x] else palette[colour[y][x]] for x in range(width)]
            for y in range(height)], colour


def decode_group(data, kind):
    """Entries of an .ico (kind 1) or .cur (kind 2)."""
    reserved, typ, count = struct.unpack_from("<HHH", data)
    assert reserved == 0 and typ == kind, (reserved, typ)
    entries = []
    for i in range(count):
        w, h, ncol, res, a, b, length, offset = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * i)
        assert res == 0 and offset + length <= len(data)
        entries.append((w or 256, h or 256, ncol, a, b, data[offset:offset + length]))
    return entries


class GeneratedFiles(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        assert imagegen.main(["imagegen.py", cls.dir.name]) == 0
        cls.files = {}
        for name in os.listdir(cls.dir.name):
            with open(os.path.join(cls.dir.name, name), "rb") as f:
                cls.files[name] = f.read()

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def test_expected_file_set(self):
        names = {"tarvo%02d.ico" % n for n in range(1, 18)}
        names |= {"tarvo.ico", "cross.cur", "pencil.cur", "magnify.cur", "about.bmp"}
        self.assertEqual(set(self.files), names)

    def test_icons_decode_and_are_distinct(self):
        seen = {}
        for n in list(range(1, 18)) + [None]:
            name = "tarvo.ico" if n is None else "tarvo%02d.ico" % n
            entries = decode_group(self.files[name], 1)
            self.assertEqual([(e[0], e[1]) for e in entries], [(32, 32), (16, 16)])
            for w, h, ncol, planes, bits, blob in entries:
                self.assertEqual((ncol, planes, bits), (16, 1, 4))
                pixels, _ = decode_dib(blob, 4)
                flat = [p for row in pixels for p in row]
                # Transparent corners around a solid figure.
                self.assertIsNone(pixels[0][0], name)
                self.assertIsNone(pixels[h - 1][0], name)
                opaque = sum(p is not None for p in flat)
                self.assertGreater(opaque, w * h // 4, name)
                # At each size every icon differs from all the others.
                key = (w, tuple(flat))
                self.assertNotIn(key, seen, "%s looks like %s" % (name, seen.get(key)))
                seen[key] = name

    def test_cursors_hot_spots_and_masks(self):
        expected = {"cross.cur": (15, 15), "pencil.cur": (3, 28),
                    "magnify.cur": (11, 11)}
        for name, spot in expected.items():
            entries = decode_group(self.files[name], 2)
            self.assertEqual(len(entries), 1)
            w, h, ncol, hx, hy, blob = entries[0]
            self.assertEqual((w, h, ncol, (hx, hy)), (32, 32, 2, spot), name)
            pixels, _ = decode_dib(blob, 1)
            flat = [p for row in pixels for p in row]
            self.assertTrue(all(p in (None, (0, 0, 0), (255, 255, 255)) for p in flat))
            # Mostly transparent, with both a white figure and a black border.
            self.assertGreater(flat.count(None), 32 * 32 // 2, name)
            self.assertIn((0, 0, 0), flat)
            self.assertIn((255, 255, 255), flat)
            # The hot spot lies on or right next to the figure.
            near = [pixels[y][x] for y in range(hy - 1, hy + 2)
                    for x in range(hx - 1, hx + 2)]
            if name != "magnify.cur":  # the lens centre is see-through
                self.assertTrue(any(p is not None for p in near), name)

    def test_about_bitmap(self):
        data = self.files["about.bmp"]
        magic, size, _, _, offset = struct.unpack_from("<2sIHHI", data)
        self.assertEqual((magic, size, offset), (b"BM", len(data), 54))
        _, w, h, planes, bits, comp = struct.unpack_from("<IiiHHI", data, 14)
        self.assertEqual((planes, bits, comp), (1, 24, 0))
        self.assertEqual((w, h), (imagegen.ABOUT_WIDTH, imagegen.ABOUT_HEIGHT))
        stride = (w * 3 + 3) & ~3
        self.assertEqual(len(data), 54 + stride * h)
        # The bottom row (stored first) is the yellow rule.
        self.assertEqual(data[54:57], bytes((0, 255, 255)))

    def test_output_is_reproducible(self):
        self.assertEqual(imagegen.all_files(), self.files)


if __name__ == "__main__":
    unittest.main()
