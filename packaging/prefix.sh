# Sourced by the tessel launcher and the package's maintainer scripts: Wine prefixes whose Windows files are links.
# A Wine prefix holds byte-for-byte copies of Wine's own DLLs (600 MB and more). Here they are replaced by
# symbolic links to Wine's files, and one prefix prepared for the whole machine is copied for each user.
# POSIX sh (the maintainer scripts run under dash); the caller sets -e or not, so each step checks itself.
# shellcheck shell=sh

# Where the package's files and the machine's prepared prefixes live; the tests may point elsewhere.
TESSEL_LIB=${TESSEL_LIB:-/usr/lib/tessel}
TESSEL_MACHINE_DIR=${TESSEL_MACHINE_DIR:-/var/cache/tessel}
# How Tessel prepares its prefixes, written into each prefix's .tessel-ready: a prefix prepared another way
# (by an older package) is prepared again, the machine's by postinst and each user's on the next start.
TESSEL_PREFIX_KIND=2
# What Wine may not do in Tessel's prefixes: ask for its .NET and HTML engines, which Tessel does not use,
# or add menu entries and file associations to the user's desktop.
TESSEL_DLL_OVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# tessel_wine: sets TESSEL_ARCH (win64 or win32), TESSEL_LOADER, TESSEL_SERVER and TESSEL_EXE for the Wine
# that is installed, the 64-bit one first; fails if there is none. Debian's /usr/bin/wine prefers the
# 32-bit loader whenever wine32 is installed, so the loaders are named directly.
tessel_wine() {
  if [ -x /usr/lib/wine/wine64 ] && [ "${TESSEL_FORCE_ARCH:-win64}" = win64 ]; then
    TESSEL_ARCH=win64 TESSEL_LOADER=/usr/lib/wine/wine64 TESSEL_SERVER=/usr/lib/wine/wineserver64
  elif [ -x /usr/lib/wine/wine ]; then
    TESSEL_ARCH=win32 TESSEL_LOADER=/usr/lib/wine/wine TESSEL_SERVER=/usr/lib/wine/wineserver32
  else
    return 1
  fi
  # shellcheck disable=SC2034 # read by the launcher, which sources this file
  TESSEL_EXE=$TESSEL_LIB/$TESSEL_ARCH/tessel.exe
}

# tessel_wine_inf: sets inf to the file whose time stamp tells Wine that it has changed; Wine updates a
# prefix that is older on its next start.
tessel_wine_inf() {
  for inf in /usr/share/wine/wine.inf /usr/lib/wine/wine.inf; do
    [ -f "$inf" ] && return 0
  done
  return 1
}

# tessel_prefix_current DIR: whether the prefix in DIR is complete, prepared as today's Tessel prepares it,
# and made or updated by today's Wine. Wine writes the time of wine.inf into .update-timestamp when it
# makes or updates a prefix. The launcher asks this on every start: it reads with the shell's own read.
tessel_prefix_current() {
  kind='' stamp=''
  [ -f "$1/.tessel-ready" ] && [ -f "$1/.update-timestamp" ] || return 1
  # read fails on a last line without a line end but keeps what it read.
  read -r kind <"$1/.tessel-ready" || :
  [ "$kind" = "$TESSEL_PREFIX_KIND" ] || return 1
  read -r stamp <"$1/.update-timestamp" || :
  # Wine ends the number with CR LF.
  stamp=${stamp%%[!0-9]*}
  tessel_wine_inf || return 1
  [ -n "$stamp" ] && [ "$stamp" = "$(stat -c %Y "$inf")" ]
}

# tessel_link_wine_files DIR: replaces each file below DIR/drive_c that equals the file of the same name in
# one of Wine's Windows folders by a symbolic link to it, and links Wine's fonts into the prefix (Debian's
# Wine does not find them by itself; Marlett draws the caption buttons, Tahoma the captions).
tessel_link_wine_files() {
  find "$1/drive_c" -type f \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.sys' -o -iname '*.drv' \
    -o -iname '*.acm' -o -iname '*.ocx' -o -iname '*.cpl' -o -iname '*.tlb' -o -iname '*.ax' -o -iname '*.ds' \
    -o -iname '*.msstyles' -o -iname '*.com' -o -iname '*.vxd' -o -iname '*.mui' -o -iname '*.nls' \) |
    while IFS= read -r file; do
      name=${file##*/}
      for own in /usr/lib/*/wine/*-windows/"$name" /usr/share/wine/nls/"$name"; do
        if [ -f "$own" ] && cmp -s "$file" "$own"; then
          ln -sf "$own" "$file"
          break
        fi
      done
    done
  if [ -d /usr/share/wine/fonts ] && [ -d "$1/drive_c/windows/Fonts" ]; then
    for font in /usr/share/wine/fonts/*; do
      [ -e "$1/drive_c/windows/Fonts/${font##*/}" ] || ln -s "$font" "$1/drive_c/windows/Fonts/"
    done
  fi
}

# tessel_wine_env DIR: the environment for Wine in the prefix DIR.
tessel_wine_env() {
  export WINEPREFIX="$1" WINEARCH="$TESSEL_ARCH" WINELOADER="$TESSEL_LOADER" WINEDEBUG=-all
  export WINEDLLOVERRIDES="$TESSEL_DLL_OVERRIDES"
}

# tessel_quiet_services: in the prefix of WINEPREFIX, what Wine starts with every Wine server and Tessel
# (KERNEL32, USER32, GDI32, COMCTL32 only) never calls on is left for when something asks for it. Each
# would start, one after the other, before tessel.exe:
# - the event log, Plug and Play, the network drivers and the mount manager (drive letters and volume
#   names; Tessel opens no file) start on demand only;
# - the HID, USB and Bluetooth buses (game controllers and the like) are not installed as devices: Wine
#   10 starts the driver of every such device, whatever its start type, in a driver process of its own;
# - the desktop menus that winemenubuilder would make at each start, which Tessel's overrides forbid.
# Wine's own update of a prefix brings all of them back, so this runs after each.
tessel_quiet_services() {
  # On drive C, so that regedit gets a Windows path (a Unix one would read as its options).
  reg=$WINEPREFIX/drive_c/tessel-services.reg
  printf 'REGEDIT4\r\n' >"$reg"
  for service in Eventlog PlugPlay NDIS nsiproxy MountMgr; do
    printf '\r\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\%s]\r\n"Start"=dword:00000003\r\n' \
      "$service" >>"$reg"
  done
  for device in WINEBUS WINEUSB WINEBTH; do
    printf '\r\n[-HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\ROOT\\WINE\\%s]\r\n' "$device" >>"$reg"
  done
  printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices]\r\n"winemenubuilder"=-\r\n' \
    >>"$reg"
  "$TESSEL_LOADER" regedit /S 'C:\tessel-services.reg' >/dev/null 2>&1
  status=$?
  rm -f "$reg"
  return "$status"
}

# tessel_make_prefix DIR LOG: a new prefix in DIR made by wineboot, its Wine files linked. DIR must not exist.
# Wine's server is stopped at once afterwards, and the note of its random server folder (Debian's Wine keeps
# it in DIR/wineserver) is removed with that folder: a copy that kept it would be refused as another's.
tessel_make_prefix() {
  (
    tessel_wine_env "$1"
    "$TESSEL_LOADER" wineboot -i >"$2" 2>&1 || exit 1
    tessel_quiet_services || exit 1
    "$TESSEL_SERVER" -w
  ) || return 1
  tessel_forget_server "$1"
  [ -f "$1/.update-timestamp" ] || return 1
  tessel_link_wine_files "$1"
  tessel_mark_ready "$1"
}

# tessel_mark_ready DIR: notes in DIR that it is a complete prefix, prepared the way today's Tessel does.
tessel_mark_ready() {
  echo "$TESSEL_PREFIX_KIND" >"$1/.tessel-ready"
}

# tessel_forget_server DIR: removes the prefix's note of its (stopped) server's folder, and that folder.
tessel_forget_server() {
  if [ -f "$1/wineserver" ]; then
    server=$(cat "$1/wineserver" 2>/dev/null || true)
    case "$server" in
      wine-*) [ ! -O "/tmp/$server" ] || rm -rf "/tmp/$server" ;;
    esac
    rm -f "$1/wineserver"
  fi
}

# tessel_copy_prefix FROM TO: a copy of the prepared prefix FROM in TO (links stay links), for this user.
# The profile folder of whoever prepared FROM is left out: Wine makes the user's own on the first start.
# On the first start each program run counts, so nothing is removed that is not there.
tessel_copy_prefix() {
  { [ ! -e "$2.new" ] || rm -rf "$2.new"; } &&
    cp -dR --preserve=mode,timestamps "$1" "$2.new" &&
    { [ ! -e "$2.new/drive_c/users/root" ] && [ ! -e "$2.new/wineserver" ] ||
      rm -rf "$2.new/drive_c/users/root" "$2.new/wineserver"; } &&
    { [ ! -e "$2" ] || rm -rf "$2"; } &&
    mv "$2.new" "$2"
}

# tessel_prepare_machine: prepares the machine's prefix for the installed Wine in TESSEL_MACHINE_DIR/ARCH,
# as root, from the maintainer scripts; users' prefixes are copied from it. Fails quietly but for a note:
# the launcher then prepares each user's prefix itself.
tessel_prepare_machine() {
  tessel_wine || { echo "tessel: no Wine to prepare a prefix with yet" >&2; return 1; }
  target=$TESSEL_MACHINE_DIR/$TESSEL_ARCH
  tessel_prefix_current "$target" && return 0
  mkdir -p "$TESSEL_MACHINE_DIR"
  work=$(mktemp -d "$TESSEL_MACHINE_DIR/.prepare.XXXXXX") || return 1
  # Wine's caches and the profile it makes for root go to the work folder, not to root's home. Fontconfig
  # writes its cache to the first cache folder it may write to, for root the system's /var/cache/fontconfig,
  # which belongs to the fontconfig package (often not installed): a folder of the work one comes first.
  mkdir -p "$work/home"
  cat >"$work/fonts.conf" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <cachedir>$work/fontconfig</cachedir>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
</fontconfig>
EOF
  if HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data DISPLAY='' \
    FONTCONFIG_FILE=$work/fonts.conf tessel_make_prefix "$work/prefix" "$work/wineboot.log"; then
    # root's profile folder links to the work folder's home, about to go: no user's copy takes it anyway.
    for profile in "$work/prefix/drive_c/users"/*; do
      [ "${profile##*/}" = Public ] || rm -rf "$profile"
    done
    chmod -R go+rX "$work/prefix"
    rm -rf "$target"
    mv "$work/prefix" "$target"
    rm -rf "$work"
    echo "tessel: prepared the Wine prefix that each user's copy comes from in $target"
  else
    echo "tessel: Wine could not prepare a prefix in $TESSEL_MACHINE_DIR; each user's first start will:" >&2
    tail -n 5 "$work/wineboot.log" >&2 || true
    rm -rf "$work"
    return 1
  fi
}
