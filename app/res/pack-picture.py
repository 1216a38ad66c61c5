#!/usr/bin/env python3
"""Packs a 24-bit BMP for the program's resources: its BITMAPINFOHEADER and
pixel rows, each pixel byte stored as its difference to the same colour of
the pixel before it in the row, all compressed with raw deflate.

Usage: pack-picture.py INPUT.bmp OUTPUT
"""

import struct
import sys
import zlib


def main(source, target):
    data = open(source, "rb").read()
    if data[:2] != b"BM":
        sys.exit(f"{source}: not a BMP file")
    bits_offset, = struct.unpack_from("<I", data, 10)
    header_size, width, height, planes, bit_count, compression = struct.unpack_from("<IiiHHI", data, 14)
    if header_size != 40 or bit_count != 24 or compression != 0 or height <= 0:
        sys.exit(f"{source}: not a bottom-up, uncompressed 24-bit BMP")
    stride = (width * 3 + 3) // 4 * 4
    bits = data[bits_offset:bits_offset + stride * height]
    packed = bytearray(data[14:14 + header_size])
    for row in range(height):
        line = bits[row * stride:(row + 1) * stride]
        packed += bytes((line[i] - (line[i - 3] if i >= 3 else 0)) & 0xFF for i in range(stride))
    deflate = zlib.compressobj(9, zlib.DEFLATED, -15, 9)
    open(target, "wb").write(deflate.compress(bytes(packed)) + deflate.flush())


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
