#!/usr/bin/env python3
"""Makes every picture of Textquirl's icon from its one drawing,
ui/qt/resources/textquirl.svg:

  ui/qt/resources/textquirl-16.png, -32.png   window icons and hicolor 16, 32
  ui/qt/resources/textquirl-64.png, -128.png  hicolor sizes a software centre shows
  ui/qt/resources/textquirl-192.png, -512.png the web page's app icons (its manifest)
  ui/win32/textquirl.ico                   16 x 16 and 32 x 32, 16 colours each

16 and 32 pixels are drawn without antialiasing, so that they keep the
drawing's few flat colours (the .ico holds 16); the larger sizes are smooth.
Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.

Usage: tools/make_icons.py          write the files (run after changing the SVG)
       tools/make_icons.py --check  exit 1 if a written file differs from a fresh rendering
"""
import pathlib
import struct
import subprocess
import sys
import tempfile

root = pathlib.Path(__file__).resolve().parent.parent
svg = root / "ui/qt/resources/textquirl.svg"
SMALL = (16, 32)
SIZES = (16, 32, 64, 128, 192, 512)


def png_path(base, size):
    return base / f"ui/qt/resources/textquirl-{size}.png"


def render(size, out):
    """Renders the drawing at size x size into the PNG `out`."""
    source = svg.read_text(encoding="utf-8")
    if size in SMALL:
        source = source.replace("<svg ", '<svg shape-rendering="crispEdges" ', 1)
    subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), "-o", str(out)],
                   input=source.encode("utf-8"), check=True)


def rgba(png, size):
    """The pixels of `png` as size rows of size 4-byte RGBA values."""
    raw = subprocess.run(["convert", str(png), "-depth", "8", "rgba:-"],
                         check=True, capture_output=True).stdout
    if len(raw) != size * size * 4:
        sys.exit(f"{png}: expected a {size} x {size} image")
    return [[raw[(y * size + x) * 4:(y * size + x) * 4 + 4] for x in range(size)]
            for y in range(size)]


def dib(rows, size):
    """A 4-bit BITMAPINFOHEADER image with its AND mask, as in .ico files:
    a palette of the image's own colours, transparency in the mask."""
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


def ico(base):
    images = [(size, dib(rgba(png_path(base, size), size), size)) for size in SMALL]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return bytes(out)


def make(base):
    (base / "ui/qt/resources").mkdir(parents=True, exist_ok=True)
    (base / "ui/win32").mkdir(parents=True, exist_ok=True)
    for size in SIZES:
        render(size, png_path(base, size))
    (base / "ui/win32/textquirl.ico").write_bytes(ico(base))


def main():
    if sys.argv[1:] == ["--check"]:
        with tempfile.TemporaryDirectory() as fresh:
            fresh = pathlib.Path(fresh)
            make(fresh)
            stale = [f"ui/qt/resources/textquirl-{s}.png" for s in SIZES
                     if rgba(png_path(root, s), s) != rgba(png_path(fresh, s), s)]
            if (root / "ui/win32/textquirl.ico").read_bytes() != ico(fresh):
                stale.append("ui/win32/textquirl.ico")
        if stale:
            sys.exit("not made from ui/qt/resources/textquirl.svg (run tools/make_icons.py): "
                     + ", ".join(stale))
        print("icons: every picture matches ui/qt/resources/textquirl.svg")
    elif sys.argv[1:]:
        sys.exit(__doc__)
    else:
        make(root)
        print("wrote ui/qt/resources/textquirl-{16,32,64,128,192,512}.png and ui/win32/textquirl.ico")


main()
