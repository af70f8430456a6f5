#!/usr/bin/env python3
"""Packs an uncompressed bitmap file of at most 256 colours for the programs' resources: as
an RLE8 bitmap file, pixel for pixel, deflated (RFC 1951) after its length in four bytes,
little-endian. The pictures stay as drawn in the source tree, and the programs carry a
fraction of their bytes and decode them once at start.

    compress_picture.py <in.bmp> <out.packed>

Reads 8- and 24-bit bottom-up files; deflates with zopfli, which writes the same format some
5 % tighter than zlib's best, for a CD drive to read that much less before the window shows.
"""

import struct
import subprocess
import sys
import tempfile
import zlib
from pathlib import Path


def read_pixels(data):
    """(width, height, rows of (r, g, b) tuples, bottom row first, resolution)."""
    if data[:2] != b"BM":
        raise ValueError("not a bitmap file")
    offset, = struct.unpack_from("<I", data, 10)
    size, width, height, _, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    resolution, = struct.unpack_from("<i", data, 38)
    if compression != 0 or height < 0 or bits not in (8, 24):
        raise ValueError("only uncompressed bottom-up 8- and 24-bit bitmaps are read")
    stride = (width * bits // 8 + 3) & ~3
    palette = [struct.unpack_from("<BBB", data, 14 + size + 4 * i)[::-1] for i in range(256)]
    rows = []
    for y in range(height):
        row = data[offset + y * stride:offset + y * stride + width * bits // 8]
        if bits == 8:
            rows.append([palette[i] for i in row])
        else:
            rows.append([tuple(row[3 * x:3 * x + 3][::-1]) for x in range(width)])
    return width, height, rows, resolution


def rle8_row(indexes):
    """One row as RLE8 codes: runs of three or more, literals of three or more between them,
    and a run of one or two where a literal would be shorter than three."""
    out, x, width = bytearray(), 0, len(indexes)

    def run_at(i):
        n = 1
        while i + n < width and n < 255 and indexes[i + n] == indexes[i]:
            n += 1
        return n

    while x < width:
        run = run_at(x)
        if run >= 3 or width - x <= 2:
            out += bytes((run, indexes[x]))
            x += run
            continue
        literal = 1
        while x + literal < width and literal < 255 and run_at(x + literal) < 3:
            literal += 1
        if literal < 3:
            out += bytes((run, indexes[x]))
            x += run
            continue
        out += bytes((0, literal)) + bytes(indexes[x:x + literal]) + bytes(literal & 1)
        x += literal
    return bytes(out) + b"\0\0"


def rle8_file(width, height, rows, resolution):
    colours = sorted({pixel for row in rows for pixel in row})
    if len(colours) > 256:
        raise ValueError(f"{len(colours)} colours do not fit an 8-bit palette")
    index = {colour: i for i, colour in enumerate(colours)}
    codes = b"".join(rle8_row([index[pixel] for pixel in row]) for row in rows) + b"\0\1"
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(codes), resolution,
                       resolution, len(colours), 0)
    return struct.pack("<2sIHHI", b"BM", offset + len(codes), 0, 0, offset) + info + palette + codes


def deflated(data):
    """`data` deflated (RFC 1951) by zopfli, checked by inflating it again."""
    # Closed before zopfli opens it: Windows lets no other program open a file held open.
    with tempfile.TemporaryDirectory() as folder:
        source = Path(folder) / "picture.bin"
        source.write_bytes(data)
        result = subprocess.run(["zopfli", "--deflate", "--i100", "-c", str(source)],
                                stdout=subprocess.PIPE, check=True)
    if zlib.decompress(result.stdout, -15) != data:
        sys.exit("zopfli gave a stream that does not inflate to its input")
    return result.stdout


def packed(data):
    """As the programs carry what they unpack: the length in four bytes, little-endian, then
    the bytes deflated."""
    return struct.pack("<I", len(data)) + deflated(data)


def main():
    source, target = sys.argv[1:3]
    with open(source, "rb") as file:
        picture = rle8_file(*read_pixels(file.read()))
    with open(target, "wb") as file:
        file.write(packed(picture))


if __name__ == "__main__":
    main()
