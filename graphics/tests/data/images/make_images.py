#!/usr/bin/env python3
"""Writes the small pictures that the image decoding tests read, and seeds the decoders' fuzz
corpora with them. Pixel values come from the formulas that graphics/tests/image_decoder_test.cpp
computes again on its own; change both together. Run from anywhere: python3 make_images.py"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, '..', '..', '..', '..', 'fuzz', 'corpus')


def write(name, data, corpus=None):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)
    if corpus:
        d = os.path.join(CORPUS, corpus)
        os.makedirs(d, exist_ok=True)
        with open(os.path.join(d, name), 'wb') as f:
            f.write(data)


# ---- PNG -------------------------------------------------------------------------------------

def sample(x, y, c, depth):
    h = x * 37 + y * 61 + c * 97 + 13
    return (h * h * 7 + h) % (1 << depth)


def palette_entry(i):
    return ((i * 53 + 7) & 255, (i * 101 + 3) & 255, (i * 197 + 11) & 255)


def chunk(kind, body):
    crc = zlib.crc32(kind + body) & 0xFFFFFFFF
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', crc)


CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def pack_row(values, depth):
    if depth == 16:
        return b''.join(struct.pack('>H', v) for v in values)
    if depth == 8:
        return bytes(values)
    out, acc, n = bytearray(), 0, 0
    for v in values:
        acc = acc << depth | v
        n += depth
        if n == 8:
            out.append(acc)
            acc, n = 0, 0
    if n:
        out.append(acc << (8 - n))
    return bytes(out)


def png(width, height, ctype, depth, interlace=False, trns=None):
    ch = CHANNELS[ctype]

    def row(y, xs):
        vals = []
        for x in xs:
            vals += [sample(x, y, c, depth) for c in range(ch)]
        return b'\0' + pack_row(vals, depth)

    raw = b''
    if interlace:
        for x0, y0, dx, dy in ADAM7:
            xs = list(range(x0, width, dx))
            if xs:
                for y in range(y0, height, dy):
                    raw += row(y, xs)
    else:
        for y in range(height):
            raw += row(y, range(width))
    out = b'\x89PNG\r\n\x1a\n'
    out += chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, depth, ctype, 0, 0, 1 if interlace else 0))
    if ctype == 3:
        out += chunk(b'PLTE', b''.join(bytes(palette_entry(i)) for i in range(1 << depth)))
    if trns is not None:
        out += chunk(b'tRNS', trns)
    out += chunk(b'IDAT', zlib.compress(raw, 9))
    out += chunk(b'IEND', b'')
    return out


def make_pngs():
    cases = [(0, d) for d in (1, 2, 4, 8, 16)] + [(2, 8), (2, 16)] + [(3, d) for d in (1, 2, 4, 8)]
    cases += [(4, 8), (4, 16), (6, 8), (6, 16)]
    for ctype, depth in cases:
        write('png_c%d_d%d.png' % (ctype, depth), png(5, 3, ctype, depth), 'png')
    # Transparency chunks: a grey level, a colour, and alpha for the first palette entries.
    write('png_c0_d8_trns.png', png(5, 3, 0, 8, trns=struct.pack('>H', sample(0, 0, 0, 8))))
    rgb = [sample(1, 1, c, 8) for c in range(3)]
    write('png_c2_d8_trns.png', png(5, 3, 2, 8, trns=struct.pack('>HHH', *rgb)))
    write('png_c3_d4_trns.png', png(5, 3, 3, 4, trns=bytes((i * 70) & 255 for i in range(8))), 'png')
    write('png_c6_d8_i9x9.png', png(9, 9, 6, 8, interlace=True), 'png')
    write('png_c0_d1_i5x3.png', png(5, 3, 0, 1, interlace=True))
    write('png_c2_d8_i1x1.png', png(1, 1, 2, 8, interlace=True))
    write('png_c3_d8_i3x2.png', png(3, 2, 3, 8, interlace=True))


# ---- GIF -------------------------------------------------------------------------------------

def lzw(indices, min_code):
    """LZW as GIF uses it: codes packed from the low bit, widths growing as the decoder expects."""
    clear, eoi = 1 << min_code, (1 << min_code) + 1
    out, acc, nbits = bytearray(), 0, 0

    def put(code, size):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 255)
            acc >>= 8
            nbits -= 8

    def reset():
        return {(i,): i for i in range(clear)}, eoi + 1, min_code + 1, eoi + 1

    table, next_code, size, counter = reset()
    put(clear, size)
    w = ()
    for k in indices:
        if w + (k,) in table:
            w += (k,)
            continue
        put(table[w], size)
        counter += 1
        if counter > (1 << size) and size < 12:
            size += 1
        table[w + (k,)] = next_code
        next_code += 1
        if next_code >= 4094:
            put(clear, size)
            table, next_code, size, counter = reset()
        w = (k,)
    put(table[w], size)
    counter += 1
    if counter > (1 << size) and size < 12:
        size += 1
    put(eoi, size)
    if nbits:
        out.append(acc & 255)
    blocks = b''
    for i in range(0, len(out), 255):
        blocks += bytes([len(out[i:i + 255])]) + bytes(out[i:i + 255])
    return bytes([min_code]) + blocks + b'\0'


GIF_COLOURS = [(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (255, 255, 255), (10, 20, 30),
               (200, 100, 50)]


def gif_header(w, h, colours):
    bits = max(1, (len(colours) - 1).bit_length())
    table = b''.join(bytes(c) for c in colours) + b'\0' * 3 * ((1 << bits) - len(colours))
    return b'GIF89a' + struct.pack('<HHBBB', w, h, 0x80 | 0x70 | (bits - 1), 0, 0) + table


def gcb(disposal, delay, transparent=None):
    packed = disposal << 2 | (1 if transparent is not None else 0)
    return b'\x21\xF9\x04' + struct.pack('<BHB', packed, delay, transparent or 0) + b'\0'


def image(left, top, w, h, pixels, local=None, interlace=False):
    packed = 0x40 if interlace else 0
    table = b''
    if local:
        bits = max(1, (len(local) - 1).bit_length())
        packed |= 0x80 | (bits - 1)
        table = b''.join(bytes(c) for c in local) + b'\0' * 3 * ((1 << bits) - len(local))
    if interlace:
        order = list(range(0, h, 8)) + list(range(4, h, 8)) + list(range(2, h, 4)) + list(range(1, h, 2))
        pixels = [p for y in order for p in pixels[y * w:(y + 1) * w]]
    return b'\x2C' + struct.pack('<HHHHB', left, top, w, h, packed) + table + lzw(pixels, 3)


def make_gifs():
    loop = b'\x21\xFF\x0BNETSCAPE2.0\x03\x01' + struct.pack('<H', 2) + b'\0'
    anim = gif_header(4, 4, GIF_COLOURS) + loop
    anim += gcb(1, 2) + image(0, 0, 4, 4, [1] * 16)
    anim += gcb(2, 50, transparent=0) + image(1, 1, 2, 2, [2, 0, 2, 2])
    anim += gcb(3, 10) + image(0, 0, 1, 1, [3])
    anim += gcb(0, 0) + image(3, 3, 1, 1, [4])
    anim += gcb(1, 20) + image(0, 3, 2, 1, [5, 5])
    write('gif_disposals.gif', anim + b'\x3B', 'gif')

    # No control extensions and no loop: an interlaced image with its own colour table.
    local = [(0, 0, 0), (50, 60, 70), (90, 100, 110), (130, 140, 150)]
    still = gif_header(3, 6, GIF_COLOURS) + image(0, 0, 2, 6, [y % 4 for y in range(6) for _ in range(2)], local,
                                                   interlace=True)
    write('gif_interlaced.gif', still + b'\x3B', 'gif')

    # A frame that runs past the screen's right and bottom edges, with an index its map lacks.
    outside = gif_header(4, 4, GIF_COLOURS) + image(3, 2, 4, 4, [1, 0, 0, 0] + [3, 1, 1, 1] + [1] * 8,
                                                     local=[(1, 2, 3), (4, 5, 6)])
    write('gif_outside.gif', outside + b'\x3B', 'gif')


# ---- JPEG ------------------------------------------------------------------------------------

DC_BITS = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
DC_VALS = list(range(12))
AC_BITS = [1] + [0] * 15  # one symbol: end of block
AC_VALS = [0]


def huff_codes(bits, vals):
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[vals[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


class BitWriter:
    def __init__(self):
        self.out, self.acc, self.n = bytearray(), 0, 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.acc = self.acc << 1 | (value >> i & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0)
                self.acc, self.n = 0, 0

    def flush(self):
        while self.n:
            self.put(1, 1)
        return bytes(self.out)


def marker(code, body):
    return struct.pack('>BBH', 0xFF, code, len(body) + 2) + body


JPEG_BLOCKS = [(76, 85, 255), (150, 44, 21), (29, 255, 107), (128, 128, 128)]  # Y, Cb, Cr of each 8x8 block


def jpeg(progressive):
    """A 16 x 16 three-component picture of four flat 8 x 8 blocks, quantiser 1, no subsampling."""
    dc, ac = huff_codes(DC_BITS, DC_VALS), huff_codes(AC_BITS, AC_VALS)

    def put_dc(w, diff):
        cat = abs(diff).bit_length()
        w.put(*dc[cat])
        if cat:
            w.put(diff if diff > 0 else diff + (1 << cat) - 1, cat)

    out = b'\xFF\xD8' + marker(0xE0, b'JFIF\0\x01\x01\0\0\x01\0\x01\0\0')
    out += marker(0xDB, b'\0' + b'\x01' * 64)
    comps = b''.join(struct.pack('>BBB', i + 1, 0x11, 0) for i in range(3))
    out += marker(0xC2 if progressive else 0xC0, struct.pack('>BHHB', 8, 16, 16, 3) + comps)
    out += marker(0xC4, b'\x00' + bytes(DC_BITS) + bytes(DC_VALS) + b'\x10' + bytes(AC_BITS) + bytes(AC_VALS))

    def sos(ids, ss, se):
        body = bytes([len(ids)]) + b''.join(struct.pack('>BB', i + 1, 0) for i in ids)
        return marker(0xDA, body + bytes([ss, se, 0]))

    w, pred = BitWriter(), [0, 0, 0]
    for block in JPEG_BLOCKS:
        for c in range(3):
            coef = 8 * (block[c] - 128)
            put_dc(w, coef - pred[c])
            pred[c] = coef
            if not progressive:
                w.put(*ac[0])
    out += sos([0, 1, 2], 0, 0 if progressive else 63) + w.flush()
    if progressive:
        for c in range(3):
            w = BitWriter()
            for _ in JPEG_BLOCKS:
                w.put(*ac[0])
            out += sos([c], 1, 63) + w.flush()
    return out + b'\xFF\xD9'


def make_jpegs():
    write('jpeg_progressive.jpg', jpeg(True), 'jpeg')
    write('jpeg_baseline.jpg', jpeg(False), 'jpeg')


# ---- ICO and BMP -----------------------------------------------------------------------------

def icon_pixel(x, y, c):
    return (x * 41 + y * 23 + c * 67 + 5) & 255


def icon_image(w, h, bits, entries=0):
    """File rows bottom first: file row j holds picture row h - 1 - j."""
    table = b''
    count = entries or (1 << bits if bits <= 8 else 0)
    if bits <= 8:  # 1-bit images carry a table too, though it is not used
        table = b''.join(bytes((icon_pixel(i, 0, 0), icon_pixel(i, 0, 1), icon_pixel(i, 0, 2), 0))
                         for i in range(count))
    colour, mask = b'', b''
    for j in range(h):
        y = h - 1 - j
        row = bytearray()
        if bits == 32:
            for x in range(w):
                row += bytes((icon_pixel(x, y, 0), icon_pixel(x, y, 1), icon_pixel(x, y, 2), (x * 85 + y * 40) & 255))
        elif bits == 24:
            for x in range(w):
                row += bytes((icon_pixel(x, y, 0), icon_pixel(x, y, 1), icon_pixel(x, y, 2)))
        else:
            row = pack_row([icon_index(x, y, bits) for x in range(w)], bits)
        row += b'\0' * (-len(row) % 4)
        colour += row
        m = pack_row([1 if (x + y) % 3 == 0 else 0 for x in range(w)], 1)
        mask += m + b'\0' * (-len(m) % 4)
    header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, bits, 0, 0, 0, 0, entries, 0)
    return header + table + colour + mask


def icon_index(x, y, bits):
    return (x * 3 + y * 5 + 1) % (1 << bits)


ICONS = [(4, 4, 8, 4), (8, 8, 32, 0), (6, 6, 24, 0), (3, 3, 1, 0), (5, 2, 4, 0)]


def make_icons():
    images = [icon_image(w, h, bits, entries) for w, h, bits, entries in ICONS]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (w, h, bits, _), data in zip(ICONS, images):
        out += struct.pack('<BBBBHHII', w, h, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    write('ico_sizes.ico', out + b''.join(images), 'ico')


def make_bmp():
    rows = b''.join(bytes((x * 60, y * 90, 200)) * 1 for y in range(2) for x in range(2))
    rows = rows[:6] + b'\0\0' + rows[6:] + b'\0\0'
    info = struct.pack('<IiiHHIIiiII', 40, 2, 2, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    out = b'BM' + struct.pack('<IHHI', 14 + len(info) + len(rows), 0, 0, 14 + len(info)) + info + rows
    write('bmp_2x2.bmp', out, 'bmp')


if __name__ == '__main__':
    make_pngs()
    make_gifs()
    make_jpegs()
    make_icons()
    make_bmp()
