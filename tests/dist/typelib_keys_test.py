#!/usr/bin/env python3
"""The registry keys the installer writes for a type library (read from the
built library by scripts/msi/typelib_keys.py) against the IDL it was
compiled from, and the reader fed damaged files.

  - the library's identifier, version and help string, and its marshaled
    interfaces: every dispinterface (PSDispatch) and every dual or
    oleautomation interface (PSOAInterface) the library statement names,
    with its IID and name, and no other;
  - the keys: the platform path, FLAGS, and five values per interface;
  - every truncation of the file and seeded corruptions of its header,
    table directory and type records end in the reader's own error or a
    parse, never in another exception.

usage: typelib_keys_test.py TYPELIB_KEYS_DIR IDL TLB
"""
import random
import re
import sys

sys.path.insert(0, sys.argv[1])
import typelib_keys  # noqa: E402

idl_path, tlb_path = sys.argv[2:4]
failures = []


def expect(condition, text):
    if not condition:
        failures.append(text)


idl = re.sub(r"//[^\n]*", "", open(idl_path).read())
definitions = {}  # name: (IID, marshaler or None)
for attrs, kind, name in re.findall(
        r"\[([^\[\]]*)\]\s*(dispinterface|interface)\s+(\w+)\s*[:{]", idl):
    iid = re.search(r"uuid\(([-0-9A-Fa-f]+)\)", attrs).group(1).upper()
    words = set(re.findall(r"\w+", attrs))
    marshaler = (typelib_keys.PS_DISPATCH if kind == "dispinterface" else
                 typelib_keys.PS_OA_INTERFACE if words & {"dual", "oleautomation"} else None)
    definitions[name] = ("{%s}" % iid, marshaler)
library_attrs, library_body = re.search(
    r"\[([^\[\]]*)\]\s*library\s+\w+\s*\{(.*)\}", idl, re.S).groups()
named = set(re.findall(r"\b(?:dispinterface|interface)\s+(\w+)", library_body))
expected = {(definitions[n][0], n, definitions[n][1]) for n in named
            if n in definitions and definitions[n][1]}

library = typelib_keys.read(tlb_path)
expect(library.libid == "{%s}" % re.search(r"uuid\(([-0-9A-Fa-f]+)\)", library_attrs).group(1).upper(),
       "library identifier %s" % library.libid)
expect("%d.%d" % library.version == re.search(r"version\(([\d.]+)\)", library_attrs).group(1),
       "library version %s" % (library.version,))
expect(library.helpstring == re.search(r'helpstring\("([^"]*)"\)', library_attrs).group(1),
       "library help string %r" % library.helpstring)
expect(len(expected) >= 5, "the IDL names only %d marshaled interfaces" % len(expected))
got = set(library.interfaces)
for missing in sorted(expected - got):
    failures.append("interface not read from the library: %s %s %s" % missing)
for extra in sorted(got - expected):
    failures.append("interface the IDL does not mark for marshaling: %s %s %s" % extra)

keys = library.keys("C:\\x86\\Lumora.dll", "win32")
lib = "TypeLib\\%s\\1.0" % library.libid
expect((lib, None, library.helpstring) in keys, "no version key with the help string")
expect((lib + "\\%x\\win32" % library.lcid, None, "C:\\x86\\Lumora.dll") in keys, "no win32 path")
expect((lib + "\\FLAGS", None, str(library.flags | 8)) in keys, "FLAGS without the disk image flag")
for iid, name, marshaler in library.interfaces:
    key = "Interface\\" + iid
    for row in [(key, None, name), (key + "\\ProxyStubClsid", None, marshaler),
                (key + "\\ProxyStubClsid32", None, marshaler),
                (key + "\\TypeLib", None, library.libid), (key + "\\TypeLib", "Version", "1.0")]:
        expect(row in keys, "missing %s" % (row,))
expect(len(keys) == 3 + 5 * len(library.interfaces), "%d keys" % len(keys))

data = open(tlb_path, "rb").read()


def survives(damaged, what):
    try:
        typelib_keys.TypeLib(damaged)
    except typelib_keys.TypeLibError:
        pass
    except Exception as e:  # anything else escapes the installer's error path
        failures.append("%s: %s: %s" % (what, type(e).__name__, e))


for length in range(len(data)):
    survives(data[:length], "cut at %d" % length)
expect(len(data) > 0x200, "type library of %d bytes" % len(data))
rng = random.Random(27)
for trial in range(3000):
    damaged = bytearray(data)
    at = rng.randrange(0, 0x200 if trial % 2 else len(data) - 4)
    damaged[at:at + 4] = rng.choice([b"\xff\xff\xff\xff", b"\xff\xff\xff\x7f", b"\x00\x00\x00\x80",
                                     rng.randbytes(4)])
    survives(bytes(damaged), "4 bytes at %#x" % at)
survives(b"MSFT" + b"\0" * 0x50, "an empty header")
try:
    typelib_keys.TypeLib(b"SLTG" + data[4:])
    failures.append("another format read as MSFT")
except typelib_keys.TypeLibError:
    pass

for f in failures[:40]:
    print("FAIL: " + f)
print("typelib_keys: %d interfaces, %d failures" % (len(library.interfaces), len(failures)))
sys.exit(1 if failures else 0)
