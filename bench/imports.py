"""Prints a line "DLL: function function ..." for each DLL that a Windows program imports from, in the order of its
import table, as Debian's pefile reads it. usage: imports.py PROGRAM.exe"""
import sys
import pefile

for entry in pefile.PE(sys.argv[1]).DIRECTORY_ENTRY_IMPORT:
    print(entry.dll.decode() + ":", *(item.name.decode() for item in entry.imports if item.name))
