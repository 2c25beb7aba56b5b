# The shared start of the lumora.exe tests under Wine, sourced by each:
# its arguments, the skip (77) where Wine cannot run ARCH (checked before the
# prefix is looked at: such machines have no prefix either), the simulated
# rig installed for the test's life with a fresh state file, and the helpers
# run (lumora.exe with stdout, stderr and status kept), fail and has.
# usage: . tool_test_lib.sh NAME SCRIPTS_DIR ARCH PREFIX BIN_DIR WORK_DIR
name=$1 scripts=$2 arch=$3 prefix=$4 bin=$5 work=$6
mkdir -p "$work"
work=$(cd "$work" && pwd)

"$scripts/wine-run" "$arch" "$prefix" --version >/dev/null 2>&1
[ $? -eq 77 ] && { echo "$name: Wine cannot run $arch here; skipped"; exit 77; }
"$scripts/sim-rig" install "$arch" "$prefix" "$bin/LumoraSim.dll" >/dev/null
rc=$?
[ "$rc" -eq 0 ] || exit "$rc"
trap '"$scripts/sim-rig" uninstall "$arch" "$prefix" >/dev/null' EXIT

winpath() { printf 'Z:%s' "${1//\//\\}"; }
state="$work/sim-state.txt"
rm -f "$state"
export LUMORA_SIM_STATE LUMORA_SIM_DEVICES=default
LUMORA_SIM_STATE=$(winpath "$state")

. "$(dirname "${BASH_SOURCE[0]}")/tool_run.sh"
