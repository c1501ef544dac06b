#!/usr/bin/env python3
"""Generates a benchmark patch and the game folder it applies to.

    generate.py OUT FILES FOLDERS SIZES [SEED]

SIZES is "mixed" (about 200 MB for 5,000 files: ten files of 2 to 20 MB, the
rest from 1 KB to 80 KB, spread evenly on a log scale) or "small" (1 KB each).
Writes, below OUT:
    patch/update.ini, patch/update/...   the patch (no engine executable)
    game/...                             the game folder: the engine executable and
                                         an older file of the same size for each
    walk.txt                             the files in the order the walker visits
                                         them (names compared without case, depth
                                         first), relative, backslash separated
    stats.txt                            files, folders, bytes
Folders: top-level folders dNN, each holding files and sub-folders sN; the files
are dealt round-robin over all folders.
"""
import os
import random
import sys


def folder_names(count):
    top = max(1, round(count ** 0.5))
    names = []
    for t in range(top):
        names.append("d%03d" % t)
    t = 0
    while len(names) < count:
        sub = (len(names) - top) // top
        names.append("d%03d\\s%03d" % (t, sub))
        t = (t + 1) % top
    return names[:count]


def sizes_for(files, kind, rng):
    if kind == "small":
        return [1024] * files
    large = [m * 2 * 1024 * 1024 for m in range(10, 0, -1)][: max(0, min(10, files // 100))]
    small = []
    low, high = 1024, 80 * 1024
    for _ in range(files - len(large)):
        small.append(int(low * (high / low) ** rng.random()))
    sizes = large + small
    rng.shuffle(sizes)
    return sizes


def main():
    out, files, folders, kind = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    seed = int(sys.argv[5]) if len(sys.argv) > 5 else 1
    rng = random.Random(seed)
    names = folder_names(folders)
    sizes = sizes_for(files, kind, rng)
    pool = rng.randbytes(max(sizes) + 4096)
    old_pool = bytes(reversed(pool))
    patch, game = os.path.join(out, "patch"), os.path.join(out, "game")
    for root in (os.path.join(patch, "update"), game):
        for name in names:
            os.makedirs(os.path.join(root, *name.split("\\")), exist_ok=True)
    relatives = []
    for i, size in enumerate(sizes):
        relative = names[i % len(names)] + "\\f%05d.dat" % i
        relatives.append(relative)
        offset = (i * 4093) % 4096
        for root, data in ((os.path.join(patch, "update"), pool), (game, old_pool)):
            with open(os.path.join(root, *relative.split("\\")), "wb") as f:
                f.write(data[offset:offset + size])
    with open(os.path.join(game, "kovent9m.exe"), "wb") as f:
        f.write(b"MZ engine")
    with open(os.path.join(patch, "update.ini"), "w", newline="\r\n") as f:
        f.write("[GameName]=Bench\n[RegPath]=BenchMaker\\BenchGame\n[Width]=400\n[Height]=200\n"
                "[Caption]=Bench\n[Comment0]=Benchmark patch\n[Comment1]=Press Start\n"
                "[Attention1]=Verification failed\n")

    # The walk: at each level the entries sorted without regard to case, each
    # folder walked completely where it stands.
    tree = {}
    for relative in relatives:
        node = tree
        parts = relative.split("\\")
        for part in parts[:-1]:
            node = node.setdefault(part, {})
        node[parts[-1]] = None

    def walk(node, prefix):
        for name in sorted(node, key=str.lower):
            path = prefix + name
            if node[name] is None:
                yield path
            else:
                yield from walk(node[name], path + "\\")

    with open(os.path.join(out, "walk.txt"), "w") as f:
        for path in walk(tree, ""):
            f.write(path + "\n")
    with open(os.path.join(out, "stats.txt"), "w") as f:
        f.write("files=%d folders=%d bytes=%d\n" % (files, len(names), sum(sizes)))


main()
