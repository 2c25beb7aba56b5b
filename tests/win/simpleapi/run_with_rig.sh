#!/usr/bin/env bash
# Runs a client of the simple camera API in the test prefix with Lumora.dll
# registered and the simulated device rig (LumoraSim.dll) installed as the
# prefix's system device enumerator; uninstalls the rig afterwards. Passes
# when the client exits 0 and prints the expected line.
# usage: run_with_rig.sh ARCH PREFIX BIN_DIR EXPECTED_LINE PROGRAM [ARGS...]
#   PROGRAM and ARGS are handed to Wine; a Unix path argument that names an
#   existing file is given as a Windows path (Z:...).
set -u
arch=$1 prefix=$2 bin=$3 expected=$4
shift 4
scripts=$(cd "$(dirname "$0")/../../../scripts" && pwd)
run() { "$scripts/wine-run" "$arch" "$prefix" "$@"; }
winpath() { local p; p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); echo "Z:${p//\//\\}"; }

run regsvr32 /s "$(winpath "$bin/Lumora.dll")"
rc=$?
[ $rc -eq 77 ] && exit 77
[ $rc -eq 0 ] || { echo "run_with_rig: regsvr32 Lumora.dll failed ($rc)"; exit 1; }
"$scripts/sim-rig" install "$arch" "$prefix" "$bin/LumoraSim.dll" || exit $?

args=()
for a in "$@"; do
  if [ -f "$a" ]; then args+=("$(winpath "$a")"); else args+=("$a"); fi
done
output=$(run "${args[@]}" 2>&1)
rc=$?
"$scripts/sim-rig" uninstall "$arch" "$prefix" >/dev/null
printf '%s\n' "${output//$'\r'/}"
[ $rc -eq 0 ] || { echo "run_with_rig: client exited $rc"; exit 1; }
grep -qxF "$expected" <<<"${output//$'\r'/}" || { echo "run_with_rig: no line \"$expected\""; exit 1; }
exit 0
