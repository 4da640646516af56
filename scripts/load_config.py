#!/usr/bin/env python3
"""Enters _load_config_used in a PE32+ executable's load-configuration directory and writes its
checksum anew. GNU ld 2.40 keeps the structure (with -u) but leaves the directory empty, so the
loader would never read it. Usage: load_config.py PROGRAM.exe LINKER.map"""
import re, struct, sys

exe, map_file = sys.argv[1:]
image = bytearray(open(exe, "rb").read())
header = struct.unpack_from("<I", image, 0x3C)[0]
sections, optional_size = struct.unpack_from("<HxxxxxxxxxxxxH", image, header + 6)
optional = header + 24
if struct.unpack_from("<H", image, optional)[0] != 0x20B:
    sys.exit(f"load_config.py: {exe} is not PE32+")
image_base = struct.unpack_from("<Q", image, optional + 24)[0]
found = re.search(r"^\s+0x([0-9a-f]+)\s+_load_config_used$", open(map_file).read(), re.M)
if not found:
    sys.exit(f"load_config.py: no _load_config_used in {map_file}")
rva = int(found.group(1), 16) - image_base

# The structure's own first field is its size: read it from the section that holds it.
for at in range(optional + optional_size, optional + optional_size + 40 * sections, 40):
    virtual_size, address, _, raw = struct.unpack_from("<IIII", image, at + 8)
    if address <= rva < address + virtual_size:
        size = struct.unpack_from("<I", image, raw + rva - address)[0]
        break
else:
    sys.exit(f"load_config.py: no section holds RVA {rva:#x}")
struct.pack_into("<II", image, optional + 112 + 10 * 8, rva, size)

# The checksum: 16-bit words added with their carries folded back, the field itself as zero,
# then the file's length.
struct.pack_into("<I", image, optional + 64, 0)
total = sum(struct.unpack_from(f"<{len(image) // 2}H", image))
while total >> 16:
    total = (total & 0xFFFF) + (total >> 16)
struct.pack_into("<I", image, optional + 64, total + len(image))
open(exe, "wb").write(image)
