#!/usr/bin/env bash
# Runs a window's UI test (probe_ui_tests for LumoraProbe, settings_ui_tests
# for LumoraSettings) under the X display it is given (ctest starts it under
# xvfb-run), in a throwaway copy of the build's test prefix: the copy gets its
# own wineserver, which starts Wine's desktop on this display, and the rig and
# the registration stay out of the shared prefix. While the driver holds the
# filled window still, the screen is saved as <build>/NAME-screenshot.png.
#
# The settings test runs with the rig's state file (LUMORA_SIM_STATE, a
# Windows path, so that the driver reads what the camera holds) and a camera
# whose brightness writes fail (LUMORA_SIM_FAULTS). Its driver asks for a
# camera to be unplugged or plugged with a line "RIG-REQUEST N unplug|plug
# DEVICE"; the script runs scripts/sim-rig and answers with the file
# MARKER.N.
#
# usage: run_ui_test.sh ARCH BUILD_DIR SOURCE_DIR [NAME]   (NAME: probe, settings)
set -u
arch=$1 build=$2 source=$3 name=${4:-probe}
case "$name" in
  probe) program=LumoraProbe ;;
  settings) program=LumoraSettings ;;
  *) echo "run_ui_test.sh: unknown window $name" >&2; exit 2 ;;
esac
run="$source/scripts/wine-run"
template="$build/wine-prefix"
prefix="$build/$name-ui-prefix"
bin="$build/bin"
shot="$build/$name-screenshot.png"
marker="$build/$name-screenshot.done"
log="$build/$name-ui-driver.log"
state="$build/$name-ui-state.txt"
server=/usr/lib/wine/wineserver

case "$arch" in
  win32) loader=/usr/lib/wine/wine ;;
  *) loader=/usr/lib/wine/wine64 ;;
esac
"$loader" --version >/dev/null 2>&1 || { echo "Wine cannot run $arch programs here; skipped"; exit 77; }
[ -n "${DISPLAY:-}" ] || { echo "run_ui_test.sh: no DISPLAY (run it under xvfb-run)" >&2; exit 1; }

# The socket folder wineserver keeps for a prefix (named after its device
# and inode), removed with the prefix.
server_dir() {
  [ -d "$1" ] || return 0
  printf '/tmp/.wine-%s/server-%x-%x\n' "$(id -u)" "$(stat -c %d "$1")" "$(stat -c %i "$1")"
}
remove_prefix() {
  [ -d "$prefix" ] || return 0
  local dir
  dir=$(server_dir "$prefix")
  WINEPREFIX=$prefix "$server" -k 2>/dev/null
  WINEPREFIX=$prefix "$server" -w 2>/dev/null
  rm -rf "$prefix" "$dir"
}

remove_prefix
rm -f "$shot" "$marker" "$marker".* "$log" "$state" "$state.plug"
if [ -f "$template/system.reg" ]; then
  # Hard links for the bulk, real copies of the registry files (wineserver
  # rewrites those in place).
  cp -al "$template" "$prefix" || exit 1
  for f in system.reg user.reg userdef.reg; do
    [ -f "$template/$f" ] && cp --remove-destination "$template/$f" "$prefix/$f"
  done
  rm -f "$prefix"/.lumora-sim-rig-saved-*
else
  "$source/scripts/wine-prefix" create "$arch" "$prefix" || exit $?
fi
trap remove_prefix EXIT

export WINEPREFIX=$prefix
"$server" -p >/dev/null 2>&1 </dev/null

winpath() { printf 'Z:%s' "${1//\//\\}"; }
if [ "$name" = settings ]; then
  LUMORA_SIM_STATE=$(winpath "$state")
  # The eleventh device of the rig, "USB Video Device": its brightness
  # writes fail.
  LUMORA_SIM_FAULTS=11:procamp/0:fail-writes
  export LUMORA_SIM_STATE LUMORA_SIM_FAULTS
fi

"$run" "$arch" "$prefix" regsvr32 /s "$(winpath "$bin/Lumora.dll")" || {
  echo "run_ui_test.sh: regsvr32 Lumora.dll failed" >&2
  exit 1
}
"$source/scripts/sim-rig" install "$arch" "$prefix" "$bin/LumoraSim.dll" || exit 1

"$run" "$arch" "$prefix" "$bin/${name}_ui_tests.exe" "$(winpath "$bin/$program.exe")" \
  "$(winpath "$marker")" >"$log" 2>&1 </dev/null &
driver=$!

# Photograph the screen when the driver says the window is filled; carry out
# its requests to the rig.
served=0
for _ in $(seq 1 3000); do
  if [ ! -f "$marker" ] && grep -q SCREENSHOT-READY "$log" 2>/dev/null; then
    import -window root "$shot" || echo "run_ui_test.sh: screenshot failed" >&2
    touch "$marker"
  fi
  while read -r _ n what device; do
    [ "$n" -gt "$served" ] 2>/dev/null || continue
    case "$what" in
      plug | unplug) "$source/scripts/sim-rig" "$what" "$state" "$device" >/dev/null ;;
    esac
    served=$n
    touch "$marker.$n"
  done < <(tr -d '\r' <"$log" 2>/dev/null | grep '^RIG-REQUEST ')
  kill -0 "$driver" 2>/dev/null || break
  sleep 0.1
done
wait "$driver"
rc=$?
tr -d '\r' <"$log"
[ -f "$shot" ] && echo "screenshot: $shot"
exit $rc
