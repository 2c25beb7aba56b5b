#!/usr/bin/env bash
# lumora.exe --json and "lumora check" under Wine on the simulated rig: the
# documents parse with a JSON parser and carry every field, names that are
# not ASCII survive, check is clean on the well-behaved cameras, catches each
# injected driver fault on its property, and leaves every value as it was.
# usage: json_check_test.sh SCRIPTS_DIR ARCH PREFIX BIN_DIR WORK_DIR
set -u
. "$(dirname "$0")/tool_test_lib.sh" json_check_test "$@"
export LUMORA_SIM_FAULTS=
# Runs a Python check over the JSON document on stdout; the check prints
# what is wrong, nothing when all is well.
json() {  # what, python code with the document as d
  local problems
  problems=$(python3 -c '
import json, sys
try:
    d = json.loads(open(sys.argv[1], encoding="utf-8", newline="").read())
except Exception as e:
    print("not one JSON document:", e); sys.exit(0)
'"$2" "$work/stdout" 2>&1)
  [ -z "$problems" ] || fail "$1: $problems"
}

# --- list --json: the rig's nine cameras and its software source, every field,
# numbers as numbers
run list --json
[ "$status" -eq 0 ] && [ -z "$err" ] || fail "list --json: status $status"
json "list --json" '
cams = d["cameras"]
if len(cams) != 10: print("cameras:", len(cams))
for i, c in enumerate(cams, 1):
    if set(c) != {"index", "name", "serial", "vidPid", "chipset", "devicePath", "kind"}: print("fields", sorted(c))
    if c["kind"] != ("device" if i <= 9 else "other"): print("kind", c["kind"], "at", i)
    if c["index"] != i: print("index", c["index"], "at", i)
    for k in ("name", "serial", "vidPid", "devicePath"):
        if not isinstance(c[k], str): print(k, "of", i, "is not text")
t = cams[1]
if (t["name"], t["serial"], t["vidPid"], t["chipset"]) != ("Philips ToUcam Pro Camera", "2a4c6e8", "VID_0471&PID_0311", "SAA8116"):
    print("camera 2:", t)
if not t["devicePath"].startswith("@device:pnp:\\\\?\\usb#vid_0471&pid_0311&mi_00#7&2a4c6e8"): print("path", t["devicePath"])
'

# --- report --json: 32 properties, each with every field (the camera's
# exposure starts automatic, where the camera moves the value itself: a
# manual value first)
run set 9 Exposure -6
[ "$status" -eq 0 ] || fail "set 9 Exposure -6: status $status"
run report 9 --json
[ "$status" -eq 0 ] && [ -z "$err" ] || fail "report --json: status $status"
json "report --json" '
if d["camera"]["index"] != 9 or d["camera"]["name"] != "USB Video Device": print("camera", d["camera"])
props = d["properties"]
if [p["number"] for p in props] != list(range(32)): print("numbers", [p["number"] for p in props])
fields = {"number", "name", "support", "range", "value", "seconds", "default", "modes", "mode"}
for p in props:
    if set(p) != fields: print("fields of", p["number"], sorted(p))
    if set(p["support"]) != {"read", "write"}: print("support of", p["number"], p["support"])
    if p["support"]["read"] and (p["range"] is None or p["value"] is None): print("no range or value", p["name"])
    if p["range"] is not None and set(p["range"]) != {"min", "max", "step"}: print("range", p["range"])
b = props[0]
if (b["name"], b["support"], b["range"], b["value"]) != ("Brightness", {"read": True, "write": True}, {"min": 0, "max": 255, "step": 1}, 128):
    print("Brightness", b)
e = props[15]
if e["name"] != "Exposure" or e["value"] != -6 or e["seconds"] != 1 / 64: print("Exposure", e)
if props[0]["seconds"] is not None: print("seconds on Brightness")
if props[26]["support"] != {"read": False, "write": False} and props[26]["name"] != "Pan": print("Pan", props[26])
'
run report 9
has "report: exposure in seconds" "Value is -6	(1/64 s)"

run get 9 Exposure --json
[ "$status" -eq 0 ] || fail "get --json: status $status"
json "get --json" '
p = d["property"]
if (p["number"], p["name"], p["value"]) != (15, "Exposure", -6) or "mode" not in p: print(p)
if d["camera"]["serial"] != "2": print(d["camera"])
'

# --- errors: one document {"error": ...} on stdout, the usual exit status
error_doc() {  # what, expected status, text in the message
  [ "$status" -eq "$2" ] || fail "$1: status $status, expected $2"
  [ -z "$err" ] || fail "$1: stderr not empty"
  json "$1" '
if list(d) != ["error"] or "'"$3"'" not in d["error"]: print(d)
'
}
run report 99 --json;          error_doc "unknown camera" 1 "no camera matches"
run get 9 Brightnes --json;    error_doc "unknown property" 2 "unknown property"
run get 2 Pan --json;          error_doc "unreadable property" 1 "cannot be read"
run list extra --json;         error_doc "wrong command line" 2 "too many arguments"
run set 9 Brightness 5 --json
[ "$status" -eq 2 ] || fail "set --json: status $status"

# --- load --json: the outcome per property, a value the camera clamped (its
# Brightness reports 0..510 and keeps at most 255), a refusal, a profile of
# another camera (no warning on stderr: the document names the difference)
printf 'lumora-profile 1\nSerial = 1f1f0d8\nBrightness = 300\nLED = 17\nExposure = auto\nend\n' >"$work/load.profile"
LUMORA_SIM_FAULTS="11:procamp/0:wide-range" run load 9 "$(winpath "$work/load.profile")" --json
[ "$status" -eq 0 ] && [ -z "$err" ] || fail "load --json: status $status"
json "load --json" '
if d["camera"]["index"] != 9 or not d["file"].endswith("load.profile"): print(d["camera"], d["file"])
if d["otherCamera"] != ["serial: profile \x271f1f0d8\x27, camera \x272\x27"]: print(d["otherCamera"])
p = {e["name"]: e for e in d["properties"]}
if set(p) != {"Brightness", "LED", "Exposure"}: print(sorted(p))
b = p["Brightness"]
if (b["line"], b["value"], b["mode"], b["result"], b["holds"]["value"], b["reason"]) != (3, 300, None, "changed", 255, None): print(b)
if p["LED"]["result"] != "refused" or p["LED"]["reason"] != "not supported by this camera" or p["LED"]["holds"] is not None: print(p["LED"])
e = p["Exposure"]
if (e["value"], e["mode"], e["result"], e["holds"]["mode"]) != (None, "auto", "applied", "auto"): print(e)
if d["summary"] != {"applied": 1, "changed": 1, "refused": 1, "notReached": 0}: print(d["summary"])
if d["vanished"] or d["vanishError"] is not None or not d["succeeded"]: print(d["vanished"], d["succeeded"])
'
run load 9 "$(winpath "$work/missing.profile")" --json; error_doc "load --json missing file" 1 "cannot open"
printf 'lumora-profile 1\nBrightness = 1\n' >"$work/cut.profile"
run load 9 "$(winpath "$work/cut.profile")" --json; error_doc "load --json truncated" 1 "nothing changed"
run load 9 --json;               error_doc "load --json usage" 2 "usage: lumora load"

# --- names that are not ASCII survive the trip from the driver to the document
LUMORA_SIM_DEVICES=international run list --json
json "international list" '
names = [c["name"] for c in d["cameras"]]
if names != ["Caméra intégrée «Ünïcødé» 日本語", "Webcam \U0001F4F7 Ελληνικά"]: print(names)
'
LUMORA_SIM_DEVICES=international run report 2 --json
json "international report" '
if d["camera"]["name"] != "Webcam \U0001F4F7 Ελληνικά": print(d["camera"]["name"])
'

# --- check: clean on the well-behaved cameras, values as they were
snapshot() {  # the values of every camera, one line each
  local i
  for i in 1 2 3 4 5 6 7 8 9; do
    run report $i --json
    python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); print(sys.argv[2], [(p["number"], "auto" if p["mode"] == "auto" else p["value"]) for p in d["properties"]])' "$work/stdout" $i
  done
}
before=$(snapshot)
for i in 1 2 3 4 5 6 7 8 9; do
  run check $i
  [ "$status" -eq 0 ] || fail "check $i: status $status"
  has "check $i" "Summary: "
  has "check $i" "; passed"
  has "check $i" "Every changed value was restored."
  printf '%s\n' "$out" | grep -q 'FAIL' && fail "check $i: a FAIL line"
  has "check $i" "Invalid properties OK"
  has "check $i" "Second control     OK"
done
after=$(snapshot)
[ "$before" = "$after" ] || fail "values changed by check: $(diff <(echo "$before") <(echo "$after"))"

run check 2 --json
[ "$status" -eq 0 ] || fail "check --json: status $status"
json "check --json" '
if len(d["properties"]) != 32 or not d["passed"] or d["vanished"] or not d["restored"]: print(d["summary"], d["passed"])
if set(d["summary"]) != {"ok", "notSupported", "skipped", "failed"}: print(d["summary"])
if d["properties"][24]["result"] != "skipped": print(d["properties"][24])
for p in d["properties"]:
    if set(p) != {"number", "name", "result", "failures", "notes"}: print(sorted(p))
if d["warnings"] != 0: print("warnings", d["warnings"])
ids = {(c["property"], c["id"]): c["outcome"] for c in d["checks"]}
for key in [("Brightness", "write.max-reads-back"), ("Brightness", "range.default-inside"),
            (None, "invalid.refused"), (None, "second.sees-writes"), (None, "settings.block-agrees")]:
    if ids.get(key) != "ok": print("check", key, ids.get(key))
if any(c["outcome"] in ("warn", "fail") for c in d["checks"]): print([c for c in d["checks"] if c["outcome"] != "ok"])
'

# --- injected driver faults: each caught with a FAIL line naming the property
# (the rig numbers its devices in its own catalogue: "USB Video Device" is
# its 11th, the tool's 9th)
LUMORA_SIM_FAULTS="11:procamp/0:ignore-writes,11:procamp/1:fail-reads,11:procamp/3:default-outside,11:procamp/4:keep-outside,2:private/3:ignore-writes" run check 9
[ "$status" -eq 1 ] || fail "faulty check 9: status $status"
has "ignore-writes" "Brightness         FAIL: wrote the minimum 0, read back 128"
has "fail-reads" "Contrast           FAIL: claims read support, but reading fails (0x8007001F)"
has "default-outside" "Saturation         FAIL: default 201 outside the range 0..200"
has "keep-outside" "Sharpness          FAIL: accepts 8 outside the range 0..7 (reads 8)"
has "faulty summary" "4 failed; FAILED"
LUMORA_SIM_FAULTS="2:private/3:ignore-writes" run check 2 --json
[ "$status" -eq 1 ] || fail "faulty check 2: status $status"
json "faulty check --json" '
bad = [p["name"] for p in d["properties"] if p["result"] == "fail"]
if bad != ["WhiteBalRed"] or d["passed"] or d["summary"]["failed"] != 1: print(bad, d["summary"])
'
# A driver's stepping delta of 0: the library reports it as 1 (its clients
# divide by the step), so neither the report nor check can see it; check
# stays clean (the check of the step itself is in the native tests).
LUMORA_SIM_FAULTS="11:procamp/2:zero-step" run report 9 --json
json "zero step in the report" '
if d["properties"][2]["range"] != {"min": -180, "max": 180, "step": 1}: print(d["properties"][2])
'
LUMORA_SIM_FAULTS="11:procamp/2:zero-step" run check 9
[ "$status" -eq 0 ] || fail "zero-step check 9: status $status"
printf '%s\n' "$out" | grep -q '^Hue  *OK' || fail "zero-step: Hue not OK"
after_faults=$(snapshot)
[ "$before" = "$after_faults" ] || fail "values changed by a failed check"

# --- every rig camera with every injected fault: each caught by the check
# named for it, on its property (the library reads a driver's silent read as
# 0, which the writes catch; a range wider than the values kept warns).
faults=
for place in 1 2 3 4 5 6 7 8 9 10 11; do
  faults+="$place:procamp/0:ignore-writes,$place:procamp/1:fail-reads,$place:procamp/3:default-outside,"
  faults+="$place:procamp/5:wide-range,$place:procamp/8:silent-reads,"
done
line_of() { printf '%s\n' "$out" | grep "^$1 "; }
for i in 1 2 3 4 5 6 7 8 9; do
  LUMORA_SIM_FAULTS=$faults run check $i
  [ "$status" -eq 1 ] || fail "every fault, check $i: status $status"
  case "$(line_of Brightness)" in *" FAIL: wrote the m"*"-reads-back]"*) ;; *) fail "check $i: ignore-writes" ;; esac
  case "$(line_of Contrast)" in *" FAIL: claims read support, but reading fails (0x8007001F) [support.readable]"*) ;; *) fail "check $i: fail-reads" ;; esac
  case "$(line_of Saturation)" in *" FAIL: default "*" outside the range "*" [range.default-inside]"*) ;; *) fail "check $i: default-outside" ;; esac
  case "$(line_of Gamma)" in *" WARN: wrote the maximum "*", the camera keeps "*" [range.wider-than-kept]"*) ;; *) fail "check $i: wide-range" ;; esac
  case "$(line_of BacklightCompensation)" in *" FAIL: wrote the m"*"-reads-back]"*) ;; *) fail "check $i: silent-reads" ;; esac
  has "check $i with every fault" " 1 warnings, 4 failed; FAILED"
done

[ "$failures" -eq 0 ] && echo "json and check: all checks passed"
[ "$failures" -eq 0 ]
