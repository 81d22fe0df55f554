#!/usr/bin/env python3
"""Checks the application manifest of a Windows program (scripts/check-pe):
the PE file holds exactly one resource of type 24 (RT_MANIFEST), with id 1,
which parses as XML and asks for what the program needs.

    pe-manifest.py program FILE   pravel.exe: asInvoker, supportedOS Vista to
                                  Windows 10/11, common controls 6, dpiAware
                                  true and dpiAwareness PerMonitorV2 first
    pe-manifest.py checker FILE   pravel-check.exe: asInvoker, supportedOS
    pe-manifest.py show FILE      prints the manifest

Prints one line per failure and exits 1 when there is any (2 for a file
that is no PE file)."""
import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_MANIFEST = 24
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
SETTINGS_2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
SETTINGS_2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"
# Windows Vista, 7, 8, 8.1 and 10 (Windows 11 has no identifier of its own).
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}


class NotPe(Exception):
    pass


def manifests(data):
    """{id: bytes} of the RT_MANIFEST resources (first language of each)."""
    def u16(at):
        return struct.unpack_from("<H", data, at)[0]

    def u32(at):
        return struct.unpack_from("<I", data, at)[0]

    try:
        if data[:2] != b"MZ":
            raise NotPe("no MZ header")
        pe = u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise NotPe("no PE signature")
        sections, optional_size = u16(pe + 6), u16(pe + 20)
        optional = pe + 24
        magic = u16(optional)
        directories = optional + {0x10B: 96, 0x20B: 112}.get(magic, -1)
        if directories < optional:
            raise NotPe("unknown optional header")
        resource_rva = u32(directories + 2 * 8)
        table = optional + optional_size
        spans = [(u32(s + 12), max(u32(s + 8), u32(s + 16)), u32(s + 20))
                 for s in (table + 40 * i for i in range(sections))]
    except struct.error as error:
        raise NotPe(str(error))

    def offset(rva):
        for start, size, raw in spans:
            if start <= rva < start + size:
                return raw + rva - start
        raise NotPe("RVA %#x outside every section" % rva)

    if resource_rva == 0:
        return {}
    root = offset(resource_rva)

    def entries(directory):
        count = u16(directory + 12) + u16(directory + 14)
        for i in range(count):
            at = directory + 16 + 8 * i
            yield u32(at), u32(at + 4)

    found = {}
    for name, target in entries(root):
        if name != RT_MANIFEST or not target & 0x80000000:
            continue
        for ident, sub in entries(root + (target & 0x7FFFFFFF)):
            if not sub & 0x80000000:
                continue
            for _, leaf in entries(root + (sub & 0x7FFFFFFF)):
                entry = root + (leaf & 0x7FFFFFFF)
                rva, size = u32(entry), u32(entry + 4)
                start = offset(rva)
                key = ident if not ident & 0x80000000 else "named"
                found[key] = data[start:start + size]
                break
    return found


def check(kind, document):
    failures = []

    def need(condition, text):
        if not condition:
            failures.append(text)

    root = ElementTree.fromstring(document)
    need(root.tag == "{%s}assembly" % ASM_V1, "the root is not an asm.v1 assembly")
    identity = root.find("{%s}assemblyIdentity" % ASM_V1)
    need(identity is not None and identity.get("type") == "win32" and identity.get("name")
         and identity.get("version"), "no assemblyIdentity with type, name and version")
    levels = [e.get("level") for e in root.iter("{%s}requestedExecutionLevel" % ASM_V3)]
    need(levels == ["asInvoker"], "requestedExecutionLevel is %s, not asInvoker" % levels)
    for e in root.iter("{%s}requestedExecutionLevel" % ASM_V3):
        need(e.get("uiAccess", "false") == "false", "uiAccess is not false")
    trust = root.find("{%s}trustInfo" % ASM_V3)
    need(trust is not None and trust.find(
        "{0}security/{0}requestedPrivileges/{0}requestedExecutionLevel".format("{%s}" % ASM_V3))
         is not None, "requestedExecutionLevel is not at trustInfo/security/requestedPrivileges")
    ids = {e.get("Id", "").lower() for e in root.findall(
        "{0}compatibility/{0}application/{0}supportedOS".format("{%s}" % COMPATIBILITY))}
    need(ids == SUPPORTED_OS, "supportedOS is %s, not Vista to Windows 10/11" % sorted(ids))
    if kind != "program":
        return failures
    controls = [e for e in root.findall(
        "{0}dependency/{0}dependentAssembly/{0}assemblyIdentity".format("{%s}" % ASM_V1))
        if e.get("name") == "Microsoft.Windows.Common-Controls"]
    need(len(controls) == 1 and controls[0].get("version") == "6.0.0.0"
         and controls[0].get("publicKeyToken") == "6595b64144ccf1df"
         and controls[0].get("type") == "win32", "no dependency on common controls 6.0.0.0")
    settings = root.find("{0}application/{0}windowsSettings".format("{%s}" % ASM_V3))
    need(settings is not None, "no asm.v3 application/windowsSettings")
    if settings is None:
        return failures
    aware = settings.find("{%s}dpiAware" % SETTINGS_2005)
    need(aware is not None and aware.text.strip().lower() == "true",
         "dpiAware (2005 namespace) is not true")
    awareness = settings.find("{%s}dpiAwareness" % SETTINGS_2016)
    modes = [] if awareness is None else [m.strip().lower() for m in awareness.text.split(",")]
    need(modes[:1] == ["permonitorv2"] and "permonitor" not in modes,
         "dpiAwareness (2016 namespace) is %s: PerMonitorV2 first, never PerMonitor" % modes)
    return failures


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("program", "checker", "show"):
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    kind, path = sys.argv[1:]
    try:
        with open(path, "rb") as f:
            found = manifests(f.read())
    except (OSError, NotPe) as error:
        print("%s: not a readable PE file (%s)" % (path, error))
        return 2
    if kind == "show":
        for key, document in found.items():
            print("<!-- manifest %s -->\n%s" % (key, document.decode("utf-8", "replace")))
        return 0
    failures = []
    if list(found) != [1]:
        failures.append("manifest resources %s, expected exactly id 1" % sorted(map(str, found)))
    if 1 in found:
        try:
            failures += check(kind, found[1])
        except ElementTree.ParseError as error:
            failures.append("the manifest does not parse: %s" % error)
    for failure in failures:
        print("%s: %s" % (path, failure))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
