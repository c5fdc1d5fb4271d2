#!/usr/bin/env python3
"""Draws the product icon: a blue instrument body with a green download arrow
over a chip. Writes halvbsl.png (48 x 48, the size the window shows) and
halvbsl-256.png (the application icon) next to this script."""
import os
import struct
import zlib


def inside_round_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def pixel(u, v):
    """Colour (r, g, b, a) at unit coordinates u, v in [0, 1)."""
    # Instrument body.
    if inside_round_rect(u, v, 0.08, 0.10, 0.92, 0.94, 0.12):
        if not inside_round_rect(u, v, 0.12, 0.14, 0.88, 0.90, 0.09):
            return (16, 52, 110, 255)
        # Chip at the bottom with its pins.
        if 0.30 <= u <= 0.70 and 0.62 <= v <= 0.82:
            return (40, 40, 48, 255)
        if 0.56 <= v <= 0.88 and 0.26 <= u <= 0.74 and (int(u * 40) % 3 == 0):
            if v < 0.62 or v > 0.82:
                return (200, 200, 210, 255)
        # Arrow pointing down into the chip.
        if 0.43 <= u <= 0.57 and 0.20 <= v <= 0.42:
            return (60, 190, 90, 255)
        if 0.42 <= v <= 0.58 and abs(u - 0.5) <= (0.58 - v) * 1.2:
            return (60, 190, 90, 255)
        shade = int(70 + 60 * (1 - v))
        return (shade // 2, shade, 200, 255)
    return (0, 0, 0, 0)


def render(size, samples=4):
    rows = []
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    c = pixel((x + (sx + 0.5) / samples) / size, (y + (sy + 0.5) / samples) / size)
                    for i in range(4):
                        acc[i] += c[i] * (c[3] if i < 3 else 255)
            n = samples * samples
            alpha = acc[3] / (n * 255)
            if alpha > 0:
                row += bytes(min(255, int(acc[i] / (n * alpha))) for i in range(3))
            else:
                row += bytes(3)
            row.append(int(alpha))
        rows.append(bytes(row))
    return b"".join(rows)


def png(size):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(render(size), 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for name, size in (("halvbsl.png", 48), ("halvbsl-256.png", 256)):
        with open(os.path.join(here, name), "wb") as f:
            f.write(png(size))
