"""A small PE32 DLL whose only content is a version resource with a given
FileVersion text (string table 040904E4), for existing system files whose
version the installer compares: Wine's version.dll and the sandbox's own
reader both read it."""
import struct


def _node(key, value=None, data=None, children=()):
    """One VS_VERSIONINFO node: key, a UTF-16 text value or bytes, children,
    each part aligned to 4 bytes."""
    def pad(b):
        return b + b"\0" * (-len(b) % 4)

    is_text = data is None
    body = pad(b"\0" * 6 + (key + "\0").encode("utf-16-le"))
    if is_text:
        value_bytes = (value + "\0").encode("utf-16-le") if value else b""
        value_length = len(value) + 1 if value else 0
    else:
        value_bytes, value_length = data, len(data)
    body += value_bytes
    for child in children:
        body = pad(body) + child
    return struct.pack("<HHH", len(body), value_length, 1 if is_text else 0) + body[6:]


def version_block(file_version):
    fixed = struct.pack("<13I", 0xFEEF04BD, 0x10000, 0x10002, 0x30004, 0x10002, 0x30004, 0x3F, 0, 0x40004, 2, 0, 0, 0)
    table = _node("040904E4", children=[
        _node("CompanyName", "Kova Test"),
        _node("FileVersion", file_version),
        _node("ProductName", "Fixture"),
    ])
    strings = _node("StringFileInfo", children=[table])
    variables = _node("VarFileInfo", children=[_node("Translation", data=bytes([0x09, 0x04, 0xE4, 0x04]))])
    return _node("VS_VERSION_INFO", data=fixed, children=[strings, variables])


def dll_with_version(file_version):
    block = version_block(file_version)
    file_alignment, section_alignment, rsrc_rva = 0x200, 0x1000, 0x1000

    def directory(ident, target):
        return struct.pack("<IIHHHHII", 0, 0, 0, 0, 0, 1, ident, target)

    rsrc = directory(16, 0x80000000 | 24) + directory(1, 0x80000000 | 48) + directory(0x409, 72)
    rsrc += struct.pack("<IIII", rsrc_rva + 88, len(block), 0, 0) + block
    raw_size = -(-len(rsrc) // file_alignment) * file_alignment
    image_size = rsrc_rva + -(-len(rsrc) // section_alignment) * section_alignment

    pe = b"MZ" + b"\0" * 0x3A + struct.pack("<I", 0x40)
    pe += b"PE\0\0" + struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, 0xE0, 0x2102)
    pe += struct.pack("<HBBIIIIII", 0x10B, 6, 0, 0, raw_size, 0, 0, rsrc_rva, rsrc_rva)
    pe += struct.pack("<III", 0x10000000, section_alignment, file_alignment)
    pe += struct.pack("<HHHHHHI", 4, 0, 0, 0, 4, 0, 0)
    pe += struct.pack("<IIIHH", image_size, file_alignment, 0, 2, 0)
    pe += struct.pack("<IIIIII", 0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    for i in range(16):
        pe += struct.pack("<II", rsrc_rva, len(rsrc)) if i == 2 else b"\0" * 8
    pe += b".rsrc\0\0\0" + struct.pack("<IIIIIIHHI", len(rsrc), rsrc_rva, raw_size, file_alignment, 0, 0, 0, 0,
                                       0x40000040)
    pe += b"\0" * (file_alignment - len(pe))
    pe += rsrc + b"\0" * (raw_size - len(rsrc))
    return pe
