#!/usr/bin/env python3
"""The catalogue generator: one changed row reaches every form, and a
description that breaks a rule stops the build with its reason.

  catalogue_gen_test.py GENERATOR CATALOGUE.json LUMORA_H_TEMPLATE
"""
import copy
import json
import os
import subprocess
import sys
import tempfile

generator, source, template = sys.argv[1:]
with open(source, encoding="utf-8") as f:
    base = json.load(f)
failures = []


def run(description):
    """(exit code, message, {form: text}) of a generator run."""
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "catalogue.json")
        with open(path, "w", encoding="utf-8") as f:
            json.dump(description, f)
        outputs = [os.path.join(tmp, n) for n in ("core.h", "fragment.idl", "lumora.h")]
        done = subprocess.run([sys.executable, generator, path, template] + outputs,
                              capture_output=True, text=True)
        forms = {}
        if done.returncode == 0:
            for name, out in zip(("core", "idl", "header"), outputs):
                with open(out, encoding="utf-8") as f:
                    forms[name] = f.read()
        return done.returncode, done.stderr, forms


def expect(condition, text):
    if not condition:
        failures.append(text)


def row(description, name):
    return next(p for p in description["properties"] if p.get("name") == name)


# A renamed property: every form has the new name and none the old.
renamed = copy.deepcopy(base)
row(renamed, "Gamma")["name"] = "GammaCorrection"
code, _, forms = run(renamed)
expect(code == 0, "a renamed property is a valid description")
for form, text in forms.items():
    expect("VCP_GammaCorrection" in text or '"GammaCorrection"' in text,
           f"{form}: the new name is missing")
    expect("VCP_Gamma " not in text and '"Gamma"' not in text, f"{form}: the old name remains")
# The C and the C++ enums of the public header both change.
expect(forms.get("header", "").count("VCP_GammaCorrection = 5") == 2,
       "the public header's C and C++ enums both carry the new name")

# A changed kind and route reach the core's table.
changed = copy.deepcopy(base)
row(changed, "Setting")["kind"] = "readonly"
row(changed, "Gain")["route"] = "procamp 10"
code, _, forms = run(changed)
core = forms.get("core", "")
expect('{"Setting", "*Setting          ", Kind::kReadonly, true,' in core,
       "a changed kind reaches the core's row")
expect(", 10, Units::kNone, \"Gain\"},  // 16" in core, "a changed route reaches the core's row")

# Descriptions the generator refuses, each with its reason.
def broken(change, reason):
    description = copy.deepcopy(base)
    change(description)
    code, message, _ = run(description)
    expect(code != 0 and reason in message,
           f"expected a refusal naming '{reason}', got {code}: {message.strip()}")


broken(lambda d: row(d, "Hue").update(name="Contrast"), "repeats one")
broken(lambda d: row(d, "Hue").update(aliases=["contrast"]), "repeats one")
broken(lambda d: row(d, "Hue").update(name="Hue Value"), "is not an identifier")
broken(lambda d: row(d, "Hue").update(kind="knob"), "kind 'knob'")
broken(lambda d: row(d, "Hue").update(route="procamp 100"), "has an id beyond")
broken(lambda d: row(d, "Hue").update(route="register 3"), "route 'register 3'")
broken(lambda d: row(d, "Hue").update(families={"Saa9999": "none"}), "unknown family")
broken(lambda d: row(d, "Hue").update(families={"Saa8112": "procamp 2"}),
       "repeats the standard one")
broken(lambda d: row(d, "Hue").update(label="x" * 19), "the label has")
broken(lambda d: row(d, "Hue").update(units="furlong"), "units 'furlong'")
broken(lambda d: row(d, "Hue").update(reach="value wire"), "names other than")
broken(lambda d: row(d, "Hue").update(colour="red"), "unknown fields")
broken(lambda d: row(d, "Hue").update(auto_order=4), "auto_order")
broken(lambda d: row(d, "AutoAll").pop("auto_order"), "auto_order")
broken(lambda d: row(d, "AutoAll").update(auto_order=7), "auto_order numbers")
broken(lambda d: row(d, "Hue").update(reach="block"), "reach 'value'")
broken(lambda d: row(d, "Roll").update(reach="value block"), "reach 'value'")
def unnamed(d):
    hue = row(d, "Hue")
    hue["label"] = hue.pop("name")


broken(unnamed, "rows without a name")
broken(lambda d: d["families"].reverse(), "the first family")
broken(lambda d: d["families"][1].update(chipset="SAA9999"), "unknown chipset")

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
