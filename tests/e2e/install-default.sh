#!/usr/bin/env bash
# Enter on the welcome page, Enter on the install page: the installation to the default path
# C:\Telmorquistane, checked on disk and in the registry; Enter on the finish page ends
# setup.exe with exit code 0.  Usage: install-default.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
e2e_init install-default "$1" 20

e2e_start_setup
e2e_wait_page welcome 30
e2e_key Return
e2e_wait_page install 15
e2e_not_visible "$E2E_WELCOME_NAME" || e2e_fail "the welcome page is still showing beside the install page"
e2e_key Return
e2e_wait 60 "the uninstall entry (the last step of the installation)" e2e_uninstall_entry_exists
e2e_wait_page finish 15
e2e_shot finish
e2e_setup_running || e2e_fail "setup.exe ended by itself on the finish page"

# The product tree: the same relative paths as CAB on the medium, the staged programs under
# their installed names, plus INSTALL.CFG; every file byte for byte.
expected=$(cd "$MEDIUM/CAB" && find . -type f | sed -e 's|^\./Telmorquistane\.DAT$|./Telmorquistane.EXE|' \
  -e 's|^\./uninstall\.DAT$|./Uninstall.EXE|'; echo ./INSTALL.CFG)
actual=$(cd "$TARGET" && find . -type f)
diff <(sort <<<"$expected") <(sort <<<"$actual") >"$E2E_DIR/tree.diff" ||
  e2e_fail "installed tree differs from the medium's (expected < > installed): $(cat "$E2E_DIR/tree.diff")"
expected_dirs=$(cd "$MEDIUM/CAB" && find . -mindepth 1 -type d | sort)
actual_dirs=$(cd "$TARGET" && find . -mindepth 1 -type d | sort)
[ "$expected_dirs" = "$actual_dirs" ] || e2e_fail "installed folders differ: '$actual_dirs' vs '$expected_dirs'"
e2e_check_installed_files_match_sources
e2e_log "$(wc -l <<<"$actual") installed files identical to the medium"

printf 'morrowfenlate\r\n\r\nTelmorquistane\r\nTelmorquistane\r\nTelmorquistan\r\nCaldertiphon Publisher\r\n' >"$E2E_TMP/INSTALL.CFG"
cmp "$E2E_TMP/INSTALL.CFG" "$TARGET/INSTALL.CFG" ||
  e2e_fail "INSTALL.CFG is not as expected: $(od -c "$TARGET/INSTALL.CFG" | head -5)"

e2e_expect_reg "$E2E_UNINSTALL_KEY" UninstallString 'C:\Telmorquistane\Uninstall.exe'
e2e_expect_reg "$E2E_UNINSTALL_KEY" MainProgram 'C:\Telmorquistane\Telmorquistane.exe'
e2e_expect_reg "$E2E_UNINSTALL_KEY" DisplayName 'Telmorquistane'
e2e_expect_reg "$E2E_UNINSTALL_KEY" Publisher 'Gradellovanthe Organization'
e2e_expect_reg "$E2E_UNINSTALL_KEY" Author 'Quenbrastow'

# The shortcuts, in the folders the prefix's Shell Folders name.
shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'
desktop=$(e2e_reg_value "$shell_folders" Desktop | cut -d' ' -f2-)
start_menu=$(e2e_reg_value "$shell_folders" 'Start Menu' | cut -d' ' -f2-)
desktop_dir=$(e2e_unix_path "$desktop")
start_menu_dir=$(e2e_unix_path "$start_menu")
[ -d "$desktop_dir" ] && [ -d "$start_menu_dir" ] || e2e_fail "Shell Folders of the prefix not found"
# The group folder is "programs" as the installer spells it; Wine may have made it "Programs".
group_link=$(find "$start_menu_dir" -maxdepth 3 -ipath '*/programs/Rivenholt/Telmorquistan.lnk' | head -n 1)
for link in "$desktop_dir/Telmorquistan.lnk" "$group_link"; do
  [ -n "$link" ] && [ -s "$link" ] || e2e_fail "shortcut missing: ${link:-$start_menu_dir/programs/Rivenholt/Telmorquistan.lnk}"
  grep -aq 'C:\\Telmorquistane\\Telmorquistane.EXE' "$link" ||
    e2e_fail "shortcut $link does not point at C:\\Telmorquistane\\Telmorquistane.EXE"
  e2e_log "shortcut $link"
done

# The font: copied into the Windows fonts folder and entered under both Fonts keys.
cmp "$MEDIUM/Fonts/NotoNaskhArabic-Regular.ttf" "$WINEPREFIX/drive_c/windows/Fonts/NotoNaskhArabic-Regular.ttf" ||
  e2e_fail "the font file was not copied into C:\\windows\\Fonts"
e2e_expect_reg 'HKLM\Software\Microsoft\windows\CurrentVersion\Fonts' 'Noto Naskh Arabic (TrueType)' NotoNaskhArabic-Regular.ttf
e2e_expect_reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' 'Noto Naskh Arabic (TrueType)' NotoNaskhArabic-Regular.ttf

# The library: copied into system32 and its DllRegisterServer called (it leaves the marker).
cmp "$MEDIUM/System/TelmSample.dll" "$WINEPREFIX/drive_c/windows/system32/TelmSample.dll" ||
  e2e_fail "TelmSample.dll was not copied into system32"
[ -f "$WINEPREFIX/drive_c/windows/system32/TelmSample.dll.registered" ] ||
  e2e_fail "TelmSample.dll's DllRegisterServer was not called (no .registered marker)"

e2e_key Return
e2e_wait_setup_exit 15
e2e_pass
