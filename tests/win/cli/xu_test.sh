#!/usr/bin/env bash
# The extension-unit controls of lumora.exe under Wine on the rig's "xu"
# cameras, through the registered library: "lumora xu" lists every unit and
# control with its facts (an unknown unit with a 46-byte control and a gap
# among them), raw get and set round-trip and refuse a wrong length, a
# read-only control and an unknown GUID or selector without writing; named
# controls are read and set by label and number and refused out of range;
# a profile saves and loads them (verified); check passes and restores them;
# an injected stall gives its code and meaning; a unit that names no GUID is
# listed by its node and reached by its GUID; the JSON forms parse.
# usage: xu_test.sh SCRIPTS_DIR ARCH PREFIX BIN_DIR WORK_DIR
set -u
. "$(dirname "$0")/tool_test_lib.sh" xu_test "$@"
export LUMORA_SIM_FAULTS= LUMORA_SIM_DEVICES=xu
# A plug file of an earlier run would replug the cameras (and lose their faults).
rm -f "$state.plug"
led=63610682-5070-49ab-b8cc-b3855e8d221f
fov=49e40215-f434-47fe-b158-0e885023e51b
isp=23e49ed0-1178-4f31-ae52-d2fb8a8d3b48
unknown=a7c3e1f0-5b2d-4e8a-9f61-3d0c2b4a5e97
errhas() { case "$err" in *"$2"*) ;; *) fail "$1: stderr lacks '$2'" ;; esac; }

# --- listing: units, selectors, lengths, access and the values as hex
run xu 1
[ "$status" -eq 0 ] || fail "xu 1: status $status"
has "xu 1" "Unit $led (Logitech User HW Control v1): 1 control"
has "xu 1" "  Selector 1 (LED1): 3 bytes, read write
    min 000001  max 0300ff  res 010101  default 03000a  current 03000a"
has "xu 1" "\"LED Mode\" = auto (menu: off, on, blink, auto, default auto)"
has "xu 1" "Unit $fov (Logitech BRIO): 1 control"
run xu 3
has "xu 3" "Unit $unknown: 3 controls"
has "xu 3" "  Selector 2: 46 bytes, read write"
has "xu 3" "current 000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f202122232425262728292a2b2c2d"
has "xu 3" "  Selector 4: 4 bytes, read only"
case "$out" in *"Selector 3"*) fail "xu 3 lists the selector of the gap" ;; esac

# --- raw access
run xu 1 set "{${led^^}}" 1 01001e
[ "$status" -eq 0 ] || fail "raw set: status $status"
has "raw set" "= 01001e"
run xu 1 get $led 1
[ "$out" = "01001e" ] || fail "raw get after set: '$out'"
for bad in "0100:holds 3 bytes, HEX gives 2" "01001e00:HEX gives 4"; do
  run xu 1 set $led 1 "${bad%%:*}"
  [ "$status" -eq 1 ] || fail "wrong length ${bad%%:*}: status $status"
  errhas "wrong length" "${bad#*:}; nothing written"
done
run xu 1 set $led 1 01001x
[ "$status" -eq 2 ] || fail "hex with x: status $status"
run xu 2 set $isp 2 0000000000000000
[ "$status" -eq 1 ] || fail "read-only raw write: status $status"
errhas "read-only raw write" "is read only; nothing written"
run xu 1 get 11111111-2222-3333-4444-555555555555 1
errhas "unknown GUID" "no extension unit 11111111-2222-3333-4444-555555555555"
run xu 3 get $unknown 3
errhas "selector of the gap" "has no control 3"
run xu 1 get $led 1
[ "$out" = "01001e" ] || fail "a refused write changed the control: '$out'"

# --- named controls: by label and number, refusals before anything is written
run get 1 "led mode"
[ "$out" = "on" ] || fail "get LED Mode after raw 01: '$out'"
run set 1 "LED Mode" BLINK
[ "$status" -eq 0 ] && [ "$out" = "LED Mode = blink" ] || fail "set LED Mode blink: $status '$out'"
run set 1 "LED Frequency" 40
[ "$out" = "LED Frequency = 40" ] || fail "set LED Frequency 40: '$out'"
run xu 1 get $led 1
[ "$out" = "020028" ] || fail "the named writes left '$out'"
run set 1 "LED Frequency" 256
[ "$status" -eq 1 ] || fail "LED Frequency 256: status $status"
errhas "LED Frequency 256" "256 is outside the range 1..255 of LED Frequency; nothing written"
run set 1 "Field of View" 50
errhas "Field of View 50" "is not one of 90, 78, 65"
run get 1 "LED Mod"
[ "$status" -eq 2 ] || fail "unknown name: status $status"
errhas "unknown name" "unknown property 'LED Mod'"

# --- a profile keeps the named controls and a load puts them back, verified
profile="$work/brio.profile"
run save 1 "$(winpath "$profile")"
has "save" "and 4 extension-unit controls"
grep -q '^#xu: LED Mode = blink$' "$profile" || fail "profile lacks the LED Mode line"
! grep -q 'Motor Reset' "$profile" || fail "the profile keeps an action (Motor Reset)"
run set 1 "LED Mode" off
run set 1 "Field of View" 65
run load 1 "$(winpath "$profile")"
[ "$status" -eq 0 ] || fail "load: status $status"
has "load" "applied  LED Mode = blink"
has "load" "applied  Field of View = 90"
run get 1 "LED Mode"
[ "$out" = "blink" ] || fail "LED Mode after the load: '$out'"
run load 1 "$(winpath "$profile")" --json
python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
named = {n["name"]: n for n in d["named"]}
assert named["LED Mode"]["result"] == "applied" and named["LED Mode"]["holds"] == "blink", named
assert d["succeeded"]
' "$work/stdout" || fail "load --json: named entries"

# --- check: named controls pass and keep their values
run check 1
[ "$status" -eq 0 ] || fail "check 1: status $status"
has "check" "LED Mode           OK"
has "check" "Every changed value was restored."
has "check" "Motor Reset        OK (write only: not written, as it could not be restored)"
run xu 1 get $led 1
[ "$out" = "020028" ] || fail "check left the LED control at '$out'"

# --- an injected stall: its code and meaning; the profile's other entries load
LUMORA_SIM_FAULTS=1:xu/4.1:stall run xu 1
has "stalled listing" "0x8007001F (the device failed the request)"
has "stalled listing" "Unit $fov (Logitech BRIO): 1 control"
LUMORA_SIM_FAULTS=1:xu/4.1:stall run get 1 "LED Mode"
[ "$status" -eq 1 ] || fail "stalled get: status $status"
errhas "stalled get" "LED Mode cannot be used on this camera"
LUMORA_SIM_FAULTS=1:xu/4.1:stall run load 1 "$(winpath "$profile")"
has "stalled load" "refused  LED Mode = blink: LED Mode cannot be used on this camera"
has "stalled load" "applied  Field of View = 90"

# --- a unit that names no GUID: listed by its node, reached by its GUID
LUMORA_SIM_FAULTS=3:xu/5:no-set-list run xu 3
[ "$status" -eq 0 ] || fail "unnamed unit listing: status $status"
has "unnamed unit" "Unnamed unit on node 2: it names no GUID; give its GUID (from the camera's USB descriptor) to reach it"
case "$out" in *"Unit $unknown"*) fail "a unit that names no GUID is listed by it" ;; esac
LUMORA_SIM_FAULTS=3:xu/5:no-set-list run xu 3 get $unknown 1
[ "$status" -eq 0 ] && [ "$out" = "1010" ] || fail "unnamed unit by its GUID: status $status, '$out'"

# --- watch: a named control is applied, guarded against another program's
# write, and applied again after a replug
cat >"$work/led.profile" <<'P'
lumora-profile 1
VidPid = VID_046D&PID_085E
Serial = 6a1b2c3
#xu: LED Mode = blink
end
P
run set 1 "LED Mode" off
"$scripts/wine-run" "$arch" "$prefix" "$bin/lumora.exe" watch "$(winpath "$work/led.profile")" \
  --guard --interval 300 >"$work/watch.out" 2>&1 &
watch_pid=$!
wait_for() {  # PATTERN COUNT: at most 20 s for COUNT lines of the watch's output
  local deadline=$(($(date +%s) + 20))
  while [ "$(grep -c -- "$1" "$work/watch.out" 2>/dev/null)" -lt "$2" ]; do
    [ "$(date +%s)" -lt "$deadline" ] || { fail "watch: no '$1' (x$2): $(tr -d '\r' <"$work/watch.out")"; return 1; }
    sleep 0.1
  done
}
if wait_for "1 applied" 1; then
  run get 1 "LED Mode"
  [ "$out" = "blink" ] || fail "watch did not apply LED Mode: '$out'"
  run set 1 "LED Mode" on
  wait_for "put back LED Mode = blink (it had become on)" 1
  "$scripts/sim-rig" unplug "$state" 6a1b2c3 >/dev/null
  wait_for "disconnected" 1
  "$scripts/sim-rig" plug "$state" 6a1b2c3 >/dev/null
  wait_for "1 applied" 2
  run get 1 "LED Mode"
  [ "$out" = "blink" ] || fail "LED Mode after the replug under watch: '$out'"
fi
run watch --stop
wait "$watch_pid" 2>/dev/null

# --- JSON: the listing and the report carry the named controls
run xu 3 --json
python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
u = d["units"][0]
assert [c["selector"] for c in u["controls"]] == [1, 2, 4], u
assert u["controls"][1]["length"] == 46 and u["controls"][1]["default"] is None, u["controls"][1]
assert u["controls"][2]["support"] == {"read": True, "write": False}
' "$work/stdout" || fail "xu --json"
run report 1 --json
python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
n = {x["name"]: x for x in d["named"]}
assert n["LED Mode"]["value"] == "blink" and n["LED Mode"]["labels"] == ["off", "on", "blink", "auto"], n
assert n["LED Frequency"]["range"]["max"] == 255
' "$work/stdout" || fail "report --json named"

[ "$failures" -eq 0 ] && echo "xu: all checks passed"
[ "$failures" -eq 0 ]
