#!/usr/bin/env python3
"""Draws the program icon (a box with an arrow going into it) and writes update.ico.

The icon holds 32x32 and 16x16 images with 16 colours and a 48x48 image with
256 colours, as uncompressed BMP images with transparency masks. Run it again
after changing the drawing; the .ico is kept in the repository.
"""
import os
import struct

# The standard 16-colour palette.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def inside_box(x, y):
    return 0.10 <= x <= 0.90 and 0.52 <= y <= 0.95


def inside_lid(x, y):
    return 0.10 <= x <= 0.90 and 0.52 <= y <= 0.62


def inside_arrow(x, y):
    if 0.38 <= x <= 0.62 and 0.04 <= y <= 0.44:
        return True
    # Head: a triangle pointing down, tip at (0.5, 0.74).
    if 0.40 <= y <= 0.74:
        half = 0.30 * (0.74 - y) / 0.34
        return abs(x - 0.5) <= half
    return False


def sample(size, test):
    """The pixels whose centres lie in the shape."""
    return [[test((i + 0.5) / size, (j + 0.5) / size) for i in range(size)] for j in range(size)]


def edge(mask, i, j):
    size = len(mask)
    if not mask[j][i]:
        return False
    for di, dj in ((1, 0), (-1, 0), (0, 1), (0, -1)):
        a, b = i + di, j + dj
        if a < 0 or b < 0 or a >= size or b >= size or not mask[b][a]:
            return True
    return False


def draw(size, colours):
    """A size x size picture of palette indices; None is transparent."""
    box = sample(size, inside_box)
    lid = sample(size, inside_lid)
    arrow = sample(size, inside_arrow)
    picture = [[None] * size for _ in range(size)]
    for j in range(size):
        for i in range(size):
            t = j / (size - 1)
            if box[j][i]:
                if edge(box, i, j):
                    picture[j][i] = colours['box_edge']
                elif lid[j][i]:
                    picture[j][i] = colours['lid'](t)
                else:
                    picture[j][i] = colours['box'](t)
            if arrow[j][i]:
                picture[j][i] = colours['arrow_edge'] if edge(arrow, i, j) else colours['arrow'](t)
    return picture


def sixteen_colour_scheme():
    return {
        'box_edge': 0,                 # black
        'lid': lambda t: 11,           # yellow
        'box': lambda t: 3,            # dark yellow
        'arrow_edge': 4,               # navy
        'arrow': lambda t: 12,         # blue
    }


def two_fifty_six_colour_palette():
    palette = list(VGA)
    ramps = {}

    def ramp(name, start, end, steps):
        ramps[name] = len(palette)
        for k in range(steps):
            f = k / (steps - 1)
            palette.append(tuple(round(s + (e - s) * f) for s, e in zip(start, end)))

    ramp('box', (214, 166, 102), (150, 100, 52), 24)
    ramp('lid', (250, 214, 150), (226, 184, 120), 8)
    ramp('arrow', (110, 190, 255), (10, 80, 210), 24)
    palette.append((70, 44, 20))    # box edge
    palette.append((0, 36, 110))    # arrow edge
    while len(palette) < 256:
        palette.append((0, 0, 0))
    return palette, ramps


def two_fifty_six_colour_scheme(ramps):
    def pick(name, steps):
        return lambda t: ramps[name] + min(steps - 1, int(t * steps))
    return {
        'box_edge': 16 + 24 + 8 + 24,
        'lid': lambda t: ramps['lid'] + min(7, int((t - 0.5) / 0.12 * 8)) if t > 0.5 else ramps['lid'],
        'box': pick('box', 24),
        'arrow_edge': 16 + 24 + 8 + 24 + 1,
        'arrow': pick('arrow', 24),
    }


def bmp_image(picture, palette, bits):
    size = len(picture)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0,
                         len(palette), 0)
    colours = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in palette)
    pixels = b''
    mask = b''
    for row in reversed(picture):  # bottom-up
        if bits == 4:
            nibbles = [0 if p is None else p for p in row]
            line = bytes((nibbles[k] << 4) | nibbles[k + 1] for k in range(0, size, 2))
        else:
            line = bytes(0 if p is None else p for p in row)
        pixels += line + b'\0' * (-len(line) % 4)
        bitsrow = 0
        for p in row:
            bitsrow = (bitsrow << 1) | (1 if p is None else 0)
        maskline = bitsrow.to_bytes((size + 7) // 8, 'big')
        mask += maskline + b'\0' * (-len(maskline) % 4)
    return header + colours + pixels + mask


def main():
    palette256, ramps = two_fifty_six_colour_palette()
    images = [
        (32, 4, bmp_image(draw(32, sixteen_colour_scheme()), VGA, 4)),
        (16, 4, bmp_image(draw(16, sixteen_colour_scheme()), VGA, 4)),
        (48, 8, bmp_image(draw(48, two_fifty_six_colour_scheme(ramps)), palette256, 8)),
    ]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    data = b''
    for size, bits, image in images:
        colour_count = 16 if bits == 4 else 0
        entries += struct.pack('<BBBBHHII', size, size, colour_count, 0, 1, bits,
                               len(image), offset + len(data))
        data += image
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'update.ico')
    with open(path, 'wb') as out:
        out.write(directory + entries + data)


if __name__ == '__main__':
    main()
