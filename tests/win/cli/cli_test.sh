#!/usr/bin/env bash
# Drives lumora.exe through scripts/wine-run against the simulated rig and
# checks output and exit status of every command.
# usage: cli_test.sh SCRIPTS_DIR ARCH PREFIX BIN_DIR WORK_DIR
set -u
. "$(dirname "$0")/tool_test_lib.sh" cli_test "$@"
rm -f "$work"/*.profile
expect_ok() { [ "$status" -eq 0 ] && [ -z "$err" ] || fail "$1: status $status"; }
expect_error() {  # what, status, stderr text
  [ "$status" -eq "$2" ] || fail "$1: status $status, expected $2"
  [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || fail "$1: not one line on stderr"
  case "$err" in *"$3"*) ;; *) fail "$1: stderr lacks '$3'" ;; esac
}
# The value alone; shown: the whole line, with the mode where the control has one.
value() { run get "$1" "$2"; [ "$status" -eq 0 ] || fail "get $1 $2"; printf '%s' "${out% (manual)}"; }
shown() { run get "$1" "$2"; [ "$status" -eq 0 ] || fail "get $1 $2"; printf '%s' "$out"; }

# --- help and command line
run --help;            expect_ok "--help";  has "--help" "lumora load CAM FILE"
for c in list report get set save load reset; do
  run "$c" --help;     expect_ok "$c --help"; has "$c --help" "usage: lumora $c"
done
run;                   expect_error "no command" 2 "no command given"
run frob;              expect_error "unknown command" 2 "unknown command 'frob'"
run get 1;             expect_error "missing argument" 2 "usage: lumora get CAM PROP"

# --- list: the rig's nine listed devices (two identical ToUcams among them),
# then its software source
run list;              expect_ok "list"
has list "1  Philips Vesta Pro Camera"
has list "2  Philips ToUcam Pro Camera"
has list "3  Philips ToUcam Pro Camera"
has list "serial:  3b5d7f9"
has list "VID/PID: VID_0471&PID_0311"
has list "chipset: SAA8116"
has list 'path:    @device:pnp:\\?\usb#vid_0471&pid_0311&mi_00#7&2a4c6e8&0&0000#'
[ "$(printf '%s\n' "$out" | grep -c '^[0-9]')" -eq 10 ] || fail "list: not nine cameras and a source"
[ "$(printf '%s\n' "$out" | grep -c '^   kind:    device$')" -eq 9 ] || fail "list: not nine devices"
has list "10  Video for Windows Capture"
has list 'path:    @device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\{4A2E8B5C-0F1D-4E3A-9B6C-7D5E2F1A3C90}'

# --- report
run report 2;          expect_ok "report"
has report "Chipset is SAA8116"
[ "$(printf '%s\n' "$out" | wc -l)" -eq 34 ] || fail "report: expected 34 lines"
# Mode and default columns where the camera reports them: the standard
# Brightness has both, the private WhiteBalRed neither.
printf '%s\n' "$out" | grep -q '^Brightness .*Value is 128	Default 128	Mode manual$' ||
  fail "report: Brightness without its default and mode"
printf '%s\n' "$out" | grep '^\*WhiteBalRed ' | grep -q 'Mode' && fail "report: a mode on WhiteBalRed"
run report 99;         expect_error "report unknown cam" 1 "no camera matches '99'"
run report 0;          expect_error "ambiguous serial" 1 "ambiguous"

# --- get / set, and choice by serial between the identical ToUcams
a=2a4c6e8 b=3b5d7f9
before_b=$(value $b Brightness)
run set $a brightness 17; expect_ok "set"; has "set" "Brightness = 17"
[ "$(value $a VCP_Brightness)" = 17 ] || fail "set by serial did not reach camera $a"
[ "$(value $b 0)" = "$before_b" ] || fail "the other ToUcam changed"
[ "$(value 2 Brightness)" = 17 ] || fail "index 2 is not serial $a"
run set $a Brightnes 5;   expect_error "bad property" 2 "unknown property 'Brightnes'"
run get $a 32;            expect_error "bad property number" 2 "unknown property '32'"
run set $a Brightness 1x; expect_error "bad value" 2 "not a whole number"
run set $a Brightness 100000; expect_error "out of range" 1 "outside the range"
[ "$(value $a Brightness)" = 17 ] || fail "refused set changed the camera"
run get $a Pan;           expect_error "unsupported" 1 "Pan cannot be read"
run set $a ActualFrameRate 5; expect_error "read only" 1 "cannot be set"

# --- save / load round trip
profile="$work/a.profile"
run set $a WhiteBalanceMode 0
run set $a WhiteBalRed 40
run save $a "$(winpath "$profile")"; expect_ok "save"; has save "to "
grep -q '^lumora-profile 1' "$profile" || fail "save: no header"
grep -q '^Serial = 2a4c6e8' "$profile" || fail "save: no serial"
grep -q '^Brightness = 17' "$profile" || fail "save: Brightness missing"
grep -qi '^Pan' "$profile" && fail "save: unsupported Pan written"
[ "$(grep -n '^WhiteBalanceMode' "$profile" | cut -d: -f1)" -lt "$(grep -n '^WhiteBalRed' "$profile" | cut -d: -f1)" ] ||
  fail "save: automatic mode not before manual values"
run set $a Brightness 99; run set $a WhiteBalRed 3; run set $a WhiteBalanceMode 1
run load $a "$(winpath "$profile")"; expect_ok "load"
has load "applied, 0 changed by the camera, 0 refused"
[ "$(value $a Brightness)" = 17 ] || fail "load: Brightness not restored"
[ "$(value $a WhiteBalanceMode)" = 0 ] || fail "load: WhiteBalanceMode not restored"
[ "$(value $a WhiteBalRed)" = 40 ] || fail "load: WhiteBalRed not restored (auto mode after manual?)"
auto_line=$(printf '%s\n' "$out" | grep -n 'applied  WhiteBalanceMode = 0' | cut -d: -f1)
red_line=$(printf '%s\n' "$out" | grep -n 'applied  WhiteBalRed = 40' | cut -d: -f1)
[ -n "$auto_line" ] && [ -n "$red_line" ] && [ "$auto_line" -lt "$red_line" ] || fail "load: order"

# A hand-written profile: auto after manual in the file, an unsupported and a
# read-only property; loaded onto the other ToUcam with a warning.
cat >"$work/hand.profile" <<'P'
lumora-profile 1
Serial = 2a4c6e8
Brightness = 21
Pan = 3
ActualFrameRate = 5
WhiteBalanceMode = 0
end
P
run load $b "$(winpath "$work/hand.profile")"
[ "$status" -eq 0 ] || fail "hand profile: status $status"
case "$err" in *"warning: profile is of another camera: serial"*) ;; *) fail "hand profile: no warning" ;; esac
has "hand profile" "refused  Pan = 3: not supported by this camera"
has "hand profile" "refused  ActualFrameRate = 5: "
[ "$(value $b Brightness)" = 21 ] || fail "hand profile: Brightness"

# A value the camera clamps: its Brightness (injected fault) reports the range
# 0..510 but keeps at most 255; load writes 300 and tells what the camera holds.
printf 'lumora-profile 1\nBrightness = 300\nContrast = 70\nend\n' >"$work/clamp.profile"
LUMORA_SIM_FAULTS="11:procamp/0:wide-range" run load 9 "$(winpath "$work/clamp.profile")"
expect_ok "load clamped"
has "load clamped" "changed  Brightness = 300: the camera holds 255"
has "load clamped" "applied  Contrast = 70"
has "load clamped" "1 applied, 1 changed by the camera, 0 refused"
[ "$(value 9 Brightness)" = 255 ] || fail "load clamped: Brightness is not 255"

# Corrupt and truncated profiles change nothing.
run set $a Brightness 55
head -n 10 "$profile" >"$work/truncated.profile"
printf 'lumora-profile 1\nBrightness = 1\nBrightness = 2\nend\n' >"$work/dup.profile"
printf 'lumora-profile 1\nBrightness = 1\nBogus = 2\nend\n' >"$work/unknown.profile"
printf 'lumora-profile 1\nBrightness = 1\nContrast = lots\nend\n' >"$work/number.profile"
printf 'Brightness = 1\nend\n' >"$work/header.profile"
for f in truncated dup unknown number header; do
  run load $a "$(winpath "$work/$f.profile")"
  expect_error "corrupt $f" 1 "nothing changed"
  [ "$(value $a Brightness)" = 55 ] || fail "corrupt $f changed the camera"
done
run load $a "$(winpath "$work/missing.profile")"; expect_error "missing file" 1 "cannot open"

# --- automatic and manual modes, reset: a camera whose Exposure has modes
m=
for i in 1 2 3 4 5 6 7 8 9; do
  run get $i Exposure
  case "$out" in *" (manual)" | auto) m=$i; break ;; esac
done
[ -n "$m" ] || fail "no camera shows the mode of Exposure"
run set $m Exposure manual; expect_ok "set manual"; has "set manual" " (manual)"
case "$(shown $m Exposure)" in *" (manual)") ;; *) fail "get after set manual: $out" ;; esac
run set $m Exposure auto;   expect_ok "set auto"; has "set auto" "Exposure = auto"
[ "$(shown $m Exposure)" = auto ] || fail "get after set auto"
run set $m Exposure -9;     expect_ok "set value"; has "set value" "Exposure = -9 (manual)"
run set $m Exposure manual; has "manual keeps the value" "Exposure = -9 (manual)"
run set $a WhiteBalanceMode auto; expect_error "mode without modes" 1 "has no automatic mode"
[ "$(value $a WhiteBalanceMode)" = 0 ] || fail "refused mode request changed the camera"
run set $m Exposure sideways; expect_error "bad mode" 2 "not a whole number"

run set $m Hue 50
run reset $m Hue ActualFrameRate; expect_error "reset read-only" 1 "ActualFrameRate cannot be reset"
[ "$(shown $m Hue)" = "50 (manual)" ] || fail "refused reset wrote Hue: $out"
run reset $m Exposure Hue;  expect_ok "reset named"
has "reset named" "Exposure = auto"; has "reset named" "Hue = 0 (default)"
[ "$(shown $m Exposure)" = auto ] || fail "reset: Exposure not automatic"
[ "$(shown $m Hue)" = "0 (manual)" ] || fail "reset: Hue not at its default"
run reset;                  expect_error "reset without camera" 2 "usage: lumora reset CAM"

# A profile with automatic and manual entries round-trips.
run set $m Hue 45; run set $m Exposure auto
run save $m "$(winpath "$work/modes.profile")"; expect_ok "save modes"
grep -q '^Exposure = auto' "$work/modes.profile" || fail "save: Exposure = auto missing"
grep -q '^Hue = 45' "$work/modes.profile" || fail "save: Hue = 45 missing"
run set $m Exposure -9; run set $m Hue 10
run load $m "$(winpath "$work/modes.profile")"; expect_ok "load modes"
[ "$(shown $m Exposure)" = auto ] || fail "load: Exposure not automatic again"
[ "$(shown $m Hue)" = "45 (manual)" ] || fail "load: Hue not restored"
run set $m Exposure -9
run reset $m;               expect_ok "reset all"
[ "$(shown $m Exposure)" = auto ] || fail "reset all: Exposure"
[ "$(shown $m Hue)" = "0 (manual)" ] || fail "reset all: Hue"

[ "$failures" -eq 0 ] && echo "cli: all checks passed"
[ "$failures" -eq 0 ]
