#!/usr/bin/env bash
# Runs the probe UI test (probe_ui_tests) under the X display it is given
# (ctest starts it under xvfb-run), in a throwaway copy of the build's test
# prefix: the copy gets its own wineserver, which starts Wine's desktop on
# this display, and the rig and the registration stay out of the shared
# prefix. While the driver holds the filled window still, the screen is
# saved as <build>/probe-screenshot.png.
#
# usage: run_ui_test.sh ARCH BUILD_DIR SOURCE_DIR
set -u
arch=$1 build=$2 source=$3
run="$source/scripts/wine-run"
template="$build/wine-prefix"
prefix="$build/probe-ui-prefix"
bin="$build/bin"
shot="$build/probe-screenshot.png"
marker="$build/probe-screenshot.done"
log="$build/probe-ui-driver.log"
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
rm -f "$shot" "$marker" "$log"
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

"$run" "$arch" "$prefix" regsvr32 /s "$(winpath "$bin/Lumora.dll")" || {
  echo "run_ui_test.sh: regsvr32 Lumora.dll failed" >&2
  exit 1
}
"$source/scripts/sim-rig" install "$arch" "$prefix" "$bin/LumoraSim.dll" || exit 1

"$run" "$arch" "$prefix" "$bin/probe_ui_tests.exe" "$(winpath "$bin/LumoraProbe.exe")" \
  "$(winpath "$marker")" >"$log" 2>&1 </dev/null &
driver=$!

# Photograph the screen when the driver says the report is filled.
for _ in $(seq 1 1200); do
  if grep -q PROBE-SCREENSHOT-READY "$log" 2>/dev/null; then
    import -window root "$shot" || echo "run_ui_test.sh: screenshot failed" >&2
    touch "$marker"
    break
  fi
  kill -0 "$driver" 2>/dev/null || break
  sleep 0.1
done
wait "$driver"
rc=$?
tr -d '\r' <"$log"
[ -f "$shot" ] && echo "screenshot: $shot"
exit $rc
