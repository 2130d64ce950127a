#!/usr/bin/env python3
"""Copies a TrueType font under another family name with another OS/2 average width.

    avg_width_font.py SRC.ttf DST.ttf FAMILY STYLE AVG_WIDTH

Used to give the reference renderer an "Arial" with Arial's own average character width
(904/2048, bold 983/2048), which a logical font's width is measured against; the free
substitutes state a larger average and so come out narrower. Standard library only: the new
name table is appended to the file and the table directory points at it.
"""
import struct
import sys


def checksum(data):
    data = bytes(data) + b"\0" * ((4 - len(data) % 4) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def main(src, dst, family, style, avg):
    font = bytearray(open(src, "rb").read())
    full = family if style == "Regular" else family + " " + style
    names = {1: family, 2: style, 3: full + " (average width %d)" % avg, 4: full,
             6: (family + "-" + style).replace(" ", "")}
    records, strings = [], b""
    for platform, encoding, language, codec in ((3, 1, 0x409, "utf-16-be"), (1, 0, 0, "mac_roman")):
        for name_id in sorted(names):
            text = names[name_id].encode(codec)
            records.append(struct.pack(">6H", platform, encoding, language, name_id, len(text),
                                       len(strings)))
            strings += text
    records.sort()
    table = struct.pack(">3H", 0, len(records), 6 + 12 * len(records)) + b"".join(records) + strings
    while len(font) % 4:
        font.append(0)
    for i in range(struct.unpack_from(">H", font, 4)[0]):
        entry = 12 + 16 * i
        tag, _, offset, length = struct.unpack_from(">4sIII", font, entry)
        if tag == b"name":
            struct.pack_into(">4sIII", font, entry, tag, checksum(table), len(font), len(table))
        elif tag == b"OS/2":
            struct.pack_into(">h", font, offset + 2, avg)
            struct.pack_into(">I", font, entry + 4, checksum(font[offset:offset + length]))
    font += table
    open(dst, "wb").write(font)


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]))
