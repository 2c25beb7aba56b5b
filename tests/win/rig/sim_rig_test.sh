#!/usr/bin/env bash
# scripts/sim-rig in the test prefix: it refuses folders the project did not
# make, installs LumoraSim.dll as the system device enumerator (a separate
# program then lists the simulated cameras), and uninstall brings back the
# original registration and Wine's own enumerator.
# usage: sim_rig_test.sh SIM_RIG WINE_RUN ARCH PREFIX DLL PROBE_EXE
set -u
simrig=$1 winerun=$2 arch=$3 prefix=$4 dll=$5 probe=$6
failures=0
check() {  # check WHAT COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# Wine for this architecture at all? (77: skipped)
"$winerun" "$arch" "$prefix" --version >/dev/null 2>&1
rc=$?
[ "$rc" -eq 77 ] && { echo "Wine cannot run $arch here; skipped"; exit 77; }

# Refusals: a plain folder, and a Wine prefix without the project's marker.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/fake"
cp "$prefix/system.reg" "$scratch/fake/system.reg"
for folder in "$scratch" "$scratch/fake" "$scratch/missing"; do
  out=$("$simrig" install "$arch" "$folder" "$dll" 2>&1)
  rc=$?
  check "refuses $folder (exit $rc)" [ "$rc" -eq 2 ]
  case "$out" in *refusing*) ;; *) echo "FAILED: no refusal message: $out"; failures=$((failures + 1)) ;; esac
done

# plug / unplug keep STATE.plug: one line per device, counting changes.
state="$scratch/state.txt"
check "unplug" "$simrig" unplug "$state" 2a4c6e8
check "unplug again changes nothing" "$simrig" unplug "$state" 2A4C6E8
check "plug" "$simrig" plug "$state" 2a4c6e8
check "plug of a device never unplugged" "$simrig" plug "$state" 3b5d7f9
check "the plug file" [ "$(cat "$state.plug")" = $'lumora-sim-plug 1\nplugged 2 2a4c6e8' ]
"$simrig" unplug "$state" "two words" >/dev/null 2>&1
check "a bad device name is refused" [ $? -eq 1 ]

before=$("$simrig" status "$arch" "$prefix")
echo "original: $before"
check "an original registration exists" [ -n "$before" ]

# From here on the prefix is changed: always undo it.
trap '"$simrig" uninstall "$arch" "$prefix" >/dev/null 2>&1; rm -rf "$scratch"' EXIT
check "install" "$simrig" install "$arch" "$prefix" "$dll"
check "install again keeps the first saving" "$simrig" install "$arch" "$prefix" "$dll"
check "status names LumoraSim.dll" [ "$("$simrig" status "$arch" "$prefix")" = "Z:${dll//\//\\}" ]
check "a program lists the simulated cameras" "$winerun" "$arch" "$prefix" "$probe" rig
check "uninstall" "$simrig" uninstall "$arch" "$prefix"
check "the original registration is back" [ "$("$simrig" status "$arch" "$prefix")" = "$before" ]
check "the saving is gone" [ ! -e "$prefix/.lumora-sim-rig-saved-$arch" ]
check "Wine's enumerator is back" "$winerun" "$arch" "$prefix" "$probe" real
check "uninstall again is harmless" "$simrig" uninstall "$arch" "$prefix"

[ "$failures" -eq 0 ] && echo "sim-rig: all checks passed"
[ "$failures" -eq 0 ]
