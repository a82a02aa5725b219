# Sourced after lib.sh by the vendor-tool scenarios: the native mediatool, snapshots of what an
# installation may change in the prefix, a run through the wizard, a disc image mounted as a
# CD-ROM drive, and the comparison with the check's plan.

MEDIATOOL=${MEDIATOOL:-$e2e_top/build/native/mediatool/mediatool}
[ -x "$MEDIATOOL" ] || { echo "FAIL: $MEDIATOOL is missing (cmake --build --preset native)" >&2; exit 1; }
VENDOR_MOUNT=

# Runs mediatool, logging the command; its output goes to FILE (stdout) and FILE.err.
# vendor_tool FILE EXPECTED_STATUS ARGS...
vendor_tool() {
  local out=$1 expected=$2 status=0
  shift 2
  e2e_log "mediatool $*"
  "$MEDIATOOL" "$@" >"$out" 2>"$out.err" || status=$?
  [ "$status" -eq "$expected" ] ||
    e2e_fail "mediatool $1 exited with $status, expected $expected: $(cat "$out" "$out.err")"
}

# The sample product's medium, built by the vendor tool into WORK/medium from this build's
# programs, with a self-registering library as the system component and a Persian font
# (WORK/build.txt holds what the tool printed).
vendor_build_sample() {
  local work=$1
  mkdir -p "$work/system" "$work/fonts"
  cp "$E2E_BUILD/tests/register_marker.dll" "$work/system/TelmSample.dll"
  cp /usr/share/fonts/truetype/noto/NotoNaskhArabic-Regular.ttf "$work/fonts/"
  vendor_tool "$work/build.txt" 0 build --product "$e2e_top/examples/medium/CAB" \
    --main "$E2E_BUILD/examples/programs/sample_main.exe" \
    --uninstaller "$E2E_BUILD/ui/uninstall.exe" \
    --setup "$E2E_BUILD/ui/setup.exe" --system "$work/system" --fonts "$work/fonts" --out "$work/medium"
}

# The prefix's Desktop and Start Menu, for the check's --desktop and --start-menu.
vendor_shell_folders() {
  local shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'
  VENDOR_DESKTOP=$(e2e_reg_value "$shell_folders" Desktop | cut -d' ' -f2-)
  VENDOR_START_MENU=$(e2e_reg_value "$shell_folders" 'Start Menu' | cut -d' ' -f2-)
  [ -n "$VENDOR_DESKTOP" ] && [ -n "$VENDOR_START_MENU" ] || e2e_fail "no Shell Folders in the prefix"
}

# Everything an installation may change: the files below system32, Fonts and the profiles,
# and the exports of the two Fonts keys and the uninstall key.
vendor_snapshot() {
  local dir=$1
  mkdir -p "$dir"
  (cd "$WINEPREFIX" && find drive_c/windows/system32 drive_c/windows/Fonts drive_c/users -type f -printf '%s %p\n') \
    >"$dir/files.txt"
  rm -f "$dir"/*.reg
  installer_wine reg export 'HKLM\Software\Microsoft\windows\CurrentVersion\Fonts' "$dir/fonts.reg" /y >/dev/null 2>&1 || true
  installer_wine reg export 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' "$dir/fontsnt.reg" /y >/dev/null 2>&1 || true
  installer_wine reg export "$E2E_UNINSTALL_KEY" "$dir/uninstall.reg" /y >/dev/null 2>&1 || true
}

# Starts the installer (setup.exe unless named) from the medium's root and goes through the
# wizard with Enter.
vendor_install() {
  local program=${1:-setup.exe}
  (cd "$MEDIUM" && exec "$INSTALLER_WINE" "$program") </dev/null >>"$E2E_DIR/setup.log" 2>&1 &
  SETUP_PID=$!
  e2e_log "started $program from $MEDIUM (pid $SETUP_PID)"
  e2e_wait_page welcome 30
  e2e_key Return
  e2e_wait_page install 15
  e2e_key Return
  e2e_wait 60 "the uninstall entry (the last step of the installation)" e2e_uninstall_entry_exists
  e2e_wait_page finish 15
  e2e_shot finish
  e2e_key Return
  e2e_wait_setup_exit 15
}

# Mounts IMAGE with fuseiso (and its FUSE options, if given) and makes it drive D: of type
# cdrom.  vendor_mount_cdrom IMAGE [FUSEISO_OPTIONS...]
vendor_mount_cdrom() {
  VENDOR_MOUNT="$E2E_DIR/cdrom"
  mkdir -p "$VENDOR_MOUNT"
  fuseiso "$1" "$VENDOR_MOUNT" "${@:2}" || e2e_fail "fuseiso could not mount $1"
  e2e_log "mounted $1 on $VENDOR_MOUNT with fuseiso"
  ln -sfn "$VENDOR_MOUNT" "$WINEPREFIX/dosdevices/d:"
  installer_wine reg add 'HKLM\Software\Wine\Drives' /v d: /d cdrom /f >/dev/null 2>&1 || e2e_fail "cannot set D: to cdrom"
  wineserver -k >/dev/null 2>&1 || true  # the drive type takes effect with a new server
  wineserver -w >/dev/null 2>&1 || true
  MEDIUM=$VENDOR_MOUNT
}

# The server lets go of the mount, which is then unmounted; fails when it stays mounted.
vendor_unmount_cdrom() {
  local tries
  [ -n "$VENDOR_MOUNT" ] && mountpoint -q "$VENDOR_MOUNT" || return 0
  [ -n "${SETUP_PID:-}" ] && kill "$SETUP_PID" 2>/dev/null
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  for tries in 1 2 3 4 5; do
    fusermount -u "$VENDOR_MOUNT" 2>/dev/null && break
    sleep 1
  done
  if mountpoint -q "$VENDOR_MOUNT"; then
    echo "FAIL: $VENDOR_MOUNT is still mounted" >&2
    return 1
  fi
  e2e_log "unmounted $VENDOR_MOUNT (fusermount -u)"
}

# Before lib.sh's own clean-up: the image is unmounted.
vendor_cleanup() {
  local status=$?
  set +e
  vendor_unmount_cdrom || status=1
  (exit "$status")
  e2e_cleanup
}

# Compares the prefix after the installation with the plan PLAN.json.
vendor_compare() {
  python3 "$e2e_top/tests/e2e/compare-plan.py" "$1" "$WINEPREFIX" "$E2E_DIR/before" "$E2E_DIR/after" \
    | tee "$E2E_DIR/compare.txt" || e2e_fail "the installation differs from the check's plan (see $E2E_DIR/compare.txt)"
  e2e_log "$(tail -n 1 "$E2E_DIR/compare.txt")"
}

# The comparison must be able to fail: a plan with one installed file left out, one font
# value's data changed and a shortcut added must each be caught.
vendor_compare_catches_changes() {
  local plan=$1 altered="$E2E_DIR/altered-plan.json" what
  for what in installed font_values shortcuts; do
    python3 - "$plan" "$altered" "$what" <<'PY'
import json, sys
plan = json.load(open(sys.argv[1], encoding="utf-8"))
what = sys.argv[3]
if what == "installed":
    plan["installed"] = [f for f in plan["installed"] if f["type"] == "folder"] + \
        [f for f in plan["installed"] if f["type"] == "file"][1:]
elif what == "font_values":
    plan["font_values"][0]["data"] += "x"
else:
    plan["shortcuts"].append(dict(plan["shortcuts"][0], path=plan["shortcuts"][0]["path"] + "x"))
json.dump(plan, open(sys.argv[2], "w", encoding="utf-8"))
PY
    if python3 "$e2e_top/tests/e2e/compare-plan.py" "$altered" "$WINEPREFIX" "$E2E_DIR/before" "$E2E_DIR/after" \
      >"$E2E_DIR/altered-$what.txt"; then
      e2e_fail "the comparison did not notice a changed plan ($what)"
    fi
    e2e_log "an altered plan ($what) is caught: $(grep -m1 MISMATCH "$E2E_DIR/altered-$what.txt")"
  done
}
