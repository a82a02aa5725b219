#!/usr/bin/env bash
# Libraries planted beside SETUP.EXE on the medium and in C:\ (the folder the chooser browses)
# under the names of system libraries that programs commonly load by bare name. With Wine told
# to prefer a native copy of each (msimg32, mpr, uxtheme, version, dwmapi), it searches the way
# Windows does, the program's folder and the current directory included. A control program on
# the medium picks the planted copies up; setup.exe, through a whole installation with the
# folder chooser opened, must load none of them.
# version.dll is planted for the control only: Wine's own user32.dll imports it (Windows' does
# not), so under this override every window program here maps a planted version.dll before
# its first instruction and aborts in its first call into it.  Usage: planted-dlls.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
e2e_init planted-dlls "$1" 0

overridden=(msimg32 mpr uxtheme version dwmapi)
planted=(msimg32 mpr uxtheme dwmapi)
marker_dll="$E2E_DIR/../../tests/planted_marker.dll"
probe="$E2E_DIR/../../tests/planted_probe.exe"
[ -f "$marker_dll" ] && [ -f "$probe" ] || e2e_fail "planted_marker.dll or planted_probe.exe is not built"
plant_dirs=("$MEDIUM" "$WINEPREFIX/drive_c")
for dir in "${plant_dirs[@]}"; do
  for name in "${planted[@]}"; do cp "$marker_dll" "$dir/$name.dll"; done
done
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$(IFS=,; echo "${overridden[*]}")=n,b"
e2e_log "WINEDLLOVERRIDES=$WINEDLLOVERRIDES"

markers() { find "${plant_dirs[@]}" -maxdepth 1 -name '*.dll.loaded' -printf '%p\n' 2>/dev/null; }

# The control: a program beside the planted copies that loads them by name finds them.
cp "$probe" "$MEDIUM/probe.exe"
cp "$marker_dll" "$MEDIUM/version.dll"
(cd "$MEDIUM" && "$INSTALLER_WINE" probe.exe version.dll msimg32.dll uxtheme.dll) </dev/null >>"$E2E_DIR/probe.log" 2>&1 ||
  e2e_fail "the control program could not load the planted libraries"
for name in version msimg32 uxtheme; do
  [ -f "$MEDIUM/$name.dll.loaded" ] || e2e_fail "the control program did not load the planted $name.dll: the scenario proves nothing"
done
e2e_log "control: the probe loaded the planted copies ($(markers | wc -l) markers)"
rm -f "$MEDIUM"/*.dll.loaded "$MEDIUM/probe.exe" "$MEDIUM/version.dll"

e2e_start_setup
e2e_wait_page welcome 30
e2e_key Return
e2e_wait_page install 15
# The change hotspot opens the folder chooser (drive box, folder list, current directory moved).
chooser_name=$(printf '\xCA\xDA\xED\xED\xE4 \xE3\xD3\xED\xD1 \xE4\xD5\xC8 ' | iconv -f cp1256 -t utf-8)
e2e_click_hotspot "$E2E_INSTALL_LEFT" 305 381 128 26
e2e_wait 15 "the folder chooser to show" e2e_visible "$chooser_name"
e2e_shot chooser
e2e_key Return
e2e_wait 15 "the folder chooser to close" e2e_not_visible "$chooser_name"
e2e_key Return
e2e_wait 60 "the uninstall entry (the last step of the installation)" e2e_uninstall_entry_exists
e2e_wait_page finish 15
e2e_check_installed_files_match_sources
[ -f "$WINEPREFIX/drive_c/windows/system32/TelmSample.dll.registered" ] ||
  e2e_fail "TelmSample.dll's DllRegisterServer was not called"
e2e_key Return
e2e_wait_setup_exit 15

found=$(markers)
[ -z "$found" ] || e2e_fail "setup.exe loaded planted libraries: $(tr '\n' ' ' <<<"$found")"
e2e_log "no planted library was loaded (${#planted[@]} names in ${#plant_dirs[@]} folders)"
e2e_pass
