#!/usr/bin/env python3
"""Writes the LZMA reference payloads in this folder and their manifest.

The entries are written by independent ZIP writers: Python's zipfile
(ZIP_LZMA) and 7-Zip's `7zz` (LZMA, storing what it cannot shrink); both
write the end marker and set flag bit 1. Their record signatures are then turned
into the payload format's (0x66 in place of "P"), and a few copies are
damaged field by field. The results are committed; run this only to make
them again:  python3 tests/data/lzma/make_payloads.py
"""
import hashlib
import json
import os
import random
import shutil
import struct
import subprocess
import tempfile
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DATE_TIME = (2024, 5, 17, 10, 20, 30)


def contents():
    rng = random.Random(23)
    words = [b"setup", b"payload", b"entry", b"Datei", b"Ordner", b"lzma", b"window"]
    text = b" ".join(rng.choice(words) for _ in range(60000))
    return [
        ("text.txt", text),
        ("random.bin", bytes(rng.getrandbits(8) for _ in range(40000))),
        ("empty.txt", b""),
        ("one.txt", b"x"),
        ("dir/zeros.bin", bytes(300000)),
    ]


def to_payload(data):
    """Turns the three record signatures into the payload format's."""
    data = bytearray(data)
    end = data.rfind(b"PK\x05\x06")
    count, _, cd_offset = struct.unpack_from("<HII", data, end + 10)
    data[end] = 0x66
    pos = cd_offset
    for _ in range(count):
        assert data[pos:pos + 4] == b"PK\x01\x02"
        name_len, extra_len, comment_len = struct.unpack_from("<HHH", data, pos + 28)
        local = struct.unpack_from("<I", data, pos + 42)[0]
        assert data[local:local + 4] == b"PK\x03\x04"
        data[local] = 0x66
        data[pos] = 0x66
        pos += 46 + name_len + extra_len + comment_len
    return bytes(data)


def python_zip(entries):
    path = tempfile.mktemp(suffix=".zip")
    with zipfile.ZipFile(path, "w") as archive:
        for name, data in entries:
            info = zipfile.ZipInfo(name, DATE_TIME)
            info.compress_type = zipfile.ZIP_LZMA
            archive.writestr(info, data)
    with open(path, "rb") as f:
        data = f.read()
    os.remove(path)
    return data


def sevenzip_zip(entries):
    work = tempfile.mkdtemp()
    try:
        for name, data in entries:
            path = os.path.join(work, "in", name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        names = [name for name, _ in entries]
        subprocess.run(["7zz", "a", "-tzip", "-mm=LZMA", "-mx=5", "-mtc=off", "-bd",
                        os.path.join(work, "out.zip")] + names,
                       cwd=os.path.join(work, "in"), check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(work, "out.zip"), "rb") as f:
            return f.read()
    finally:
        shutil.rmtree(work)


def describe(zip_bytes, overrides=None):
    """The manifest's description of an archive, read back with zipfile."""
    path = tempfile.mktemp(suffix=".zip")
    with open(path, "wb") as f:
        f.write(zip_bytes)
    entries = []
    with zipfile.ZipFile(path) as archive:
        for info in archive.infolist():
            data = archive.read(info)
            date = (info.date_time[0] - 1980) << 9 | info.date_time[1] << 5 | info.date_time[2]
            time = info.date_time[3] << 11 | info.date_time[4] << 5 | info.date_time[5] // 2
            entries.append({
                "name": info.filename, "method": info.compress_type, "flags": info.flag_bits,
                "dos_date_time": date << 16 | time, "crc32": "%08X" % info.CRC,
                "compressed_size": info.compress_size, "size": info.file_size,
                "sha256": hashlib.sha256(data).hexdigest(), "read": "ok"})
    os.remove(path)
    for index, changes in (overrides or {}).items():
        entries[index].update(changes)
    return {"opens": True, "prefix_bytes": 0, "bytes_before_archive": 0,
            "absolute_offsets": False, "entry_count": len(entries), "comment_length": 0,
            "entries": entries}


def data_offset(payload, index):
    """Offset of entry index's data (after the local header) in a payload."""
    end = payload.rfind(b"f" + b"K\x05\x06")
    pos = struct.unpack_from("<I", payload, end + 16)[0]
    for _ in range(index):
        pos += 46 + sum(struct.unpack_from("<HHH", payload, pos + 28))
    local = struct.unpack_from("<I", payload, pos + 42)[0]
    name_len, extra_len = struct.unpack_from("<HH", payload, local + 26)
    return local + 30 + name_len + extra_len


def main():
    entries = contents()
    manifest = {}
    written = {}

    marker = python_zip(entries)
    written["marker.payload"] = to_payload(marker)
    manifest["marker.payload"] = describe(marker)
    manifest["marker.payload"]["note"] = "zipfile's LZMA entries, end marker present"

    if shutil.which("7zz"):
        plain = sevenzip_zip(entries)
        written["sevenzip.payload"] = to_payload(plain)
        manifest["sevenzip.payload"] = describe(plain)
        manifest["sevenzip.payload"]["note"] = "7-Zip's LZMA and stored entries"

    # Damaged copies of the marker payload; entry 0 is the text.
    base = written["marker.payload"]
    start = data_offset(base, 0)
    text_size = manifest["marker.payload"]["entries"][0]["compressed_size"]

    def damaged(name, note, change, reads):
        data = bytearray(base)
        change(data)
        written[name] = bytes(data)
        description = json.loads(json.dumps(manifest["marker.payload"]))
        description["entries"][0]["read"] = reads
        description["note"] = note
        manifest[name] = description

    def set_byte(offset, value):
        return lambda data: data.__setitem__(offset, value)

    damaged("lzma-bad-properties.payload", "lc/lp/pb byte beyond 224",
            set_byte(start + 4, 225), "data_error")
    damaged("lzma-props-size.payload", "properties size 4 in the LZMA header",
            set_byte(start + 2, 4), "data_error")
    damaged("lzma-huge-dictionary.payload", "a 1 GiB dictionary",
            lambda d: d.__setitem__(slice(start + 5, start + 9), struct.pack("<I", 1 << 30)),
            "data_error")
    damaged("lzma-garbled.payload", "the middle of the stream overwritten",
            lambda d: d.__setitem__(slice(start + text_size // 2, start + text_size // 2 + 64),
                                    bytes(range(64))), "data_error")
    damaged("lzma-first-byte.payload", "the range coder's first byte not 0",
            set_byte(start + 9, 0x80), "data_error")

    for name, data in written.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
    with open(os.path.join(HERE, "manifest.json"), "w") as f:
        json.dump(manifest, f, indent=1, sort_keys=True)
        f.write("\n")


if __name__ == "__main__":
    main()
