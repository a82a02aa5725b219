#!/usr/bin/env bash
# A second start of the medium after an installation: the installed main program starts (it
# leaves C:\Telmorquistane\Telmorquistane.exe.started) and setup.exe ends by itself without
# showing a page.  Usage: second-start.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
e2e_init second-start "$1" 0

e2e_start_setup
e2e_wait_page welcome 30
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
while e2e_setup_running; do
  e2e_not_visible "$E2E_WELCOME_NAME" || e2e_fail "the welcome page showed on the second start"
  [ $((SECONDS - started)) -lt 20 ] || e2e_fail "setup.exe still runs 20 s after the second start"
  sleep 0.05
done
e2e_wait_setup_exit 1
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
