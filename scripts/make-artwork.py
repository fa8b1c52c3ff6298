#!/usr/bin/env python3
"""Draws corvtray's artwork and writes it into resources/ (python3 standard library only).

    scripts/make-artwork.py [output-folder]

Writes corvtray.ico (16, 32 and 48 pixels, 32 bpp with alpha), picture.bmp (the main
window's picture, 225 x 66, 8 bpp, on the window's own dark blue), logo.bmp (the about box's
logo, 109 x 32, 24 bpp) and notifier.bmp (the popup's skin, 315 x 103, 24 bpp, light where
its black text goes: 5 pixels in from every edge).
The output is the same on every run, so the committed files can be checked against it.
"""
import math
import os
import struct
import sys

# A 5 x 7 pixel font for the word mark.
GLYPHS = {
    "C": ["01111", "10000", "10000", "10000", "10000", "10000", "01111"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
}

NIGHT = (18, 32, 58)  # deep blue of the background
DUSK = (40, 92, 140)
TEAL = (38, 170, 176)
GOLD = (240, 184, 64)
WHITE = (246, 248, 250)
VIEW_BACKGROUND = (38, 72, 103)  # the main window's colour around the built-in picture


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


class Canvas:
    def __init__(self, w, h, colour=(0, 0, 0), alpha=255):
        self.w, self.h = w, h
        self.px = [[(colour, alpha) for _ in range(w)] for _ in range(h)]

    def put(self, x, y, colour, cover=1.0):
        if 0 <= x < self.w and 0 <= y < self.h and cover > 0:
            old, a = self.px[y][x]
            self.px[y][x] = (mix(old, colour, cover), max(a, int(round(255 * cover))))

    def gradient(self, top, bottom):
        for y in range(self.h):
            c = mix(top, bottom, y / max(1, self.h - 1))
            for x in range(self.w):
                self.px[y][x] = (c, 255)

    def disc(self, cx, cy, r, colour, ring=None):
        """A filled disc (or a ring of that width), edges smoothed by 4 x 4 sampling."""
        for y in range(int(cy - r - 1), int(cy + r + 2)):
            for x in range(int(cx - r - 1), int(cx + r + 2)):
                hits = 0
                for sy in range(4):
                    for sx in range(4):
                        d = math.hypot(x + (sx + 0.5) / 4 - cx, y + (sy + 0.5) / 4 - cy)
                        if d <= r and (ring is None or d >= r - ring):
                            hits += 1
                self.put(x, y, colour, hits / 16)

    def emblem(self, cx, cy, r):
        """The product's mark: a teal ring open to the right, a gold wing through it."""
        self.disc(cx, cy, r, TEAL, ring=max(1.5, r * 0.28))
        # Open the ring on the right: a tunnel's mouth.
        for y in range(int(cy - r * 0.35), int(cy + r * 0.35) + 1):
            for x in range(int(cx + r * 0.35), int(cx + r + 2)):
                if 0 <= x < self.w and 0 <= y < self.h:
                    self.px[y][x] = self.under[y][x] if self.under else self.px[y][x]
        # The wing: three feathers rising through the opening.
        for i, (length, lift) in enumerate(((1.05, 0.10), (0.85, 0.32), (0.62, 0.52))):
            x0, y0 = cx - r * 0.25, cy + r * 0.15
            for s in range(0, 100):
                t = s / 99
                x = x0 + t * r * length * 1.3
                y = y0 - t * r * lift * 1.3 - math.sin(t * math.pi) * r * 0.12
                self.disc(x, y, max(0.8, r * 0.11 * (1 - t * 0.6)), GOLD)

    def text(self, s, x, y, scale, colour, advance=None):
        advance = 6 * scale if advance is None else advance
        for ch in s:
            for gy, row in enumerate(GLYPHS[ch]):
                for gx, bit in enumerate(row):
                    if bit == "1":
                        for dy in range(scale):
                            for dx in range(scale):
                                self.put(x + gx * scale + dx, y + gy * scale + dy, colour)
            x += advance

    def frame(self, colour, width, radius):
        """A rounded border; corners outside it take the colour too."""
        for y in range(self.h):
            for x in range(self.w):
                dx = max(radius - x, x - (self.w - 1 - radius), 0)
                dy = max(radius - y, y - (self.h - 1 - radius), 0)
                d = math.hypot(dx, dy)
                if d > radius - width or x < width or y < width or \
                        x >= self.w - width or y >= self.h - width:
                    self.px[y][x] = (colour, 255)

    under = None


def bmp(canvas, bpp):
    """A bottom-up BMP file; 8 bpp gets a 256-colour palette built from the picture."""
    w, h = canvas.w, canvas.h
    if bpp == 24:
        stride = (w * 3 + 3) & ~3
        rows = []
        for y in reversed(range(h)):
            row = b"".join(bytes((c[2], c[1], c[0])) for c, _ in canvas.px[y])
            rows.append(row + b"\0" * (stride - len(row)))
        palette = b""
    else:
        used = {c for line in canvas.px for c, _ in line}
        colours = sorted(used)
        keep = 0xFF
        while len(colours) > 256:  # coarser steps until the palette fits
            keep = (keep << 1) & 0xFF
            colours = sorted({tuple(v & keep for v in c) for c in used})
        index = {c: min(range(len(colours)),
                        key=lambda i: sum((colours[i][k] - c[k]) ** 2 for k in range(3)))
                 for c in used}
        stride = (w + 3) & ~3
        rows = []
        for y in reversed(range(h)):
            row = bytes(index[c] for c, _ in canvas.px[y])
            rows.append(row + b"\0" * (stride - len(row)))
        colours += [(0, 0, 0)] * (256 - len(colours))
        palette = b"".join(bytes((c[2], c[1], c[0], 0)) for c in colours)
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, len(pixels), 2835, 2835,
                       256 if bpp == 8 else 0, 0)
    offset = 14 + len(info) + len(palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + palette + pixels


def icon_image(size):
    c = Canvas(size, size, NIGHT, alpha=0)
    c.emblem(size / 2 - 0.5, size / 2 - 0.5, size * 0.42)
    w = h = size
    xor = b"".join(bytes((col[2], col[1], col[0], a))
                   for y in reversed(range(h)) for col, a in c.px[y])
    mask_stride = ((w + 31) // 32) * 4
    mask = b""
    for y in reversed(range(h)):
        row = bytearray(mask_stride)
        for x in range(w):
            if c.px[y][x][1] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(row)
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def ico(sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def picture():
    # The window's background colour all over, so that the picture has no visible edge.
    c = Canvas(225, 66, VIEW_BACKGROUND)
    c.under = [row[:] for row in c.px]
    c.emblem(33, 33, 24)
    c.text("CORVANE", 72, 22, 3, WHITE)
    for x in range(72, 72 + 41 * 3):  # a thin gold rule under the word
        c.put(x, 48, GOLD)
    return c


def logo():
    """The about box's logo: the emblem and the word mark on a blue badge."""
    c = Canvas(109, 32)
    c.gradient(NIGHT, DUSK)
    c.under = [row[:] for row in c.px]
    c.emblem(15.5, 15.5, 11)
    c.text("CORVANE", 31, 9, 2, WHITE, advance=11)
    for x in range(31, 31 + 76):
        c.put(x, 25, GOLD)
    return c


def notifier():
    """The popup's skin: light wherever its black text may go, a blue frame round it and a
    faint emblem in the lower right corner."""
    c = Canvas(315, 103)
    c.gradient(WHITE, (214, 226, 238))
    faint = Canvas(315, 103)
    faint.px = [row[:] for row in c.px]
    faint.under = [row[:] for row in c.px]
    faint.emblem(284, 72, 22)
    for y in range(c.h):  # the emblem at a fifth of its strength
        for x in range(c.w):
            c.px[y][x] = (mix(c.px[y][x][0], faint.px[y][x][0], 0.2), 255)
    c.frame(NIGHT, 2, 8)
    for x in range(10, 305):  # a teal line along the top, inside the frame
        c.put(x, 3, TEAL)
    return c


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources")
    os.makedirs(out, exist_ok=True)
    files = {
        "corvtray.ico": ico([16, 32, 48]),
        "picture.bmp": bmp(picture(), 8),
        "logo.bmp": bmp(logo(), 24),
        "notifier.bmp": bmp(notifier(), 24),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
