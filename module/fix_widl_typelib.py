#!/usr/bin/env python3
"""Repairs a widl 7 type library whose first entry is a dispinterface.

widl records the import of IDispatch from stdole2.tlb twice when a
dispinterface is written before any dual interface: the second record gets
no GUID (offset -1), and widl then stores its reference number one byte in
front of that missing entry, i.e. into the last byte of the library's own
identifier (GUID entry 0). Dual interfaces refer to the second record, so
their IDispatch base cannot be resolved.

This script points the broken record at the IDispatch GUID entry and
restores the library identifier. It changes nothing in a type library
without that fault and refuses anything it does not recognise.

usage: fix_widl_typelib.py TLB LIBID
"""
import struct
import sys
import uuid

IID_IDISPATCH = uuid.UUID("00020400-0000-0000-C000-000000000046").bytes_le
OFFSET_IS_GUID = 0x00010000
SEGMENTS = 15


def fail(message):
    sys.exit("fix_widl_typelib: " + message)


def main(path, libid_text):
    data = bytearray(open(path, "rb").read())
    libid = uuid.UUID(libid_text).bytes_le
    header = struct.unpack_from("<21i", data, 0)
    if data[:4] != b"MSFT":
        fail("not an MSFT type library")
    varflags, count, dispatchpos = header[5], header[8], header[19]
    offset = 0x54 + (4 if varflags & 0x100 else 0) + 4 * count
    segments = [struct.unpack_from("<4i", data, offset + 16 * i) for i in range(SEGMENTS)]
    impinfo_start, impinfo_length = segments[1][0], segments[1][1]
    guid_start, guid_length = segments[5][0], segments[5][1]
    if header[2] != 0:
        fail("library identifier is not GUID entry 0")

    dispatch_entry = None
    for entry in range(0, guid_length, 24):
        if bytes(data[guid_start + entry:guid_start + entry + 16]) == IID_IDISPATCH:
            dispatch_entry = entry

    changed = False
    for record in range(0, impinfo_length, 12):
        flags, _, guid = struct.unpack_from("<3i", data, impinfo_start + record)
        if flags & OFFSET_IS_GUID and guid == -1:
            if dispatchpos != record + 1 or dispatch_entry is None:
                fail("an import record without GUID that is not IDispatch")
            struct.pack_into("<i", data, impinfo_start + record + 8, dispatch_entry)
            changed = True

    stored = bytes(data[guid_start:guid_start + 16])
    if stored != libid:
        if not changed or stored[:15] != libid[:15]:
            fail("library identifier differs from " + libid_text)
        data[guid_start + 15] = libid[15]

    if changed:
        open(path, "wb").write(data)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        fail("usage: fix_widl_typelib.py TLB LIBID")
    main(sys.argv[1], sys.argv[2])
