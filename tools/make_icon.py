#!/usr/bin/env python3
"""Writes plugin/icon.ico, the tray icon, from the picture below: a 32 x 32
two-colour icon, a white frame two pixels wide and a white capital L on black.
Run it again after changing the picture and commit both files."""
import os
import struct

PICTURE = [
    "################################",
    "################################",
    "##............................##",
    "##............................##",
    "##............................##",
    "##............................##",
    "##............................##",
    "##.........####...............##",
    "##.........####...............##",
    "##.........####...............##",
    "##.........####...............##",
    "##.........####...............##",
    "##.........####...............##",
    "##.........####...............##",
    "##.........####...............##",
    "##.........####...............##",
    "##.........####...............##",
    "##.........####...............##",
    "##.........####...............##",
    "##.........####...............##",
    "##.........####...............##",
    "##.........#############......##",
    "##.........#############......##",
    "##.........#############......##",
    "##.........#############......##",
    "##............................##",
    "##............................##",
    "##............................##",
    "##............................##",
    "##............................##",
    "################################",
    "################################",
]


def icon_bytes(picture):
    size = len(picture)
    assert size == 32 and all(len(row) == 32 for row in picture)
    # Rows are stored bottom-up; bit 7 of the first byte is the leftmost pixel.
    xor_mask = b""
    for row in reversed(picture):
        bits = 0
        for x, pixel in enumerate(row):
            if pixel == "#":
                bits |= 1 << (31 - x)
        xor_mask += struct.pack(">I", bits)
    and_mask = bytes(4 * size)  # every pixel opaque
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])  # black, white (B, G, R, 0)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 1, 0,
                         len(xor_mask) + len(and_mask), 0, 0, 2, 0)
    image = header + palette + xor_mask + and_mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 2, 0, 1, 1, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "..", "plugin", "icon.ico"), "wb") as out:
        out.write(icon_bytes(PICTURE))
