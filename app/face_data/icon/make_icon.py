#!/usr/bin/env python3
"""Draws the program icon (64 x 64): a blue disc with a white arrow coming
down onto a device chip, as a PNG and as a Windows icon holding that PNG.
Run it again only to change the picture:
    python3 app/face_data/icon/make_icon.py app/face_data/icon/vzupdater
"""
import struct
import sys
import zlib

SIZE = 64


def pixel(x, y):
    """RGBA of one pixel, from plain shapes sampled 4 x 4 per pixel."""
    acc = [0, 0, 0, 0]
    for sy in range(4):
        for sx in range(4):
            r, g, b, a = sample(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4)
            acc[0] += r * a
            acc[1] += g * a
            acc[2] += b * a
            acc[3] += a
    if acc[3] == 0:
        return (0, 0, 0, 0)
    return (round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(acc[3] / 16))


def sample(x, y):
    cx, cy = SIZE / 2, SIZE / 2
    # The chip: a grey bar with pins, low in the disc.
    if 16 <= x <= 48 and 42 <= y <= 52:
        return (70, 74, 82, 255)
    if 42 <= y <= 56 and 16 <= x <= 48 and int(x) % 6 in (0, 1) and y > 52:
        return (200, 200, 200, 255)
    # The arrow: a shaft and a head pointing down at the chip.
    if 28 <= x <= 36 and 10 <= y <= 28:
        return (255, 255, 255, 255)
    if 28 <= y <= 39 and abs(x - cx) <= (39 - y) * 1.1:
        return (255, 255, 255, 255)
    # The disc, darker towards its rim.
    d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
    if d <= 30:
        shade = 1.0 - 0.35 * d / 30
        return (int(30 * shade), int(90 * shade), int(190 * shade), 255)
    return (0, 0, 0, 0)


def png(rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(v for p in row for v in p) for row in rows)
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico(image):
    """A Windows icon file with one entry that is the PNG itself."""
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return header + entry + image


def main():
    base = sys.argv[1] if len(sys.argv) > 1 else "vzupdater"
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    image = png(rows)
    with open(base + ".png", "wb") as f:
        f.write(image)
    with open(base + ".ico", "wb") as f:
        f.write(ico(image))


if __name__ == "__main__":
    main()
