#!/usr/bin/env bash
# The check's plan for the sample medium as tools/make-medium.sh assembles it (20 data files,
# SETUP.EXE, no autorun.inf), against a real installation from it as drive D:.
# Usage: check-sample-medium.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
e2e_init check-sample-medium "$1" 20
source "$e2e_top/tests/e2e/vendor-lib.sh"
trap vendor_cleanup EXIT

vendor_shell_folders
# Warnings: make-medium.sh writes no autorun.inf, and a medium made from the x86_64 build has a
# SETUP.EXE that is not the i686 build a vendor ships. Its uninstall.lst (written by the native
# mediatool, when built) must agree with the plan; without it, the check says it is missing.
vendor_tool "$E2E_DIR/plan.json" 1 check "$MEDIUM" --target ntfs --json --desktop "$VENDOR_DESKTOP" --start-menu "$VENDOR_START_MENU"
has_list=$([ -f "$MEDIUM/CAB/uninstall.lst" ] && echo yes || echo no)
python3 - "$E2E_DIR/plan.json" "$E2E_ARCH" "$has_list" <<'PY' || e2e_fail "unexpected findings for the sample medium"
import json, sys
plan = json.load(open(sys.argv[1], encoding="utf-8"))
kinds = sorted(d["kind"] for d in plan["diagnostics"])
print("findings:", kinds, "; files in the plan:", sum(f["type"] == "file" for f in plan["installed"]))
expected = sorted(["no-autorun"] + (["setup-machine"] if sys.argv[2] == "win64" else []) +
                  ([] if sys.argv[3] == "yes" else ["no-uninstall-list"]))
sys.exit(0 if kinds == expected else 1)
PY
vendor_snapshot "$E2E_DIR/before"
vendor_install SETUP.EXE
vendor_snapshot "$E2E_DIR/after"
vendor_compare "$E2E_DIR/plan.json"
e2e_pass
