#!/usr/bin/env python3
"""Writes the small seed corpora of the fuzz targets (fuzz/corpus/<target>/).

The archives are laid out here by hand with struct, independently of the C++ writer:
a few valid ones and a few damaged ones. Run from anywhere; it rewrites the seed files.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def archive(entries, extra_stoc=(), toc_size=None, stoc_size=None, count=None,
            stoc_count=None, tags=(b"MPAK", b"TOC\0", b"STOC", b"RAWD")):
    """entries: (path bytes, stored bytes, unpacked, flag, copies, in_stoc)."""
    toc = b""
    data = b""
    offset = 4
    for path, stored, unpacked, flag, copies, _ in entries:
        offsets = []
        for _ in range(copies):
            offsets.append(offset)
            offset += len(stored)
            data += stored
        toc += struct.pack("<HIIBB", len(path) + 11, len(stored), unpacked, flag, len(path))
        toc += path + b"\0" + struct.pack("<H", copies)
        toc += b"".join(struct.pack("<I", o) for o in offsets)
    stoc_records = [(i, e[0]) for i, e in enumerate(entries) if e[5]] + list(extra_stoc)
    stoc = b"".join(struct.pack("<HHB", len(p) + 4, i, len(p)) + p + b"\0"
                    for i, p in stoc_records)
    header = tags[0] + struct.pack(
        "<IIHH",
        len(toc) + 4 if toc_size is None else toc_size,
        len(stoc) + 4 if stoc_size is None else stoc_size,
        len(entries) if count is None else count,
        len(stoc_records) if stoc_count is None else stoc_count)
    return header + tags[1] + toc + tags[2] + stoc + tags[3] + data


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


ONE = [(b"a/b.txt", b"0123456789", 10, 0, 1, False)]
MIXED = [
    (b"data/maps/m01.bin", b"\x4b\x4c\x4a\x06\x00", 3, 1, 1, True),
    (b"sound/bank1.fsb", b"FSB!", 4, 0, 2, True),
    (b"empty.dat", b"", 0, 0, 0, False),
    (b"caf\xe9/\x8a.txt", b"x", 1, 0, 1, False),
]

write("archive_reader", "empty.mpak", archive([]))
write("archive_reader", "one_entry.mpak", archive(ONE))
write("archive_reader", "mixed.mpak", archive(MIXED))
write("archive_reader", "stoc_index_beyond.mpak", archive(ONE, extra_stoc=[(9, b"ghost")]))
write("archive_reader", "odd_tags.mpak", archive(ONE, tags=(b"KAPM", b"toc!", b"stoc", b"????")))
write("archive_reader", "count_too_large.mpak", archive(ONE, count=40))
write("archive_reader", "absurd_block_size.mpak", archive(ONE, toc_size=0xFFFFFFFF))
write("archive_reader", "truncated.mpak", archive(MIXED)[:45])
write("archive_reader", "data_past_end.mpak", archive(MIXED)[:-3])
write("archive_reader", "short_header.mpak", b"MPAK\x04\0\0")

COMMENTS = (
    b"--Comment lines start with double (--) dashes\r\n"
    b"--Field 1: 00=file is not compressed, 01=file is compressed.\r\n"
    b"--Field 4: File path.\r\n"
)
write("library_toc", "written.toc",
      COMMENTS + b"\r\n01 1 0 data\\maps\\m01.bin\r\n00 2 1 sound\\bank1.fsb")
write("library_toc", "edited.toc",
      b"   --note\n01 2 1 Data\\File.BIN\n00 3 1 a\\b.dat\r\n01  1 x y\r\n00 1 0 my dir\\a b.txt")
write("library_toc", "invalid_fields.toc",
      b"01 99999 0 a\r\n01 1 256 b\r\n01 x y c\r\n\t01 1 1 d\r\n01 -1 01 \xc9t\xe9")
write("library_toc", "empty.toc", b"")


def bank(samples, flags=0, version=0x30001, basic=False):
    """samples: (name bytes, data bytes, frames, mode, channels); FSB3 with full headers
    (80 bytes for 3.1, 64 for 3.0) or, with basic, 8-byte headers after the first."""
    full = 80 if version == 0x30001 else 64
    headers = b""
    data = b""
    for i, (name, body, frames, mode, channels) in enumerate(samples):
        if basic and i > 0:
            headers += struct.pack("<II", frames, len(body))
        else:
            headers += struct.pack("<H30sIIIIIiHhHH", full, name, frames, len(body), 0,
                                   max(frames, 1) - 1, mode, 22050, 255, 128, 128, channels)
            headers += b"\0" * (full - 64)
        data += body
    return struct.pack("<4siIIII", b"FSB3", len(samples), len(headers), len(data), version,
                       flags | (2 if basic else 0)) + headers + data


MP3 = b"\xff\xfb\x90\x00" + bytes(413)
write("sound_bank", "pcm.fsb", bank([(b"stereo", bytes(range(64)), 16, 0x50, 2),
                                     (b"mono8", bytes(range(9)), 9, 0x28, 1)]))
write("sound_bank", "ima_stereo.fsb", bank([(b"ima", bytes(range(72)) * 2, 128, 0x400040, 2)]))
write("sound_bank", "mpeg_padded.fsb", bank([(b"song", (MP3 + b"\0\0") * 3, 3456, 0x200, 2)],
                                            flags=0x20))
write("sound_bank", "basic_headers.fsb",
      bank([(b"first", b"abcd", 2, 0x10, 1), (b"", b"efgh", 2, 0, 1)], basic=True,
           version=0x30000))
write("sound_bank", "raw_and_planar.fsb",
      bank([(b"..\\..\\x", b"vag!" * 4, 28, 0x800000, 1), (b"planar", bytes(32), 8, 0x10, 2)],
           flags=0x18))
write("sound_bank", "truncated.fsb", bank([(b"t", bytes(40), 20, 0x10, 1)])[:90])
