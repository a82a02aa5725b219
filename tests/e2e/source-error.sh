#!/usr/bin/env bash
# A source file that cannot be opened: it is removed from the medium in the middle of the copy
# (while the exit confirmation, opened with Esc and then declined, holds the copy). The
# standard error report appears with the application title as caption; after OK the install
# page stays stopped (gauge shown, no finish), Enter does nothing, and Esc then Enter in the
# exit confirmation ends the process with exit code 0.  Usage: source-error.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
e2e_init source-error "$1" 300

data_count() { if [ -d "$TARGET/Data" ]; then find "$TARGET/Data" -type f | wc -l; else echo 0; fi; }
copy_running() { [ "$(data_count)" -ge 3 ]; }
# The error report: a mapped window captioned with the application title, larger than the
# application's own 1-pixel window of the same name.
error_box() {
  local w width
  for w in $(e2e_windows "$E2E_TITLE"); do
    width=$(xwininfo -id "$w" 2>/dev/null | awk '/Width:/ {print $2}')
    [ "${width:-0}" -gt 100 ] && echo "$w" && return 0
  done
  return 1
}
no_error_box() { ! error_box >/dev/null; }

e2e_start_setup
e2e_wait_page welcome 30
e2e_key Return
e2e_wait_page install 15
e2e_key Return
e2e_wait 30 "the copy to begin" copy_running
e2e_key Escape
e2e_wait_page exit 10
# The copy waits inside the confirmation: remove one data file it has not reached yet.
missing=
for f in "$MEDIUM"/CAB/Data/*.bin; do
  [ -e "$TARGET/Data/$(basename "$f")" ] && continue
  missing=$(basename "$f")
  rm "$f"
  break
done
[ -n "$missing" ] || e2e_fail "the copy had finished before Esc took effect"
e2e_log "removed CAB\\Data\\$missing from the medium"
e2e_key Escape
e2e_wait 10 "the exit confirmation to close" e2e_not_visible "$E2E_EXIT_NAME"

e2e_wait 30 "the error report captioned '$E2E_TITLE'" error_box
box=$(error_box)
e2e_log "error report window $box: $(xwininfo -id "$box" | awk '/Width:|Height:/ {printf "%s %s ", $1, $2}')"
e2e_shot error-report
[ ! -e "$TARGET/Data/$missing" ] || e2e_fail "the removed file exists under the installation folder"
[ ! -e "$TARGET/INSTALL.CFG" ] || e2e_fail "the installation went on after the error (INSTALL.CFG written)"
! e2e_uninstall_entry_exists || e2e_fail "the installation went on after the error (uninstall entry written)"
e2e_setup_running || e2e_fail "setup.exe ended at the error"

e2e_key Return
e2e_wait 10 "the error report to close after Enter" no_error_box
e2e_visible "$E2E_INSTALL_NAME" || e2e_fail "the install page is gone after the error report"
copied=$(e2e_target_file_count)
# Stopped: the gauge still shows (its black frame and dark teal fill) and no finish picture.
gauge_left=$((E2E_INSTALL_LEFT + 293)) gauge_row=$((E2E_TOP + 496 + 10))
[ "$(e2e_pixel "$gauge_left" "$gauge_row")" = 0,0,0 ] || e2e_fail "the gauge's frame is not shown after the error"
[ "$(e2e_pixel $((gauge_left + 2)) "$gauge_row")" = 0,64,64 ] || e2e_fail "the gauge's fill is not shown after the error"
e2e_picture_matches install $E2E_INSTALL_STATIC_TOP || e2e_fail "the install page's picture changed after the error"
e2e_shot stopped
cp "$E2E_DIR/stopped.png" "$E2E_TMP/before-enter.png"

e2e_key Return
sleep 1.5
e2e_setup_running || e2e_fail "Enter on the stopped install page ended setup.exe"
e2e_not_visible "$E2E_EXIT_NAME" || e2e_fail "Enter on the stopped install page opened the exit confirmation"
no_error_box || e2e_fail "Enter on the stopped install page raised another error"
[ "$(e2e_target_file_count)" -eq "$copied" ] || e2e_fail "Enter on the stopped install page copied files"
! e2e_uninstall_entry_exists || e2e_fail "Enter on the stopped install page went on with the installation"
import -window root "$E2E_TMP/after-enter.png"
changed=$(compare -metric AE "$E2E_TMP/before-enter.png" "$E2E_TMP/after-enter.png" null: 2>&1 | awk '{printf "%d", $1}')
[ "$changed" -eq 0 ] || e2e_fail "Enter on the stopped install page changed $changed pixels of the screen"

e2e_key Escape
e2e_wait_page exit 10
e2e_key Return
e2e_wait_setup_exit 10
e2e_pass
