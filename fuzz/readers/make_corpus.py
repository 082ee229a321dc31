#!/usr/bin/python3
# Makes the standing corpora of the picture readers' and decompressors' fuzz targets in
# fuzz/corpus/reader_* and fuzz/corpus/decoder_*: small files written by netpbm, ImageMagick,
# libtiff's tools and Pillow, plus hand-built files for the formats no tool writes. The decoder
# inputs are the packed data cut out of those files, after one byte that picks the output size.
# Run from the repository's top folder: fuzz/readers/make_corpus.py
import os, struct, subprocess, tempfile, random

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'corpus')
tmp = tempfile.mkdtemp()
random.seed(7)

def sh(cmd):
    subprocess.run(cmd, shell=True, check=True, stderr=subprocess.DEVNULL, cwd=tmp)

def put(target, name, data):
    d = os.path.join(TOP, target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), 'wb') as f:
        f.write(data)

def read(name):
    with open(os.path.join(tmp, name), 'rb') as f:
        return f.read()

# Source pictures: a few colours with flat runs, and a grey one.
w, h = 13, 7
pix = bytearray()
for i in range(w * h):
    c = (i // 3) % 5
    pix += bytes([c * 50, 255 - c * 40, (c * 97) % 256])
with open(os.path.join(tmp, 'src.ppm'), 'wb') as f:
    f.write(b'P6\n%d %d\n255\n' % (w, h) + pix)
sh('ppmtopgm src.ppm > src.pgm')

def tiff_strip(data):
    big = data[:2] == b'MM'
    e = '>' if big else '<'
    off = struct.unpack(e + 'I', data[4:8])[0]
    n = struct.unpack(e + 'H', data[off:off + 2])[0]
    vals = {}
    for i in range(n):
        tag, typ, cnt, raw = struct.unpack(e + 'HHI4s', data[off + 2 + 12 * i: off + 14 + 12 * i])
        if cnt == 1:
            vals[tag] = struct.unpack(e + ('H' if typ == 3 else 'I'), raw[:2] if typ == 3 else raw)[0]
    return data[vals[273]:vals[273] + vals[279]]

# TIFF
for name, cmd in [('rgb_lzw_pred.tif', 'pnmtotiff -truecolor -lzw -predictor=2 src.ppm > o'),
                  ('grey_packbits.tif', 'pnmtotiff -packbits src.pgm > o'),
                  ('palette.tif', 'pnmtotiff src.ppm > o'),
                  ('big_endian.tif', 'pnmtotiff -truecolor src.ppm > a && tiffcp -B -c lzw -r 2 a o'),
                  ('rgb16.tif', 'convert src.ppm -depth 16 -compress lzw o.tif && mv o.tif o'),
                  ('cmyk.tif', 'convert src.ppm -colorspace CMYK -depth 8 -compress none o.tif && mv o.tif o'),
                  ('bilevel.tif', 'pgmtopbm -threshold src.pgm | pnmtotiff > o')]:
    sh(cmd)
    put('reader_tiff', name, read('o'))
sh('pnmtotiff -truecolor -lzw src.ppm > o')
put('decoder_tifflzw', 'strip', bytes([7]) + tiff_strip(read('o')))
sh('pnmtotiff -truecolor -packbits src.ppm > o')
put('decoder_packbits', 'strip', bytes([7]) + tiff_strip(read('o')))
put('decoder_tifflzw', 'bad_code', bytes([3]) + bytes([0xFF, 0x80, 0x12]))

# SGI
for name, cmd in [('rgb_rle.sgi', 'pnmtosgi -rle src.ppm > o'), ('rgb_verbatim.sgi', 'pnmtosgi -verbatim src.ppm > o'),
                  ('grey16.sgi', 'pnmdepth 65535 src.pgm | pnmtosgi -rle > o')]:
    sh(cmd)
    put('reader_sgi', name, read('o'))
sh('pnmtosgi -rle src.ppm > o')
d = read('o')
start, length = struct.unpack('>I', d[512:516])[0], struct.unpack('>I', d[512 + 4 * h * 3: 516 + 4 * h * 3])[0]
put('decoder_sgirle', 'row8', bytes([0]) + d[start:start + length])
sh('pnmdepth 65535 src.pgm | pnmtosgi -rle > o')
d = read('o')
start, length = struct.unpack('>I', d[512:516])[0], struct.unpack('>I', d[512 + 4 * h: 516 + 4 * h])[0]
put('decoder_sgirle', 'row16', bytes([1]) + d[start:start + 2 * length])

# Targa
for name, cmd in [('rgb_rle.tga', 'pamtotga -rgb src.ppm > o'), ('cmap_rle.tga', 'pamtotga -cmap src.ppm > o'),
                  ('grey_raw.tga', 'pamtotga -mono -norle src.pgm > o'), ('magick_alpha.tga', 'convert src.ppm -alpha opaque tga:o')]:
    sh(cmd)
    put('reader_targa', name, read('o'))
hdr = bytes([0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 16, 0])
put('reader_targa', 'rle16_across_rows.tga', hdr + bytes([0x82, 0, 0x7C, 0x00, 0x1F, 0x00]))
sh('pamtotga -rgb src.ppm > o')
put('decoder_targa', 'rle24', bytes([3]) + read('o')[18:])

# PCX
for name, cmd in [('rgb24.pcx', 'ppmtopcx -24bit src.ppm > o'), ('pal8.pcx', 'ppmtopcx -8bit src.ppm > o'),
                  ('planes4.pcx', 'ppmtopcx -planes 4 src.ppm > o'), ('mono.pcx', 'pgmtopbm -threshold src.pgm | ppmtopcx > o')]:
    sh(cmd)
    put('reader_pcx', name, read('o'))
sh('ppmtopcx -8bit src.ppm > o')
put('decoder_pcxrle', 'data', bytes([3]) + read('o')[128:-769])

# PPM
for name, data in [('p6.ppm', read('src.ppm')), ('p5.pgm', read('src.pgm')),
                   ('p3_comments.ppm', b'P3\n# c\n2 1 # w\n255\n1 2 3\n4 5 6'), ('p6_one_line.ppm', b'P6 1 1 255\n\x01\x02\x03'),
                   ('p5_16bit.pgm', b'P5\n2 1\n65535\n\x12\x34\xff\xff'), ('p4.pbm', b'P4\n8 1\n\xaa')]:
    put('reader_ppm', name, data)

# GIF
for name, cmd in [('plain.gif', 'pnmquant 8 src.ppm | pamtogif > o'), ('interlaced.gif', 'pnmquant 8 src.ppm | pamtogif -interlace > o'),
                  ('magick.gif', 'convert src.ppm gif:o')]:
    sh(cmd)
    put('reader_gif', name, read('o'))
sh('pnmquant 8 src.ppm | pamtogif > o')
g = read('o')
at = 13 + (3 * (2 << (g[10] & 7)) if g[10] & 0x80 else 0)
while g[at] == 0x21:
    at += 2
    while g[at]:
        at += g[at] + 1
    at += 1
at += 10
if g[at - 1] & 0x80:
    at += 3 * (2 << (g[at - 1] & 7))
put('decoder_giflzw', 'image', bytes([g[at] + 13 * 3]) + g[at + 1:])

# Autodesk, CUT, RLA, Photo-CD: hand-built
pal = bytearray(768)
for i in range(256):
    pal[3 * i:3 * i + 3] = bytes([i % 64, (i * 3) % 64, (i * 7) % 64])
put('reader_autodesk', 'small.pic', struct.pack('<HHH', 0x9119, 4, 3) + bytes(26) + bytes(pal) + bytes(range(12)))
put('reader_autodesk', 'truncated.cel', struct.pack('<HHH', 0x9119, 40, 30) + bytes(26) + bytes(pal[:100]))
rows = b''.join(bytes([len(r) & 0xFF, len(r) >> 8]) + r for r in [b'\x83\x02\x02\x01\x02\x00', b'\x03\x05\x06\x07\x00'])
put('reader_cut', 'two_rows.cut', struct.pack('<HHH', 3, 2, 0) + rows)
put('reader_cut', 'short.cut', struct.pack('<HHH', 9, 9, 0) + b'\x05\x00\x85')
put('decoder_cutrle', 'row', bytes([1]) + rows)
def rla(matte):
    hd = bytearray(740)
    hd[8:16] = struct.pack('>hhhh', 0, 1, 0, 1)
    hd[20:24] = struct.pack('>HH', 3, 1 if matte else 0)
    body = b''
    offs = []
    for r in range(2):
        offs.append(740 + 8 + len(body))
        for c in range(4 if matte else 3):
            body += struct.pack('>H', 2) + bytes([1, 16 * r + c])
    return bytes(hd) + struct.pack('>II', *offs) + body
put('reader_rla', 'rgb.rla', rla(False))
put('reader_rla', 'rgba.rla', rla(True))
put('decoder_rla', 'channel', bytes([1]) + b'\x02\x05\xfe\x01\x02')
pcd = bytearray(2055)
pcd[2048:2055] = b'PCD_IPI'
put('reader_pcd', 'header_only.pcd', bytes(pcd))
put('reader_pcd', 'not_pcd.pcd', bytes(2100))
