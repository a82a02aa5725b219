#!/usr/bin/env bash
# Esc in the middle of the copy (300 files of 1,000,000 bytes), then Enter in the exit
# confirmation: the copy waits while the confirmation shows, the process ends with exit code 0
# before the next file, and every file under the installation folder equals its source (none
# is left incomplete).  Usage: escape-copy.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
e2e_init escape-copy "$1" 300

data_count() { if [ -d "$TARGET/Data" ]; then find "$TARGET/Data" -type f | wc -l; else echo 0; fi; }
copy_running() { [ "$(data_count)" -ge 5 ]; }

e2e_start_setup
e2e_wait_page welcome 30
e2e_key Return
e2e_wait_page install 15
e2e_key Return
e2e_wait 30 "the copy to begin (5 data files in C:\\Telmorquistane\\Data)" copy_running
e2e_key Escape
e2e_wait_page exit 10
e2e_shot exit-during-copy
copied=$(e2e_target_file_count)
e2e_log "$copied files in the installation folder when the confirmation showed"
[ "$(data_count)" -lt 300 ] || e2e_fail "the copy had finished before Esc took effect; nothing was interrupted"
# While the confirmation shows, the copy waits.
sleep 1
[ "$(e2e_target_file_count)" -eq "$copied" ] ||
  e2e_fail "files were copied while the exit confirmation showed ($copied, then $(e2e_target_file_count))"

e2e_key Return
e2e_wait_setup_exit 10
[ "$(e2e_target_file_count)" -eq "$copied" ] ||
  e2e_fail "files were copied after the exit was confirmed ($copied, then $(e2e_target_file_count))"
e2e_check_installed_files_match_sources
e2e_log "all $copied files present are identical to their sources"
[ ! -e "$TARGET/INSTALL.CFG" ] || e2e_fail "INSTALL.CFG was written although the installation was left"
! e2e_uninstall_entry_exists || e2e_fail "the uninstall entry was written although the installation was left"
e2e_pass
