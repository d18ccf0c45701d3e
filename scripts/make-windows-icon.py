#!/usr/bin/env python3
"""Builds ui/win32/textquirl.ico from the Linux program's icons: the 16 x 16
and the 32 x 32 image, 16 colours each (4 bits per pixel with a palette of
their own, transparency in the AND mask). Needs ImageMagick's `convert`.
Usage: scripts/make-windows-icon.py  (run again whenever the PNGs change)"""
import pathlib
import struct
import subprocess
import sys

root = pathlib.Path(__file__).resolve().parent.parent


def rgba_rows(png, size):
    raw = subprocess.run(["convert", str(png), "-depth", "8", "rgba:-"],
                         check=True, capture_output=True).stdout
    if len(raw) != size * size * 4:
        sys.exit(f"{png}: expected a {size} x {size} image")
    return [[raw[(y * size + x) * 4:(y * size + x) * 4 + 4] for x in range(size)]
            for y in range(size)]


def dib(rows, size):
    """A 4-bit BITMAPINFOHEADER image with its AND mask, as in .ico files."""
    opaque = lambda p: p[3] >= 128
    colours = sorted({bytes(p[:3]) for row in rows for p in row if opaque(p)})
    if len(colours) > 16:
        sys.exit(f"{size} x {size}: {len(colours)} colours, at most 16 fit")
    colours += [b"\0\0\0"] * (16 - len(colours))
    index = {c: i for i, c in enumerate(colours)}
    xor_stride = (size // 2 + 3) // 4 * 4
    and_stride = (size // 8 + 3) // 4 * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, p in enumerate(row):
            i = index[bytes(p[:3])] if opaque(p) else 0
            line[x // 2] |= i << (4 if x % 2 == 0 else 0)
            if not opaque(p):
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(bytes((c[2], c[1], c[0], 0)) for c in colours)
    return header + palette + xor + mask


images = [(size, dib(rgba_rows(root / f"ui/resources/textquirl-{size}.png", size), size))
          for size in (16, 32)]
out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
offset = 6 + 16 * len(images)
for size, data in images:
    out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
    offset += len(data)
for _, data in images:
    out += data
(root / "ui/win32/textquirl.ico").write_bytes(out)
print(f"wrote ui/win32/textquirl.ico ({len(out)} bytes)")
