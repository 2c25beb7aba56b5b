#!/usr/bin/env bash
# The demo: the lumora command-line tool on the simulated device rig, in a
# throwaway Wine prefix inside the build folder (BUILD_DIR/demo-prefix).
# Registers the win64 Lumora.dll there, points the prefix's system device
# enumerator at LumoraSim.dll, and shows "lumora list", "lumora report", a
# profile save / change / load round trip, and "lumora watch" putting the
# profile back on a camera that was unplugged and plugged in again, and an
# extension-unit control (the LED of a Logitech BRIO on the rig's "xu"
# cameras) listed, set and saved in a profile. The simulated cameras keep their
# values between commands in BUILD_DIR/demo/sim-state.txt; nothing outside
# BUILD_DIR is changed.
# usage: demo.sh BUILD_DIR
set -euo pipefail
build=$(mkdir -p "$1" && cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
arch=win64
bin="$build/$arch/bin"
prefix="$build/demo-prefix"
work="$build/demo"

for f in lumora.exe Lumora.dll LumoraSim.dll; do
  [ -f "$bin/$f" ] || { echo "demo: $bin/$f is missing (build first)" >&2; exit 1; }
done

step() { printf '\n=== %s\n' "$*"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

step "Preparing a throwaway Wine prefix in $prefix"
rc=0
"$here/wine-prefix" create "$arch" "$prefix" || rc=$?
if [ "$rc" -eq 77 ]; then
  echo "demo: this machine cannot run $arch Windows programs under Wine; the native report instead:"
  "$build/native/tools/lumora-sim-report"
  exit 0
fi
[ "$rc" -eq 0 ] || exit "$rc"
mkdir -p "$work"
export WINEPREFIX=$prefix
/usr/lib/wine/wineserver -p >/dev/null 2>&1 </dev/null
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT

"$here/wine-run" "$arch" "$prefix" regsvr32 /s "$(winpath "$bin/Lumora.dll")" || {
  echo "demo: regsvr32 Lumora.dll failed" >&2
  exit 1
}
echo "Lumora.dll registered"
"$here/sim-rig" install "$arch" "$prefix" "$bin/LumoraSim.dll"

# Fresh simulated cameras for every demo run.
rm -f "$work/sim-state.txt" "$work/sim-state.txt.plug" "$work/toucam.profile"
export LUMORA_SIM_STATE
LUMORA_SIM_STATE=$(winpath "$work/sim-state.txt")

lumora() {
  printf '$ lumora %s\n' "$*"
  "$here/wine-run" "$arch" "$prefix" "$bin/lumora.exe" "$@" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

step "The simulated cameras"
lumora list

step "The report of camera 2 (a Philips ToUcam Pro, SAA8116 chipset)"
lumora report 2

step "Saving the settings of the ToUcam with serial 2a4c6e8 to a profile"
lumora save 2a4c6e8 "$(winpath "$work/toucam.profile")"
echo "--- $work/toucam.profile:"
cat "$work/toucam.profile" | tr -d '\r'

step "Changing two settings"
lumora set 2a4c6e8 Brightness 200
lumora set 2a4c6e8 WhiteBalanceMode 1
echo "Brightness is now $(lumora get 2a4c6e8 Brightness | tail -n 1), WhiteBalanceMode $(lumora get 2a4c6e8 WhiteBalanceMode | tail -n 1)"
echo "(the identical ToUcam with serial 3b5d7f9 keeps Brightness $(lumora get 3b5d7f9 Brightness | tail -n 1))"

step "Loading the profile again"
lumora load 2a4c6e8 "$(winpath "$work/toucam.profile")"
echo "Brightness is back to $(lumora get 2a4c6e8 Brightness | tail -n 1), WhiteBalanceMode $(lumora get 2a4c6e8 WhiteBalanceMode | tail -n 1)"

step "Keeping the profile applied: lumora watch, the camera unplugged and plugged in again"
lumora set 2a4c6e8 Brightness 200
lumora save 2a4c6e8 "$(winpath "$work/toucam.profile")" >/dev/null
echo "(profile saved again with Brightness 200; the camera's default is 128)"
watch_log="$work/watch.log"
"$here/wine-run" "$arch" "$prefix" "$bin/lumora.exe" watch "$(winpath "$work/toucam.profile")" \
  --interval 500 >"$watch_log" 2>&1 &
watch_pid=$!
sleep 3
"$here/sim-rig" unplug "$work/sim-state.txt" 2a4c6e8
sleep 2
"$here/sim-rig" plug "$work/sim-state.txt" 2a4c6e8
sleep 2
lumora watch --stop
wait "$watch_pid" || true
tr -d '\r' <"$watch_log"
echo "Brightness after the re-plug: $(lumora get 2a4c6e8 Brightness | tail -n 1)"

step "Extension units: the vendor controls of the rig's Logitech BRIO"
export LUMORA_SIM_DEVICES=xu
LUMORA_SIM_STATE=$(winpath "$work/sim-xu-state.txt")
rm -f "$work/sim-xu-state.txt" "$work/brio.profile"
lumora xu 6a1b2c3
lumora set 6a1b2c3 "LED Mode" blink
lumora set 6a1b2c3 "LED Frequency" 20
echo "(the LED control's bytes now: $(lumora xu 6a1b2c3 get 63610682-5070-49ab-b8cc-b3855e8d221f 1 | tail -n 1))"
lumora save 6a1b2c3 "$(winpath "$work/brio.profile")"
echo "--- the named controls in $work/brio.profile:"
grep '^#xu:' "$work/brio.profile"
lumora set 6a1b2c3 "LED Mode" off
lumora load 6a1b2c3 "$(winpath "$work/brio.profile")" | grep -E '^\$ lumora|LED|Loaded'
echo "LED Mode is back to $(lumora get 6a1b2c3 "LED Mode" | tail -n 1)"

step "Done"
