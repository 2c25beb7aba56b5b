#!/usr/bin/env bash
# Runs a command while the simulated device rig serves the system device
# enumerator of a project prefix, and restores the prefix afterwards.
# usage: run_with_rig.sh SIM-RIG ARCH PREFIX RIG-DLL COMMAND...
set -u
simrig=$1 arch=$2 prefix=$3 dll=$4
shift 4
# Skip (77) where Wine cannot run this architecture, before the prefix is
# looked at: such machines have no prefix either.
"$(dirname "$simrig")/wine-run" "$arch" "$prefix" --version >/dev/null 2>&1
[ $? -eq 77 ] && { echo "run_with_rig: Wine cannot run $arch here; skipped"; exit 77; }
"$simrig" install "$arch" "$prefix" "$dll"
status=$?
[ "$status" -eq 77 ] && exit 77
[ "$status" -eq 0 ] || { echo "run_with_rig: the rig could not be installed"; exit 1; }
trap '"$simrig" uninstall "$arch" "$prefix" >/dev/null' EXIT
"$@"
