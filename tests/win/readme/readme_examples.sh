#!/usr/bin/env bash
# Runs one of the script examples of README.md's "Scripting Lumora" section,
# unchanged, with cscript.exe under Wine: Lumora.dll registered, the
# simulated rig serving the prefix's device enumerator. The example must list
# the rig's cameras as lumora.exe lists them, pick the camera of the serial
# it is given, print the brightness range and value lumora.exe reports for
# that camera, and write a value that lumora.exe reads back afterwards.
# usage: readme_examples.sh README LANGUAGE ARCH PREFIX BIN_DIR WORK_DIR
#   LANGUAGE  the tag of the example's code block: vbscript or js
set -u
readme=$1 language=$2 arch=$3 prefix=$4 bin=$5 work=$6
scripts=$(cd "$(dirname "$0")/../../../scripts" && pwd)
case "$language" in
  vbscript) example=cameras.vbs ;;
  js) example=cameras.js ;;
  *) echo "readme_examples: unknown language $language" >&2; exit 2 ;;
esac

# Skip (77) where Wine cannot run this architecture, before the prefix is
# looked at: such machines have no prefix either.
"$scripts/wine-run" "$arch" "$prefix" --version >/dev/null 2>&1
[ $? -eq 77 ] && { echo "readme_examples: Wine cannot run $arch here; skipped"; exit 77; }

mkdir -p "$work"
work=$(cd "$work" && pwd)
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# The first code block of the language inside the section.
awk -v tag="$language" '
  /^## / { inside = ($0 == "## Scripting Lumora") }
  inside && !found && $0 == "```" tag { copying = 1; found = 1; next }
  copying && $0 == "```" { copying = 0; next }
  copying { print }
' "$readme" >"$work/$example"
[ -s "$work/$example" ] || { echo "FAIL: README.md has no \`\`\`$language block under \"## Scripting Lumora\""; exit 1; }

"$scripts/wine-run" "$arch" "$prefix" regsvr32 /s "$(winpath "$bin/Lumora.dll")" ||
  { echo "FAIL: regsvr32 Lumora.dll"; exit 1; }
"$scripts/sim-rig" install "$arch" "$prefix" "$bin/LumoraSim.dll" >/dev/null || exit $?
trap '"$scripts/sim-rig" uninstall "$arch" "$prefix" >/dev/null' EXIT
# The rig keeps its cameras' values in this file, from one program to the next.
state="$work/sim-state-$language.txt"
rm -f "$state"
export LUMORA_SIM_STATE LUMORA_SIM_DEVICES=default
LUMORA_SIM_STATE=$(winpath "$state")

run() { "$scripts/wine-run" "$arch" "$prefix" "$@" 2>&1 | tr -d '\r'; }
lumora() { run "$bin/lumora.exe" "$@"; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
has_line() { grep -qxF -- "$2" <<<"$1" || fail "no line \"$2\""; }

# What lumora.exe knows of the rig and of the chosen camera.
serial=1f1f0d8
listing=$(lumora list)
# EnumCams lists the devices: the sources lumora list shows as kind device,
# in its order (name TAB serial).
devices=$(awk '/^[0-9]+  / { name = $0; sub(/^[0-9]+  /, "", name) }
  /^   serial:  / { serial = substr($0, 13) }
  /^   kind:    device$/ { print name "\t" serial }' <<<"$listing")
[ -n "$devices" ] || { echo "FAIL: lumora list shows no camera"; echo "$listing"; exit 1; }
brightness=$(lumora report "$serial" | grep '^Brightness ')
range=$(sed -n 's/.*Range \(-\{0,1\}[0-9]*\)\t- \(-\{0,1\}[0-9]*\)\tValue is \(-\{0,1\}[0-9]*\).*/\1 \2 \3/p' <<<"$brightness")
read -r minimum maximum before <<<"$range"
[ -n "${before:-}" ] || { echo "FAIL: lumora report gives no Brightness range: $brightness"; exit 1; }

output=$(run cscript.exe //nologo "$(winpath "$work/$example")" "$serial")
printf '%s\n' "$output"

# Every camera, numbered from 0, with its serial.
index=0 chosen=
while IFS=$'\t' read -r name camera_serial; do
  has_line "$output" "Camera $index: $name, serial $camera_serial"
  [ "$camera_serial" = "$serial" ] && [ -z "$chosen" ] && chosen="$index: $name"
  index=$((index + 1))
done <<<"$devices"
[ "$(grep -c '^Camera ' <<<"$output")" -eq "$index" ] || fail "not $index camera lines"
[ -n "$chosen" ] || { echo "FAIL: lumora list shows no camera with serial $serial"; exit 1; }
has_line "$output" "Using camera $chosen"

# The range and value lumora.exe reports, then a written value that is not
# the one before, inside the range, and read back by lumora.exe.
range_line=$(grep '^Brightness range: ' <<<"$output")
case "$range_line" in
  "Brightness range: $minimum to $maximum, step "[1-9]*) ;;
  *) fail "range line \"$range_line\" is not $minimum to $maximum with a step" ;;
esac
has_line "$output" "Brightness: $before"
after=$(sed -n 's/^Brightness now: \(-\{0,1\}[0-9][0-9]*\)$/\1/p' <<<"$output")
if [ -z "$after" ]; then
  fail "no line \"Brightness now: <number>\""
else
  [ "$after" -ne "$before" ] || fail "the write did not change the value ($before)"
  [ "$after" -ge "$minimum" ] && [ "$after" -le "$maximum" ] ||
    fail "$after lies outside $minimum..$maximum"
  readback=$(lumora get "$serial" Brightness)
  readback=${readback% (manual)}  # a control with modes shows its mode
  [ "$readback" = "$after" ] || fail "lumora get reads $readback after the example wrote $after"
fi
# The example's last line is its last step (cscript exits 0 on errors too).
[ "$(tail -n 1 <<<"$output")" = "Brightness now: $after" ] || fail "the example did not end with its write"

[ "$failures" -eq 0 ] || exit 1
echo "readme_examples: $example ok"
