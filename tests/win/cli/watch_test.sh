#!/usr/bin/env bash
# "lumora watch" under Wine against the simulated rig: a profile is applied
# at start, again after the camera is unplugged and plugged in (back with
# its defaults), a value another process changes is put back with --guard,
# a resume from sleep (the camera back with its defaults without leaving the
# device list) is followed by the profile again, with and without --guard,
# a second watch is refused, --stop ends it with status 0, a bad profile
# stops it before it starts, and --install/--uninstall keep exactly one
# start-up entry of the current user.
# usage: watch_test.sh SCRIPTS_DIR ARCH PREFIX BIN_DIR WORK_DIR
set -u
scripts=$1 arch=$2 prefix=$3 bin=$4 work=$5
mkdir -p "$work"
work=$(cd "$work" && pwd)
interval=300

"$scripts/wine-run" "$arch" "$prefix" --version >/dev/null 2>&1
[ $? -eq 77 ] && { echo "watch_test: Wine cannot run $arch here; skipped"; exit 77; }
"$scripts/sim-rig" install "$arch" "$prefix" "$bin/LumoraSim.dll" >/dev/null
rc=$?
[ "$rc" -eq 0 ] || exit "$rc"
watch_pid=
cleanup() {
  [ -n "$watch_pid" ] && kill "$watch_pid" 2>/dev/null
  "$scripts/sim-rig" uninstall "$arch" "$prefix" >/dev/null
}
trap cleanup EXIT

winpath() { printf 'Z:%s' "${1//\//\\}"; }
state="$work/sim-state.txt"
rm -f "$state" "$state.plug" "$work"/*.profile "$work"/watch.*
export LUMORA_SIM_STATE LUMORA_SIM_DEVICES=default
LUMORA_SIM_STATE=$(winpath "$state")

failures=0
out= err= status=
lumora() { "$scripts/wine-run" "$arch" "$prefix" "$bin/lumora.exe" "$@"; }
run() {
  lumora "$@" >"$work/stdout" 2>"$work/stderr"
  status=$?
  out=$(tr -d '\r' <"$work/stdout")
  err=$(tr -d '\r' <"$work/stderr")
}
fail() { echo "FAIL: $*"; echo "  stdout: $out"; echo "  stderr: $err"; failures=$((failures + 1)); }
# The value alone (get adds " (manual)" where the control has modes).
value() { run get "$1" "$2"; printf '%s' "${out% (manual)}"; }
now_ms() { date +%s%3N; }
# Waits (at most 20 s) until the watch's output holds COUNT lines matching
# PATTERN; answers false on timeout.
wait_lines() {
  local pattern=$1 count=$2 deadline=$(($(date +%s) + 20))
  while [ "$(grep -c -- "$pattern" "$work/watch.out" 2>/dev/null)" -lt "$count" ]; do
    [ "$(date +%s)" -lt "$deadline" ] || { echo "watch output:"; cat "$work/watch.out"; return 1; }
    sleep 0.05
  done
}

cat >"$work/toucam.profile" <<'P'
lumora-profile 1
Camera = Philips ToUcam Pro Camera
VidPid = VID_0471&PID_0311
Serial = 2a4c6e8
Brightness = 17
Contrast = 40
end
P
profile=$(winpath "$work/toucam.profile")

# A profile that does not parse stops the watch before it starts.
printf 'lumora-profile 1\nSerial = 2a4c6e8\nBrightnes = 1\nend\n' >"$work/bad.profile"
run watch "$profile" "$(winpath "$work/bad.profile")" --interval $interval
[ "$status" -eq 1 ] || fail "bad profile: status $status"
case "$err" in *"bad.profile: line 3: unknown property 'Brightnes'; the watch does not start"*) ;; *) fail "bad profile: message" ;; esac
run watch --interval 5 "$profile"
[ "$status" -eq 2 ] || fail "interval too short: status $status"
run watch --stop
[ "$status" -eq 1 ] && [ "$err" = "lumora: no watch is running for this user" ] || fail "--stop without a watch"

# Start: the profile is applied to the ToUcam with serial 2a4c6e8 only.
other_before=$(value 3b5d7f9 Brightness)
lumora watch "$profile" --guard --interval $interval >"$work/watch.out" 2>"$work/watch.err" &
watch_pid=$!
wait_lines "Philips ToUcam Pro Camera (serial 2a4c6e8): .*toucam.profile: 2 applied, 0 changed by the camera, 0 refused" 1 ||
  fail "not applied at start"
[ "$(value 2a4c6e8 Brightness)" = 17 ] || fail "start: Brightness is not 17"
[ "$(value 2a4c6e8 Contrast)" = 40 ] || fail "start: Contrast is not 40"
[ "$(value 3b5d7f9 Brightness)" = "$other_before" ] || fail "start: the other ToUcam changed"

run watch "$profile"
[ "$status" -eq 1 ] || fail "second watch: status $status"
case "$err" in *"a watch is already running for this user"*) ;; *) fail "second watch: message" ;; esac

# Unplugged, then plugged in again with its defaults: applied again within
# two intervals of the plugging.
"$scripts/sim-rig" unplug "$state" 2a4c6e8 >/dev/null
wait_lines "(serial 2a4c6e8): disconnected" 1 || fail "unplug not noticed"
run list
[ "$(printf '%s\n' "$out" | grep -c '^   kind:    device$')" -eq 8 ] || fail "unplugged camera still listed"
"$scripts/sim-rig" plug "$state" 2a4c6e8 >/dev/null
plugged_at=$(now_ms)
wait_lines "toucam.profile: 2 applied" 2 || fail "not applied after the re-plug"
took=$(($(now_ms) - plugged_at))
echo "applied again ${took} ms after the re-plug (interval ${interval} ms)"
[ "$took" -le $((2 * interval + 200)) ] || fail "re-plug: applied after ${took} ms, more than two intervals"
[ "$(value 2a4c6e8 Brightness)" = 17 ] || fail "re-plug: Brightness is not 17"

# --guard: another process changes a value; the watch puts it back.
run set 2a4c6e8 Brightness 99
wait_lines "(serial 2a4c6e8): put back Brightness = 17 (it had become 99)" 1 || { grep -A3 2a4c6e8 "$state"; cat "$state.plug"; fail "guard did not put back"; }
[ "$(value 2a4c6e8 Brightness)" = 17 ] || fail "guard: Brightness is not 17"

# Resume from sleep with --guard: the camera stays listed but is back with
# its defaults; after the resume notification the profile is applied again.
power="$bin/LumoraSimPower.exe"
"$scripts/sim-rig" resume "$state" 2a4c6e8 --notify "$arch" "$prefix" "$power" >/dev/null ||
  fail "sim-rig resume failed"
wait_lines "the system resumed; the profiles are applied again in" 1 || fail "resume not heard (guard)"
wait_lines "toucam.profile after resume: 2 applied, 0 changed by the camera, 0 refused" 1 ||
  fail "not applied after resume (guard)"
[ "$(value 2a4c6e8 Brightness)" = 17 ] || fail "resume (guard): Brightness is not 17"
[ "$(value 2a4c6e8 Contrast)" = 40 ] || fail "resume (guard): Contrast is not 40"
[ "$(grep -c "(serial 2a4c6e8): disconnected" "$work/watch.out")" -eq 1 ] ||
  fail "resume (guard): the camera counted as unplugged"

# --stop ends it with status 0.
run watch --stop
[ "$status" -eq 0 ] || fail "--stop: status $status"
wait "$watch_pid"
rc=$?
watch_pid=
[ "$rc" -eq 0 ] || fail "the watch ended with status $rc"
grep -q "watch stopped" "$work/watch.out" || fail "no 'watch stopped' line"
[ ! -s "$work/watch.err" ] || fail "the watch wrote to stderr: $(cat "$work/watch.err")"

# Resume without --guard: a resume the watch is not told of leaves the
# defaults (nobody guards them); the notification brings the profile back.
lumora watch "$profile" --interval $interval >"$work/watch.out" 2>"$work/watch.err" &
watch_pid=$!
wait_lines "toucam.profile: 2 applied" 1 || fail "not applied at the second start"
"$scripts/sim-rig" resume "$state" 2a4c6e8 >/dev/null || fail "sim-rig resume failed"
[ "$(value 2a4c6e8 Brightness)" = 128 ] || fail "resume: the camera did not come back with its defaults"
sleep 1
[ "$(value 2a4c6e8 Brightness)" = 128 ] || fail "resume without notification: something put it back"
"$scripts/sim-rig" resume "$state" 2a4c6e8 --notify "$arch" "$prefix" "$power" >/dev/null ||
  fail "sim-rig resume failed"
wait_lines "toucam.profile after resume: 2 applied" 1 || fail "not applied after resume (no guard)"
[ "$(value 2a4c6e8 Brightness)" = 17 ] || fail "resume (no guard): Brightness is not 17"
[ "$(value 3b5d7f9 Brightness)" = "$other_before" ] || fail "resume: the other ToUcam changed"
run watch --stop
[ "$status" -eq 0 ] || fail "--stop (no guard): status $status"
wait "$watch_pid"
watch_pid=

# --install / --uninstall: exactly one start-up entry of the current user.
runkey='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
entries() { "$scripts/wine-run" "$arch" "$prefix" reg query "$runkey" 2>/dev/null | tr -d '\r' | grep -c 'lumora.exe'; }
before=$(entries)
run watch --install "$profile" --guard
[ "$status" -eq 0 ] || fail "--install: status $status"
run watch --install "$profile" --interval 1000
[ "$status" -eq 0 ] || fail "--install again: status $status"
[ "$(entries)" -eq $((before + 1)) ] || fail "--install: not exactly one entry"
"$scripts/wine-run" "$arch" "$prefix" reg query "$runkey" /v "Lumora watch" 2>/dev/null | tr -d '\r' |
  grep -q 'lumora.exe" watch --interval 1000 "Z:' || fail "--install: the entry is not the last command"
run watch --uninstall
[ "$status" -eq 0 ] || fail "--uninstall: status $status"
[ "$(entries)" -eq "$before" ] || fail "--uninstall: entry left"
run watch --uninstall
[ "$status" -eq 0 ] || fail "--uninstall again: status $status"

[ "$failures" -eq 0 ] && echo "watch: all checks passed"
[ "$failures" -eq 0 ]
