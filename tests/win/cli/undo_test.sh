#!/usr/bin/env bash
# "lumora undo" under Wine on the simulated rig (every lumora.exe run is a
# new process, so the history lives only in its file): set, load and reset
# followed by undo give back the earlier values exactly, an undo is undone
# by the next, --list shows the history, a damaged history is reported and
# set aside, values outside today's range are refused one by one, and an
# undo without history or for a camera that is not present changes nothing.
# usage: undo_test.sh SCRIPTS_DIR ARCH PREFIX BIN_DIR WORK_DIR
set -u
. "$(dirname "$0")/tool_test_lib.sh" undo_test "$@"
export LUMORA_SIM_FAULTS=
cam=2a4c6e8
label="Philips ToUcam Pro Camera (serial 2a4c6e8)"

# Every value of the camera, one line ("auto" for automatic controls).
snapshot() {
  run report $cam --json
  python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); print([(p["number"], "auto" if p["mode"] == "auto" else p["value"]) for p in d["properties"]])' "$work/stdout"
}
value() { run get $cam "$1"; printf '%s' "${out% (manual)}"; }

# Where the history lives: --list names the file. Start without one.
run undo $cam --list
[ "$status" -eq 0 ] || fail "--list: status $status"
winfile=$(printf '%s\n' "$out" | sed -n '1s/^Changes of .*, newest first (\(.*\)):$/\1/p')
[ -n "$winfile" ] || fail "--list: no history file named"
history=$("$scripts/wine-run" "$arch" "$prefix" winepath -u "$winfile" 2>/dev/null | tr -d '\r')
[ -n "$history" ] || fail "cannot tell the Unix path of $winfile"
rm -f "$history" "$history.damaged"
run undo $cam --list
[ "$(printf '%s\n' "$out" | sed -n 2p)" = "none recorded" ] || fail "--list of no history"

# No history: said, nothing changed, status 1.
before=$(snapshot)
run undo $cam
[ "$status" -eq 1 ] || fail "undo without history: status $status"
[ "$err" = "lumora: no change of $label to undo; nothing changed" ] || fail "undo without history: message"
[ "$(snapshot)" = "$before" ] || fail "undo without history changed values"

# set, then undo: the earlier value; undo again: the set is back.
run set $cam Brightness 17
run undo $cam
[ "$status" -eq 0 ] || fail "undo of set: status $status"
has "undo of set" "Undid the set of "
[ "$(snapshot)" = "$before" ] || fail "undo of set: values differ"
run undo $cam
has "undo of undo" "Undid the undo of "
[ "$(value Brightness)" = 17 ] || fail "undo of undo: Brightness is not 17"
run undo $cam
[ "$(snapshot)" = "$before" ] || fail "undo of the undo of the undo: values differ"

# A mode switch and a value set while automatic, then load and reset: each
# undo gives back exactly what was there before.
cat >"$work/u.profile" <<'P'
lumora-profile 1
Brightness = 33
Contrast = 20
Exposure = -7
WhiteBalanceMode = 0
end
P
run load $cam "$(winpath "$work/u.profile")"
[ "$status" -eq 0 ] || fail "load: status $status"
after_load=$(snapshot)
[ "$after_load" != "$before" ] || fail "load changed nothing"
run undo $cam
has "undo of load" "Undid the load of "
[ "$(snapshot)" = "$before" ] || fail "undo of load: $(diff <(echo "$before") <(snapshot))"
run set $cam Contrast 11
mid=$(snapshot)
run reset $cam
[ "$status" -eq 0 ] || fail "reset: status $status"
run undo $cam
has "undo of reset" "Undid the reset of "
[ "$(snapshot)" = "$mid" ] || fail "undo of reset: values differ"

# --list: newest first, with time, command and the values overwritten (an
# undo takes the change it undid off the list and stands in its place).
run undo $cam --list
[ "$(printf '%s\n' "$out" | sed -n 2p | sed 's/^\([0-9]*\) *[0-9-]* [0-9:]*  *\([a-z]*\) .*/\1 \2/')" = "1 undo" ] || fail "--list: newest is not the undo"
printf '%s\n' "$out" | grep -q '^2   [0-9-]* [0-9:]*  set    Contrast = 64$' || fail "--list: second is not the set of Contrast"
printf '%s\n' "$out" | grep -q '^3   [0-9-]* [0-9:]*  undo   Brightness = 33, Contrast = 20, ' || fail "--list: the undo of the load"
grep -q '^lumora-undo 1$' "$history" || fail "history file format"

# Values outside today's range are refused one by one, the others put back.
printf 'lumora-undo 1\nCamera = VID_0471&PID_0311 2a4c6e8\nchange 2026-12-08 12:00:00 set\nBrightness = 99999\nContrast = 5\nend\n' >"$history"
run undo $cam
[ "$status" -eq 0 ] || fail "out of range undo: status $status"
has "out of range" "refused  Brightness = 99999"
has "out of range" "applied  Contrast = 5"

# A damaged history: reported, set aside, never a crash; then a new one.
printf 'lumora-undo 1\nchange yesterday set\n\x01\x02' >"$history"
run undo $cam --list
[ "$status" -eq 0 ] || fail "damaged --list: status $status"
case "$err" in *"is damaged (line 2: expected"*"set aside as "*) ;; *) fail "damaged: no report" ;; esac
[ -f "$history.damaged" ] && [ ! -f "$history" ] || fail "damaged history not set aside"
has "damaged" "none recorded"
run set $cam Brightness 40
[ -f "$history" ] || fail "no new history after the damaged one"

# A camera that is not present: named, nothing changed.
before=$(snapshot)
"$scripts/sim-rig" unplug "$state" $cam >/dev/null
run undo $cam
[ "$status" -eq 1 ] || fail "undo of an absent camera: status $status"
case "$err" in *"'2a4c6e8'"*) ;; *) fail "absent camera not named" ;; esac
"$scripts/sim-rig" plug "$state" $cam >/dev/null
run undo $cam --list
printf '%s\n' "$out" | grep -q '  set    Brightness = ' || fail "the history was changed by the failed undo"

[ "$failures" -eq 0 ] && echo "undo: all checks passed"
[ "$failures" -eq 0 ]
