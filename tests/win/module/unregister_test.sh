#!/usr/bin/env bash
# Unregisters Lumora.dll with regsvr32 /u, checks that its entries are gone,
# and registers it again so that later tests find it registered.
# usage: unregister_test.sh DLL-WINDOWS-PATH CHECK-PROGRAM WINE-RUN...
set -u
dll=$1 check=$2
shift 2
"$@" regsvr32 /s /u "$dll"
status=$?
[ "$status" -eq 77 ] && exit 77
[ "$status" -eq 0 ] || { echo "regsvr32 /u exited $status"; exit 1; }
"$@" "$check" --gtest_filter='Unregistered.*'
verdict=$?
"$@" regsvr32 /s "$dll" || { echo "registering again failed"; exit 1; }
exit $verdict
