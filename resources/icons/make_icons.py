#!/usr/bin/env python3
"""Draws the setup program's icons and writes them as .ico files.

program.ico      icon 106: a package with an arrow into it, 16x16 and 32x32,
                 16 colours (the standard VGA palette)
destination.ico  icon 111: a folder, 32x32, 256 colours

Run from anywhere; the files land beside this script.
"""
import os
import struct

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DARK_BLUE, GREY, SILVER, GREEN, DARK_GREEN, YELLOW, OLIVE, BLUE, WHITE = (
    0, 4, 8, 7, 10, 2, 11, 3, 12, 15)


def program_pixel(x, y, size):
    """Colour index at (x, y) of the package icon, None where transparent."""
    u, v = x * 32.0 / size, y * 32.0 / size  # design grid is 32x32
    # Arrow into the package: shaft and head.
    if 13 <= u < 19 and 0 <= v < 9:
        return BLACK if u < 14 or u >= 18 else GREEN
    if 7 <= v < 16 and abs(u + 0.5 - 16) <= (16 - v) * 0.95:
        edge = abs(u + 0.5 - 16) > (16 - v) * 0.95 - 1.5 or v >= 15
        return BLACK if edge else GREEN
    # Package body with its lid and label.
    if 4 <= u < 28 and 16 <= v < 30:
        if u < 5 or u >= 27 or v >= 29 or v < 17:
            return BLACK
        if v < 20:
            return DARK_BLUE
        if 10 <= u < 22 and 22 <= v < 26:
            return WHITE
        return BLUE
    return None


def folder_pixel(x, y):
    """(r, g, b) at (x, y) of the 32x32 folder, None where transparent."""
    if 3 <= x < 14 and 5 <= y < 9:  # tab
        return (120, 80, 0) if y == 5 or x in (3, 13) else (240, 190, 60)
    if 4 <= y < 29 and y >= 13 and 4 + (y - 13) // 6 <= x < 31:  # front flap
        left = 4 + (y - 13) // 6
        if x in (left, 30) or y in (13, 28):
            return (120, 80, 0)
        shade = 255 - (y - 13) * 4
        return (shade, min(255, shade - 30), 70)
    if 2 <= x < 30 and 8 <= y < 27:  # back
        if x in (2, 29) or y in (8, 26):
            return (120, 80, 0)
        return (230, 175, 40)
    return None


def dib_rows(width, height, index_of, bits):
    """Bottom-up XOR rows and AND mask rows of one icon image."""
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(height)):
        row_bits = []
        mask_bits = []
        for x in range(width):
            index = index_of(x, y)
            row_bits.append(0 if index is None else index)
            mask_bits.append(1 if index is None else 0)
        packed = bytearray()
        per_byte = 8 // bits
        for i in range(0, width, per_byte):
            value = 0
            for j in range(per_byte):
                value = (value << bits) | row_bits[i + j]
            packed.append(value)
        xor += packed + bytes((-len(packed)) % 4)
        mask_row = bytearray()
        for i in range(0, width, 8):
            value = 0
            for j in range(8):
                value = (value << 1) | (mask_bits[i + j] if i + j < width else 1)
            mask_row.append(value)
        mask += mask_row + bytes((-len(mask_row)) % 4)
    return bytes(xor), bytes(mask)


def image_bytes(size, bits, palette, index_of):
    xor, mask = dib_rows(size, size, index_of, bits)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    colours += bytes(4 * ((1 << bits) - len(palette)))
    return header + colours + xor + mask


def write_ico(path, images):
    """images: list of (size, bits, data)."""
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        colour_count = (1 << bits) if bits < 8 else 0
        out += struct.pack('<BBBBHHII', size % 256, size % 256, colour_count, 0, 1, bits,
                           len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    program = [(size, 4, image_bytes(size, 4, VGA,
                                     lambda x, y, s=size: program_pixel(x, y, s)))
               for size in (16, 32)]
    write_ico(os.path.join(here, 'program.ico'), program)

    palette = []
    indices = {}
    for y in range(32):
        for x in range(32):
            colour = folder_pixel(x, y)
            if colour is not None and colour not in indices:
                indices[colour] = len(palette)
                palette.append(colour)
    assert len(palette) <= 256

    def folder_index(x, y):
        colour = folder_pixel(x, y)
        return None if colour is None else indices[colour]

    write_ico(os.path.join(here, 'destination.ico'),
              [(32, 8, image_bytes(32, 8, palette, folder_index))])


if __name__ == '__main__':
    main()
