"""Checks an MSI's tables as msidump wrote them, for what Wine does not show: per-machine scope, the entry in Apps &
features, the icon, the components and their registry view, the upgrade rules and what Windows' own validation
would look at first. usage: msi_tables.py TABLES_DIR x86|x64 TESSEL.ico"""
import os
import re
import sys

tables, platform, icon = sys.argv[1:]
# What the package holds: the lists to extend when it holds more.
PROPERTIES = {"ALLUSERS": "1", "ARPNOMODIFY": "1", "ARPNOREPAIR": "1", "ARPPRODUCTICON": "tessel.ico",
              "ProductName": "Tessel C-Language Simulator", "Manufacturer": "Tessel team"}
SECURE_PROPERTIES = ["DESKTOPSHORTCUT", "INSTALLDIR"]
COMPONENTS = ["DesktopShortcut", "Program"]
FILES = ["tessel.exe"]
VERSIONED_FILES = ["tessel.exe"]
SHORTCUTS = {"StartMenuShortcut": "ProgramMenuFolder", "DesktopShortcut": "DesktopFolder"}
DESKTOP_CONDITION = "DESKTOPSHORTCUT = 1 OR (NOT DESKTOPSHORTCUT AND PREVIOUSDESKTOPSHORTCUT = 1)"

failed = []


def expect(what, expected, actual):
    if expected != actual:
        failed.append(f"{what}: expected {expected!r}, got {actual!r}")


def rows(name):
    with open(os.path.join(tables, name + ".idt"), newline="") as f:
        return [line.rstrip("\r\n").split("\t") for line in f.readlines()[3:]]


props = dict(row[:2] for row in rows("Property"))
for name, value in PROPERTIES.items():
    expect(f"property {name}", value, props.get(name))
guid = re.compile(r"^\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}$")
for name in ("ProductCode", "UpgradeCode"):
    expect(f"{name} is a GUID in capitals", True, bool(guid.match(props.get(name, ""))))
expect("SecureCustomProperties", SECURE_PROPERTIES,
       sorted(set(props.get("SecureCustomProperties", "").split(";")) & set(SECURE_PROPERTIES)))
summary = dict(row[:2] for row in rows("_SummaryInformation"))
expect("summary Template", ("x64" if platform == "x64" else "Intel") + ";1033", summary.get("7"))
# Word count bit 3 would say that no elevation is needed: a per-user package.
expect("summary word count (compressed, long names, elevated)", "2", summary.get("15"))
expect("Icon table", [["tessel.ico", "Icon.tessel.ico"]], rows("Icon"))
with open(icon, "rb") as ours, open(os.path.join(tables, "Icon", "Icon.tessel.ico"), "rb") as theirs:
    expect("the product icon is tessel.exe's icon", True, ours.read() == theirs.read())

# Program Files, or Program Files (x86) for the 32-bit program: every component in the matching registry view.
directories = {row[0]: row[1] for row in rows("Directory")}
expect("parent of INSTALLDIR", "ProgramFiles64Folder" if platform == "x64" else "ProgramFilesFolder",
       directories.get("INSTALLDIR"))
components = {row[0]: row for row in rows("Component")}
expect("components", COMPONENTS, sorted(components))
for name, row in components.items():
    expect(f"component {name}: 64-bit attribute", platform == "x64", bool(int(row[3]) & 256))
    expect(f"component {name}: a GUID in capitals", True, bool(guid.match(row[1])))
    expect(f"component {name}: has a key path", True, bool(row[5]))
expect("desktop shortcut's condition", DESKTOP_CONDITION, components.get("DesktopShortcut", [""] * 6)[4])
# Per-machine data only: the registry values under HKLM (root 2), none under HKCU (root 1).
expect("registry roots", {"2"}, {row[1] for row in rows("Registry")})
expect("shortcut folders", SHORTCUTS, {row[0]: row[1] for row in rows("Shortcut")})
# A versioned file carries its version (Windows Installer then compares versions), not a hash.
files = {row[0]: row for row in rows("File")}
expect("files", FILES, sorted(files))
for name in VERSIONED_FILES:
    expect(f"{name} has a version and language", True, all(files.get(name, [""] * 6)[4:6]))
expect("MsiFileHash rows", [], [row[0] for row in rows("MsiFileHash") if row[0] in VERSIONED_FILES])

# Upgrades: earlier versions found and removed before this one installs, later ones refuse it with a message.
expect("upgrade rows", ["WIX_DOWNGRADE_DETECTED", "WIX_UPGRADE_DETECTED"], sorted(row[6] for row in rows("Upgrade")))
expect("launch condition", [["NOT WIX_DOWNGRADE_DETECTED"]], [row[:1] for row in rows("LaunchCondition")])
sequence = {row[0]: int(row[2]) for row in rows("InstallExecuteSequence")}
order = sequence.get
expect("RemoveExistingProducts right after InstallValidate", True,
       order("InstallValidate", 0) < order("RemoveExistingProducts", 0) < order("InstallInitialize", 0))
expect("no reboot actions", [], sorted(set(sequence) & {"ScheduleReboot", "ForceReboot"}))
expect("FindRelatedProducts before LaunchConditions", True, order("FindRelatedProducts", 99) < order("LaunchConditions", 0))
expect("SetInstallLocation after CostFinalize and before RegisterProduct", True,
       order("CostFinalize", 0) < order("SetInstallLocation", 0) < order("RegisterProduct", 0))
for line in failed:
    print("check-msi:", line, file=sys.stderr)
sys.exit(1 if failed else 0)
