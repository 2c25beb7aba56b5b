"""The registry keys RegisterTypeLib writes for an MSFT type library, read
from the library file itself (the one the build embeds as TYPELIB 1).

The installer writes them as Registry table rows where the TypeLib table
cannot be used (the 32-bit library of the x64 package). What it writes:

  TypeLib\\{LIBID}\\MAJ.MIN           (default) the help string, else the name
  TypeLib\\{LIBID}\\MAJ.MIN\\LCID\\win32 (default) the library's path
  TypeLib\\{LIBID}\\MAJ.MIN\\FLAGS     (default) the library flags, decimal, with
                                   LIBFLAG_FHASDISKIMAGE (loaded from a file)
  Interface\\{IID}                    (default) the interface's name
  Interface\\{IID}\\ProxyStubClsid     (default) the marshaler: PSDispatch for a
                                   dispinterface, PSOAInterface for a dual
                                   or oleautomation interface
  Interface\\{IID}\\ProxyStubClsid32   (default) the same
  Interface\\{IID}\\TypeLib            (default) {LIBID}, Version MAJ.MIN
for every dispatch interface (dual ones included) and every interface
marked oleautomation: the ones the automation marshaler can serve.
Versions and the locale are written in hexadecimal, as RegisterTypeLib
does. HELPDIR is not among them: TypeLib is one key for both registry
views (Windows and Wine share it), and RegisterTypeLib writes HELPDIR only
when it creates the version key, so the key's HELPDIR is the one of the
library registered there first (the 64-bit one, by the TypeLib table).
"""
import struct
import uuid

SEGMENTS = 15
TKIND_INTERFACE, TKIND_DISPATCH = 3, 4
TYPEFLAG_FDUAL, TYPEFLAG_FOLEAUTOMATION = 0x40, 0x100
LIBFLAG_FHASDISKIMAGE = 0x8
# The marshalers of oleaut32: PSDispatch (IDispatch calls only) and
# PSOAInterface (the interface's own methods, from its type information).
PS_DISPATCH = "{00020420-0000-0000-C000-000000000046}"
PS_OA_INTERFACE = "{00020424-0000-0000-C000-000000000046}"


class TypeLibError(Exception):
    pass


class TypeLib:
    """The library attributes and the marshaled interfaces of an MSFT file."""

    def __init__(self, data):
        if len(data) < 0x54 or data[:4] != b"MSFT":
            raise TypeLibError("not an MSFT type library")
        self.data = data
        try:
            self.parse()
        except (struct.error, ValueError) as e:  # a record cut off, a bad count
            raise TypeLibError("damaged type library (%s)" % e) from None

    def parse(self):
        data = self.data
        header = struct.unpack_from("<21i", data, 0)
        varflags, count = header[5], header[8]
        offsets_at = 0x54 + (4 if varflags & 0x100 else 0)
        segments_at = offsets_at + 4 * count
        self.segments = [struct.unpack_from("<4i", data, segments_at + 16 * i)[:2]
                         for i in range(SEGMENTS)]
        for start, length in self.segments:
            if length > 0 and (start < 0 or start + length > len(data)):
                raise TypeLibError("a table outside the file")
        self.libid = self.guid(header[2])
        self.lcid = header[3]
        self.version = (header[6] & 0xFFFF, (header[6] >> 16) & 0xFFFF)
        self.flags = header[7] & 0xFFFF
        self.name = self.name_at(header[14])
        self.helpstring = self.string_at(header[9])
        self.interfaces = []  # (IID, name, marshaler) in library order
        typeinfos, _ = self.segments[0]
        for i in range(count):
            at = typeinfos + struct.unpack_from("<i", data, offsets_at + 4 * i)[0]
            fields = self.ints(at, 14)
            kind, flags = fields[0] & 0xF, fields[12]
            if kind == TKIND_DISPATCH or (kind == TKIND_INTERFACE and
                                          flags & TYPEFLAG_FOLEAUTOMATION):
                dispatch_only = kind == TKIND_DISPATCH and not flags & TYPEFLAG_FDUAL
                self.interfaces.append((self.guid(fields[11]), self.name_at(fields[13]),
                                        PS_DISPATCH if dispatch_only else PS_OA_INTERFACE))

    def ints(self, at, n):
        if at < 0 or at + 4 * n > len(self.data):
            raise TypeLibError("a record outside the file")
        return struct.unpack_from("<%di" % n, self.data, at)

    def guid(self, offset):
        start, length = self.segments[5]
        if offset < 0 or offset + 16 > length:
            raise TypeLibError("a GUID outside the GUID table")
        raw = self.data[start + offset:start + offset + 16]
        return "{%s}" % str(uuid.UUID(bytes_le=bytes(raw))).upper()

    def name_at(self, offset):
        start, length = self.segments[7]
        if offset < 0 or offset + 12 > length:
            raise TypeLibError("a name outside the name table")
        size = self.ints(start + offset + 8, 1)[0] & 0xFF
        return self.data[start + offset + 12:start + offset + 12 + size].decode("latin-1")

    def string_at(self, offset):
        if offset == -1:
            return None
        start, length = self.segments[8]
        if offset < 0 or offset + 2 > length:
            raise TypeLibError("a string outside the string table")
        size = struct.unpack_from("<H", self.data, start + offset)[0]
        return self.data[start + offset + 2:start + offset + 2 + size].decode("latin-1")

    def keys(self, path, platform):
        """[(key, name or None, value)] as RegisterTypeLib(path) for
        PLATFORM (win32, win64) writes them."""
        version = "%x.%x" % self.version
        lib = "TypeLib\\%s\\%s" % (self.libid, version)
        rows = [(lib, None, self.helpstring if self.helpstring else self.name),
                (lib + "\\%x\\%s" % (self.lcid, platform), None, path),
                (lib + "\\FLAGS", None, "%u" % (self.flags | LIBFLAG_FHASDISKIMAGE))]
        for iid, name, marshaler in self.interfaces:
            key = "Interface\\" + iid
            rows += [(key, None, name),
                     (key + "\\ProxyStubClsid", None, marshaler),
                     (key + "\\ProxyStubClsid32", None, marshaler),
                     (key + "\\TypeLib", None, self.libid),
                     (key + "\\TypeLib", "Version", version)]
        return rows


def read(path):
    with open(path, "rb") as f:
        return TypeLib(f.read())
