#!/usr/bin/env python3
"""Camera-like Exif for benchmark photos.

    exif-photo.py make IN THUMB OUT

writes OUT: the JPEG file IN with its APP0 (JFIF) segments left out and, right
after SOI, an Exif APP1 segment as a camera writes one: IFD0 (orientation,
resolution), an Exif IFD with the pixel dimensions of IN, and IFD1 holding the
JPEG file THUMB as the embedded thumbnail.

    exif-photo.py shrink IN.ppm WIDTH HEIGHT OUT.ppm

averages a binary PPM picture down to WIDTH x HEIGHT (each target pixel the
mean of the source pixels whose centres fall in it), for the thumbnail.

    exif-photo.py thumbnail FILE

prints "WIDTH HEIGHT BYTES SHA1" of the Exif thumbnail of FILE (from the frame
header of the embedded JPEG), or "none".
"""
import hashlib
import struct
import sys


def frame_size(jpeg):
    """(width, height) from a JPEG stream's frame header."""
    pos = 2
    while pos + 4 <= len(jpeg):
        marker = jpeg[pos + 1]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            height, width = struct.unpack(">HH", jpeg[pos + 5:pos + 9])
            return width, height
        (length,) = struct.unpack(">H", jpeg[pos + 2:pos + 4])
        pos += 2 + length
    raise ValueError("no frame header")


def ifd(entries, start, next_ifd):
    """An IFD at offset `start` of the TIFF data (little endian): entries
    (tag, type, count, value bytes) sorted by tag; values over 4 bytes follow
    the IFD. Returns the bytes of the IFD and its values."""
    entries = sorted(entries)
    table = struct.pack("<H", len(entries))
    extra = b""
    values_at = start + 2 + 12 * len(entries) + 4
    for tag, kind, count, value in entries:
        if len(value) <= 4:
            table += struct.pack("<HHI", tag, kind, count) + value.ljust(4, b"\0")
        else:
            table += struct.pack("<HHII", tag, kind, count, values_at + len(extra))
            extra += value
            if len(extra) % 2:
                extra += b"\0"
    return table + struct.pack("<I", next_ifd) + extra


SHORT, LONG, RATIONAL, UNDEFINED = 3, 4, 5, 7


def exif_block(width, height, thumbnail):
    resolution = [(0x011A, RATIONAL, 1, struct.pack("<II", 72, 1)),
                  (0x011B, RATIONAL, 1, struct.pack("<II", 72, 1)),
                  (0x0128, SHORT, 1, struct.pack("<H", 2))]
    exif_entries = [(0x9000, UNDEFINED, 4, b"0231"),
                    (0xA001, SHORT, 1, struct.pack("<H", 1)),
                    (0xA002, LONG, 1, struct.pack("<I", width)),
                    (0xA003, LONG, 1, struct.pack("<I", height))]
    # Sizes first (offsets do not change the length of an IFD), then offsets.
    ifd0_entries = resolution + [(0x0112, SHORT, 1, struct.pack("<H", 1)),
                                 (0x8769, LONG, 1, struct.pack("<I", 0))]
    ifd0_at = 8
    exif_at = ifd0_at + len(ifd(ifd0_entries, ifd0_at, 0))
    ifd1_at = exif_at + len(ifd(exif_entries, exif_at, 0))
    ifd1_entries = resolution + [(0x0103, SHORT, 1, struct.pack("<H", 6)),
                                 (0x0201, LONG, 1, struct.pack("<I", 0)),
                                 (0x0202, LONG, 1, struct.pack("<I", len(thumbnail)))]
    thumb_at = ifd1_at + len(ifd(ifd1_entries, ifd1_at, 0))
    ifd0_entries[-1] = (0x8769, LONG, 1, struct.pack("<I", exif_at))
    ifd1_entries[-2] = (0x0201, LONG, 1, struct.pack("<I", thumb_at))
    tiff = (b"II*\0" + struct.pack("<I", ifd0_at)
            + ifd(ifd0_entries, ifd0_at, ifd1_at)
            + ifd(exif_entries, exif_at, 0)
            + ifd(ifd1_entries, ifd1_at, 0)
            + thumbnail)
    body = b"Exif\0\0" + tiff
    if len(body) + 2 > 0xFFFF:
        raise ValueError("the thumbnail is too large for one APP1 segment")
    return b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body


def make(source, thumb, out):
    with open(source, "rb") as f:
        data = f.read()
    with open(thumb, "rb") as f:
        thumbnail = f.read()
    width, height = frame_size(data)
    pos = 2
    while data[pos + 1] == 0xE0:  # drop JFIF APP0
        (length,) = struct.unpack(">H", data[pos + 2:pos + 4])
        pos += 2 + length
    with open(out, "wb") as f:
        f.write(b"\xff\xd8" + exif_block(width, height, thumbnail) + data[pos:])


def thumbnail_of(path):
    with open(path, "rb") as f:
        data = f.read(1 << 20)
    pos = 2
    while pos + 4 <= len(data) and data[pos] == 0xFF and data[pos + 1] not in (0xDA, 0xD9):
        marker = data[pos + 1]
        (length,) = struct.unpack(">H", data[pos + 2:pos + 4])
        body = data[pos + 4:pos + 2 + length]
        pos += 2 + length
        if marker != 0xE1 or not body.startswith(b"Exif\0\0"):
            continue
        tiff = body[6:]
        order = "<" if tiff[:2] == b"II" else ">"
        (ifd0,) = struct.unpack(order + "I", tiff[4:8])
        (count,) = struct.unpack(order + "H", tiff[ifd0:ifd0 + 2])
        (ifd1,) = struct.unpack(order + "I", tiff[ifd0 + 2 + 12 * count:ifd0 + 6 + 12 * count])
        if ifd1 == 0:
            return None
        (count,) = struct.unpack(order + "H", tiff[ifd1:ifd1 + 2])
        values = {}
        for i in range(count):
            tag, _, _, value = struct.unpack(order + "HHII", tiff[ifd1 + 2 + 12 * i:ifd1 + 14 + 12 * i])
            values[tag] = value
        if 0x0201 not in values or 0x0202 not in values:
            return None
        return tiff[values[0x0201]:values[0x0201] + values[0x0202]]
    return None


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError("%s: not an 8-bit binary PPM" % path)
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def shrink(source, width, height, out):
    src_w, src_h, pixels = read_ppm(source)
    sums = [0] * (width * height * 3)
    counts = [0] * (width * height)
    for y in range(src_h):
        ty = min(height - 1, (2 * y + 1) * height // (2 * src_h))
        row = y * src_w * 3
        for x in range(src_w):
            t = ty * width + min(width - 1, (2 * x + 1) * width // (2 * src_w))
            counts[t] += 1
            for c in range(3):
                sums[3 * t + c] += pixels[row + 3 * x + c]
    result = bytes((sums[i] + counts[i // 3] // 2) // max(1, counts[i // 3]) for i in range(len(sums)))
    with open(out, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (width, height) + result)


def main(argv):
    if len(argv) == 4 and argv[0] == "make":
        make(*argv[1:])
        return 0
    if len(argv) == 5 and argv[0] == "shrink":
        shrink(argv[1], int(argv[2]), int(argv[3]), argv[4])
        return 0
    if len(argv) == 2 and argv[0] == "thumbnail":
        thumbnail = thumbnail_of(argv[1])
        if thumbnail is None:
            print("none")
        else:
            print(*frame_size(thumbnail), len(thumbnail), hashlib.sha1(thumbnail).hexdigest())
        return 0
    sys.stderr.write("usage: exif-photo.py make IN THUMB OUT | shrink IN.ppm W H OUT.ppm"
                     " | thumbnail FILE\n")
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
