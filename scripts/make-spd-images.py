#!/usr/bin/env python3
"""Writes the SPD images under scenarios/spd/: complete 512-byte DDR4 SPD
EEPROM contents for the default scenario and the tests.

Every image starts from one of the two reference DIMMs built into ZorPei
(bytes 0 to 191; block 1 carries its CRC), completed here: the rest of
block 2 is zero and carries a valid CRC in bytes 254-255, bytes 256-319 are
reserved (zero), bytes 320-383 hold manufacturing information of our own
(no manufacturer ID, a part number naming the image, a serial number per
image), bytes 384-511 (end-user area) are zero. The other images change the
bytes that make their difference and recompute both CRCs, unless the point
of the image is a wrong CRC.

Byte numbers and fields are those of the JEDEC DDR4 SPD standard. Run from
the project root: scripts/make-spd-images.py
"""
import os

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scenarios", "spd")


def hexbytes(text):
    return [int(x, 16) for x in text.split()]


REF_16GB = (
    hexbytes("23 11 0C 01 85 21 00 08 00 60 00 03 09 0B 80 00 00 00 06 0D F8 3F 00 00 6E 6E 6E 11 00 6E F0 0A")
    + hexbytes("20 08 00 05 00 A8 18 28 28 00 78 00 14 3C 00 00 00 00 00 00 00 00 00 00 00 00 00 00 0C 2C 0C 2C")
    + hexbytes("0C 2C 0C 2C 0C 2C 0C 2C 0C 2C 0C 2C 0C 2C") + [0] * 18
    + [0] * 22 + hexbytes("9C 00 00 00 00 00 E7 00 23 F7")
    + hexbytes("11 11 24 15 00 86 32 A0 01 10") + [0] * 22
    + [0] * 32
)

REF_32GB = (
    hexbytes("23 12 0C 01 85 29 00 08 00 60 00 03 08 0B 80 00 00 00 06 0D F8 3F 00 00 6E 6E 6E 11 00 6E F0 0A")
    + hexbytes("20 08 00 05 00 60 18 28 28 00 78 00 14 3C 00 00 00 00 00 00 00 00 00 00 00 00 00 00 16 16 15 16")
    + hexbytes("03 16 03 16 03 16 03 16 0D 16 16 16 16 16") + [0] * 18
    + [0] * 22 + hexbytes("9C 00 00 00 00 00 E7 00 75 16")
    + hexbytes("11 11 41 19 00 86 32 A0 01 65 05") + [0] * 21
    + [0] * 32
)

assert len(REF_16GB) == 192 and len(REF_32GB) == 192


def crc16(data):
    crc = 0
    for b in data:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) & 0xFFFF if crc & 0x8000 else (crc << 1) & 0xFFFF
    return crc


def set_crc(image, first):
    crc = crc16(image[first:first + 126])
    image[first + 126] = crc & 0xFF
    image[first + 127] = crc >> 8


def complete(reference, part_number, serial):
    image = list(reference) + [0] * (512 - len(reference))
    image[323] = 0x20  # manufacturing year 2020 (BCD)
    image[324] = 0x01  # week 1 (BCD)
    image[325:329] = list(serial.to_bytes(4, "big"))
    name = part_number.encode("ascii")
    assert len(name) <= 20
    image[329:349] = list(name) + [0x20] * (20 - len(name))
    set_crc(image, 128)
    return image


def variant(reference, part_number, serial, changes, crcs=True):
    image = complete(reference, part_number, serial)
    for index, value in changes.items():
        image[index] = value
    if crcs:
        set_crc(image, 0)
        set_crc(image, 128)
    return image


IMAGES = {
    # The two reference DIMMs: 8 Gbit dies, DDR4-2666.
    "ref-16GB-2Rx8.bin": complete(REF_16GB, "ZORSIM-16GB-2RX8", 1),
    "ref-32GB-2Rx4.bin": complete(REF_32GB, "ZORSIM-32GB-2RX4", 2),
    # Other organisations. Byte 12: bits 2:0 device width code (0 = x4,
    # 1 = x8), bits 5:3 package ranks - 1. Byte 6: bit 7 non-monolithic,
    # bits 6:4 dies - 1, bits 1:0 signal loading (2 = 3DS single load stack).
    # A single-rank DIMM has no rank 1 to mirror (byte 136 bit 0 clear).
    "8GB-1Rx8.bin": variant(REF_16GB, "ZORSIM-8GB-1RX8", 3, {12: 0x01, 136: 0x00}),
    "16GB-1Rx4.bin": variant(REF_32GB, "ZORSIM-16GB-1RX4", 4, {12: 0x00, 136: 0x00}),
    "64GB-4Rx4.bin": variant(REF_32GB, "ZORSIM-64GB-4RX4", 5, {12: 0x18}),
    "64GB-4Rx4-3DS-2H.bin": variant(REF_32GB, "ZORSIM-64GB-3DS2H", 6, {6: 0x92}),
    "128GB-8Rx4-3DS-4H.bin": variant(REF_32GB, "ZORSIM-128GB-3DS4H", 7, {6: 0xB2}),
    # DIMMs the firmware reports and drops.
    # Byte 24 (tAAmin) changed after the CRC was computed.
    "bad-crc1.bin": variant(REF_16GB, "ZORSIM-BAD-CRC1", 8, {24: 0x6F}, crcs=False),
    # DDR3 SDRAM.
    "bad-not-ddr4.bin": variant(REF_16GB, "ZORSIM-BAD-DDR3", 9, {2: 0x0B}),
    # An unbuffered DIMM (module type 2).
    "bad-not-rdimm.bin": variant(REF_16GB, "ZORSIM-BAD-UDIMM", 10, {3: 0x02}),
    # A 64-bit bus without the 8-bit ECC extension.
    "bad-no-ecc.bin": variant(REF_16GB, "ZORSIM-BAD-NOECC", 11, {13: 0x03}),
    # DDR4-2400: tCKAVGmin 7 x 125 ps - 42 ps = 833 ps.
    "bad-ddr4-2400.bin": variant(REF_16GB, "ZORSIM-BAD-2400", 12, {18: 0x07, 125: 0xD6}),
    # A reserved die-capacity code (10): listed, then dropped.
    "bad-die-code-10.bin": variant(REF_16GB, "ZORSIM-BAD-DIE10", 13, {4: 0x8A}),
    # A damaged block 2: reported, but the DIMM is used.
    "warn-crc2-16GB-2Rx8.bin": variant(REF_16GB, "ZORSIM-WARN-CRC2", 14, {}, crcs=False),
}

# The block-2 damage goes in after the CRC was computed.
IMAGES["warn-crc2-16GB-2Rx8.bin"][137] ^= 0x01

for name, image in IMAGES.items():
    assert len(image) == 512
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(bytes(image))
