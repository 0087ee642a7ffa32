#!/usr/bin/env python3
"""Draws the program's pictures (data/images/*.gif) with a small GIF encoder of our own.

The generated pages refer to these files: the navigation bar buttons brief.gif, toc.gif and
orig.gif (24 x 24), the summary page banner briefbar.gif (460 x 43) and the light background
tile back.gif; and the pictures of the bundled demo site (data/demo-site/images/). Run it from anywhere; it rewrites the files in place. The output is deterministic,
so re-running it leaves the committed files unchanged.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "data", "images")


# ---- GIF encoding ------------------------------------------------------------------------------

def lzw_encode(pixels, min_code_size):
    """Variable-width LZW as GIF wants it: LSB-first codes, clear code first, table reset at 4096."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    bits = 0
    nbits = 0

    def emit(code, width):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    def fresh():
        return {bytes([i]): i for i in range(clear)}

    table = fresh()
    next_code = end + 1
    width = min_code_size + 1
    emit(clear, width)
    current = b""
    for p in pixels:
        candidate = current + bytes([p])
        if candidate in table:
            current = candidate
            continue
        emit(table[current], width)
        if next_code < 4095:
            table[candidate] = next_code
            next_code += 1
            # The decoder adds its entries one code later, so it widens exactly when the next
            # code to be assigned no longer fits.
            if next_code == (1 << width) + 1 and width < 12:
                width += 1
        else:
            emit(clear, width)
            table = fresh()
            next_code = end + 1
            width = min_code_size + 1
        current = bytes([p])
    if current:
        emit(table[current], width)
    emit(end, width)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def write_gif(path, width, height, palette, pixels):
    assert len(pixels) == width * height
    size_bits = max(1, (len(palette) - 1).bit_length())
    colours = 1 << size_bits
    palette = list(palette) + [(0, 0, 0)] * (colours - len(palette))
    min_code_size = max(2, size_bits)
    data = lzw_encode(pixels, min_code_size)
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", width, height, 0x80 | (size_bits - 1), 0, 0)
    for r, g, b in palette:
        out += bytes([r, g, b])
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    out.append(min_code_size)
    for i in range(0, len(data), 255):
        block = data[i:i + 255]
        out.append(len(block))
        out += block
    out += b"\x00\x3b"
    with open(path, "wb") as f:
        f.write(out)


# ---- drawing -----------------------------------------------------------------------------------

class Canvas:
    def __init__(self, width, height, fill=0):
        self.width = width
        self.height = height
        self.pixels = [fill] * (width * height)

    def put(self, x, y, c):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y * self.width + x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.put(x, y0, c)
            self.put(x, y1, c)
        for y in range(y0, y1 + 1):
            self.put(x0, y, c)
            self.put(x1, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(self.height):
            for x in range(self.width):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def ring(self, cx, cy, r, c):
        for y in range(self.height):
            for x in range(self.width):
                d = (x - cx) ** 2 + (y - cy) ** 2
                if (r - 1) ** 2 < d <= r * r:
                    self.put(x, y, c)


# A 5 x 7 pixel font with the letters the banner needs.
FONT = {
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    " ": ["00000"] * 7,
}


def text(canvas, x, y, s, scale, c):
    for ch in s:
        glyph = FONT[ch]
        for gy, row in enumerate(glyph):
            for gx, bit in enumerate(row):
                if bit == "1":
                    canvas.rect(x + gx * scale, y + gy * scale,
                                x + gx * scale + scale - 1, y + gy * scale + scale - 1, c)
        x += 6 * scale
    return x


# Palette shared by the buttons: 0 light grey face, 1 dark edge, 2 white, 3 blue, 4 dark blue,
# 5 green, 6 yellow, 7 red.
BUTTON_PALETTE = [(212, 212, 204), (64, 64, 64), (255, 255, 255), (48, 96, 200),
                  (16, 40, 120), (48, 150, 72), (240, 208, 64), (196, 48, 40)]


def button():
    c = Canvas(24, 24, 0)
    c.frame(0, 0, 23, 23, 1)
    for i in range(1, 23):
        c.put(i, 1, 2)
        c.put(1, i, 2)
    return c


def brief_button():
    # A sheet of paper with lines of text: back to the brief summary.
    c = button()
    c.rect(6, 4, 17, 19, 2)
    c.frame(6, 4, 17, 19, 4)
    for y in (7, 10, 13, 16):
        c.rect(8, y, 15 if y != 16 else 12, y, 3)
    return c


def toc_button():
    # A small tree: the entry's site map.
    c = button()
    c.rect(5, 4, 10, 7, 3)
    c.rect(7, 8, 7, 17, 4)
    for y in (11, 16):
        c.rect(8, y, 11, y, 4)
        c.rect(12, y - 2, 18, y + 1, 5)
    return c


def orig_button():
    # A globe: the page's original address on the web.
    c = button()
    c.disc(12, 12, 8, 3)
    c.ring(12, 12, 8, 4)
    c.rect(4, 12, 20, 12, 4)
    for y in range(5, 20):
        c.put(12, y, 4)
    c.rect(7, 8, 10, 10, 5)
    c.rect(14, 14, 17, 16, 5)
    return c


def banner():
    # A blue gradient strip with the product name and a row of the three buttons' colours.
    palette = [(255, 255, 255)]
    steps = 24
    for i in range(steps):
        t = i / (steps - 1)
        palette.append((int(24 + 80 * t), int(56 + 120 * t), int(140 + 100 * t)))
    palette += [(255, 255, 255), (240, 208, 64), (20, 30, 70)]
    white, yellow, shadow = steps + 1, steps + 2, steps + 3
    c = Canvas(460, 43, 0)
    for x in range(460):
        shade = 1 + (x * steps) // 460
        for y in range(43):
            c.put(x, y, shade)
    text(c, 15, 12, "GATHRA LIGHT", 3, shadow)
    text(c, 13, 10, "GATHRA LIGHT", 3, white)
    for i in range(5):
        c.rect(300 + i * 30, 14, 316 + i * 30, 30, yellow if i % 2 == 0 else white)
    return c, palette


def background():
    # A quiet, light paper tile: faint diagonal dots on off-white.
    palette = [(252, 252, 246), (238, 240, 232)]
    c = Canvas(64, 64, 0)
    for y in range(64):
        for x in range(64):
            if (x + y) % 16 == 0 and x % 4 == 0:
                c.put(x, y, 1)
    return c, palette


def demo_pictures():
    # Small pictures of the bundled demo site: a masthead, a rose and a bridge.
    palette = [(250, 248, 240), (30, 60, 110), (200, 40, 60), (40, 130, 60), (120, 120, 130),
               (130, 190, 230), (90, 60, 30), (255, 255, 255)]
    logo = Canvas(120, 40, 1)
    text(logo, 6, 13, "GAT", 2, 7)
    logo.rect(46, 30, 112, 32, 5)
    logo.rect(46, 8, 112, 10, 5)
    rose = Canvas(48, 48, 0)
    rose.rect(23, 20, 24, 46, 3)
    rose.rect(14, 30, 22, 33, 3)
    rose.disc(24, 14, 10, 2)
    rose.ring(24, 14, 6, 0)
    bridge = Canvas(96, 48, 5)
    bridge.rect(0, 36, 95, 47, 1)
    bridge.rect(0, 20, 95, 23, 4)
    for x in range(8, 96, 20):
        bridge.rect(x, 24, x + 3, 40, 4)
    return palette, (("logo.gif", logo), ("rose.gif", rose), ("bridge.gif", bridge))


def main():
    os.makedirs(OUT, exist_ok=True)
    palette, pictures = demo_pictures()
    demo = os.path.join(HERE, "..", "data", "demo-site", "images")
    os.makedirs(demo, exist_ok=True)
    for name, canvas in pictures:
        write_gif(os.path.join(demo, name), canvas.width, canvas.height, palette, canvas.pixels)
    for name, canvas in (("brief.gif", brief_button()), ("toc.gif", toc_button()),
                         ("orig.gif", orig_button())):
        write_gif(os.path.join(OUT, name), 24, 24, BUTTON_PALETTE, canvas.pixels)
    c, palette = banner()
    write_gif(os.path.join(OUT, "briefbar.gif"), 460, 43, palette, c.pixels)
    c, palette = background()
    write_gif(os.path.join(OUT, "back.gif"), 64, 64, palette, c.pixels)
    return 0


if __name__ == "__main__":
    sys.exit(main())
