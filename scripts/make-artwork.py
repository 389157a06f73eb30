#!/usr/bin/env python3
"""Draws the installer's artwork and writes it as Windows resources:
the program icon (16, 32 and 48 pixels) and the two 48x48 logo bitmaps: About's drawn flat,
without the tile's shading, which halves what its runs cost the stub.

The pictures are drawn here, pixel by pixel, so that they are our own. They use few
colours, so the files hold 4 bits per pixel (8 when a picture has more than 16 colours)
with a palette of only the colours used, and the bitmaps are run-length encoded where
that is shorter: every byte of them ships in the stub.

    scripts/make-artwork.py ui/res
"""
import struct
import sys

TEAL_DARK = (0, 84, 110)
TEAL_LIGHT = (30, 160, 180)
CARD = (248, 244, 228)
CARD_SHADE = (200, 188, 150)
ARROW = (230, 120, 20)
ARROW_DARK = (160, 70, 10)
INK = (20, 30, 40)


FLAT = False  # set while About's logo is drawn


def lerp(a, b, t, steps=6):
    """A colour between a and b; t is rounded to a few steps, so that the pictures
    use few colours and their palettes stay small."""
    if FLAT:
        return a
    t = round(t * (steps - 1)) / (steps - 1)
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def draw(size, transparent):
    """The emblem: a teal tile holding a parcel with an arrow going into it.
    Returns rows of colours; None marks a transparent pixel."""
    s = size / 48.0
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            fx, fy = (x + 0.5) / s, (y + 0.5) / s  # in 48-pixel units
            colour = None if transparent else lerp(TEAL_LIGHT, TEAL_DARK, 0.5)
            # The rounded tile, lighter towards the top.
            r = 8
            cx = min(max(fx, r + 1), 47 - r)
            cy = min(max(fy, r + 1), 47 - r)
            if (fx - cx) ** 2 + (fy - cy) ** 2 <= r * r:
                colour = lerp(TEAL_LIGHT, TEAL_DARK, fy / 48.0)
            # The parcel: a card-coloured box with a shaded right side and a tape line.
            if 10 <= fx <= 38 and 20 <= fy <= 40:
                colour = CARD_SHADE if fx > 31 else CARD
                if 22.5 <= fx <= 25.5:
                    colour = CARD_SHADE
                if fx < 10.9 or fx > 37.1 or fy < 20.9 or fy > 39.1:
                    colour = INK
            # The arrow pointing down into the parcel.
            if 20 <= fx <= 28 and 5 <= fy <= 17:
                colour = ARROW if fx < 26 else ARROW_DARK
            if 14 <= fy <= 25 and abs(fx - 24) <= (25 - fy) * 0.9:
                colour = ARROW if fx < 26 else ARROW_DARK
            row.append(colour)
        pixels.append(row)
    return pixels


def palette_of(pictures):
    colours = sorted({c for p in pictures for row in p for c in row if c is not None})
    if not colours:
        colours = [(0, 0, 0)]
    assert len(colours) <= 256, "more colours than a 256-colour picture holds"
    return colours


def palette_bytes(colours):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours)


def index_rows(picture, colours):
    """Pixel indices, bottom row first, as a DIB stores them."""
    lookup = {c: i for i, c in enumerate(colours)}
    return [[lookup.get(c, 0) for c in row] for row in reversed(picture)]


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def bits_per_pixel(colours):
    return 4 if len(colours) <= 16 else 8


def pack_row(row, bpp):
    """One row of indices at 4 or 8 bits per pixel, padded to a 4-byte boundary."""
    if bpp == 8:
        return pad4(bytes(row))
    padded = list(row) + [0] * (len(row) % 2)
    return pad4(bytes((padded[i] << 4) | padded[i + 1] for i in range(0, len(padded), 2)))


def rle(rows, bpp):
    """BI_RLE8 or BI_RLE4: runs as (count, index); other stretches of 3 or more pixels
    in absolute mode, padded to a 16-bit boundary."""
    out = bytearray()
    nibbles = bpp == 4
    for row in rows:
        i = 0
        while i < len(row):
            run = 1
            while i + run < len(row) and row[i + run] == row[i] and run < 255:
                run += 1
            if run >= 3:
                out += bytes((run, row[i] * 0x11 if nibbles else row[i]))
                i += run
                continue
            # Absolute mode for 3 or more pixels up to the next run of 3.
            j = i
            while j < len(row) and j - i < 255:
                if j + 2 < len(row) and row[j] == row[j + 1] == row[j + 2]:
                    break
                j += 1
            literal = row[i:j]
            if len(literal) >= 3:
                data = pack_row(literal, bpp).rstrip(b"\0") if nibbles else bytes(literal)
                data = data.ljust((len(literal) + 1) // 2 if nibbles else len(literal), b"\0")
                out += bytes((0, len(literal))) + data + b"\0" * (len(data) % 2)
            else:
                for value in literal:
                    out += bytes((1, value << 4 if nibbles else value))
            i = j
        out += b"\0\0"  # end of line
    out[-2:] = b"\0\1"  # end of bitmap
    return bytes(out)


def info_header(width, height, colours, compression, image_size):
    bpp = bits_per_pixel(range(colours))
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, compression, image_size, 0, 0, colours, colours)


def write_bitmap(path, picture):
    colours = palette_of([picture])
    rows = index_rows(picture, colours)
    bpp = bits_per_pixel(colours)
    raw = b"".join(pack_row(r, bpp) for r in rows)
    packed = rle(rows, bpp)
    rle_compression = 2 if bpp == 4 else 1  # BI_RLE4, BI_RLE8
    compression, data = (rle_compression, packed) if len(packed) < len(raw) else (0, raw)
    size = len(picture)
    header = info_header(size, size, len(colours), compression, len(data)) + palette_bytes(colours)
    offset = 14 + len(header)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset))
        f.write(header + data)


def write_icon(path, pictures):
    images = []
    for picture in pictures:
        size = len(picture)
        colours = palette_of([picture])
        rows = index_rows(picture, colours)
        bpp = bits_per_pixel(colours)
        xor = b"".join(pack_row(r, bpp) for r in rows)
        mask = b""
        for row in reversed(picture):
            bits = 0
            line = bytearray()
            for x, c in enumerate(row):
                bits = (bits << 1) | (1 if c is None else 0)
                if x % 8 == 7:
                    line.append(bits)
                    bits = 0
            mask += pad4(bytes(line))
        header = info_header(size, size * 2, len(colours), 0, len(xor) + len(mask))
        images.append((size, bpp, len(colours), header + palette_bytes(colours) + xor + mask))
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)))
        offset = 6 + 16 * len(images)
        for size, bpp, count, data in images:
            colour_count = count if bpp < 8 else 0
            f.write(struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bpp, len(data), offset))
            offset += len(data)
        for _, _, _, data in images:
            f.write(data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "ui/res"
    write_icon(out + "/selfextract.ico", [draw(16, True), draw(32, True), draw(48, True)])
    write_bitmap(out + "/logo.bmp", draw(48, False))
    global FLAT
    FLAT = True
    write_bitmap(out + "/aboutlogo.bmp", draw(48, False))


if __name__ == "__main__":
    main()
