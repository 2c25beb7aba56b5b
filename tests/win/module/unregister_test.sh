#!/usr/bin/env bash
# Unregisters Lumora.dll with regsvr32 /u, runs the check program's tests
# that start from an unregistered library (FILTER, e.g. 'Unregistered.*'),
# and registers it again so that later tests find it registered.
# usage: unregister_test.sh DLL-WINDOWS-PATH FILTER CHECK-PROGRAM WINE-RUN...
set -u
dll=$1 filter=$2 check=$3
shift 3
"$@" regsvr32 /s /u "$dll"
status=$?
[ "$status" -eq 77 ] && exit 77
[ "$status" -eq 0 ] || { echo "regsvr32 /u exited $status"; exit 1; }
"$@" "$check" --gtest_filter="$filter"
verdict=$?
"$@" regsvr32 /s "$dll" || { echo "registering again failed"; exit 1; }
exit $verdict
