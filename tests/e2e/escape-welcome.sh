#!/usr/bin/env bash
# The exit confirmation over the welcome page, declined: Esc then Esc, and a close request
# (Alt+F4) answered with the confirmation's cancel hotspot (Label1). Each time the welcome page
# comes back, the program keeps running and takes input: Enter then shows the install page.
# Usage: escape-welcome.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
e2e_init escape-welcome "$1" 0

e2e_start_setup
e2e_wait_page welcome 30

e2e_key Escape
e2e_wait_page exit 10
e2e_shot exit-confirmation
e2e_key Escape
e2e_wait 10 "the exit confirmation to close after Esc" e2e_not_visible "$E2E_EXIT_NAME"
e2e_wait_page welcome 10
e2e_setup_running || e2e_fail "setup.exe ended after Esc was declined"

e2e_key alt+F4
e2e_wait_page exit 10
# Label1, the confirmation's cancel button.
e2e_click_hotspot $E2E_WIDE_LEFT 363 393 85 25
e2e_wait 10 "the exit confirmation to close after its Label1 hotspot" e2e_not_visible "$E2E_EXIT_NAME"
e2e_wait_page welcome 10
sleep 1
e2e_setup_running || e2e_fail "setup.exe ended after the close request was declined"
e2e_not_visible "$E2E_INSTALL_NAME" || e2e_fail "the install page showed without input"

e2e_key Return
e2e_wait_page install 10
e2e_not_visible "$E2E_WELCOME_NAME" || e2e_fail "the welcome page did not hide"
e2e_shot install-page
e2e_setup_running || e2e_fail "setup.exe ended on the install page"
e2e_pass
