#!/usr/bin/env python3
"""Writes the hand-made hostile image files of this folder, byte by byte.

Run from this folder. The files found by fuzzing are kept as they were found;
this script makes only the ones described by hand (see README.md)."""
import struct


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


def segment(marker, payload):
    return b"\xff" + bytes([marker]) + struct.pack(">H", len(payload) + 2) + payload


def tiny_jpeg(width, height, components):
    """A baseline JPEG whose header declares width x height; the scan holds a
    few blocks of flat colour and then simply ends."""
    dqt = segment(0xDB, b"\x00" + bytes([1] * 64))
    comps = b"".join(bytes([i + 1, 0x11, 0]) for i in range(components))
    sof = segment(0xC0, struct.pack(">BHHB", 8, height, width, components) + comps)
    # One code of length 1 in each table: DC category 0, AC end-of-block.
    dht_dc = segment(0xC4, b"\x00" + bytes([1] + [0] * 15) + b"\x00")
    dht_ac = segment(0xC4, b"\x10" + bytes([1] + [0] * 15) + b"\x00")
    scomps = b"".join(bytes([i + 1, 0x00]) for i in range(components))
    sos = segment(0xDA, bytes([components]) + scomps + b"\x00\x3f\x00")
    return b"\xff\xd8" + dqt + sof + dht_dc + dht_ac + sos + bytes(8) + b"\xff\xd9"


write("jpeg-20-bytes-hang.jpg", bytes.fromhex("ffd8ffe007104b00ffd8ffe000104a4600494600"))
write("jpeg-20000x20000.jpg", tiny_jpeg(20000, 20000, 3))
write("jpeg-60000x60000.jpg", tiny_jpeg(60000, 60000, 3))
# A run-length TGA declaring 64267 x 4096 whose runs stop after 40 pixels.
write("tga-64267x4096-runs-stop.tga",
      struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, 64267, 4096, 24, 0) + b"\xff\x10\x20\x30" * 40)
# One pixel wider than the tool accepts, and quick to decode.
write("jpeg-16385x8-one-too-wide.jpg", tiny_jpeg(16385, 8, 3))
