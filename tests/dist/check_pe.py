#!/usr/bin/env python3
"""Reads the shipped Windows binaries as files and checks what a client
relies on, for either architecture (no Windows or Wine needed):

  Lumora.dll   the machine type; every export of module/Lumora.def by name
               and ordinal and no other named export; the embedded type
               library (TYPELIB 1, an MSFT library with the identifier the
               registry scripts register);
  every binary the version resource: fixed file and product version and
               the FileVersion/ProductVersion texts are the project version.

usage: check_pe.py ARCH(win32|win64) VERSION DEF_FILE RGS_DIR BIN_DIR
Exit status 0 when everything holds; otherwise each fault on stderr and 1.
"""
import glob
import os
import re
import struct
import sys
import uuid

MACHINES = {"win32": (0x14C, 0x10B), "win64": (0x8664, 0x20B)}
RT_VERSION = 16
BINARIES = ["Lumora.dll", "LumoraSim.dll", "lumora.exe", "LumoraProbe.exe", "LumoraSettings.exe"]

faults = []


def fault(text):
    faults.append(text)


class PE:
    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            self.data = f.read()
        if self.data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", self.data,
                                                                                pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", self.data, optional)[0]
        directories = optional + (96 if self.magic == 0x10B else 112)
        count = struct.unpack_from("<I", self.data, directories - 4)[0]
        self.directories = [struct.unpack_from("<II", self.data, directories + 8 * i)
                            for i in range(min(count, 16))]
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            vsize, vaddr, rsize, raw = struct.unpack_from("<IIII", self.data, table + 40 * i + 8)
            self.sections.append((vaddr, max(vsize, rsize), raw, rsize))

    def offset(self, rva):
        for vaddr, size, raw, rsize in self.sections:
            if vaddr <= rva < vaddr + size and rva - vaddr < rsize:
                return raw + rva - vaddr
        raise ValueError("address %#x outside the file's sections" % rva)

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def exports(self):
        """{name: ordinal} of the named exports."""
        rva, size = self.directories[0]
        if not size:
            return {}
        (_, _, _, _, _, base, _, names, functions, name_table,
         ordinal_table) = struct.unpack_from("<IIHHIIIIIII", self.data, self.offset(rva))
        del functions
        result = {}
        for i in range(names):
            name_rva = struct.unpack_from("<I", self.data, self.offset(name_table) + 4 * i)[0]
            index = struct.unpack_from("<H", self.data, self.offset(ordinal_table) + 2 * i)[0]
            result[self.cstring(name_rva)] = base + index
        return result

    def resources(self):
        """{(type, id): bytes} of the first language of each resource."""
        rva, size = self.directories[2]
        if not size:
            return {}
        root = self.offset(rva)

        def entries(directory):
            named, ids = struct.unpack_from("<HH", self.data, root + directory + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, root + directory + 16 + 8 * i)
                if name & 0x80000000:
                    at = root + (name & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, at)[0]
                    name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                yield name, target

        result = {}
        for kind, types in entries(0):
            for ident, languages in entries(types & 0x7FFFFFFF):
                for _, leaf in entries(languages & 0x7FFFFFFF):
                    data_rva, data_size = struct.unpack_from("<II", self.data, root + leaf)
                    start = self.offset(data_rva)
                    result[(kind, ident)] = self.data[start:start + data_size]
                    break
        return result


def version_blocks(data, at=0, end=None):
    """The (key, value bytes, children range) blocks of a VS_VERSIONINFO tree."""
    end = len(data) if end is None else end
    while at + 6 <= end:
        length, value_length, kind = struct.unpack_from("<HHH", data, at)
        if length == 0:
            break
        key_end = at + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[at + 6:key_end].decode("utf-16-le")
        value_at = (key_end + 2 + 3) & ~3
        value_size = value_length * (2 if kind == 1 else 1)
        children = (value_at + value_size + 3) & ~3
        yield key, data[value_at:value_at + value_size], kind, children, at + length
        at = (at + length + 3) & ~3


def check_version(name, resource, version):
    numbers = [int(p) for p in version.split(".")]
    blocks = list(version_blocks(resource))
    if not blocks or blocks[0][0] != "VS_VERSION_INFO":
        fault("%s: the version resource is not a VS_VERSION_INFO" % name)
        return
    _, fixed, _, children, end = blocks[0]
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != 0xFEEF04BD:
        fault("%s: no VS_FIXEDFILEINFO" % name)
    for what, ms, ls in (("file", file_ms, file_ls), ("product", product_ms, product_ls)):
        found = [ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF]
        if found != numbers:
            fault("%s: %s version %s, not %s" % (name, what, ".".join(map(str, found)), version))
    texts = {}
    for key, _, _, inner, inner_end in version_blocks(resource, children, end):
        if key != "StringFileInfo":
            continue
        for _, _, _, table, table_end in version_blocks(resource, inner, inner_end):
            for field, value, _, _, _ in version_blocks(resource, table, table_end):
                texts[field] = value.decode("utf-16-le").rstrip("\0")
    for field in ("FileVersion", "ProductVersion"):
        found = [int(p) for p in re.findall(r"\d+", texts.get(field, ""))]
        if found != numbers:
            fault("%s: %s text %r, not %s" % (name, field, texts.get(field), version))


# The plain functions added after the first release, at their ordinals.
LATER_EXPORTS = {
    "CamProperty_Modes": 47,
    "CamProperty_SetMode": 48,
    "CamProperty_Default": 49,
    "EnumAllCams": 50,
    "CamXu_Get": 51,
    "CamXu_Set": 52,
}


def def_exports(path):
    """{name: ordinal} of a .def file's EXPORTS; the stdcall @N suffix goes
    (both builds export those names undecorated)."""
    result = {}
    in_exports = False
    for line in open(path):
        line = line.split(";", 1)[0].strip()
        if not line:
            continue
        if line.upper() == "EXPORTS":
            in_exports = True
            continue
        if not in_exports or line.upper().startswith("LIBRARY"):
            continue
        match = re.match(r"(\S+?)(@\d+)?\s+@(\d+)(\s+(NONAME|PRIVATE|DATA))*\s*$", line)
        if not match:
            fault("%s: cannot read the line %r" % (path, line))
            continue
        result[match.group(1)] = int(match.group(3))
    return result


def main(arch, version, def_file, rgs_dir, bin_dir):
    machine, magic = MACHINES[arch]
    for name in BINARIES:
        try:
            pe = PE(os.path.join(bin_dir, name))
        except (OSError, ValueError, struct.error) as error:
            fault("%s: %s" % (name, error))
            continue
        if (pe.machine, pe.magic) != (machine, magic):
            fault("%s: machine %#x/%#x, not an %s binary" % (name, pe.machine, pe.magic, arch))
        resources = pe.resources()
        version_info = resources.get((RT_VERSION, 1))
        if version_info is None:
            fault("%s: no version resource" % name)
        else:
            check_version(name, version_info, version)
        if name != "Lumora.dll":
            continue
        expected = def_exports(def_file)
        found = pe.exports()
        if not expected:
            fault("%s lists no exports" % def_file)
        # Exports added after the first release keep their ordinals: a .def
        # file that lost one must not pass.
        for export, ordinal in sorted(LATER_EXPORTS.items(), key=lambda e: e[1]):
            if expected.get(export) != ordinal:
                fault("%s: %s is not at ordinal %d" % (def_file, export, ordinal))
        for export, ordinal in sorted(expected.items(), key=lambda e: e[1]):
            if export not in found:
                fault("Lumora.dll: %s (ordinal %d) is not exported" % (export, ordinal))
            elif found[export] != ordinal:
                fault("Lumora.dll: %s has ordinal %d, not %d" % (export, found[export], ordinal))
        for export in sorted(set(found) - set(expected)):
            fault("Lumora.dll: %s is exported but not in %s" % (export, def_file))
        typelib = resources.get(("TYPELIB", 1))
        libids = set()
        for script in glob.glob(os.path.join(rgs_dir, "*.rgs")):
            libids.update(re.findall(r"'TypeLib'\s*=\s*s\s*'\{([0-9A-Fa-f-]+)\}'",
                                     open(script).read()))
        if typelib is None:
            fault("Lumora.dll: no TYPELIB 1 resource")
        elif typelib[:4] != b"MSFT":
            fault("Lumora.dll: TYPELIB 1 is not an MSFT type library")
        elif len(libids) != 1:
            fault("the registry scripts name %d type libraries, not one" % len(libids))
        else:
            # The library identifier is GUID entry 0 of the GUID table, the
            # sixth segment after the header and the type info offsets.
            header = struct.unpack_from("<21i", typelib, 0)
            at = 0x54 + (4 if header[5] & 0x100 else 0) + 4 * header[8]
            guid_table = struct.unpack_from("<i", typelib, at + 16 * 5)[0]
            stored = uuid.UUID(bytes_le=bytes(typelib[guid_table:guid_table + 16]))
            if stored != uuid.UUID(libids.pop()):
                fault("Lumora.dll: the type library is %s, not the registered one" % stored)
        print("%s Lumora.dll: %d exports checked" % (arch, len(expected)))
    for text in faults:
        print("FAULT " + text, file=sys.stderr)
    print("%s: %d binaries, %d faults" % (arch, len(BINARIES), len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    if len(sys.argv) != 6 or sys.argv[1] not in MACHINES:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
