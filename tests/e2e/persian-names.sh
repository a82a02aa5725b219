#!/usr/bin/env bash
# Persian names everywhere a Persian user has them, with the Persian yeh (U+06CC) that code
# page 1256 lacks, ZWNJ and Latin letters mixed in: the medium copied into
# C:\users\مهدی\Downloads\disc and started from there, CAB names holding those characters, the
# Desktop and Start Menu of a profile named مهدی, and an installation folder chosen in the
# folder chooser whose name holds them too. Everything installs byte for byte, the registry and
# both shortcuts carry the names, and each shortcut starts the installed program.
#   Usage: persian-names.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
e2e_init persian-names "$1" 0

profile='C:\users\مهدی'
parent_name='کتابخانه‌ی مهدی'  # "Mahdi's library", with ZWNJ and Persian yeh
install_dir="C:\\$parent_name\\Telmorquistane"

# The medium, moved into the user's Downloads folder, with names code page 1256 cannot hold.
disc=$(e2e_unix_path "$profile\\Downloads\\disc")
mkdir -p "$(dirname "$disc")"
mv "$MEDIUM" "$disc"
MEDIUM=$disc
printf 'user guide\r\n' >"$MEDIUM/CAB/راهنمای کاربر.txt"
mkdir -p "$MEDIUM/CAB/مستندات‌ها"
printf 'one' >"$MEDIUM/CAB/مستندات‌ها/فایل یک.txt"
mkdir -p "$MEDIUM/CAB/Docs"
printf 'mixed' >"$MEDIUM/CAB/Docs/Read me فارسی.txt"

# The profile's shell folders hold the Persian yeh too; like every profile's, its Start Menu
# has its Programs folder (the installer creates only the group below it).
mkdir -p "$(e2e_unix_path "$profile\\Start Menu\\Programs")"
for folder in Desktop 'Start Menu'; do
  mkdir -p "$(e2e_unix_path "$profile\\$folder")"
  for key in 'Shell Folders' 'User Shell Folders'; do
    installer_wine reg add "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\$key" \
      /v "$folder" /d "$profile\\$folder" /f >/dev/null 2>&1 || e2e_fail "could not set $key\\$folder"
  done
done
shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'
e2e_expect_reg "$shell_folders" Desktop "$profile\\Desktop"
mkdir -p "$(e2e_unix_path "C:\\$parent_name")"
# The chooser lists C:\ first and its subfolders after it, the Persian name last (after the
# Latin ones): its item is the number of folders in C:\.
persian_item=$(find "$WINEPREFIX/drive_c" -mindepth 1 -maxdepth 1 -type d ! -name '.*' | wc -l)

e2e_start_setup
e2e_wait_page welcome 30
e2e_key Return
e2e_wait_page install 15
e2e_click_hotspot "$E2E_INSTALL_LEFT" 305 381 128 26  # change
chooser_name='تعيين مسير نصب '
e2e_wait 15 "the folder chooser" e2e_visible "$chooser_name"
sleep 0.5
# Double click on the Persian folder's item (the list lies at 244,294; items are 17 pixels).
x=$((E2E_INSTALL_LEFT + 244 + 80))
y=$((E2E_TOP + 294 + 2 + persian_item * 17 + 8))
e2e_log "double click on item $persian_item at $x,$y"
xdotool mousemove "$x" "$y" click --repeat 2 --delay 60 1
sleep 1
e2e_shot chooser
e2e_click_hotspot "$E2E_INSTALL_LEFT" 415 584 85 27  # OK
e2e_wait 15 "the chooser to close" e2e_not_visible "$chooser_name"
sleep 0.3
e2e_shot install-page
e2e_key Return
e2e_wait 60 "the uninstall entry (the last step of the installation)" e2e_uninstall_entry_exists
e2e_wait_page finish 15

# The product tree, byte for byte, below the Persian folder.
TARGET=$(e2e_unix_path "$install_dir")
[ -d "$TARGET" ] || e2e_fail "nothing installed in $install_dir (the chooser did not pick the Persian folder?)"
expected=$(cd "$MEDIUM/CAB" && find . -type f | sed -e 's|^\./Telmorquistane\.DAT$|./Telmorquistane.EXE|' \
  -e 's|^\./uninstall\.DAT$|./Uninstall.EXE|'; echo ./INSTALL.CFG)
actual=$(cd "$TARGET" && find . -type f)
diff <(sort <<<"$expected") <(sort <<<"$actual") >"$E2E_DIR/tree.diff" ||
  e2e_fail "installed tree differs from the medium's (expected < > installed): $(cat "$E2E_DIR/tree.diff")"
e2e_check_installed_files_match_sources
e2e_log "$(wc -l <<<"$actual") installed files identical to the medium, Persian names included"

e2e_expect_reg "$E2E_UNINSTALL_KEY" UninstallString "$install_dir\\Uninstall.exe"
e2e_expect_reg "$E2E_UNINSTALL_KEY" MainProgram "$install_dir\\Telmorquistane.exe"

# Both shortcuts, in the Persian profile's folders, and each starts the installed program in
# the installation folder.
e2e_key Return
e2e_wait_setup_exit 15
desktop_link="$profile\\Desktop\\Telmorquistan.lnk"
group_link=$(cd "$(e2e_unix_path "$profile\\Start Menu")" && find . -maxdepth 3 -ipath './programs/Rivenholt/Telmorquistan.lnk' | head -n 1)
[ -n "$group_link" ] || e2e_fail "no Start Menu shortcut below $profile\\Start Menu\\programs\\Rivenholt"
group_link="$profile\\Start Menu\\${group_link#./}"
group_link=${group_link//\//\\}
for link in "$desktop_link" "$group_link"; do
  [ -s "$(e2e_unix_path "$link")" ] || e2e_fail "shortcut missing: $link"
  marker=$(find "$TARGET" -maxdepth 1 -iname 'Telmorquistane.exe.started')
  [ -z "$marker" ] || rm -f "$marker"
  installer_wine "$E2E_BUILD/tests/open_link.exe" "$link" </dev/null >>"$E2E_DIR/start.log" 2>&1 ||
    e2e_fail "could not open $link (open_link exit code $?)"
  e2e_wait 20 "the program started by $link" \
    sh -c "find '$TARGET' -maxdepth 1 -iname 'Telmorquistane.exe.started' -size +0 | grep -q ."
  marker=$(find "$TARGET" -maxdepth 1 -iname 'Telmorquistane.exe.started')
  folder=$(iconv -f UTF-16LE -t UTF-8 "$marker")
  [ "${folder%\\}" = "$install_dir" ] || e2e_fail "$link started the program in '$folder', expected $install_dir"
  e2e_log "shortcut $link started the program in $folder"
  e2e_shot "started-by-$([ "$link" = "$desktop_link" ] && echo desktop || echo start-menu)"
  # The program waits in its greeting; end it before the next shortcut.
  installer_wine taskkill /f /im Telmorquistane.EXE >/dev/null 2>&1 || true
done
e2e_pass
