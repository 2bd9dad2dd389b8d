#!/usr/bin/env python3
"""Packs a folder into the release zip: release-zip.py FOLDER ZIP

Entry names are stored in GBK without the UTF-8 flag: Windows Explorer (and 7-Zip, WinRAR)
read unflagged names in the system's OEM code page, which is 936 on a Chinese Windows, on
every version from 7 on, while Explorer before Windows 10 ignores the UTF-8 flag and shows
such names garbled. Each non-ASCII name also carries the Info-ZIP Unicode Path field (0x7075)
with its UTF-8 spelling, for tools on other systems that read it (Info-ZIP unzip, 7-Zip)."""
import os
import struct
import sys
import zipfile
import zlib


class GbkZipInfo(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):
        return self.filename.encode("gbk"), self.flag_bits & ~0x800


def unicode_path_field(name):
    gbk = name.encode("gbk")
    utf8 = name.encode("utf-8")
    if gbk == utf8:
        return b""
    data = struct.pack("<BI", 1, zlib.crc32(gbk)) + utf8
    return struct.pack("<HH", 0x7075, len(data)) + data


def add(archive, path, name):
    info = GbkZipInfo.from_file(path, name)
    info.create_system = 0  # MS-DOS attributes, as Windows writes them
    info.external_attr = 0x10 if info.is_dir() else 0x20
    info.extra = unicode_path_field(info.filename)
    if info.is_dir():
        archive.writestr(info, b"")
    else:
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(path, "rb") as source:
            archive.writestr(info, source.read(), compresslevel=9)


def main():
    folder, target = sys.argv[1], sys.argv[2]
    base = os.path.dirname(os.path.abspath(folder))
    with zipfile.ZipFile(target, "w") as archive:
        for root, dirs, files in os.walk(folder):
            dirs.sort()
            rel = os.path.relpath(root, base).replace(os.sep, "/")
            add(archive, root, rel + "/")
            for name in sorted(files):
                add(archive, os.path.join(root, name), rel + "/" + name)


if __name__ == "__main__":
    main()
