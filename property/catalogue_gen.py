#!/usr/bin/env python3
"""Writes every form of the property catalogue from property/catalogue.json.

  catalogue_gen.py CATALOGUE.json LUMORA_H_TEMPLATE CORE_H IDL_FRAGMENT LUMORA_H

CORE_H        the core's enums and tables (included by property/catalogue.h)
IDL_FRAGMENT  the IDL's enumerators as macros (included by module/lumora.idl)
LUMORA_H      the public header: the template with its @...@ places filled

A description that breaks a rule below stops the build with its reason.
"""
import json
import re
import sys

KINDS = ("setting", "auto", "action", "trigger", "readonly")
REACHES = ("value", "block")
UNITS = {None: "kNone", "log2 s": "kLog2Seconds"}
# Route words and the first code of their range (property/property_blocks.h).
ROUTES = {"procamp": (0, 100), "videocontrol": (100, 100), "camera": (200, 100),
          "private": (500, 200)}
LABEL_WIDTH = 18


def fail(text):
    sys.exit("catalogue.json: " + text)


def route_code(text, where):
    if text == "none":
        return -1
    m = re.fullmatch(r"([a-z]+) (\d+)", text)
    if not m or m.group(1) not in ROUTES:
        fail(f"{where}: route '{text}' is not 'none' or one of {', '.join(ROUTES)} and an id")
    base, size = ROUTES[m.group(1)]
    if int(m.group(2)) >= size:
        fail(f"{where}: route '{text}' has an id beyond {size - 1}")
    return base + int(m.group(2))


def load(path):
    with open(path, encoding="utf-8") as f:
        cat = json.load(f)
    families = [f["name"] for f in cat["families"]]
    if not families or families[0] != "Standard":
        fail("the first family is the standard one")
    chipsets = {c[0] for c in cat["chipsets"]}
    for f in cat["families"]:
        if f["chipset"] not in chipsets:
            fail(f"family {f['name']}: unknown chipset {f['chipset']}")
    rows = []
    names = set()
    for value, p in enumerate(cat["properties"]):
        where = f"row {value} ({p.get('name', 'unnamed')})"
        unknown = set(p) - {"name", "aliases", "label", "title", "kind", "kept", "auto_order", "reach",
                            "route", "families", "units"}
        if unknown:
            fail(f"{where}: unknown fields {sorted(unknown)}")
        for n in [p.get("name")] + p.get("aliases", []):
            if n is None:
                continue
            if not re.fullmatch(r"[A-Za-z][A-Za-z0-9_]*", n) or n.lower() in names:
                fail(f"{where}: name '{n}' is not an identifier or repeats one")
            names.add(n.lower())
        if "aliases" in p and "name" not in p:
            fail(f"{where}: aliases without a name")
        p.setdefault("label", p.get("name", ""))
        p.setdefault("kind", "setting")
        p.setdefault("title", p.get("name", ""))
        if "title" in p and p["title"] and not re.fullmatch(r"[A-Za-z0-9][A-Za-z0-9 /-]*", p["title"]):
            fail(f"{where}: the title is words of letters, digits, spaces, '/' and '-'")
        if not 0 < len(p["label"]) <= LABEL_WIDTH:
            fail(f"{where}: the label has 1 to {LABEL_WIDTH} characters")
        if p["kind"] not in KINDS:
            fail(f"{where}: kind '{p['kind']}' is not one of {', '.join(KINDS)}")
        if (p["kind"] == "auto") != ("auto_order" in p):
            fail(f"{where}: an automatic switch, and only one, has an auto_order")
        p["reach"] = p["reach"].split()
        if any(r not in REACHES for r in p["reach"]):
            fail(f"{where}: reach '{' '.join(p['reach'])}' names other than {', '.join(REACHES)}")
        if p.get("units") not in UNITS:
            fail(f"{where}: units '{p.get('units')}' are not one of {list(UNITS)[1:]}")
        codes = {families[0]: route_code(p["route"], where)}
        for fam, route in p.get("families", {}).items():
            if fam not in families[1:]:
                fail(f"{where}: unknown family '{fam}'")
            codes[fam] = route_code(route, f"{where}, {fam}")
            if codes[fam] == codes[families[0]]:
                fail(f"{where}, {fam}: the route repeats the standard one")
        p["codes"] = [codes.get(f, codes[families[0]]) for f in families]
        rows.append(p)
    named = [p for p in rows if "name" in p]
    if rows[:len(named)] != named:
        fail("rows without a name come after every named row")
    orders = sorted(p["auto_order"] for p in rows if "auto_order" in p)
    if orders != list(range(1, len(orders) + 1)):
        fail("auto_order numbers the automatic switches 1, 2, ...")
    cat["rows"] = rows
    cat["named"] = len(named)
    for reach in REACHES:
        reached = [i for i, p in enumerate(rows) if reach in p["reach"]]
        if reached != list(range(len(reached))):
            fail(f"the rows with reach '{reach}' are the first ones, without a gap")
        cat["reach_" + reach] = len(reached)
    return cat


def enumerators(cat):
    """(enum name, [(enumerator, value)]) of every published enum."""
    props = []
    for value, p in enumerate(cat["rows"]):
        for n in ([p["name"]] if "name" in p else []) + p.get("aliases", []):
            props.append(("VCP_" + n, value))
    return {
        "VidCapProperty": props,
        "VidCapPropertySupport": [("VCS_" + n, v) for n, v in cat["support"]],
        "VidCapPropertyMode": [("VCM_" + n, v) for n, _, v in cat["modes"]],
        "KnownChipsetCat": [("CSX_" + c[0], c[1]) for c in cat["chipsets"]],
    }


def enum_body(items, indent):
    return ",\n".join(f"{indent}{n} = {v}" for n, v in items)


def c_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


HEADER = "Generated by property/catalogue_gen.py from property/catalogue.json: do not edit."


def core_header(cat):
    enums = enumerators(cat)
    out = [f"// {HEADER}", "// Included by property/catalogue.h, which declares the types used here.",
           "#pragma once", "", "namespace lumora {", ""]
    for name, items in enums.items():
        out += [f"enum {name} : int32_t {{", enum_body(items, "  "), "};", ""]
    rows = cat["rows"]
    fams = cat["families"]
    out += [
        f"// Rows of every code table: the named values 0 to {cat['named'] - 1} and the unnamed ones.",
        f"constexpr int32_t kCatalogueSize = {len(rows)};",
        "",
        "namespace catalogue {",
        "",
        f"// Values with a name: 0 to {cat['named'] - 1}.",
        f"constexpr int32_t kNamed = {cat['named']};",
        f"// The plain API's range and value calls reach 0 to {cat['reach_value'] - 1}.",
        f"constexpr int32_t kValueCallRows = {cat['reach_value']};",
        f"// A settings block holds 0 to {cat['reach_block'] - 1}.",
        f"constexpr int32_t kBlockRows = {cat['reach_block']};",
        "",
        "constexpr Row kRows[kCatalogueSize] = {",
    ]
    for value, p in enumerate(rows):
        reach = " | ".join("kReach" + r.capitalize() for r in p["reach"]) or "0"
        kept = p.get("kept", p["kind"] != "action")
        name = c_string(p["name"]) if "name" in p else "nullptr"
        out.append(f"    {{{name}, {c_string(p['label'].ljust(LABEL_WIDTH))}, "
                   f"Kind::k{p['kind'].capitalize()}, {str(kept).lower()}, {reach}, "
                   f"{p['codes'][0]}, Units::{UNITS[p.get('units')]}, "
                   f"{c_string(p['title']) if p['title'] else 'nullptr'}}},  // {value}")
    out += ["};", "", "// Names and aliases in published order: the first of a value names it.",
            "constexpr NamedValue kNames[] = {"]
    out += [f"    {{{c_string(n[4:])}, {v}}}," for n, v in enums["VidCapProperty"]]
    autos = sorted((p["auto_order"], v) for v, p in enumerate(rows) if "auto_order" in p)
    out += ["};", "", "// The automatic switches in the order profiles write them.",
            "constexpr int32_t kAutoSwitches[] = {" + ", ".join(str(v) for _, v in autos) + "};",
            "", "// The code-table columns: one per handler family.",
            "enum Family : int32_t {"]
    out += [f"  kFamily{f['name']}," for f in fams]
    out += ["};", f"constexpr int32_t kFamilies = {len(fams)};", "",
            "// The public chipset each family serves.",
            "constexpr int32_t kFamilyChipsets[kFamilies] = {"
            + ", ".join("CSX_" + f["chipset"] for f in fams) + "};", "",
            "// The code of every row in every family (property/property_blocks.h).",
            "constexpr std::array<int32_t, kCatalogueSize> kFamilyCodes[kFamilies] = {"]
    for i, f in enumerate(fams):
        out.append(f"    {{{{{', '.join(str(p['codes'][i]) for p in rows)}}}}},  // {f['name']}")
    out += ["};", "", "// Report names of the public chipsets.",
            "constexpr NamedValue kChipsetNames[] = {"]
    out += [f"    {{{c_string(c[2] if len(c) > 2 else c[0])}, {c[1]}}}," for c in cat["chipsets"]]
    out += ["};", "", "}  // namespace catalogue", "}  // namespace lumora", ""]
    return "\n".join(out)


def idl_fragment(cat):
    out = [f"// {HEADER}", "// The enumerators of the published enums, one macro each."]
    for name, items in enumerators(cat).items():
        body = " \\\n".join(f"  {n} = {v}," for n, v in items).rstrip(",")
        out += [f"#define LUMORA_IDL_{name} \\", body, ""]
    return "\n".join(out)


def public_header(cat, template):
    enums = enumerators(cat)
    fill = {}
    for name, items in enums.items():
        fill[f"C_{name}"] = enum_body(items, "  ")
        fill[f"CXX_{name}"] = enum_body(items, "    ")
    fill["MODE_MACROS"] = "\n".join(f"#define LUMORA_MODE_{h} {v}" for _, h, v in cat["modes"])
    last_value = [n for n, v in enums["VidCapProperty"] if v == cat["reach_value"] - 1][0]
    fill["LAST_VALUE_PROPERTY"] = f"{cat['reach_value'] - 1} ({last_value})"
    fill["LAST_NAMED"] = str(cat["named"] - 1)

    def replace(m):
        if m.group(1) not in fill:
            fail(f"the public header's template names an unknown place @{m.group(1)}@")
        return fill[m.group(1)]
    return re.sub(r"@([A-Za-z_]+)@", replace, template)


def main():
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    source, template_path, core, idl, header = sys.argv[1:]
    cat = load(source)
    with open(template_path, encoding="utf-8") as f:
        template = f.read()
    for path, text in ((core, core_header(cat)), (idl, idl_fragment(cat)),
                       (header, public_header(cat, template))):
        with open(path, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)


if __name__ == "__main__":
    main()
