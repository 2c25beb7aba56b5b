#!/usr/bin/env bash
# Checks the export table of a built Lumora.dll: every name of the simple
# camera API and of the COM server at its ordinal, nothing else exported,
# and (32-bit) the import library's decorated names of the __stdcall
# functions that callers link against.
# usage: check_exports.sh OBJDUMP NM LUMORA_DLL IMPORT_LIBRARY ARCH
set -u
objdump=$1 nm=$2 dll=$3 implib=$4 arch=$5

expected="
11 EnumCams
12 GetCamStrings
13 GetCamSerials
14 GetDevStrings
15 SetCam
16 _ZN15CLumoraAPIclassC1ERKS_
17 _ZN15CLumoraAPIclassC1Ev
18 _ZN15CLumoraAPIclassD1Ev
19 _ZN15CLumoraAPIclassaSERKS_
20 _ZTV15CLumoraAPIclass
21 CamProperty_Support
22 CamProperty_Range
23 CamProperty_Set
24 CamProperty_Get
25 CamChipset
26 _ZN15CLumoraAPIclass10CamChipsetEPNS_16EKnownChipsetCatE
27 _ZN15CLumoraAPIclass15CamProperty_GetENS_15EVidCapPropertyEPl
28 _ZN15CLumoraAPIclass17CamProperty_RangeENS_15EVidCapPropertyEPlS1_S1_
29 _ZN15CLumoraAPIclass15CamProperty_SetENS_15EVidCapPropertyEl
30 _ZN15CLumoraAPIclass19CamProperty_SupportENS_15EVidCapPropertyEPNS_22EVidCapPropertySupportE
31 _ZN15CLumoraAPIclass8DllUsersEv
32 _ZN15CLumoraAPIclass8EnumCamsEv
33 _ZN15CLumoraAPIclass9ErrStringEv
34 _ZN15CLumoraAPIclass13GetCamSerialsEPPA10_PcPm
35 _ZN15CLumoraAPIclass13GetCamStringsEPPA10_PcPm
36 _ZN15CLumoraAPIclass13GetDevStringsEPPA10_PcPm
37 _ZN15CLumoraAPIclass6SetCamEl
38 DllGetClassObject
39 DllCanUnloadNow
40 DllRegisterServer
41 DllUnregisterServer
42 _ZN15CLumoraAPIclassC2Ev
43 _ZN15CLumoraAPIclassC2ERKS_
44 _ZN15CLumoraAPIclassD2Ev
45 _ZN15CLumoraAPIclassD0Ev
46 _ZTI15CLumoraAPIclass
47 CamProperty_Modes
48 CamProperty_SetMode
49 CamProperty_Default
50 EnumAllCams
51 CamXu_Get
52 CamXu_Set"

dump=$("$objdump" -p "$dll") || { echo "check_exports: cannot read $dll"; exit 1; }
base=$(sed -n 's/^Ordinal Base[[:space:]]*\([0-9]*\).*/\1/p' <<<"$dump")
[ -n "$base" ] || { echo "check_exports: no export table in $dll"; exit 1; }
# "[Ordinal/Name Pointer] Table" lines: "[  n] name", n counted from the base.
actual=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
  sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\][[:space:]]*\(.*\)$/\1 \2/p' |
  while read -r index name; do echo "$((index + base)) $name"; done | sort -n)

status=0
if [ "$actual" != "$(sed '/^$/d' <<<"$expected" | sort -n)" ]; then
  echo "check_exports: $dll exports differ from the expected table:"
  diff <(sed '/^$/d' <<<"$expected" | sort -n) <(echo "$actual")
  status=1
fi

if [ "$arch" = win32 ]; then
  symbols=$("$nm" "$implib") || { echo "check_exports: cannot read $implib"; exit 1; }
  for s in EnumCams@0 GetCamStrings@8 GetCamSerials@8 GetDevStrings@8 SetCam@4 \
           CamProperty_Support@8 CamProperty_Range@16 CamProperty_Set@8 CamProperty_Get@8 \
           CamChipset@4 CamProperty_Modes@12 CamProperty_SetMode@8 CamProperty_Default@8 \
           EnumAllCams@0 CamXu_Get@20 CamXu_Set@16; do
    grep -q " I __imp__$s\$" <<<"$symbols" ||
      { echo "check_exports: import library lacks __imp__$s"; status=1; }
  done
fi
[ $status -eq 0 ] && echo "check_exports: $(wc -l <<<"$actual") exports at their ordinals"
exit $status
