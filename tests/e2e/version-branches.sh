#!/usr/bin/env bash
# The Windows version branches on the real API, on the i686 build: Wine reports the version it
# is told (HKCU\Software\Wine, value Version), and setup.exe takes the system folder and the
# finish picture from GetVersion. One prefix, three installations to the default path:
#   winxp (5.1): system files in System32, the finish picture of Windows 5 and earlier;
#   nt40 (4.0):  system files in the "System" folder, the same finish picture;
#   win10 (10.0): system files in System32, the finish picture of Windows 6 and later.
# Between runs the installation, its uninstall entry and the system files are removed, so each
# run shows where it put them.  Usage: version-branches.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
e2e_init version-branches "$1" 0
[ "$E2E_ARCH" = win32 ] || e2e_fail "the version scenario needs the i686 build (got $E2E_ARCH)"

windows="$WINEPREFIX/drive_c/windows"

# Tells Wine which version to report from the next program on; the server reads it at start.
report_version() {
  installer_wine reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1 ||
    e2e_fail "could not set the reported Windows version $1"
  wineserver -k
  wineserver -w
  installer_wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
  local reported
  reported=$(installer_wine cmd.exe /c ver </dev/null 2>/dev/null | tr -d '\r' | grep -oE '[0-9]+\.[0-9]+\.[0-9]+' || true)
  e2e_log "Wine reports $1: ${reported:-?}"
  [[ $reported == "$2".* ]] || e2e_fail "Wine reports ${reported:-nothing} for $1, expected $2"
}

forget_installation() {
  rm -rf "$TARGET" "$windows"/system32/TelmSample.dll* "$windows"/system/TelmSample.dll*
  installer_wine reg delete "$E2E_UNINSTALL_KEY" /f >/dev/null 2>&1 || true
}

# install VERSION NUMBER FINISH_PAGE SYSTEM_FOLDER OTHER_FOLDER
install() {
  local version=$1 number=$2 finish=$3 folder=$4 other=$5
  forget_installation
  report_version "$version" "$number"
  e2e_start_setup
  e2e_wait_page welcome 30
  e2e_key Return
  e2e_wait_page install 15
  e2e_key Return
  e2e_wait 60 "the uninstall entry ($version)" e2e_uninstall_entry_exists
  e2e_wait_page "$finish" 15
  e2e_shot "finish-$version"
  e2e_check_installed_files_match_sources
  cmp -s "$MEDIUM/System/TelmSample.dll" "$windows/$folder/TelmSample.dll" ||
    e2e_fail "$version: TelmSample.dll is not in C:\\windows\\$folder"
  [ -f "$windows/$folder/TelmSample.dll.registered" ] ||
    e2e_fail "$version: TelmSample.dll in $folder was not registered"
  [ ! -e "$windows/$other/TelmSample.dll" ] ||
    e2e_fail "$version: TelmSample.dll was also written to C:\\windows\\$other"
  e2e_key Return
  e2e_wait_setup_exit 15
  e2e_log "$version: system files in $folder, finish picture $finish"
}

install winxp 5.1 finish5 system32 system
install nt40 4.0 finish5 system system32
install win10 10.0 finish system32 system
e2e_pass
