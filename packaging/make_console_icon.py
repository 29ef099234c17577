#!/usr/bin/env python3
"""Makes the server console's icon: a Windows .ico file with one 32x32
32-bit image, scaled from an 8-bit RGBA PNG of the program's icons.
Standard library only, so that it runs on any build machine.

usage: make_console_icon.py INPUT.png OUTPUT.ico
"""
import struct
import sys
import zlib

SIZE = 32


def read_rgba_png(path):
    with open(path, "rb") as file:
        data = file.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG file")
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if (depth, colour, interlace) != (8, 6, 0):
        sys.exit(f"{path}: only 8-bit RGBA PNG files without interlacing are read")
    raw = zlib.decompress(idat)
    stride = width * 4
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = row[x - 4] if x >= 4 else 0
            up = previous[x]
            corner = previous[x - 4] if x >= 4 else 0
            if kind == 1:
                row[x] = (row[x] + left) & 0xFF
            elif kind == 2:
                row[x] = (row[x] + up) & 0xFF
            elif kind == 3:
                row[x] = (row[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                guess = left + up - corner
                pa, pb, pc = abs(guess - left), abs(guess - up), abs(guess - corner)
                near = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                row[x] = (row[x] + near) & 0xFF
        rows.append(row)
        previous = row
    return width, height, rows


def scaled(width, height, rows):
    """Bilinear over premultiplied colour, so that transparent pixels do not
    bleed their hidden colour into the edges."""
    def pixel(x, y):
        x, y = min(max(x, 0), width - 1), min(max(y, 0), height - 1)
        r, g, b, a = rows[y][x * 4:x * 4 + 4]
        return r * a, g * a, b * a, a

    out = []
    for y in range(SIZE):
        fy = (y + 0.5) * height / SIZE - 0.5
        y0 = int(fy // 1)
        wy = fy - y0
        row = []
        for x in range(SIZE):
            fx = (x + 0.5) * width / SIZE - 0.5
            x0 = int(fx // 1)
            wx = fx - x0
            total = [0.0] * 4
            for dx, dy, weight in ((0, 0, (1 - wx) * (1 - wy)), (1, 0, wx * (1 - wy)),
                                   (0, 1, (1 - wx) * wy), (1, 1, wx * wy)):
                for i, value in enumerate(pixel(x0 + dx, y0 + dy)):
                    total[i] += value * weight
            alpha = total[3]
            colour = [round(c / alpha) if alpha else 0 for c in total[:3]]
            row.append((*colour, round(alpha)))
        out.append(row)
    return out


def ico(pixels):
    # A DIB entry: the header gives twice the height (colour plus mask),
    # rows run bottom-up in BGRA, then a 1-bit AND mask padded to 32 bits.
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for r, g, b, a in row)
    mask = b""
    for row in reversed(pixels):
        bits = 0
        for r, g, b, a in row:
            bits = (bits << 1) | (1 if a == 0 else 0)
        mask += bits.to_bytes(SIZE // 8, "big")
    dib = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    image = dib + colour + mask
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return header + entry + image


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip())
    with open(sys.argv[2], "wb") as file:
        file.write(ico(scaled(*read_rgba_png(sys.argv[1]))))


if __name__ == "__main__":
    main()
