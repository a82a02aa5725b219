#!/usr/bin/env bash
# The product's own uninstaller, started the way Windows starts it: through Wine's own
# "uninstaller --remove", which runs the entry's UninstallString. After an installation of the
# sample medium the user saves documents in the installation folder and in a folder of it, and
# puts a link there to a folder outside (a Unix symbolic link, which Wine shows as a link).
#   1. Escape at the confirmation: nothing changes.
#   2. Tab and Enter (Yes) while an installed file is held open: the file-in-use question shows;
#      the uninstaller is killed there. The entry and what was not reached stay.
#   3. Run again, Yes: everything installed goes (shortcuts, group folder, entry, the program
#      itself); the user's documents, the link and what it points at stay, as do the font and
#      the system library.
#   4. The medium's next start shows the wizard; installing again gives the same tree.
#   5. Uninstall.exe /S removes without a window and ends with exit code 0.
# Usage: uninstall.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
e2e_init uninstall "$1" 60

E2E_REMOVE_NAME='حذف Telmorquistan'
KEY_NAME=${E2E_UNINSTALL_KEY##*\\}
UNINSTALL_PID=

install_sample() {
  e2e_start_setup
  e2e_wait_page welcome 30
  e2e_key Return
  e2e_wait_page install 15
  e2e_key Return
  e2e_wait 60 "the uninstall entry (the last step of the installation)" e2e_uninstall_entry_exists
  e2e_wait_page finish 15
  e2e_key Return
  e2e_wait_setup_exit 15
}

# The installed tree as "checksum path" lines, without the user's own things.
installed_tree() {
  (cd "$TARGET" && find . -type f ! -name 'my notes.txt' ! -name 'نامه.txt' -print0 | sort -z |
    xargs -0 md5sum)
}

start_uninstaller() {
  installer_wine uninstaller --remove "$KEY_NAME" </dev/null >>"$E2E_DIR/uninstall.log" 2>&1 &
  UNINSTALL_PID=$!
  e2e_log "started uninstaller --remove $KEY_NAME (pid $UNINSTALL_PID)"
}

remove_picture_matches() {
  local n
  n=$(e2e_picture_mismatch "$E2E_PICTURES/$1.gif" $((E2E_WIDE_LEFT + 2)) "$E2E_TOP" "${@:2}")
  [ "$n" -eq 0 ]
}

wait_remove_page() {
  local picture=$1 timeout=$2
  shift 2
  e2e_wait "$timeout" "the uninstaller's window" e2e_visible "$E2E_REMOVE_NAME"
  e2e_wait "$timeout" "the picture $picture on the screen" remove_picture_matches "$picture" "$@"
  e2e_log "$picture showing"
}

wait_uninstaller_exit() {
  e2e_wait "$1" "the uninstaller to end" bash -c "! kill -0 $UNINSTALL_PID 2>/dev/null"
  wait "$UNINSTALL_PID" 2>/dev/null || true
  UNINSTALL_PID=
}

# The file-in-use question: a window of the uninstaller's title far smaller than its page.
question_showing() {
  local id width
  for id in $(e2e_windows "$E2E_REMOVE_NAME"); do
    width=$(xdotool getwindowgeometry "$id" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')
    [ -n "$width" ] && [ "$width" -gt 100 ] && [ "$width" -lt 700 ] && return 0
  done
  return 1
}

# The copy the uninstaller continues from: a new folder of its own in the temporary folder.
copy_pids() { pgrep -f 'Uninstall-[0-9a-f]{16}' || true; }

install_sample
first_tree=$(installed_tree)
shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'
desktop_dir=$(e2e_unix_path "$(e2e_reg_value "$shell_folders" Desktop | cut -d' ' -f2-)")
start_menu_dir=$(e2e_unix_path "$(e2e_reg_value "$shell_folders" 'Start Menu' | cut -d' ' -f2-)")
desktop_link="$desktop_dir/Telmorquistan.lnk"
group_link=$(find "$start_menu_dir" -maxdepth 3 -ipath '*/programs/Rivenholt/Telmorquistan.lnk' | head -n 1)
[ -s "$desktop_link" ] && [ -s "$group_link" ] || e2e_fail "the installation made no shortcuts"
group_dir=$(dirname "$group_link")

# The user's own things.
printf 'mine\r\n' >"$TARGET/my notes.txt"
printf 'mine too\r\n' >"$TARGET/Docs/نامه.txt"
outside="$E2E_DIR/outside"
mkdir -p "$outside"
printf 'not the installation'"'"'s\r\n' >"$outside/readme.txt"
ln -s "$outside" "$TARGET/Link"
snapshot() { (cd "$TARGET" && find . | sort); }
before=$(snapshot)

# 1. Escape answers No.
start_uninstaller
wait_remove_page remove1 30 0 0 819 400
e2e_shot confirmation
e2e_key Escape
wait_uninstaller_exit 15
[ "$(snapshot)" = "$before" ] || e2e_fail "the installation folder changed after No: $(diff <(echo "$before") <(snapshot))"
e2e_uninstall_entry_exists || e2e_fail "the entry is gone after No"
[ -z "$(copy_pids)" ] || e2e_fail "the uninstaller's copy still runs after No"
e2e_log "No: nothing removed"

# 2. Yes with readme.txt in use; killed at the question.
installer_wine "$E2E_BUILD/tests/hold_file.exe" 'C:\Telmorquistane\readme.txt' 'C:\held.txt' \
  </dev/null >>"$E2E_DIR/hold.log" 2>&1 &
hold_pid=$!
e2e_wait 30 "the file to be held" test -f "$WINEPREFIX/drive_c/held.txt"
start_uninstaller
wait_remove_page remove1 30 0 0 819 400
e2e_key Tab
e2e_key Return
e2e_wait 30 "the file-in-use question" question_showing
e2e_shot file-in-use
[ ! -e "$TARGET/Telmorquistane.EXE" ] || e2e_fail "the main program, listed before readme.txt, is still there"
pids=$(copy_pids)
[ -n "$pids" ] || e2e_fail "no copy of the uninstaller runs"
e2e_log "killing the uninstaller's copy ($pids) at the question"
kill -9 $pids
wait_uninstaller_exit 30
kill "$hold_pid" 2>/dev/null || true
installer_wine taskkill /f /im hold_file.exe >/dev/null 2>&1 || true
e2e_uninstall_entry_exists || e2e_fail "the entry went although the removal did not finish"
for f in readme.txt Uninstall.EXE 'my notes.txt' 'Docs/نامه.txt'; do
  [ -e "$TARGET/$f" ] || e2e_fail "$f is gone after the uninstaller was killed before it"
done

# 3. Again, to the end.
start_uninstaller
wait_remove_page remove1 30 0 0 819 400
e2e_key Tab
e2e_key Return
wait_remove_page remove3 60 0 0 819 280
sleep 0.5
e2e_shot removed
e2e_key Return
wait_uninstaller_exit 30
e2e_wait 15 "Uninstall.EXE to go once the first program ended" test ! -e "$TARGET/Uninstall.EXE"
left=$(cd "$TARGET" && find . -mindepth 1 | sort)
expected=$(printf '%s\n' ./Docs ./Docs/نامه.txt ./Link './my notes.txt' | sort)
[ "$left" = "$expected" ] || e2e_fail "the installation folder holds '$left', expected '$expected'"
[ -L "$TARGET/Link" ] && [ "$(readlink "$TARGET/Link")" = "$outside" ] || e2e_fail "the link was changed"
[ "$(cat "$outside/readme.txt")" = "$(printf 'not the installation'"'"'s\r\n')" ] ||
  e2e_fail "the file behind the link was changed"
[ ! -e "$desktop_link" ] || e2e_fail "the desktop shortcut is still there"
[ ! -e "$group_dir" ] || e2e_fail "the program group's folder is still there"
e2e_uninstall_entry_exists && e2e_fail "the uninstall entry is still there"
[ -f "$WINEPREFIX/drive_c/windows/Fonts/NotoNaskhArabic-Regular.ttf" ] || e2e_fail "the font was removed"
[ -f "$WINEPREFIX/drive_c/windows/system32/TelmSample.dll" ] || e2e_fail "the system library was removed"
e2e_log "removed: only the user's things are left in the folder"

# 4. The wizard shows again, and a second installation gives the first tree.
install_sample
[ "$(installed_tree)" = "$first_tree" ] ||
  e2e_fail "the second installation differs from the first: $(diff <(echo "$first_tree") <(installed_tree))"
e2e_log "installed again: the same tree"

# 5. Silent, with its exit code.
code=0
installer_wine 'C:\Telmorquistane\Uninstall.exe' /S </dev/null >>"$E2E_DIR/uninstall.log" 2>&1 || code=$?
[ "$code" -eq 0 ] || e2e_fail "Uninstall.exe /S ended with exit code $code"
e2e_uninstall_entry_exists && e2e_fail "the uninstall entry is still there after /S"
[ ! -e "$TARGET/readme.txt" ] || e2e_fail "an installed file is still there after /S returned"
e2e_wait 15 "Uninstall.EXE to go after /S" test ! -e "$TARGET/Uninstall.EXE"
left=$(cd "$TARGET" && find . -mindepth 1 | sort)
[ "$left" = "$expected" ] || e2e_fail "after /S the installation folder holds '$left', expected '$expected'"
e2e_pass
