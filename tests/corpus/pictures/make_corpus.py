#!/usr/bin/env python3
"""Writes the hostile picture files of this folder (run from here; needs cjpeg).

Each file is small and shows one fault a picture reader must meet with a clear error (or, where
the file is sound after all, a correct picture): see the table in
tests/platform/classlib/graphics/corpus_test.cpp for what each one must give.
"""
import struct
import subprocess


def bmp(width, height, bpp, compression=0, clr_used=0, table=b"", pixels=b"", off=None, size=None):
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, compression, len(pixels), 0, 0, clr_used, 0)
    head_len = 14 + len(info) + len(table)
    off = head_len if off is None else off
    total = head_len + len(pixels) if size is None else size
    return b"BM" + struct.pack("<IHHI", total, 0, 0, off) + info + table + pixels


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


# A 4-bit picture that declares 256 table entries: 16 are used, all 256 skipped.
table = b"".join(struct.pack("<BBBB", (i * 7) & 255, (i * 13) & 255, (i * 29) & 255, 0) for i in range(256))
write("bmp4-colours256.bmp", bmp(4, 2, 4, clr_used=256, table=table, pixels=bytes([0x01, 0x23, 0, 0, 0x45, 0xF0, 0, 0])))
# 32768 x 32768 x 32 in 118 bytes.
write("bmp32-huge-header.bmp", bmp(32768, 32768, 32, pixels=b"\0" * 64))
# An RLE8 picture of 32768 x 32768 in about 1 KB.
write("bmp-rle8-huge.bmp", bmp(32768, 32768, 8, compression=1, clr_used=2, table=b"\0\0\0\0\xff\xff\xff\0",
                               pixels=(b"\xff\x01" * 500) + b"\0\1"))
# The smallest 32-bit height.
write("bmp-height-intmin.bmp", bmp(2, -2 ** 31, 24, pixels=b"\0" * 16))
# Rows missing.
write("bmp24-truncated.bmp", bmp(64, 64, 24, pixels=b"\x80" * 300))
# A table that runs past the end of the file.
write("bmp8-truncated-table.bmp", bmp(2, 2, 8, clr_used=200, table=b"\0" * 40))
# An RLE8 stream without its end mark.
write("bmp-rle8-no-end.bmp", bmp(8, 8, 8, compression=1, clr_used=2, table=b"\0\0\0\0\xff\xff\xff\0",
                                 pixels=b"\x08\x01\x00\x00\x08\x01"))
# A white-first 1-bit mask: table entry 0 is white. Rows bottom-up: the top row is 1000 0000.
write("bmp1-white-first.bmp", bmp(8, 2, 1, clr_used=2, table=b"\xff\xff\xff\0\0\0\0\0",
                                  pixels=bytes([0x0F, 0, 0, 0, 0x80, 0, 0, 0])))

# JPEGs: a sound 8 x 8 picture, then the same with its frame claiming 65500 x 65500, and cut short.
ppm = b"P6 8 8 255\n" + bytes((x * 32 + y) & 255 for y in range(8) for x in range(8) for _ in range(3))
good = subprocess.run(["cjpeg", "-quality", "90"], input=ppm, capture_output=True, check=True).stdout
sof = good.index(b"\xff\xc0")
huge = good[: sof + 5] + struct.pack(">HH", 65500, 65500) + good[sof + 9:]
write("jpeg-huge-frame.jpg", huge)
write("jpeg-header-only.jpg", good[: good.index(b"\xff\xda")])
write("jpeg-not-jpeg.jpg", b"\xff\xd8\xff\xe0 this is no picture")

# Icons: a directory pointing past the end, and a PNG-compressed image.
entry = struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, 4000, 22)
write("ico-truncated.ico", struct.pack("<HHH", 0, 1, 1) + entry + b"\0" * 40)
png_entry = struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, 16, 22)
write("ico-png.ico", struct.pack("<HHH", 0, 1, 1) + png_entry + b"\x89PNG\r\n\x1a\n" + b"\0" * 8)
