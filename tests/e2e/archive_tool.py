"""An independent reader and rewriter of installer archives for the tests.

It parses a built installer (PE headers, the `.kova` section, the archive
header, the scrambled and compressed install script, the file data stream and
its file records), lets a test change the script's items, the header fields
or the file records, and writes the installer back with every checksum made
right again, so that exactly one chosen field is damaged. It is
written from the format alone, apart from the engine's C++ code, so that a
test built on it also checks that the two agree.
"""
import struct
from dataclasses import dataclass, field

MAGIC = 0xA4F23DE5
BLOCK_MAGIC = 0x9EC72BA1
END_MARKER = 0xD3E82B97
SEED = 0x79E2BC9D


def checksum32(data):
    total = SEED
    if not data:
        return total
    words = len(data) // 4
    total += sum(struct.unpack_from(f"<{words}I", data)) if words else 0
    for b in data[words * 4:]:
        total += b - 256 if b >= 128 else b
    total += len(data)
    return total & 0xFFFFFFFF


def scramble(data, key):
    pattern = struct.pack("<I", key)
    return bytes(b ^ pattern[i & 3] for i, b in enumerate(data))


class BitReader:
    def __init__(self, data):
        self.data, self.pos, self.end = data, 64, 8 * len(data)

    def bit(self):
        if self.pos >= self.end:
            return 0
        b = (self.data[self.pos >> 3] >> (self.pos & 7)) & 1
        self.pos += 1
        return b

    def bits(self, k):
        if k < 1 or self.end - self.pos < k:
            raise ValueError("read past the end")
        v = 0
        for i in range(k):
            v |= self.bit() << i
        return v

    def number(self, base, step):
        if self.end - self.pos < 2:
            raise ValueError("read past the end")
        width = base
        while self.bit():
            width += step
        return self.bits(min(width, 32))


def decompress(block):
    magic, size = struct.unpack_from("<Ii", block)
    if magic != BLOCK_MAGIC:
        raise ValueError("block magic")
    r, out = BitReader(block), bytearray()
    while len(out) < size:
        if r.bit() == 0:
            n = r.number(2, 2) + 1
            out += bytes(r.bits(8) for _ in range(n))
        elif r.bit() == 1:
            byte = r.bits(8)
            out += bytes([byte]) * (r.number(1, 1) + 3)
        else:
            length, distance = r.number(2, 1) + 4, r.number(12, 2) + 4
            if distance < length or distance > len(out):
                raise ValueError("bad back copy")
            out += out[len(out) - distance:len(out) - distance + length]
    if len(out) != size:
        raise ValueError("size")
    return bytes(out)


class BitWriter:
    def __init__(self):
        self.bits = []

    def put(self, value, k):
        self.bits.extend((value >> i) & 1 for i in range(k))

    def number(self, value, base, step):
        width, ones = base, 0
        while value >= (1 << min(width, 32)):
            width += step
            ones += 1
        self.put((1 << ones) - 1, ones)
        self.put(0, 1)
        self.put(value, min(width, 32))

    def bytes(self):
        out = bytearray((len(self.bits) + 7) // 8)
        for i, b in enumerate(self.bits):
            out[i >> 3] |= b << (i & 7)
        return bytes(out)


def compress_literal(data):
    """A valid block of literal runs only."""
    w = BitWriter()
    for start in range(0, len(data), 4096):
        chunk = data[start:start + 4096]
        w.put(0, 1)
        w.number(len(chunk) - 1, 2, 2)
        for b in chunk:
            w.put(b, 8)
    return struct.pack("<Ii", BLOCK_MAGIC, len(data)) + w.bytes()


@dataclass
class Script:
    """The install script's items as a list of (name, kind, value) in order,
    so that tests can change any one and write the script back."""
    items: list = field(default_factory=list)

    def get(self, name):
        return next(v for n, _, v in self.items if n == name)

    def set(self, name, value):
        self.items = [(n, k, value if n == name else v) for n, k, v in self.items]

    def encode(self):
        out = bytearray()
        for _, kind, value in self.items:
            if kind == "u32":
                out += struct.pack("<I", value & 0xFFFFFFFF)
            elif kind == "i32":
                out += struct.pack("<i", value)
            elif kind == "u8":
                out += bytes([value & 0xFF])
            elif kind == "text":
                out += value + b"\0"
            elif kind == "raw":
                out += value
            elif kind == "texts":
                out += b"".join(t + b"\0" for t in value)
        return bytes(out)


def parse_script(data):
    pos = 0
    items = []

    def u32(name, kind="u32"):
        nonlocal pos
        v = struct.unpack_from("<i" if kind == "i32" else "<I", data, pos)[0]
        pos += 4
        items.append((name, kind, v))
        return v

    def text(name):
        nonlocal pos
        end = data.index(b"\0", pos)
        items.append((name, "text", data[pos:end]))
        pos = end + 1

    def texts(name, count):
        nonlocal pos
        values = []
        for _ in range(count):
            end = data.index(b"\0", pos)
            values.append(data[pos:end])
            pos = end + 1
        items.append((name, "texts", values))

    def raw(name, n):
        nonlocal pos
        items.append((name, "raw", data[pos:pos + n]))
        pos += n

    flags = u32("flags")
    raw("stamp", 24)
    for name in ("publisher", "product", "shared_dir", "start_menu", "default_dir", "version", "registry"):
        text(name)
    texts("licence_pages", u32("licence_count", "i32"))
    texts("readme_pages", u32("readme_count", "i32"))
    for name in ("uninstall_subdir", "display_name", "volume_base", "uninstaller_name"):
        text(name)
    u32("title_color"), u32("top_color"), u32("bottom_color")
    bitmap = u32("bitmap_size", "i32")
    raw("bitmap", max(bitmap, 0))
    if flags & 0x10000:
        text("master")
    for name in ("pre_batch", "post_batch1", "post_batch2", "uninstall_batch1", "uninstall_batch2"):
        text(name)
    u32("reserved"), u32("excluded_systems"), u32("first_sequence")
    icon = u32("icon_offset", "i32")
    raw("icon_patch", 2216 if icon > 0 else 0)
    count = u32("association_count", "i32")
    for i in range(max(count, 0)):
        u32(f"association{i}_flags")
        texts(f"association{i}_texts", 7)
    languages = data[pos]
    items.append(("language_count", "u8", languages))
    pos += 1
    messages = u32("message_count", "i32")
    texts("language_names", languages)
    texts("messages", languages * messages)
    u32("end_marker")
    return Script(items)


@dataclass
class FileRecord:
    """One file record of the (decompressed) file data stream. The data's
    length is not stored in the record but in the archive's size table."""
    name: bytes
    type: int
    flags: int
    data: bytes
    checksum: int
    stamp: tuple       # year, month, day, hour, minute, second
    text1: bytes = b""
    text2: bytes = b""  # stored only with flag bit 0x1 or 0x2
    text3: bytes = b""

    def encode(self):
        out = self.name + b"\0" + struct.pack("<II", self.type, self.flags) + self.data
        out += struct.pack("<I6i", self.checksum, *self.stamp) + self.text1 + b"\0"
        if self.flags & 3:
            out += self.text2 + b"\0"
        return out + self.text3 + b"\0"


def parse_records(stream, sizes):
    records, pos = [], 0

    def text():
        nonlocal pos
        end = stream.index(b"\0", pos)
        value, pos = stream[pos:end], end + 1
        return value

    for size in sizes:
        name = text()
        kind, flags = struct.unpack_from("<II", stream, pos)
        data = stream[pos + 8:pos + 8 + size]
        pos += 8 + size
        checksum, *stamp = struct.unpack_from("<I6i", stream, pos)
        pos += 28
        text1 = text()
        text2 = text() if flags & 3 else b""
        records.append(FileRecord(name, kind, flags, data, checksum, tuple(stamp), text1, text2, text()))
    if pos != len(stream):
        raise ValueError(f"{len(stream) - pos} bytes after the last record")
    return records


def encode_stream(records, compressed):
    """The stream as stored, and its size table."""
    stream = b"".join(r.encode() for r in records)
    return (compress_literal(stream) if compressed and stream else stream), [len(r.data) for r in records]


HEADER_FIELDS = ("magic", "version", "script_size", "script_key", "stub_checksum", "archive_end",
                 "file_count", "file_data_size", "file_data_checksum")


class Installer:
    """A built installer, taken apart."""

    def __init__(self, data):
        self.data = bytearray(data)
        self.pe = struct.unpack_from("<H", data, 60)[0]
        count = struct.unpack_from("<H", data, self.pe + 6)[0]
        optional = struct.unpack_from("<H", data, self.pe + 20)[0]
        self.table = self.pe + 24 + optional
        self.index = next(i for i in range(count)
                          if data[self.table + 40 * i:self.table + 40 * i + 8].rstrip(b"\0") == b".kova")
        slot = self.table + 40 * self.index
        self.virtual_size, self.va, self.raw_size, self.raw_ptr = struct.unpack_from("<IIII", data, slot + 8)
        section = bytes(data[self.raw_ptr:self.raw_ptr + self.raw_size])
        self.header = dict(zip(HEADER_FIELDS, struct.unpack_from("<IiiIIiiiI", section)))
        n = self.header["file_count"]
        self.sizes = list(struct.unpack_from(f"<{n}i", section, 36))
        start = 36 + 4 * n
        block = section[start:start + self.header["script_size"]]
        self.script_bytes = decompress(scramble(block, self.header["script_key"]))
        data_start = start + self.header["script_size"]
        self.file_data = section[data_start:self.header["archive_end"]]
        self.alignment = max(struct.unpack_from("<II", data, self.pe + 24 + 32))

    def script(self):
        return parse_script(self.script_bytes)

    def compressed(self):
        """Whether the file data stream is compressed (option bit 0x20)."""
        return bool(struct.unpack_from("<I", self.script_bytes)[0] & 0x20)

    def records(self):
        """The file records; the installer must hold the whole stream."""
        if len(self.file_data) != self.header["file_data_size"]:
            raise ValueError("the file data continues in volume files")
        stream = decompress(self.file_data) if self.compressed() and self.file_data else self.file_data
        return parse_records(stream, self.sizes)

    def write(self, path, script_bytes=None, header=None, section_name=None, raw_script_block=None,
              file_data=None, sizes=None):
        """Writes the installer with a new script, file data stream (as
        stored: compressed when the installer's stream is) or size table and
        header changes; every checksum not named in header is recomputed."""
        script_bytes = self.script_bytes if script_bytes is None else script_bytes
        sizes = self.sizes if sizes is None else sizes
        fields = dict(self.header)
        if file_data is not None:
            fields.update(file_data_size=len(file_data), file_data_checksum=checksum32(file_data))
        file_data = self.file_data if file_data is None else file_data
        key = checksum32(script_bytes)
        block = raw_script_block if raw_script_block is not None else scramble(compress_literal(script_bytes), key)
        fields.update(script_size=len(block), script_key=key, file_count=len(sizes))
        fields["archive_end"] = 36 + 4 * len(sizes) + len(block) + len(file_data)
        fields.update(header or {})
        body = struct.pack("<IiiIIiiiI", *(fields[f] for f in HEADER_FIELDS))
        body += struct.pack(f"<{len(sizes)}i", *sizes) + block + file_data
        size = -(-len(body) // self.alignment) * self.alignment
        body += b"\0" * (size - len(body))
        out = bytearray(self.data[:self.raw_ptr]) + body + self.data[self.raw_ptr + self.raw_size:]
        slot = self.table + 40 * self.index
        struct.pack_into("<II", out, slot + 8, size, self.va)
        struct.pack_into("<I", out, slot + 16, size)
        delta = size - self.raw_size
        for offset in (self.pe + 24 + 8, self.pe + 24 + 56):  # SizeOfInitializedData, SizeOfImage
            struct.pack_into("<I", out, offset, struct.unpack_from("<I", out, offset)[0] + delta)
        if section_name is not None:
            out[slot:slot + 8] = section_name.ljust(8, b"\0")
        if "stub_checksum" not in (header or {}):
            struct.pack_into("<I", out, self.raw_ptr + 16, checksum32(bytes(out[:self.raw_ptr])))
        with open(path, "wb") as f:
            f.write(out)
