#!/usr/bin/env bash
# Runs a script (VBScript or JScript, by its extension) with cscript.exe
# under Wine and passes when its output holds the marker line (cscript's exit
# code says nothing about errors).
# usage: run_vbscript.sh MARKER SCRIPT WINE-RUN...
set -u
marker=$1 script=$2
shift 2
output=$("$@" cscript.exe //nologo "Z:$(echo "$script" | tr / '\\')" 2>&1)
status=$?
printf '%s\n' "$output" | tr -d '\r'
[ "$status" -eq 77 ] && exit 77
printf '%s\n' "$output" | tr -d '\r' | grep -qx "$marker" || { echo "marker $marker missing"; exit 1; }
