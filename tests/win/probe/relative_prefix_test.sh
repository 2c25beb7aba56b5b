#!/usr/bin/env bash
# "make probe" and the demo hand the scripts a build folder relative to the
# project: the prefix scripts must take a relative prefix, and may skip only
# when the loader truly cannot start here.
# usage: relative_prefix_test.sh SCRIPTS_DIR ARCH BUILD_DIR
set -u
scripts=$1 arch=$2 build=$3
case "$arch" in
  win32) loader=/usr/lib/wine/wine ;;
  *) loader=/usr/lib/wine/wine64 ;;
esac
cd "$build" || exit 1
out=$("$scripts/wine-prefix" create "$arch" wine-prefix 2>&1)
rc=$?
if [ "$rc" -eq 77 ]; then
  if WINEPREFIX="$build/wine-prefix" "$loader" --version >/dev/null 2>&1; then
    echo "FAIL: wine-prefix skipped a relative prefix although $loader starts: $out"
    exit 1
  fi
  echo "$out"
  echo "test skipped"
  exit 77
fi
[ "$rc" -eq 0 ] || { echo "FAIL: wine-prefix create with a relative prefix: $out"; exit 1; }
"$scripts/wine-run" "$arch" wine-prefix cmd /c echo relative-prefix-ok
