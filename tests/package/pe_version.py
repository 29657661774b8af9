"""Checks a tessel.exe as Windows sees it, through Debian's pefile: its version resource, its machine and the DLLs it
imports; a second one must import the same. usage: pe_version.py VERSION TESSEL.exe i386|amd64 [OTHER.exe amd64]"""
import sys
import pefile

version, exe, machine = sys.argv[1:4]
STRINGS = {"CompanyName": "Tessel team", "FileDescription": "Tessel C-Language Simulator", "FileVersion": version,
           "InternalName": "tessel", "LegalCopyright": "Copyright (C) 2026 Tessel team, MIT License",
           "OriginalFilename": "tessel.exe", "ProductName": "Tessel", "ProductVersion": version}
DLLS = ["COMCTL32.DLL", "GDI32.DLL", "KERNEL32.DLL", "USER32.DLL"]
failed = []


def expect(what, expected, actual):
    if expected != actual:
        failed.append(f"{what}: expected {expected!r}, got {actual!r}")


def imports(path, machine):
    pe = pefile.PE(path)
    expect(f"machine of {path}", f"IMAGE_FILE_MACHINE_{machine.upper()}", pefile.MACHINE_TYPE.get(pe.FILE_HEADER.Machine))
    expect(f"DLLs imported by {path}", DLLS, sorted(entry.dll.decode().upper() for entry in pe.DIRECTORY_ENTRY_IMPORT))
    return pe


pe = imports(exe, machine)
strings, translations = {}, []
for info in getattr(pe, "FileInfo", [[]])[0]:
    for table in getattr(info, "StringTable", []):
        expect("string table language and code page", b"040904B0", table.LangID.upper())
        strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    translations += [var.entry.get(b"Translation") for var in getattr(info, "Var", [])]
expect("version resource strings", STRINGS, strings)
expect("version resource translation", ["0x0409 0x04b0"], translations)
numbers, fixed = [int(n) for n in version.split(".")] + [0, 0, 0], pe.VS_FIXEDFILEINFO[0]
expect("FILEVERSION", numbers[:4], [*divmod(fixed.FileVersionMS, 0x10000), *divmod(fixed.FileVersionLS, 0x10000)])
expect("PRODUCTVERSION", [fixed.FileVersionMS, fixed.FileVersionLS], [fixed.ProductVersionMS, fixed.ProductVersionLS])
if len(sys.argv) > 5:
    imports(*sys.argv[4:6])
sys.exit("\n".join(f"check-packages: {line}" for line in failed) or None)
