#!/usr/bin/env python3
"""Writes a reproducible zip archive: entries sorted by name, each with the
same timestamp and permissions, so that the same files always give the same
bytes.

usage: make-zip.py OUT.zip TOP_FOLDER NAME=PATH...
  every file PATH is stored as TOP_FOLDER/NAME.
The timestamp is SOURCE_DATE_EPOCH when set (dist.sh sets the commit
time), otherwise 1980-01-01.
"""
import os
import sys
import time
import zipfile


def main(out, top, pairs):
    entries = []
    for pair in pairs:
        name, sep, path = pair.partition("=")
        if not sep or not name or not os.path.isfile(path):
            sys.exit("make-zip: not NAME=FILE: %s" % pair)
        entries.append((top + "/" + name, path))
    entries.sort()
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "315532800"))
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    temporary = out + ".part"
    with zipfile.ZipFile(temporary, "w") as archive:
        for name, path in entries:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3
            info.external_attr = 0o100644 << 16
            with open(path, "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)
    os.replace(temporary, out)


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
