#!/usr/bin/env bash
# Copies the shipped Windows binaries into dist/win32 and dist/win64.
# usage: dist.sh BUILD_DIR DIST_DIR
set -euo pipefail
build=$1 dist=$2
shipped=(Lumora.dll LumoraSim.dll LumoraProbe.exe lumora.exe)
for arch in win32 win64; do
  mkdir -p "$dist/$arch"
  for f in "${shipped[@]}"; do
    if [ -f "$build/$arch/bin/$f" ]; then
      cp "$build/$arch/bin/$f" "$dist/$arch/"
    fi
  done
  # The C/C++ header and import library of the simple API.
  if [ -f "$build/$arch/include/lumora.h" ]; then cp "$build/$arch/include/lumora.h" "$dist/$arch/"; fi
  if [ -f "$build/$arch/module/libLumora.dll.a" ]; then cp "$build/$arch/module/libLumora.dll.a" "$dist/$arch/"; fi
  echo "dist/$arch: $(cd "$dist/$arch" && ls | tr '\n' ' ')"
done
