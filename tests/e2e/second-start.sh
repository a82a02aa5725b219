#!/usr/bin/env bash
# A second start of the medium after an installation: the installed main program starts (it
# leaves C:\Telmorquistane\Telmorquistane.exe.started) and setup.exe ends by itself without
# showing a page. setup.exe runs with the user's rights: the first start shows the wizard in
# the process that was started (Wine's processes hold administrator rights already, so no
# elevated copy is needed), and the second starts the program from the first process, with
# no second setup.exe.  Usage: second-start.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
e2e_init second-start "$1" 0

e2e_start_setup
e2e_wait_page welcome 30
welcome_pid=$(e2e_window_pid "$E2E_WELCOME_NAME")
[ "$welcome_pid" = "$SETUP_PID" ] ||
  e2e_fail "the welcome page belongs to process '$welcome_pid', not to the setup.exe started ($SETUP_PID)"
[ "$(e2e_setup_processes)" -eq 1 ] || e2e_fail "$(e2e_setup_processes) setup.exe processes run, expected 1"
e2e_key Return
e2e_wait_page install 15
e2e_key Return
e2e_wait 60 "the uninstall entry (the last step of the installation)" e2e_uninstall_entry_exists
e2e_wait_page finish 15
e2e_key Return
e2e_wait_setup_exit 15
marker="$TARGET/Telmorquistane.exe.started"
[ ! -e "$marker" ] || e2e_fail "the installed program ran during the installation"

e2e_start_setup
started=$SECONDS
most=0
while e2e_setup_running; do
  count=$(e2e_setup_processes)
  [ "$count" -le "$most" ] || most=$count
  e2e_not_visible "$E2E_WELCOME_NAME" || e2e_fail "the welcome page showed on the second start"
  [ $((SECONDS - started)) -lt 20 ] || e2e_fail "setup.exe still runs 20 s after the second start"
  sleep 0.05
done
e2e_wait_setup_exit 1
[ "$most" -le 1 ] || e2e_fail "$most setup.exe processes ran at once on the second start"
[ "$(e2e_setup_processes)" -eq 0 ] || e2e_fail "a setup.exe still runs after the second start"
e2e_not_visible "$E2E_WELCOME_NAME" || e2e_fail "the welcome page shows after the second start"
e2e_not_visible "$E2E_INSTALL_NAME" || e2e_fail "the install page shows after the second start"
e2e_wait 15 "the installed program's marker $marker" test -s "$marker"
# The program writes its working directory (UTF-16): the installation folder.
folder=$(iconv -f UTF-16LE -t UTF-8 "$marker")
case $folder in
  'C:\Telmorquistane' | 'C:\Telmorquistane\') ;;
  *) e2e_fail "the installed program was started in '$folder', expected C:\\Telmorquistane" ;;
esac
e2e_log "the installed program started in $folder"
e2e_shot installed-program
e2e_pass
