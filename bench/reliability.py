#!/usr/bin/env python3
"""Helpers of bench/reliability.sh.

  make DATA CORPUS COUNT      DATA/photos/dNN/pMM.* (hard links to corpus
                              photos), DATA/IMG.DAT with the first COUNT of
                              them, DATA/RECT.DAT with the three rectangles
  seed OUT                    the output folder with two files in the way
  sample PID FILE             VmRSS of PID every 0.2 s until it ends
  kill-when PID OUT COUNT     SIGKILL to PID once OUT holds COUNT outputs
  check DATA OUT [--partial]  the outputs against the names and sizes the
                              batch rules plan; --partial: a killed run
  list DATA                   the paths in DATA/IMG.DAT
  hash FILE...                short SHA-256 of each file
  rss FILE LOG                start, peak and end of the crop from the
                              samples and the harness's start and end lines
"""

import concurrent.futures
import hashlib
import os
import re
import signal
import struct
import subprocess
import sys
import time

# Pixel rectangles on the 16-pixel grid, so that a lossless crop has exactly
# the asked size in every sampling; all of them lie on the smallest photo
# (1280 x 1024).
RECTS = ((0, 0, 640, 480), (512, 256, 1024, 768), (1024, 512, 1280, 1024))
COLOURS = (0x0000FF, 0x00FF00, 0xFF0000)
PER_FOLDER = 50
# Files already in the output folder, which the batch must step around.
IN_THE_WAY = ("p00-1.jpg", "p01-2_0.jpg")
IN_THE_WAY_TEXT = b"in the way\n"


def corpus_photos(corpus):
    big, normal = [], []
    with open(os.path.join(corpus, "MANIFEST.txt")) as manifest:
        for line in manifest:
            fields = line.split()
            (big if int(fields[0]) * int(fields[1]) > 20e6 else normal).append(fields[7])
    return sorted(big), sorted(normal)


def photo_paths(data, count):
    """The photos in collection order: folders d00, d01, ... of 50 photos
    each, every folder holding the same names (p00.jpg ... p49.jpg, some .JPG
    and .jpeg), so that most output names collide."""
    paths = []
    for i in range(count):
        folder, j = divmod(i, PER_FOLDER)
        extension = {3: ".JPG", 7: ".jpeg"}.get(j % 10, ".jpg")
        paths.append(os.path.join(data, "photos", f"d{folder:02d}", f"p{j:02d}{extension}"))
    return paths


def make(data, corpus, count):
    big, normal = corpus_photos(corpus)
    paths = photo_paths(data, count)
    for i, path in enumerate(paths):
        # One in a hundred is a 24.5 MP photo, the rest go round the others.
        source = big[(i // 100) % len(big)] if i % 100 == 99 else normal[i % len(normal)]
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if not os.path.exists(path):
            os.link(os.path.join(corpus, source), path)
    with open(os.path.join(data, "IMG.DAT"), "wb") as f:
        for path in paths:
            raw = path.encode() + b"\0"
            f.write(raw + bytes(512 - len(raw)))
    with open(os.path.join(data, "RECT.DAT"), "wb") as f:
        for rect, colour in zip(RECTS, COLOURS):
            record = bytes([1]) + bytes(7) + struct.pack("<dddd", *rect) + struct.pack("<I", colour)
            f.write(record + bytes(264 - len(record)))


def seed(out):
    os.makedirs(out, exist_ok=True)
    for name in IN_THE_WAY:
        with open(os.path.join(out, name), "wb") as f:
            f.write(IN_THE_WAY_TEXT)


def image_list(data):
    with open(os.path.join(data, "IMG.DAT"), "rb") as f:
        raw = f.read()
    return [raw[i:i + 512].split(b"\0", 1)[0].decode() for i in range(0, len(raw), 512)]


def plan(paths, taken):
    """Output name -> (width, height), as the batch forms and reserves them:
    title, -k, the source's extension; a taken name gets _0, _1, ... before
    the extension."""
    reserved = set(taken)
    planned = {}
    for path in paths:
        title, extension = os.path.splitext(os.path.basename(path))
        for k, (left, top, right, bottom) in enumerate(RECTS):
            name = f"{title}-{k}{extension}"
            n = 0
            while name in reserved:
                name = f"{title}-{k}_{n}{extension}"
                n += 1
            reserved.add(name)
            planned[name] = (right - left, bottom - top)
    return planned


def decode(path):
    """(width, height) of a complete, clean decode, or the reason it is not."""
    run = subprocess.run(["djpeg", "-pnm", path], capture_output=True)
    if run.returncode != 0 or run.stderr:
        return f"djpeg exit {run.returncode}: {run.stderr.decode(errors='replace').strip()}"
    header = re.match(rb"P[56]\s+(\d+)\s+(\d+)\s+255\s", run.stdout)
    if not header:
        return "djpeg wrote no picture"
    width, height = int(header.group(1)), int(header.group(2))
    channels = 3 if run.stdout[:2] == b"P6" else 1
    if len(run.stdout) != header.end() + width * height * channels:
        return "short picture"
    return (width, height)


def check(data, out, partial):
    planned = plan(image_list(data), IN_THE_WAY)
    entries = os.listdir(out)
    hidden = [e for e in entries if e.startswith(".")]
    outputs = [e for e in entries if not e.startswith(".") and e not in IN_THE_WAY]
    problems = []
    for name in IN_THE_WAY:
        with open(os.path.join(out, name), "rb") as f:
            if f.read() != IN_THE_WAY_TEXT:
                problems.append(f"{name}: the file in the way was changed")
    unplanned = [e for e in outputs if e not in planned]
    problems += [f"{e}: not a planned name" for e in unplanned[:20]]
    if not partial:
        missing = sorted(set(planned) - set(outputs))
        problems += [f"{e}: missing" for e in missing[:20]]
    strange_hidden = [e for e in hidden if not re.fullmatch(r"\.pelmora-.*\.part", e)]
    problems += [f"{e}: unexpected hidden entry" for e in strange_hidden]
    good = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        checked = [e for e in outputs if e in planned]
        for name, result in zip(checked, pool.map(lambda e: decode(os.path.join(out, e)), checked)):
            if result == planned[name]:
                good += 1
            else:
                problems.append(f"{name}: {result}, planned {planned[name]}")
    print(f"planned {len(planned)}, outputs {len(outputs)}, complete at the planned size {good}, "
          f".pelmora-*.part leftovers {len(hidden) - len(strange_hidden)}, problems {len(problems)}")
    for problem in problems[:40]:
        print("  " + problem)
    return 1 if problems else 0


def vm_rss(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        return None
    return None


def sample(pid, file):
    with open(file, "w") as f:
        while True:
            rss = vm_rss(pid)
            if rss is None:
                break
            f.write(f"{time.monotonic():.3f} {rss}\n")
            f.flush()
            time.sleep(0.2)


def count_outputs(out):
    return sum(1 for e in os.scandir(out) if not e.name.startswith(".")) - len(IN_THE_WAY)


def kill_when(pid, out, count):
    while count_outputs(out) < count:
        if vm_rss(pid) is None:
            print("the run ended before it could be killed")
            return 1
        time.sleep(0.05)
    os.kill(pid, signal.SIGKILL)
    print(f"SIGKILL with {count_outputs(out)} outputs written")
    return 0


def rss(file, log):
    with open(log) as f:
        text = f.read()
    start = float(re.search(r"start (\d+\.\d+)", text).group(1))
    end = float(re.search(r"end (\d+\.\d+)", text).group(1))
    samples = [tuple(map(float, line.split())) for line in open(file)]
    before = [kb for t, kb in samples if t <= start]
    during = [kb for t, kb in samples if start <= t <= end]
    if not before or not during:
        print("too few samples")
        return 1
    quarters = [during[min(len(during) - 1, len(during) * q // 4)] for q in (1, 2, 3)]
    print(f"VmRSS MB: load peak {max(before) / 1024:.0f}, crop start {before[-1] / 1024:.0f}, "
          f"peak {max(during) / 1024:.0f}, at 1/4 2/4 3/4 "
          f"{' '.join(f'{q / 1024:.0f}' for q in quarters)}, end {during[-1] / 1024:.0f} "
          f"({len(during)} samples over {end - start:.1f} s)")
    return 0


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def main(argv):
    command = argv[1]
    if command == "make":
        make(argv[2], argv[3], int(argv[4]))
    elif command == "seed":
        seed(argv[2])
    elif command == "sample":
        sample(int(argv[2]), argv[3])
    elif command == "kill-when":
        return kill_when(int(argv[2]), argv[3], int(argv[4]))
    elif command == "check":
        return check(argv[2], argv[3], "--partial" in argv)
    elif command == "rss":
        return rss(argv[2], argv[3])
    elif command == "list":
        print("\n".join(image_list(argv[2])))
    elif command == "hash":
        print(" ".join(sha256(p)[:16] for p in argv[2:]))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
