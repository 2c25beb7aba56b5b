#!/usr/bin/env bash
# Runs the VBScript example of README.md's "Extension units" section,
# unchanged, with cscript.exe under Wine against the registered library and
# the rig's cameras with extension units (camera 0: the LED, field-of-view
# and motor units). The example must list every control of the camera, and
# print the LED mode it wrote and the LED frequency's range from the device.
# usage: readme_xu_example.sh README ARCH PREFIX BIN_DIR WORK_DIR
set -u
readme=$1 arch=$2 prefix=$3 bin=$4 work=$5
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
work=$(cd "$work" && pwd)
awk '
  /^## / { inside = ($0 == "## Extension units") }
  inside && !found && $0 == "```vbscript" { copying = 1; found = 1; next }
  copying && $0 == "```" { copying = 0; next }
  copying { print }
' "$readme" >"$work/xu_example.vbs"
[ -s "$work/xu_example.vbs" ] || { echo "FAIL: no vbscript block under \"## Extension units\""; exit 1; }
output=$(LUMORA_SIM_DEVICES=xu "$here/../simpleapi/run_with_rig.sh" "$arch" "$prefix" "$bin" \
  "LED Mode: off" cscript.exe //nologo "$work/xu_example.vbs")
status=$?
printf '%s\n' "$output"
[ $status -eq 77 ] && exit 77
[ $status -eq 0 ] || exit 1
failures=0
for line in "LED Frequency: 1 to 255 (0.05 Hz)" \
    "63610682-5070-49ab-b8cc-b3855e8d221f 1: 3 bytes" \
    "49e40215-f434-47fe-b158-0e885023e51b 5: 1 bytes" \
    "63610682-5070-49ab-b8cc-b3855e8d2256 3: 6 bytes"; do
  grep -qxF -- "$line" <<<"$output" || { echo "FAIL: no line \"$line\""; failures=$((failures + 1)); }
done
[ $failures -eq 0 ] && echo "readme_xu_example: ok"
exit $((failures > 0))
