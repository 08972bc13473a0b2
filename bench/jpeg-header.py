#!/usr/bin/env python3
"""Prints one line of JPEG header facts per file, without decoding:

    WIDTH HEIGHT COMPONENTS SAMPLING MODE RESTART BYTES PATH

SAMPLING is the luma factor pair and a name (2x2/4:2:0, 2x1/4:2:2, 1x1/4:4:4,
gray for one component), MODE is baseline, extended or progressive, RESTART
is the DRI interval in MCUs (0 = none). With --centre the line is instead

    W H X Y PATH

the centre rectangle that the percent rectangle 25%,25%,75%,75% resolves to
in pelmora-crop (each edge rounded half up from size * percent / 100).

    jpeg-header.py --compare A B

prints "identical" when the files are equal byte for byte, "same-image" when
only their APPn and COM segments differ (tables, frame and entropy-coded
scans equal), and "different" otherwise.
"""
import os
import struct
import sys

SOF_MODES = {0xC0: "baseline", 0xC1: "extended", 0xC2: "progressive"}


def read_header(path):
    with open(path, "rb") as f:
        data = f.read(1 << 20)  # markers before the first scan fit in far less
    if data[:2] != b"\xff\xd8":
        raise ValueError("no SOI marker")
    pos = 2
    frame = None
    restart = 0
    while pos + 4 <= len(data):
        if data[pos] != 0xFF:
            raise ValueError("marker expected at byte %d" % pos)
        while pos < len(data) and data[pos] == 0xFF:  # fill bytes
            pos += 1
        marker = data[pos]
        pos += 1
        if marker == 0xD8 or 0xD0 <= marker <= 0xD7 or marker == 0x01:
            continue  # no length field
        (length,) = struct.unpack(">H", data[pos:pos + 2])
        body = data[pos + 2:pos + length]
        if marker in (0xC0, 0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF):
            _, height, width, count = struct.unpack(">BHHB", body[:6])
            factors = [(body[7 + 3 * i] >> 4, body[7 + 3 * i] & 15) for i in range(count)]
            frame = (width, height, count, factors, SOF_MODES.get(marker, "sof%x" % marker))
        elif marker == 0xDD:
            (restart,) = struct.unpack(">H", body[:2])
        elif marker == 0xDA or marker == 0xD9:
            break
        pos += length
    if frame is None:
        raise ValueError("no frame header before the first scan")
    return frame, restart


def segments(path):
    """The file as a list of (marker, bytes) pieces; a scan's entropy-coded
    data, restart markers included, stays with its SOS piece."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"\xff\xd8":
        raise ValueError("no SOI marker")
    pieces = []
    pos = 2
    while pos < len(data):
        if data[pos] != 0xFF:
            raise ValueError("marker expected at byte %d" % pos)
        marker = data[pos + 1]
        if marker == 0xFF:  # fill byte
            pos += 1
            continue
        if marker == 0xD9:
            pieces.append((marker, data[pos:pos + 2]))
            break
        (length,) = struct.unpack(">H", data[pos + 2:pos + 4])
        end = pos + 2 + length
        if marker == 0xDA:
            while end + 1 < len(data) and not (
                    data[end] == 0xFF and data[end + 1] != 0 and not 0xD0 <= data[end + 1] <= 0xD7):
                end += 1
        pieces.append((marker, data[pos:end]))
        pos = end
    return pieces


def compare(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        if fa.read() == fb.read():
            return "identical"
    def image(path):
        return [piece for piece in segments(path) if not (0xE0 <= piece[0] <= 0xEF or piece[0] == 0xFE)]
    return "same-image" if image(a) == image(b) else "different"


def sampling_name(count, factors):
    if count == 1:
        return "gray"
    h, v = factors[0]
    names = {(1, 1): "4:4:4", (2, 1): "4:2:2", (2, 2): "4:2:0", (1, 2): "4:4:0"}
    others_one = all(f == (1, 1) for f in factors[1:])
    return "%dx%d/%s" % (h, v, names.get((h, v), "other") if others_one else "other")


def main(argv):
    if argv and argv[0] == "--compare":
        if len(argv) != 3:
            sys.stderr.write("usage: jpeg-header.py --compare A B\n")
            return 2
        try:
            print(compare(argv[1], argv[2]))
        except (OSError, ValueError, struct.error) as error:
            sys.stderr.write("jpeg-header.py: %s\n" % error)
            return 1
        return 0
    centre = False
    if argv and argv[0] == "--centre":
        centre = True
        argv = argv[1:]
    if not argv:
        sys.stderr.write("usage: jpeg-header.py [--centre] FILE...\n")
        return 2
    status = 0
    for path in argv:
        try:
            (width, height, count, factors, mode), restart = read_header(path)
        except (OSError, ValueError, struct.error, IndexError) as error:
            sys.stderr.write("jpeg-header.py: %s: %s\n" % (path, error))
            status = 1
            continue
        if centre:
            left, right = int(width * 25 / 100 + 0.5), int(width * 75 / 100 + 0.5)
            top, bottom = int(height * 25 / 100 + 0.5), int(height * 75 / 100 + 0.5)
            print(right - left, bottom - top, left, top, path)
        else:
            print(width, height, count, sampling_name(count, factors), mode, restart,
                  os.path.getsize(path), path)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
