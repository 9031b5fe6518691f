# Korvane - korvane-serve in a real browser.
# SPDX-License-Identifier: MIT
"""Reads a PNG file into rows of RGB bytes, with nothing beyond Python's own
zlib: the browser's screenshots (8-bit RGB or RGBA) and korvane-serve's
/screen.png (4-bit indexed colour) are all the cases need."""

import struct
import zlib


class PngImage:
    """width, height, and rows: one bytes object of width * 3 (R, G, B) per row, top row first."""

    def __init__(self, data):
        if data[:8] != b"\x89PNG\r\n\x1a\n":
            raise ValueError("not a PNG file")
        at = 8
        header = None
        palette = b""
        packed = bytearray()
        while at + 8 <= len(data):
            length, kind = struct.unpack(">I4s", data[at:at + 8])
            body = data[at + 8:at + 8 + length]
            at += 12 + length
            if kind == b"IHDR":
                header = struct.unpack(">IIBBBBB", body)
            elif kind == b"PLTE":
                palette = body
            elif kind == b"IDAT":
                packed += body
            elif kind == b"IEND":
                break
        if header is None:
            raise ValueError("PNG file without IHDR")
        self.width, self.height, depth, colour, _, _, interlace = header
        if interlace:
            raise ValueError("interlaced PNG files are not read here")
        channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
        if colour in (2, 4, 6) and depth != 8:
            raise ValueError("only 8-bit RGB, grey with alpha and RGBA are read here")
        # Bytes from a pixel to the one left of it, for the filters (at least one).
        step = max(1, channels * depth // 8)
        stride = (self.width * channels * depth + 7) // 8
        raw = zlib.decompress(bytes(packed))
        if len(raw) != self.height * (stride + 1):
            raise ValueError("PNG pixel data of the wrong length")
        self.rows = []
        previous = bytearray(stride)
        for y in range(self.height):
            start = y * (stride + 1)
            row = _unfilter(raw[start], bytearray(raw[start + 1:start + 1 + stride]), previous, step)
            self.rows.append(_to_rgb(row, self.width, colour, depth, palette))
            previous = row

    def pixel(self, x, y):
        row = self.rows[y]
        return tuple(row[3 * x:3 * x + 3])


def _unfilter(kind, row, previous, step):
    if kind == 0:
        return row
    if kind == 1:
        for i in range(step, len(row)):
            row[i] = (row[i] + row[i - step]) & 0xFF
    elif kind == 2:
        for i in range(len(row)):
            row[i] = (row[i] + previous[i]) & 0xFF
    elif kind == 3:
        for i in range(len(row)):
            left = row[i - step] if i >= step else 0
            row[i] = (row[i] + ((left + previous[i]) >> 1)) & 0xFF
    elif kind == 4:
        for i in range(len(row)):
            a = row[i - step] if i >= step else 0
            b = previous[i]
            c = previous[i - step] if i >= step else 0
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            if pa <= pb and pa <= pc:
                row[i] = (row[i] + a) & 0xFF
            elif pb <= pc:
                row[i] = (row[i] + b) & 0xFF
            else:
                row[i] = (row[i] + c) & 0xFF
    else:
        raise ValueError("unknown PNG filter %d" % kind)
    return row


def _to_rgb(row, width, colour, depth, palette):
    if colour == 2:
        return bytes(row)
    if colour == 6:
        out = bytearray(width * 3)
        out[0::3] = row[0::4]
        out[1::3] = row[1::4]
        out[2::3] = row[2::4]
        return bytes(out)
    # Grey or indexed, `depth` bits a sample, the left pixel in the high bits.
    samples = []
    mask = (1 << depth) - 1
    for byte in row:
        for shift in range(8 - depth, -1, -depth):
            samples.append((byte >> shift) & mask)
    out = bytearray()
    if colour == 3:
        for index in samples[:width]:
            out += palette[3 * index:3 * index + 3]
    elif colour == 0:
        scale = 255 // mask
        for value in samples[:width]:
            out += bytes((value * scale,) * 3)
    else:  # grey with alpha, 8-bit
        for value in samples[0:2 * width:2]:
            out += bytes((value,) * 3)
    return bytes(out)
