#!/usr/bin/env bash
# The installer under Wine, in a fresh 64-bit prefix of its own:
#   1. a failing install (a file where the installer needs a folder) rolls
#      back;
#   2. an older package, then this version over it: one product remains;
#   3. the registration: 64-bit view and 32-bit view read from the
#      registry (the 32-bit type library's rows against what the 64-bit
#      library's registration wrote); regsvr32 of the installed library changes nothing in the
#      classes (the installer's tables say what the registry scripts say);
#      a script client creates Lumora.LumoraCOM; "lumora --version" runs
#      from the PATH;
#   4. the same package again repairs (a deleted file comes back) and still
#      one product;
#   5. a newer version over this one, then uninstall, each with a logon
#      entry of "lumora watch --install" and the installed lumora watching a
#      camera of the simulated rig (the build's LumoraSim.dll serving the
#      prefix for the while): the watch has stopped by the end of the
#      upgrade and of the uninstall, and with the rig taken out again the
#      files and the registry are as before the first install (differences
#      named).
# usage: install_test.sh SOURCE_DIR BUILD_ROOT WORK_DIR
# BUILD_ROOT holds native, win32 and win64 (make build); exit 77 (skipped)
# when a part is missing or this machine cannot run 64-bit Wine.
set -u -o pipefail
source=$1 build=$2 work=$3
for need in native/lumora-registry-rows win32/bin/Lumora.dll win64/bin/Lumora.dll; do
  if [ ! -f "$build/$need" ]; then echo "install test: $build/$need is missing (make build); skipped"; exit 77; fi
done
for tool in wixl msibuild msiinfo; do
  command -v $tool >/dev/null || { echo "install test: $tool is missing (scripts/setup.sh)"; exit 1; }
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/win64/CMakeCache.txt")

prefix=$work/prefix
. "$source/scripts/wine-loader"
wine_loader_setup install-test win64 "$prefix" || exit $?
wine_loader_check || exit $?
export WINEPREFIX=$prefix WINEDEBUG=-all
# No Mono/Gecko prompts; no menu entries in the Unix desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
server=/usr/lib/wine/wineserver
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
cleanup() {
  "$server" -k 2>/dev/null
  chmod -R u+w "$work" 2>/dev/null
  [ -n "${LUMORA_KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$work" && mkdir -p "$work"

echo "== packages"
"$source/scripts/msi/make_msi.py" "$build" "$work/new.msi" || exit 1
"$source/scripts/msi/make_msi.py" "$build" "$work/old.msi" 1.0.0.1 || exit 1
"$source/scripts/msi/make_msi.py" "$build" "$work/newer.msi" 99.0.0.0 || exit 1
newer='Z:'$(echo "$work/newer.msi" | tr / '\\')
new='Z:'$(echo "$work/new.msi" | tr / '\\')
old='Z:'$(echo "$work/old.msi" | tr / '\\')

echo "== fresh prefix"
"$loader" wineboot -i >/dev/null 2>&1 </dev/null
"$server" -w
"$server" -p >/dev/null 2>&1 </dev/null
"$loader" wineboot >/dev/null 2>&1 </dev/null
w() { "$loader" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
drive=$prefix/drive_c
target="$drive/Program Files/Lumora"

# The registry (both views: the 32-bit one is stored under Wow6432Node) as
# sorted lines "KEY | VALUE", and the files of drive C:, without what Wine
# or Windows Installer keep for themselves (named in the filters).
snapshot() {
  local out=$1 hive
  : >"$out.reg"
  for hive in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER; do
    "$loader" regedit /E "$work/export.reg" $hive </dev/null >/dev/null 2>&1
    iconv -f UTF-16LE -t UTF-8 "$work/export.reg" | tr -d '\r' | python3 -c '
import sys
key = None
for line in sys.stdin.read().replace("\\\n  ", "").splitlines():
    if line.startswith("["):
        key = line
        print(key)
    elif line and key and not line.startswith("Windows Registry"):
        print(key + " | " + line)' >>"$out.reg"
  done
  # Left out: Windows Installer's own bookkeeping (Installer keys), Wine's
  # per-run state (display driver, clock, performance data) and the system
  # PATH (compared on its own: system_path).
  grep -v -E 'Microsoft\\Windows\\CurrentVersion\\Installer|Software\\Classes\\Installer|HKEY_CURRENT_USER\\Software\\Wine|DynDaylightDisable|TimeZoneInformation|\\Perflib|HKEY_LOCAL_MACHINE\\Software\\Wine\\(Ports|MSHTML)|RunOnce|\\DeviceClasses|Control\\Video|DEVICEMAP\\VIDEO|Session Manager\\Environment\] \| "PATH"' \
    "$out.reg" | sort >"$out.regs"
  (cd "$drive" && find . \( -path ./windows/Installer -o -path ./windows/temp -o -path './users/*/Temp' -o -path './users/*/AppData/Local/Temp' \) -prune -o -print | sort) >"$out.files"
}
products() {  # the installed products named Lumora: "version"
  w reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
    awk '/^HKEY/ { key = $0 } /DisplayName.*REG_SZ.*Lumora/ { found[key] = 1 }
         /DisplayVersion/ { version[key] = $3 } END { for (k in found) print version[k] }' | sort
}
compare() {  # compare BEFORE AFTER WHAT
  local d
  d=$(diff "$1.regs" "$2.regs"; diff "$1.files" "$2.files")
  if [ -n "$d" ]; then
    fail "$3 leaves differences:"
    printf '%s\n' "$d" | head -40
  fi
}
system_path() {
  w reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH |
    sed -n 's/.*REG_EXPAND_SZ *//p'
}
# Wine's own first runs of the programs used below register their classes
# and the display driver: done before the first picture.
printf 'WScript.Echo "warm"\n' >"$drive/warm.vbs"
w cscript //nologo 'C:\warm.vbs' >/dev/null
w regsvr32 /s 'C:\windows\system32\ole32.dll' >/dev/null
rm -f "$drive/warm.vbs"
path_before=$(system_path)
snapshot "$work/before"

echo "== 1. failing install rolls back"
mkdir -p "$target" && : >"$target/x86"
w msiexec /i "$new" /qn
rc=$?
rm -f "$target/x86" && rmdir "$target"
[ "$rc" -ne 0 ] || fail "msiexec /i into a blocked target: exit 0"
[ -z "$(products)" ] || fail "a failed install registered a product"
snapshot "$work/rolledback"
compare "$work/before" "$work/rolledback" "the failed install (msiexec $rc)"

echo "== 2. older package, then this version over it"
w msiexec /i "$old" /qn || fail "msiexec /i old package: exit $?"
[ "$(products)" = "1.0.0.1" ] || fail "after the old package: products '$(products)'"
w msiexec /i "$new" /qn || fail "msiexec /i: exit $?"
[ "$(products)" = "$version" ] || fail "after the upgrade: products '$(products)', not one $version"

echo "== 3. registration, script client, PATH"
clsid='{C5C7547B-978B-4AD0-9414-268EE9E0940B}'
server64=$(w reg query "HKLM\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" /ve /reg:64 | sed -n 's/.*REG_SZ *//p')
server32=$(w reg query "HKLM\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" /ve /reg:32 | sed -n 's/.*REG_SZ *//p')
[ "$server64" = 'C:\Program Files\Lumora\Lumora.dll' ] || fail "64-bit view: InprocServer32 '$server64'"
[ "$server32" = 'C:\Program Files\Lumora\x86\Lumora.dll' ] || fail "32-bit view: InprocServer32 '$server32'"
typelib=$(w reg query 'HKLM\Software\Classes\TypeLib\{BF8A8824-6A64-4CFD-B609-6B92EF6ABEBC}\1.0' /s)
echo "$typelib" | grep -A2 -E '\\win64$' | grep -q -F 'C:\Program Files\Lumora\Lumora.dll' ||
  fail "type library not registered for 64-bit clients"
[ "$(system_path)" = 'C:\Program Files\Lumora\;'"$path_before" ] || fail "system PATH: '$(system_path)'"
# The programs and their Start-menu entries.
for f in lumora.exe LumoraProbe.exe LumoraSettings.exe; do
  [ -f "$target/$f" ] || fail "$f is not installed"
done
for entry in "Lumora Settings" "Lumora Probe"; do
  [ -n "$(find "$drive" -path "*Start Menu/Programs/Lumora/$entry.lnk" 2>/dev/null)" ] ||
    fail "no Start-menu entry \"$entry\""
done
snapshot "$work/installed"
# The 32-bit type library, registered by the installer's Registry rows:
# TypeLib is one key for both views (Windows and Wine share it), so the
# 32-bit view finds the win32 path beside the 64-bit registration; every
# interface registered with the library (named by the 64-bit view) reads
# the same in the 32-bit view; and each of those rows says what
# RegisterTypeLib wrote for the 64-bit library (win64 for win32, the
# 64-bit library for the x86 one), so the rows cannot drift from it.
libid='{BF8A8824-6A64-4CFD-B609-6B92EF6ABEBC}'
w reg query "HKLM\\Software\\Classes\\TypeLib\\$libid\\1.0" /s /reg:32 | grep -A2 -E '\\win32$' |
  grep -q -F 'C:\Program Files\Lumora\x86\Lumora.dll' || fail "type library not registered for 32-bit clients"
view() {  # view 32|64 KEY: the key's tree, key names from Classes on
  w reg query "HKLM\\Software\\Classes\\$2" /s /reg:$1 | sed -e 's/^HKEY.*\\Classes\\\(Wow6432Node\\\)\{0,1\}/HKCR\\/' -e 's/ *$//'
}
iids=$(sed -n 's/^\[HKEY_LOCAL_MACHINE\\Software\\Classes\\Interface\\\({[^}]*}\)\\TypeLib\] | @="'"$libid"'"$/\1/p' "$work/installed.regs")
[ "$(echo "$iids" | wc -w)" -ge 5 ] || fail "interfaces of the type library in the 64-bit view: '$iids'"
for iid in $iids; do
  interface=$(view 32 "Interface\\$iid")
  [ -n "$interface" ] && [ "$interface" = "$(view 64 "Interface\\$iid")" ] ||
    fail "32-bit view of interface $iid: '$interface'"
done
msiinfo export "$work/new.msi" Registry | tr -d '\r' | python3 -c '
import sys
installed = set(open(sys.argv[1]).read().splitlines())
checked = 0
for line in sys.stdin.read().splitlines()[3:]:
    _, root, key, name, value, component = line.split("\t")
    if component != "Lumora32" or not key.startswith(("TypeLib\\", "Interface\\")) or name == "*":
        continue
    key = key[:-len("\\win32")] + "\\win64" if key.endswith("\\win32") else key
    value = value.replace("[#Lumora32.dll]", "C:\\Program Files\\Lumora\\Lumora.dll")
    entry = "] | %s=\"%s\"" % ("\"%s\"" % name if name else "@", value.replace("\\", "\\\\"))
    if not any("[HKEY_LOCAL_MACHINE\\Software\\Classes\\%s%s%s" % (view, key, entry) in installed
               for view in ("", "Wow6432Node\\")):
        print("FAIL: 32-bit type library row %s %s=%s: not what the 64-bit registration wrote"
              % (key, name or "@", value))
    checked += 1
if checked < 20:
    print("FAIL: only %d type library rows for the 32-bit library" % checked)
' "$work/installed.regs" | tee "$work/rows.txt"
[ -s "$work/rows.txt" ] && fails=$((fails + 1))
w regsvr32 /s 'C:\Program Files\Lumora\Lumora.dll' || fail "regsvr32 of the installed library: exit $?"
snapshot "$work/selfregistered"
compare "$work/installed" "$work/selfregistered" "regsvr32 after the installer"

cat >"$drive/create.vbs" <<'VBS'
Set o = CreateObject("Lumora.LumoraCOM")
WScript.Echo "created " & TypeName(o)
WScript.Echo "LUMORA-SCRIPT-OK"
VBS
out=$(w cscript //nologo 'C:\create.vbs')
rm -f "$drive/create.vbs"
echo "$out"
echo "$out" | grep -q LUMORA-SCRIPT-OK || fail "the script client cannot create Lumora.LumoraCOM"
out=$(w cmd /c 'lumora --version')
echo "$out"
[ "$out" = "lumora $version" ] || fail "lumora --version from the PATH: '$out'"

echo "== 4. the same package again repairs"
rm -f "$target/lumora.exe"
w msiexec /i "$new" /qn || fail "msiexec /i again: exit $?"
[ -f "$target/lumora.exe" ] || fail "installing again did not repair lumora.exe"
[ "$(products)" = "$version" ] || fail "after installing again: products '$(products)'"

echo "== 5. upgrade and uninstall while lumora watch runs"
printf 'lumora-profile 1\nCamera = Philips ToUcam Pro Camera\nVidPid = VID_0471&PID_0311\nSerial = 2a4c6e8\nBrightness = 17\nend\n' \
  >"$drive/profile.txt"
w cmd /c 'lumora watch --install C:\profile.txt'
w reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v 'Lumora watch' | grep -q lumora ||
  fail "lumora watch --install wrote no logon entry"
# The rig serves only prefixes marked as the project's; this one is.
touch "$prefix/.lumora-prefix"
rig() { "$source/scripts/sim-rig" "$1" win64 "$prefix" ${2:+"$2"} >/dev/null; }
rig install "$build/win64/bin/LumoraSim.dll" || fail "the rig could not be installed"
# It looks for cameras every 10 ms (the shortest interval), so a moment of
# the uninstall in which the library is gone and the watch still runs shows.
start_watch() {
  "$loader" 'C:\Program Files\Lumora\lumora.exe' watch 'C:\profile.txt' --interval 10 \
    </dev/null >"$work/watch.out" 2>&1 &
  watch_pid=$!
  local deadline=$(($(date +%s) + 30))
  until grep -q 'serial 2a4c6e8.*profile.txt: 1 applied' "$work/watch.out"; do
    if [ "$(date +%s)" -ge "$deadline" ] || ! kill -0 $watch_pid 2>/dev/null; then
      fail "the installed lumora watch did not apply the profile to the rig camera"
      break
    fi
    sleep 0.1
  done
}
start_watch
# The watch has ended by the end of WHAT (its process may take a moment
# more), said so, and never found the library gone: it was stopped before
# the classes were taken away.
watch_ended() {
  local deadline=$(($(date +%s) + 10))
  while kill -0 $watch_pid 2>/dev/null && [ "$(date +%s)" -lt "$deadline" ]; do sleep 0.1; done
  if kill -0 $watch_pid 2>/dev/null; then
    fail "lumora watch still runs after $1"
    kill $watch_pid 2>/dev/null
  fi
  wait $watch_pid 2>/dev/null
  tr -d '\r' <"$work/watch.out"
  grep -q 'watch stopped' "$work/watch.out" || fail "the watch did not end with 'watch stopped' ($1)"
  ! grep -q 'cannot list the cameras' "$work/watch.out" ||
    fail "the watch outlived the library's registration ($1)"
}
# A newer version over this one stops the running watch too (its lumora.exe
# is replaced). Windows keeps the logon entry then (the older product is
# removed with UPGRADINGPRODUCTCODE set); Wine's msi removes it without that
# property, so the uninstall-only action runs and the entry goes: not
# checked here.
w msiexec /i "$newer" /qn || fail "msiexec /i newer package: exit $?"
[ "$(products)" = "99.0.0.0" ] || fail "after the newer package: products '$(products)'"
watch_ended "the upgrade"
start_watch
w msiexec /x "$newer" /qn || fail "msiexec /x: exit $?"
[ -z "$(products)" ] || fail "after uninstall: products '$(products)'"
watch_ended "the uninstall"
rig uninstall || fail "the rig could not be taken out"
rm -f "$drive/profile.txt" "$prefix/.lumora-prefix" "$prefix"/.lumora-sim-rig-saved-*
path_after=$(system_path)
if [ "$path_after" != "$path_before" ]; then
  fail "system PATH after uninstall: '$path_after', before: '$path_before'"
fi
snapshot "$work/after"
compare "$work/before" "$work/after" "the uninstall"

echo "install test: $fails failures"
[ "$fails" -eq 0 ] && echo "LUMORA-INSTALL-OK"
