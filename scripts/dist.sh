#!/usr/bin/env bash
# The release files of the project version VERSION (the CMake project
# version) in DIST_DIR:
#   win32/, win64/                     the shipped files, as before
#   Lumora-VERSION-win32.zip, -win64.zip  reproducible archives of them with
#                                      README, CHANGELOG (and LICENSE when
#                                      the tree has one)
#   Lumora-VERSION-x64.msi             the installer (scripts/msi/make_msi.py)
# usage: dist.sh BUILD_DIR DIST_DIR
set -euo pipefail
build=$1 dist=$2
source=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/win64/CMakeCache.txt")
[ -n "$version" ] || { echo "dist: no project version in $build/win64" >&2; exit 1; }
# Archive timestamps: the commit time, so that every build of one commit
# gives the same archives.
SOURCE_DATE_EPOCH=$(git -C "$source" log -1 --format=%ct 2>/dev/null || echo 315532800)
export SOURCE_DATE_EPOCH

shipped=(Lumora.dll LumoraSim.dll LumoraProbe.exe LumoraSettings.exe lumora.exe)
docs=(README.md CHANGELOG.md LICENSE)
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
  # The shipped extension-unit definitions, where the library looks for
  # them: xu-definitions\ beside Lumora.dll.
  mkdir -p "$dist/$arch/xu-definitions"
  cp "$source"/xu/definitions/*.json "$dist/$arch/xu-definitions/"
  echo "dist/$arch: $(cd "$dist/$arch" && ls | tr '\n' ' ')"

  entries=()
  for f in "${shipped[@]}" lumora.h libLumora.dll.a; do
    if [ -f "$dist/$arch/$f" ]; then entries+=("$f=$dist/$arch/$f"); fi
  done
  for f in "$dist/$arch"/xu-definitions/*.json; do
    entries+=("xu-definitions/$(basename "$f")=$f")
  done
  for f in "${docs[@]}"; do
    if [ -f "$source/$f" ]; then entries+=("$f=$source/$f"); fi
  done
  archive="$dist/Lumora-$version-$arch.zip"
  "$source/scripts/make-zip.py" "$archive" "Lumora-$version-$arch" "${entries[@]}"
  echo "$archive"
done
[ -f "$source/LICENSE" ] || echo "dist: the tree has no LICENSE file; the archives carry none" >&2

msi="$dist/Lumora-$version-x64.msi"
"$source/scripts/msi/make_msi.py" "$build" "$msi"
echo "$msi"
