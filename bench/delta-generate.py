#!/usr/bin/env python3
"""The delta bench's game: an archive of many inner files, as games of this kind
keep their scripts, images and voices, and its next version with a few inner
files edited and one replaced.

    delta-generate.py OUT TOTAL_MB

OUT/game (the old version: Tessoran.exe, data/archive.dat) and OUT/new (the new
one), OUT/stats.txt. The inner files are random bytes (nothing in one repeats
another), laid end to end after a table of their names, offsets and sizes.
"""
import os
import random
import struct
import sys


def archive(path, inner):
    table = b"".join(struct.pack("<32sQQ", name.encode(), 0, len(data)) for name, data in inner)
    offset = 8 + len(table)
    entries = []
    for name, data in inner:
        entries.append(struct.pack("<32sQQ", name.encode(), offset, len(data)))
        offset += len(data)
    with open(path, "wb") as f:
        f.write(b"ARCV" + struct.pack("<I", len(inner)))
        f.write(b"".join(entries))
        for _, data in inner:
            f.write(data)


def main():
    out, total = sys.argv[1], int(sys.argv[2]) << 20
    rng = random.Random(20)
    inner, size = [], 0
    while size < total:
        length = min(rng.randrange(1 << 20, 8 << 20), total - size)
        kind = ("scene%04d.ks", "image%04d.png", "voice%04d.ogg")[len(inner) % 3]
        inner.append([kind % len(inner), rng.randbytes(length)])
        size += length
    for folder in ("game", "new"):
        os.makedirs(os.path.join(out, folder, "data"), exist_ok=True)
        with open(os.path.join(out, folder, "Tessoran.exe"), "wb") as f:
            f.write(b"MZ engine 1.00")
    archive(os.path.join(out, "game", "data", "archive.dat"), inner)

    # The new version: three scripts edited in place (a line fixed, the same
    # size), one with a line inserted (everything after it moves), and one
    # voice replaced outright by a recording of another length.
    edits = 0
    for entry in inner:
        if edits < 3 and entry[0].startswith("scene") and len(inner) > 10 and inner.index(entry) > 2:
            data = bytearray(entry[1])
            at = len(data) // 3
            data[at:at + 40] = b"a line of the script, fixed in 1.01    "[:40]
            entry[1] = bytes(data)
            edits += 1
    scenes = [entry for entry in inner if entry[0].startswith("scene")]
    middle = scenes[len(scenes) // 2]
    middle[1] = middle[1][:1000] + b"an inserted line of dialogue\r\n" + middle[1][1000:]
    voices = [entry for entry in inner if entry[0].startswith("voice")]
    voices[-2][1] = random.Random(21).randbytes(3 << 20)
    archive(os.path.join(out, "new", "data", "archive.dat"), inner)
    with open(os.path.join(out, "stats.txt"), "w") as f:
        f.write("inner=%d old=%d new=%d\n" % (len(inner), os.path.getsize(os.path.join(out, "game", "data", "archive.dat")),
                                             os.path.getsize(os.path.join(out, "new", "data", "archive.dat"))))


main()
