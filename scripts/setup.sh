#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: does
# nothing when everything is present. "setup.sh fuzz" adds clang (libFuzzer)
# for "make fuzz".
set -euo pipefail

packages=(
  cmake ninja-build ccache g++ make googletest libbenchmark-dev python3 clang-format nlohmann-json3-dev
  mingw-w64 mingw-w64-tools
  wine wine64 wine32:i386 libwine-dev
  xvfb
  msitools wixl
)
# Screenshots of the probe window; installed without recommends.
extras=(imagemagick x11-apps)
if [ "${1:-}" = fuzz ]; then
  packages+=(clang)
fi

missing=()
for p in "${packages[@]}" "${extras[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
main=() extra=()
for p in "${missing[@]}"; do
  case " ${extras[*]} " in *" $p "*) extra+=("$p") ;; *) main+=("$p") ;; esac
done
if [ "${#main[@]}" -gt 0 ]; then
  $sudo apt-get install -y -qq "${main[@]}" >/dev/null
fi
if [ "${#extra[@]}" -gt 0 ]; then
  $sudo apt-get install -y -qq --no-install-recommends "${extra[@]}" >/dev/null
fi
echo "setup: done"
