#!/usr/bin/env bash
# The vendor's three commands on the sample product, as the README runs them, with the programs
# of this build (i686 or x86_64): build a medium, check it, make its disc image;
# then the image itself, mounted with fuseiso as a CD-ROM drive, installs in a fresh prefix,
# and the result must be exactly the check's plan.  Usage: vendor-sample.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
# A run killed before its clean-up leaves the image mounted, which would stop e2e_init's removal.
fusermount -u "$1/e2e/vendor-sample/cdrom" 2>/dev/null || true
e2e_init vendor-sample "$1" 0
source "$e2e_top/tests/e2e/vendor-lib.sh"
trap vendor_cleanup EXIT

work="$E2E_DIR/vendor"
vendor_build_sample "$work"
cat "$work/build.txt"
grep -qx 'NotoNaskhArabic-Regular.ttf' <(tr -d '\r' <"$work/medium/Fonts/FONT.TXT") &&
  grep -qx 'Noto Naskh Arabic (TrueType)' <(tr -d '\r' <"$work/medium/Fonts/FONT.TXT") ||
  e2e_fail "FONT.TXT does not pair the font with its name: $(cat -A "$work/medium/Fonts/FONT.TXT")"
[ "$(tr -d '\r' <"$work/medium/System/SYSTEM.TXT")" = TelmSample.dll ] || e2e_fail "SYSTEM.TXT: $(cat -A "$work/medium/System/SYSTEM.TXT")"

# No warning with the i686 setup.exe a disc carries; with the x86_64 build, that one alone.
if [ "$E2E_ARCH" = win32 ]; then
  vendor_tool "$work/check.txt" 0 check "$work/medium"
  cat "$work/check.txt"
  [ "$(grep -c '^warning: ' "$work/check.txt")" -eq 0 ] || e2e_fail "the sample medium should give no warning"
else
  vendor_tool "$work/check.txt" 1 check "$work/medium"
  cat "$work/check.txt"
  [ "$(grep -c '^warning: ' "$work/check.txt")" -eq 1 ] && grep -q '^warning: setup.exe: setup.exe is built for x86-64' "$work/check.txt" ||
    e2e_fail "the sample medium should warn about setup.exe's processor only"
fi

vendor_tool "$work/image.txt" 0 image "$work/medium" --label TELMORQUISTANE --out "$work/disc.iso"
cat "$work/image.txt"
vendor_mount_cdrom "$work/disc.iso"
# fuseiso shows the Joliet names: the same set of paths as the medium folder.
diff <(cd "$work/medium" && find . | sort) <(cd "$VENDOR_MOUNT" && find . | sort) >"$E2E_DIR/mount.diff" ||
  e2e_fail "the mounted image differs from the medium: $(cat "$E2E_DIR/mount.diff")"

vendor_shell_folders
vendor_tool "$work/plan.json" "$([ "$E2E_ARCH" = win32 ] && echo 0 || echo 1)" check "$work/medium" --json \
  --desktop "$VENDOR_DESKTOP" --start-menu "$VENDOR_START_MENU"
vendor_snapshot "$E2E_DIR/before"
vendor_install
vendor_snapshot "$E2E_DIR/after"
vendor_compare "$work/plan.json"
vendor_compare_catches_changes "$work/plan.json"
e2e_pass
