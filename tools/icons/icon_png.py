"""What the icon scripts share: supersampled rendering of a picture given as a
colour-at-a-point function, and writing it as an 8-bit RGBA PNG, with the standard
library only."""
import struct
import zlib

SUPERSAMPLE = 4  # samples per pixel along each axis, for smooth edges


def render(size, sample):
    """The pixels of a size x size picture as PNG rows (filter byte first).
    sample(u, v) gives the RGB colour at (u, v) in [0, 1) x [0, 1), or None
    where the picture is transparent."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = bytearray([0])  # PNG filter type: none
        for px in range(size):
            r = g = b = covered = 0
            for sy in range(n):
                for sx in range(n):
                    colour = sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    if colour is not None:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        covered += 1
            if covered:
                row += bytes((r // covered, g // covered, b // covered, 255 * covered // (n * n)))
            else:
                row += bytes((0, 0, 0, 0))
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))
