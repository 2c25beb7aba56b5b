#!/usr/bin/env bash
# Lumora against Wine's own video capture filter: two fake V4L2 devices
# (fake_v4l2.c, preloaded into every Wine process this script starts) with
# the four proc-amp controls, listed, read and written through the
# registered Lumora.dll by wine_capture_tests.exe and by lumora.exe. The
# devices' values are checked in their state file.
# usage: interop_test.sh SCRIPTS_DIR ARCH PREFIX BIN_DIR WORK_DIR FAKE_V4L2_SO TESTS_EXE
set -u
scripts=$1 arch=$2 prefix=$3 bin=$4 work=$5 fake=$(realpath -m -- "$6") tests=$7
mkdir -p "$work"
work=$(cd "$work" && pwd)

"$scripts/wine-run" "$arch" "$prefix" --version >/dev/null 2>&1
[ $? -eq 77 ] && { echo "wine_capture: Wine cannot run $arch here; skipped"; exit 77; }
[ -f "$fake" ] || { echo "wine_capture: no $fake"; exit 1; }

state="$work/fake-v4l2.state"
cat >"$state" <<'STATE'
device 0 Lumora Fake Camera A
control 0 0x00980900 0 -64 64 1 0
control 0 0x00980901 32 0 64 1 32
control 0 0x00980902 50 0 100 1 50
control 0 0x00980903 0 -180 180 1 0
device 1 Lumora Fake Camera B
control 1 0x00980900 0 -64 64 1 0
control 1 0x00980901 32 0 64 1 32
control 1 0x00980902 50 0 100 1 50
control 1 0x00980903 0 -180 180 1 0
STATE
initial=$(cat "$state")
export LD_PRELOAD=$fake LUMORA_FAKE_V4L2_STATE=$state

. "$(dirname "$0")/../cli/tool_run.sh"
# The value device N holds for control ID.
held() { awk -v n="$1" -v id="$2" '$1 == "control" && $2 == n && tolower($3) == id { print $4 }' "$state"; }

# --- through the COM classes and the simple API
out=$("$scripts/wine-run" "$arch" "$prefix" "$tests" 2>&1 | tr -d '\r')
echo "$out" | grep -E '^\[ *(OK|FAILED|PASSED) *\]|Failure|error' | head -60
case "$out" in *"[  PASSED  ]"*) ;; *) fail "wine_capture_tests did not pass" ;; esac
case "$out" in *"[  FAILED  ]"*) fail "wine_capture_tests failed" ;; esac
[ "$(cat "$state")" = "$initial" ] || fail "the tests left the devices changed: $(cat "$state")"

# --- the lumora tool
path_a='@device:cm:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\video0'
run list
[ "$status" -eq 0 ] || fail "list: status $status"
has list "Lumora Fake Camera A"
has list "Lumora Fake Camera B"
has list "path:    $path_a"
has list "kind:    other"
run list --json
[ "$status" -eq 0 ] || fail "list --json: status $status"
index=$(printf '%s' "$out" | python3 -c '
import json, sys
cams = [c for c in json.load(sys.stdin)["cameras"] if c["name"] == "Lumora Fake Camera B"]
print(cams[0]["index"] if len(cams) == 1 and cams[0]["kind"] == "other" and cams[0]["chipset"] == "unknown" else "")')
[ -n "$index" ] || fail "list --json: camera B is not listed once as another source"

run report "$path_a"
[ "$status" -eq 0 ] || fail "report: status $status"
has report "Lumora Fake Camera A"
run set "$path_a" Brightness 17
[ "$status" -eq 0 ] || fail "set by path: status $status"
[ "$(held 0 0x00980900)" = 17 ] || fail "set: device A holds brightness $(held 0 0x00980900)"
run get "path:$path_a" Brightness
[ "$status" -eq 0 ] || fail "get: status $status"
has get 17
run set "$index" Hue -90
[ "$status" -eq 0 ] || fail "set by index: status $status"
[ "$(held 1 0x00980903)" = -90 ] || fail "set: device B holds hue $(held 1 0x00980903)"
run set "$path_a" Sharpness 3
[ "$status" -ne 0 ] || fail "set of an unsupported property succeeded"

run check "$path_a"
[ "$status" -eq 0 ] || fail "check: status $status"
case "$out" in *FAIL*) fail "check reports a FAIL" ;; esac
run check "$index" --json
[ "$status" -eq 0 ] || fail "check --json: status $status"
printf '%s' "$out" | python3 -c '
import json, sys
d = json.load(sys.stdin)
bad = [p["name"] for p in d["properties"] if p["result"] == "fail"]
ok = [p["name"] for p in d["properties"] if p["result"] == "ok"]
if bad or not d["passed"] or sorted(ok) != ["Brightness", "Contrast", "Hue", "Saturation"]:
    print("check --json:", bad, ok, d["passed"]); sys.exit(1)' || fail "check --json"

# A profile names the source by its display name.
profile="$work/camera-a.profile"
rm -f "$profile"
run save "$path_a" "$(printf 'Z:%s' "${profile//\//\\}")"
[ "$status" -eq 0 ] || fail "save: status $status"
grep -qF "$path_a" "$profile" || fail "the profile does not name the source: $(cat "$profile" 2>/dev/null)"
run set "$path_a" Brightness -5
run load "$path_a" "$(printf 'Z:%s' "${profile//\//\\}")"
[ "$status" -eq 0 ] || fail "load: status $status"
[ "$(held 0 0x00980900)" = 17 ] || fail "load: device A holds brightness $(held 0 0x00980900)"

# A vanished device: a failure, no crash.
echo "gone 0" >>"$state"
run get "$path_a" Brightness
[ "$status" -ne 0 ] || fail "get on a vanished device succeeded"
[ "$status" -lt 3 ] || fail "get on a vanished device: status $status"

[ "$failures" -eq 0 ] && echo "wine_capture: ok"
exit "$failures"
