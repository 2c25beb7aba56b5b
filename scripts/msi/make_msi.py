#!/usr/bin/env python3
"""Builds the Windows Installer package of Lumora (x64, per machine).

usage: make_msi.py BUILD_DIR OUT.msi [VERSION]

BUILD_DIR holds the build folders native (lumora-registry-rows), win32 and
win64 (the binaries). VERSION defaults to the project version of the win64
build; the tests give a lower one to build an older package.

wixl (msitools) writes the package from a generated WiX source: files,
components, the Start-menu shortcut and the major upgrade. It has no
elements for key rows of the registry, environment variables, type
libraries or custom actions, so msibuild adds those table rows afterwards:
  Registry     the COM registration: the rows of module/registry/*.rgs as
               the server's own parser reads them (lumora-registry-rows),
               once for the 64-bit library (64-bit component) and once for
               the 32-bit one (32-bit component: the 32-bit registry view),
               and for the 32-bit one also the keys RegisterTypeLib writes
               for its type library, read from that library (typelib_keys);
  TypeLib      the embedded type library of the 64-bit library;
  Environment  the install folder in front of the system PATH, taken out
               again on uninstall (Wine's msi appends with a doubled
               separator, which its cmd then stops searching at, and leaves
               one behind on uninstall; it prepends exactly);
  CustomAction "lumora watch --stop" for the uninstalling user before
               anything is unregistered (also when a newer version
               replaces this one), "lumora watch --uninstall" before the
               files go (not on upgrade).
Nothing of Lumora runs to register it.
"""
import glob
import hashlib
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import uuid
from xml.sax.saxutils import escape, quoteattr

import typelib_keys

# Stable for every version: the major upgrade finds older ones by it.
UPGRADE_CODE = uuid.UUID("6C1F5E0A-3B7D-4E52-9A61-2F4C8D0B7E13")
MANUFACTURER = "Lumora"
MODULE = "\x01MODULE\x01"  # stands for %MODULE% until the file is known

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def guid(*parts):
    return "{%s}" % str(uuid.uuid5(UPGRADE_CODE, "/".join(parts))).upper()


def project_version(build):
    with open(os.path.join(build, "win64", "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith("CMAKE_PROJECT_VERSION:"):
                return line.split("=", 1)[1].strip()
    sys.exit("make_msi: no project version in %s/win64/CMakeCache.txt" % build)


def formatted(text):
    """Literal text as a Windows Installer Formatted value."""
    text = re.sub(r"[\[\]]", lambda m: "[\\%s]" % m.group(0), text)
    if text.startswith("#"):
        text = "#" + text
    return text


def registry_row(component, root, key, kind, name, value):
    name = "" if name is None else name
    key_id = "reg" + hashlib.md5("|".join([component, root, key, kind, name]).encode()).hexdigest()
    return [key_id, str({"HKCR": 0, "HKCU": 1, "HKLM": 2}[root]), key, name, value, component]


def typelib_rows(build, component, file_id):
    """The Registry table rows of what RegisterTypeLib writes for the 32-bit
    type library (the one build/win32 embeds in its Lumora.dll): each key
    TypeLib\\{LIBID} and Interface\\{IID} created on install and removed
    whole on uninstall, and their values."""
    try:
        library = typelib_keys.read(os.path.join(build, "win32", "module", "generated",
                                                 "lumora.tlb"))
    except (OSError, typelib_keys.TypeLibError) as e:
        sys.exit("make_msi: the 32-bit type library: %s" % e)
    keys = library.keys(MODULE, "win32")
    owned = sorted({"\\".join(k.split("\\")[:2]) for k, _, _ in keys})
    table = [registry_row(component, "HKCR", k, "key", "*", "") for k in owned]
    for key, name, value in keys:
        value = formatted(value).replace(MODULE, "[#%s]" % file_id)
        table.append(registry_row(component, "HKCR", key, "value", name, value))
    return table


def registry_rows(build, component, file_id):
    """The Registry table rows of one library's scripts."""
    scripts = sorted(glob.glob(os.path.join(SOURCE, "module", "registry", "*.rgs")))
    tool = os.path.join(build, "native", "lumora-registry-rows")
    rows = json.loads(subprocess.run([tool, MODULE] + scripts, check=True,
                                     capture_output=True, text=True).stdout)
    valued = {(r["root"], r["key"]) for r in rows if r["kind"] == "value"}
    table = []
    for r in rows:
        if r["kind"] == "key":
            parent_of_values = any(k == r["key"] or k.startswith(r["key"] + "\\")
                                   for root, k in valued if root == r["root"])
            if r["flag"] == "forceremove" or (r["flag"] == "normal" and not parent_of_values):
                # Created on install, removed whole on uninstall.
                name, value = "*", ""
            else:
                continue  # created by its values, removed once empty
        elif r["type"] == "dword":
            name, value = r["name"], "#%d" % r["data"]
        else:
            name = r["name"]
            value = formatted(r["data"]).replace(MODULE, "[#%s]" % file_id)
        table.append(registry_row(component, r["root"], r["key"], r["kind"], name, value))
    # The type library the classes name ('TypeLib' = s '{...}').
    libids = {r["data"] for r in rows if r["kind"] == "value" and r["name"] is None
              and r["key"].rsplit("\\", 1)[-1] == "TypeLib"}
    return table, libids


def wxs(version, build, product_code, folder):
    win32, win64 = os.path.join(build, "win32", "bin"), os.path.join(build, "win64", "bin")

    def file(file_id, path, name=None):
        # wixl takes sources relative to the folder of the .wxs only.
        name = name or os.path.basename(path)
        return '<File Id="%s" Name=%s Source=%s KeyPath="yes"/>' % (
            file_id, quoteattr(name), quoteattr(os.path.relpath(path, folder)))

    def component(cid, inner, win64=True, extra=""):
        return '<Component Id="%s" Guid="%s" Win64="%s">%s%s</Component>' % (
            cid, guid("component", cid), "yes" if win64 else "no", inner, extra)

    docs = sorted(glob.glob(os.path.join(SOURCE, "docs", "*.md")))
    top_docs = [p for p in (os.path.join(SOURCE, n) for n in ("README.md", "CHANGELOG.md", "LICENSE"))
                if os.path.exists(p)]
    doc_components = "".join(
        component("Doc_" + re.sub(r"\W", "_", os.path.basename(p)), file("Doc_" + re.sub(
            r"\W", "_", os.path.basename(p)), p)) for p in top_docs)
    docs_folder = "".join(
        component("Docs_" + re.sub(r"\W", "_", os.path.basename(p)), file("Docs_" + re.sub(
            r"\W", "_", os.path.basename(p)), p)) for p in docs)
    # The shipped extension-unit definitions beside each Lumora.dll
    # (xu-definitions\ is where the library looks for them).
    definitions = sorted(glob.glob(os.path.join(SOURCE, "xu", "definitions", "*.json")))
    xu_ids = {arch: ["XuDef%s_%s" % (arch, re.sub(r"\W", "_", os.path.basename(p)))
                     for p in definitions] for arch in ("64", "32")}
    xu64 = "".join(component(i, file(i, p, os.path.basename(p)))
                   for i, p in zip(xu_ids["64"], definitions))
    xu32 = "".join(component(i, file(i, p, os.path.basename(p)), win64=False)
                   for i, p in zip(xu_ids["32"], definitions))
    all_components = (["Lumora64", "Lumora32", "Tool", "Probe", "Settings", "StartMenu"] +
                      xu_ids["64"] + xu_ids["32"] +
                      ["Doc_" + re.sub(r"\W", "_", os.path.basename(p)) for p in top_docs] +
                      ["Docs_" + re.sub(r"\W", "_", os.path.basename(p)) for p in docs])
    refs = "".join('<ComponentRef Id="%s"/>' % c for c in all_components)
    return """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
 <Product Id="{product}" Name="Lumora" Language="1033" Version="{version}"
          Manufacturer="{manufacturer}" UpgradeCode="{{{upgrade}}}">
  <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"
           Description="Lumora {version}" Manufacturer="{manufacturer}"/>
  <MajorUpgrade DowngradeErrorMessage="A newer version of Lumora is already installed."/>
  <Media Id="1" Cabinet="lumora.cab" EmbedCab="yes"/>
  <Property Id="ARPNOMODIFY" Value="1"/>
  <Directory Id="TARGETDIR" Name="SourceDir">
   <Directory Id="ProgramFiles64Folder">
    <Directory Id="INSTALLDIR" Name="Lumora">
     {lumora64}
     {tool}
     {probe}
     {settings}
     {doc_components}
     <Directory Id="DOCSDIR" Name="docs">{docs_folder}</Directory>
     <Directory Id="XUDIR64" Name="xu-definitions">{xu64}</Directory>
     <Directory Id="X86DIR" Name="x86">{lumora32}
      <Directory Id="XUDIR32" Name="xu-definitions">{xu32}</Directory>
     </Directory>
    </Directory>
   </Directory>
   <Directory Id="ProgramMenuFolder">
    <Directory Id="MENUDIR" Name="Lumora">
     <Component Id="StartMenu" Guid="{menu_guid}" Win64="yes">
      <Shortcut Id="SettingsShortcut" Name="Lumora Settings" Description="Set up a camera"
                Target="[#LumoraSettings.exe]" WorkingDirectory="INSTALLDIR"/>
      <Shortcut Id="ProbeShortcut" Name="Lumora Probe" Description="Lumora camera test program"
                Target="[#LumoraProbe.exe]" WorkingDirectory="INSTALLDIR"/>
      <RemoveFolder Id="MENUDIR" On="uninstall"/>
      <RegistryValue Root="HKLM" Key="Software\\Lumora" Name="StartMenu" Type="integer" Value="1"
                     KeyPath="yes"/>
     </Component>
    </Directory>
   </Directory>
  </Directory>
  <Feature Id="Complete" Title="Lumora" Level="1">{refs}</Feature>
 </Product>
</Wix>
""".format(product=product_code, version=escape(version), manufacturer=MANUFACTURER,
           upgrade=str(UPGRADE_CODE).upper(),
           lumora64=component("Lumora64", file("Lumora64.dll", os.path.join(win64, "Lumora.dll"),
                                                "Lumora.dll")),
           tool=component("Tool", file("lumora.exe", os.path.join(win64, "lumora.exe"))),
           probe=component("Probe", file("LumoraProbe.exe", os.path.join(win64, "LumoraProbe.exe"))),
           settings=component("Settings", file("LumoraSettings.exe",
                                               os.path.join(win64, "LumoraSettings.exe"))),
           lumora32=component("Lumora32", file("Lumora32.dll", os.path.join(win32, "Lumora.dll"),
                                                "Lumora.dll"), win64=False),
           doc_components=doc_components, docs_folder=docs_folder, xu64=xu64, xu32=xu32,
           menu_guid=guid("component", "StartMenu"), refs=refs)


def export_table(msi, table):
    """A table as IDT text, lines ended with CR LF."""
    text = subprocess.run(["msiinfo", "export", msi, table], check=True, capture_output=True,
                          text=True).stdout
    return "".join(line + "\r\n" for line in text.splitlines())


def import_table(msi, folder, table, text):
    path = os.path.join(folder, table + ".idt")
    with open(path, "w", newline="") as f:
        f.write(text)
    subprocess.run(["msibuild", msi, "-i", path], check=True)


def idt_rows(rows):
    return "".join("\t".join(r) + "\r\n" for r in rows)


def main(build, out, version=None):
    build = os.path.abspath(build)
    version = version or project_version(build)
    product_code = guid("product", version)
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "lumora.wxs")
        with open(source, "w") as f:
            f.write(wxs(version, build, product_code, work))
        msi = os.path.join(work, "lumora.msi")
        subprocess.run(["wixl", "-a", "x64", "-o", msi, source], check=True)

        # Windows Installer compares three fields of a version: another build
        # of the same major.minor.patch replaces this one too (wixl has no
        # AllowSameVersionUpgrades: the upgrade row's maximum becomes
        # inclusive, msidbUpgradeAttributesVersionMaxInclusive).
        upgrade = export_table(msi, "Upgrade").split("\r\n")
        for i, line in enumerate(upgrade[3:], 3):
            fields = line.split("\t")
            if len(fields) > 4 and fields[1] == "" and fields[2] == version:
                fields[4] = str(int(fields[4]) | 0x200)
                upgrade[i] = "\t".join(fields)
        import_table(msi, work, "Upgrade", "\r\n".join(upgrade))

        rows64, libids = registry_rows(build, "Lumora64", "Lumora64.dll")
        rows32, _ = registry_rows(build, "Lumora32", "Lumora32.dll")
        registry = export_table(msi, "Registry")
        # The 32-bit type library as Registry rows of the 32-bit component
        # (the TypeLib table would register it, but Wine's msi cannot
        # unregister a win32 library from the 64-bit installer).
        rows32 += typelib_rows(build, "Lumora32", "Lumora32.dll")
        import_table(msi, work, "Registry", registry + idt_rows(rows64 + rows32))

        # Language and version: the type library's own (its MSFT header), as
        # RegisterTypeLib files it and UnRegisterTypeLib must find it.
        with open(os.path.join(build, "win64", "module", "generated", "lumora.tlb"), "rb") as f:
            header = f.read(28)
        if header[:4] != b"MSFT":
            sys.exit("make_msi: lumora.tlb is not an MSFT type library")
        lcid, lib_version = struct.unpack_from("<i", header, 12)[0], struct.unpack_from(
            "<I", header, 24)[0]
        lib_version = (lib_version & 0xFFFF) << 8 | (lib_version >> 16)
        typelib = ("LibID\tLanguage\tComponent_\tVersion\tDescription\tDirectory_\t"
                   "Feature_\tCost\r\ns38\ti2\ts72\tI4\tL128\tS72\ts38\tI4\r\n"
                   "TypeLib\tLibID\tLanguage\tComponent_\r\n")
        for libid in sorted(libids):
            # The 64-bit library's only: Wine's msi registers the 32-bit one
            # too but cannot take it away again (UnRegisterTypeLib of a
            # win32 library from the 64-bit installer), and script clients
            # need no registered type library.
            typelib += idt_rows([[libid, str(lcid), "Lumora64", str(lib_version), "",
                                  "INSTALLDIR", "Complete", ""]])
        import_table(msi, work, "TypeLib", typelib)

        import_table(msi, work, "Environment",
                     "Environment\tName\tValue\tComponent_\r\ns72\tl255\tL255\ts72\r\n"
                     "Environment\tEnvironment\r\n"
                     "LumoraPath\t=-*PATH\t[INSTALLDIR];[~]\tTool\r\n")

        # Deferred (0x400), exit code ignored (0x40), an installed exe (18).
        actions = export_table(msi, "CustomAction")
        import_table(msi, work, "CustomAction", actions + idt_rows([
            ["LumoraWatchStop", str(18 | 0x40 | 0x400), "lumora.exe", "watch --stop", ""],
            ["LumoraWatchUninstall", str(18 | 0x40 | 0x400), "lumora.exe", "watch --uninstall", ""]]))
        # The watch stops whenever the product goes, also when a newer
        # version removes it (its lumora.exe is about to be replaced; the
        # logon entry starts the new one at the next logon); the logon entry
        # goes only with a real uninstall.
        removing = 'REMOVE~="ALL"'
        uninstalling = 'REMOVE~="ALL" AND NOT UPGRADINGPRODUCTCODE'
        sequence = export_table(msi, "InstallExecuteSequence")
        import_table(msi, work, "InstallExecuteSequence", sequence + idt_rows([
            ["UnregisterTypeLibraries", "", "2500"],
            ["RemoveEnvironmentStrings", "", "3300"],
            ["LumoraWatchStop", removing, "1550"],
            ["LumoraWatchUninstall", uninstalling, "3460"],
            ["RegisterTypeLibraries", "", "5100"],
            ["WriteEnvironmentStrings", "", "5200"]]))
        os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
        os.replace(msi, out)


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    main(*sys.argv[1:])
