#!/usr/bin/env python3
"""Reads the animated PNG that `daubry render --timelapse` wrote with nothing
but the standard library (zlib for inflate and CRC-32) and checks it plays as
written: every chunk's CRC, the acTL frame count, one fcTL per frame with its
size and delay, sequence numbers without gap, and each frame's pixels equal to
the numbered file of --frames-dir; the last one to the picture of -o.

usage: timelapse_check.py ANIMATION.png FRAMES_DIR PICTURE.png FRAMES NUM DEN"""
import os
import struct
import sys
import zlib


def fail(text):
    sys.exit("timelapse_check: " + text)


def chunks(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        fail(path + ": no PNG signature")
    at = 8
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        crc, = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        if zlib.crc32(kind + body) != crc:
            fail("%s: CRC mismatch in %s" % (path, kind))
        yield kind, body
        at += 12 + length


def unfilter(raw, width, height):
    """ISO/IEC 15948 9: the five filter types, 8-bit RGBA."""
    stride, out, prev = width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = row[x - 4] if x >= 4 else 0
            b = prev[x]
            c = prev[x - 4] if x >= 4 else 0
            if kind == 1:
                row[x] = (row[x] + a) & 255
            elif kind == 2:
                row[x] = (row[x] + b) & 255
            elif kind == 3:
                row[x] = (row[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[x] = (row[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
            elif kind != 0:
                fail("filter type %d" % kind)
        out.append(bytes(row))
        prev = row
    return b"".join(out)


def still(path):
    header, data = None, b""
    for kind, body in chunks(path):
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            data += body
    width, height, depth, colour = header[:4]
    if (depth, colour) != (8, 6):
        fail(path + ": not 8-bit RGBA")
    return width, height, unfilter(zlib.decompress(data), width, height)


def main():
    animation, folder, picture, frames, num, den = sys.argv[1:7]
    frames, num, den = int(frames), int(num), int(den)
    header, actl, controls, images, sequence = None, None, [], [], []
    current = None
    for kind, body in chunks(animation):
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"acTL":
            actl = struct.unpack(">II", body)
        elif kind == b"fcTL":
            fields = struct.unpack(">IIIIIHHBB", body)
            sequence.append(fields[0])
            controls.append(fields)
            current = bytearray()
            images.append(current)
        elif kind == b"IDAT":
            if len(controls) != 1:
                fail("IDAT outside the first frame")
            current += body
        elif kind == b"fdAT":
            sequence.append(struct.unpack(">I", body[:4])[0])
            current += body[4:]
    width, height = header[0], header[1]
    if actl != (frames, 0):
        fail("acTL says %r, not %d frames looping" % (actl, frames))
    if len(controls) != frames:
        fail("%d fcTL chunks for %d frames" % (len(controls), frames))
    if sequence != list(range(len(sequence))):
        fail("sequence numbers %r" % sequence)
    for c in controls:
        if c[1:5] != (width, height, 0, 0) or c[5:7] != (num, den) or c[7:9] != (0, 0):
            fail("frame control %r" % (c,))
    names = sorted(os.listdir(folder))
    if len(names) != frames:
        fail("%d files in %s" % (len(names), folder))
    pixels = [unfilter(zlib.decompress(bytes(i)), width, height) for i in images]
    for k, name in enumerate(names):
        w, h, file_pixels = still(os.path.join(folder, name))
        if (w, h) != (width, height) or file_pixels != pixels[k]:
            fail("frame %d differs from %s" % (k + 1, name))
    w, h, final = still(picture)
    if (w, h) != (width, height) or final != pixels[-1]:
        fail("the last frame is not the picture")
    if frames > 1 and pixels[0] == pixels[-1]:
        fail("the picture did not grow")
    print("timelapse_check: %d frames of %d x %d play as written" % (frames, width, height))


main()
