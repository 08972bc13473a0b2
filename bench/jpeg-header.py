#!/usr/bin/env python3
"""Prints one line of JPEG header facts per file, without decoding:

    WIDTH HEIGHT COMPONENTS SAMPLING MODE RESTART BYTES PATH

SAMPLING is the luma factor pair and a name (2x2/4:2:0, 2x1/4:2:2, 1x1/4:4:4,
gray for one component), MODE is baseline, extended or progressive, RESTART
is the DRI interval in MCUs (0 = none). With --centre the line is instead

    W H X Y PATH

the centre rectangle that the percent rectangle 25%,25%,75%,75% resolves to
in pelmora-crop (each edge rounded half up from size * percent / 100).
With --rect L,T,R,B (percent, as in pelmora-crop's "L%,T%,R%,B%") the same
line for that rectangle.

    jpeg-header.py --sizes [BOX] FILE...

prints what a decode of each file needs to hold, in bytes:

    FULL_RGB SCALED_RGB SCALED_W SCALED_H COEFFICIENTS PATH

FULL_RGB is the whole picture at 3 bytes a pixel; SCALED_RGB the picture
that libjpeg's scaled decode (scale n/8, the smallest n whose output still
covers the fit into a BOX x BOX square, default 96) produces; COEFFICIENTS
the whole-image coefficient buffer (2 bytes per coefficient, blocks padded
to whole MCUs) that libjpeg keeps for a progressive file, whatever the scale.

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


def fit(width, height, box):
    if width <= box and height <= box:
        return width, height
    if width >= height:
        return box, max(1, int(height * box / width + 0.5))
    return max(1, int(width * box / height + 0.5)), box


def sizes(path, box):
    (width, height, count, factors, mode), _ = read_header(path)
    fit_w, fit_h = fit(width, height, box)
    for num in range(1, 9):
        scaled_w, scaled_h = -(-width * num // 8), -(-height * num // 8)
        if scaled_w >= fit_w and scaled_h >= fit_h:
            break
    h_max = max(h for h, _ in factors)
    v_max = max(v for _, v in factors)
    mcus_x = -(-width // (8 * h_max))
    mcus_y = -(-height // (8 * v_max))
    coefficients = sum(mcus_x * h * mcus_y * v * 64 * 2 for h, v in factors)
    return width * height * 3, scaled_w * scaled_h * 3, scaled_w, scaled_h, coefficients


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
    if argv and argv[0] == "--sizes":
        box = 96
        argv = argv[1:]
        if argv and argv[0].isdigit():
            box = int(argv[0])
            argv = argv[1:]
        for path in argv:
            print(*sizes(path, box), path)
        return 0
    percent = None
    if argv and argv[0] == "--centre":
        percent = (25.0, 25.0, 75.0, 75.0)
        argv = argv[1:]
    elif len(argv) > 1 and argv[0] == "--rect":
        percent = tuple(float(v.rstrip("%")) for v in argv[1].split(","))
        if len(percent) != 4:
            sys.stderr.write("jpeg-header.py: --rect wants L,T,R,B in percent\n")
            return 2
        argv = argv[2:]
    if not argv:
        sys.stderr.write("usage: jpeg-header.py [--centre | --rect L,T,R,B] FILE...\n")
        return 2
    status = 0
    for path in argv:
        try:
            (width, height, count, factors, mode), restart = read_header(path)
        except (OSError, ValueError, struct.error, IndexError) as error:
            sys.stderr.write("jpeg-header.py: %s: %s\n" % (path, error))
            status = 1
            continue
        if percent is not None:
            left, right = (int(width * p / 100 + 0.5) for p in (percent[0], percent[2]))
            top, bottom = (int(height * p / 100 + 0.5) for p in (percent[1], percent[3]))
            print(right - left, bottom - top, left, top, path)
        else:
            print(width, height, count, sampling_name(count, factors), mode, restart,
                  os.path.getsize(path), path)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
