"""Checks an MSI's tables as msidump wrote them for what Wine does not show: per-machine scope, Apps & features' entry,
the icon, the components, the upgrade rules. usage: msi_tables.py TABLES_DIR x86|x64 TESSEL.ico"""
import re
import sys
from pathlib import Path

tables, platform, icon = sys.argv[1:]  # What the package holds, below: the lists to extend when it holds more.
PROPERTIES = {"ALLUSERS": "1", "ARPNOMODIFY": "1", "ARPNOREPAIR": "1", "ARPPRODUCTICON": "tessel.ico",
              "ProductName": "Tessel C-Language Simulator", "Manufacturer": "Tessel team"}
# A versioned file carries its version (Windows Installer then compares versions), any other file its hash.
VERSIONED_FILES, HASHED_FILES = ["tessel.exe"], ["tessel_guide.html"]
SHORTCUTS = {"StartMenuShortcut": "ProgramMenuFolder", "GuideShortcut": "ProgramMenuFolder",
             "DesktopShortcut": "DesktopFolder"}
DESKTOP_CONDITION = "DESKTOPSHORTCUT = 1 OR (NOT DESKTOPSHORTCUT AND PREVIOUSDESKTOPSHORTCUT = 1)"
failed = []


def expect(what, expected, actual):
    if expected != actual:
        failed.append(f"{what}: expected {expected!r}, got {actual!r}")


def rows(name):
    return [line.split("\t") for line in Path(tables, name + ".idt").read_bytes().decode().split("\r\n")[3:] if line]


props = dict(row[:2] for row in rows("Property"))
expect("properties", PROPERTIES, {name: props.get(name) for name in PROPERTIES})
guid = re.compile(r"^\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}$")
for name in ("ProductCode", "UpgradeCode"):
    expect(f"{name} is a GUID in capitals", True, bool(guid.match(props.get(name, ""))))
expect("SecureCustomProperties", {"DESKTOPSHORTCUT", "INSTALLDIR"},
       {"DESKTOPSHORTCUT", "INSTALLDIR"} & set(props.get("SecureCustomProperties", "").split(";")))
summary = dict(row[:2] for row in rows("_SummaryInformation"))
expect("summary Template", ("x64" if platform == "x64" else "Intel") + ";1033", summary.get("7"))
# Word count bit 3 would say that no elevation is needed: a per-user package.
expect("summary word count (compressed, long names, elevated)", "2", summary.get("15"))
expect("Icon table", [["tessel.ico", "Icon.tessel.ico"]], rows("Icon"))
expect("the product icon is tessel.exe's icon", True,
       Path(icon).read_bytes() == Path(tables, "Icon", "Icon.tessel.ico").read_bytes())

# Program Files, or Program Files (x86) for the 32-bit program: every component in the matching registry view.
expect("parent of INSTALLDIR", "ProgramFiles64Folder" if platform == "x64" else "ProgramFilesFolder",
       {row[0]: row[1] for row in rows("Directory")}.get("INSTALLDIR"))
components = {row[0]: row for row in rows("Component")}
expect("components", ["DesktopShortcut", "Guide", "Program"], sorted(components))
for name, row in components.items():
    expect(f"component {name}: 64-bit attribute", platform == "x64", bool(int(row[3]) & 256))
    expect(f"component {name}: a GUID in capitals", True, bool(guid.match(row[1])))
    expect(f"component {name}: has a key path", True, bool(row[5]))
expect("desktop shortcut's condition", DESKTOP_CONDITION, components.get("DesktopShortcut", [""] * 6)[4])
# Per-machine data only: the registry values under HKLM (root 2), none under HKCU (root 1).
expect("registry roots", {"2"}, {row[1] for row in rows("Registry")})
expect("shortcut folders", SHORTCUTS, {row[0]: row[1] for row in rows("Shortcut")})
files = {row[0]: row for row in rows("File")}
expect("files", sorted(VERSIONED_FILES + HASHED_FILES), sorted(files))
expect("files with a version and language", VERSIONED_FILES, sorted(name for name, row in files.items() if all(row[4:6])))
expect("files with a hash", HASHED_FILES, sorted(row[0] for row in rows("MsiFileHash")))

# Upgrades: earlier versions found and removed before this one installs, later ones refuse it with a message.
expect("upgrade rows", ["WIX_DOWNGRADE_DETECTED", "WIX_UPGRADE_DETECTED"], sorted(row[6] for row in rows("Upgrade")))
expect("launch condition", [["NOT WIX_DOWNGRADE_DETECTED"]], [row[:1] for row in rows("LaunchCondition")])
order = {row[0]: int(row[2]) for row in rows("InstallExecuteSequence")}.get
expect("RemoveExistingProducts right after InstallValidate", True,
       order("InstallValidate", 0) < order("RemoveExistingProducts", 0) < order("InstallInitialize", 0))
expect("no reboot actions", [None, None], [order("ScheduleReboot"), order("ForceReboot")])
expect("FindRelatedProducts before LaunchConditions", True, order("FindRelatedProducts", 99) < order("LaunchConditions", 0))
expect("SetInstallLocation after CostFinalize and before RegisterProduct", True,
       order("CostFinalize", 0) < order("SetInstallLocation", 0) < order("RegisterProduct", 0))
sys.exit("\n".join(f"check-msi: {line}" for line in failed) or None)
