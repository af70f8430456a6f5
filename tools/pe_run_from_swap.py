#!/usr/bin/env python3
"""Marks a Windows program to run from the page file when it is started from removable media
or the network: Windows then copies the image before it runs, so a CD taken out, a scratched
sector or a dropped share cannot fault the running program. GNU ld has no switch for these
two header flags; the header checksum is made again after them.

    pe_run_from_swap.py <program.exe>
"""

import struct
import sys
from pathlib import Path

REMOVABLE_RUN_FROM_SWAP = 0x0400
NET_RUN_FROM_SWAP = 0x0800


def pe_checksum(data, field):
    """The image checksum as the loader computes it: 16-bit words with the carry folded in,
    the checksum field itself left out, plus the file's length."""
    padded = data + b"\0" * (len(data) % 2)
    words = struct.unpack(f"<{len(padded) // 2}H", padded)
    total = sum(words) - sum(struct.unpack_from("<2H", padded, field))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def main(path):
    data = bytearray(Path(path).read_bytes())
    header = struct.unpack_from("<I", data, 0x3C)[0]
    if data[header:header + 4] != b"PE\0\0":
        sys.exit(f"{path} is no PE image")
    characteristics = header + 22
    flags = struct.unpack_from("<H", data, characteristics)[0]
    struct.pack_into("<H", data, characteristics,
                     flags | REMOVABLE_RUN_FROM_SWAP | NET_RUN_FROM_SWAP)
    field = header + 24 + 64  # CheckSum, at the same place in PE32 and PE32+
    if struct.unpack_from("<I", data, field)[0] != 0:
        struct.pack_into("<I", data, field, pe_checksum(bytes(data), field))
    Path(path).write_bytes(data)


if __name__ == "__main__":
    main(sys.argv[1])
