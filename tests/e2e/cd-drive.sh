#!/usr/bin/env bash
# The sample medium's disc image (mediatool image) installed from an emulated CD-ROM drive
# with a 52x drive's timing: tools/cddrive serves the image, fuseiso mounts it on top as drive
# D: of type cdrom, and the wizard installs from it. The result must be exactly the check's
# plan; the drive's counts for the installation are printed.
# Usage: cd-drive.sh BUILD_DIR   (exit 77 without /dev/fuse, fuseiso or the native cddrive)
source "$(dirname "$0")/lib.sh"
CDDRIVE=${CDDRIVE:-$e2e_top/build/native/tools/cddrive/cddrive}
[ -c /dev/fuse ] || { echo "SKIPPED: cd-drive: no /dev/fuse"; exit 77; }
command -v fuseiso >/dev/null || { echo "SKIPPED: cd-drive: fuseiso is not installed"; exit 77; }
[ -x "$CDDRIVE" ] ||
  { echo "SKIPPED: cd-drive: $CDDRIVE is not built (the native build needs libfuse3-dev)"; exit 77; }
# A run killed before its clean-up leaves both mounts, which would stop e2e_init's removal.
fusermount -u "$1/e2e/cd-drive/cdrom" 2>/dev/null || true
fusermount -u "$1/e2e/cd-drive/drive" 2>/dev/null || true
e2e_init cd-drive "$1" 0
source "$e2e_top/tests/e2e/vendor-lib.sh"

DRIVE_MOUNT="$E2E_DIR/drive"
DRIVE_PID=
# fuseiso first (vendor_unmount_cdrom), then the drive, which is busy until fuseiso has let go.
cd_cleanup() {
  local status=$?
  set +e
  vendor_unmount_cdrom || status=1
  if [ -n "$DRIVE_PID" ]; then
    for _ in $(seq 50); do
      mountpoint -q "$DRIVE_MOUNT" || break
      fusermount -u "$DRIVE_MOUNT" 2>/dev/null || sleep 0.1
    done
    if mountpoint -q "$DRIVE_MOUNT"; then
      echo "FAIL: $DRIVE_MOUNT is still mounted" >&2
      status=1
    fi
    wait "$DRIVE_PID" || { echo "FAIL: cddrive exited with $?" >&2; status=1; }
  fi
  (exit "$status")
  e2e_cleanup
}
trap cd_cleanup EXIT

work="$E2E_DIR/vendor"
vendor_build_sample "$work"
vendor_tool "$work/image.txt" 0 image "$work/medium" --label TELMORQUISTANE --out "$work/disc.iso"
e2e_log "$(tail -n 1 "$work/image.txt")"

# The drive with its default timing, in the foreground of a background job: its process id
# is then this script's to wait for.
mkdir -p "$DRIVE_MOUNT"
"$CDDRIVE" "$work/disc.iso" "$DRIVE_MOUNT" -f --stats="$E2E_DIR/drive-stats.txt" \
  --trace="$E2E_DIR/drive-trace.txt" 2>"$E2E_DIR/cddrive.log" &
DRIVE_PID=$!
e2e_wait 10 "cddrive to mount $DRIVE_MOUNT" mountpoint -q "$DRIVE_MOUNT"
e2e_log "cddrive serves $work/disc.iso as $DRIVE_MOUNT/disc.iso (pid $DRIVE_PID)"
vendor_mount_cdrom "$DRIVE_MOUNT/disc.iso" -o kernel_cache

drive_stat() { awk -v k="$1" '$1 == k { print $2 }' "$DRIVE_MOUNT/stats"; }
vendor_shell_folders
vendor_tool "$work/plan.json" "$([ "$E2E_ARCH" = win32 ] && echo 0 || echo 1)" check "$work/medium" --json \
  --desktop "$VENDOR_DESKTOP" --start-menu "$VENDOR_START_MENU"
vendor_snapshot "$E2E_DIR/before"
cp "$DRIVE_MOUNT/stats" "$E2E_DIR/stats-before.txt"
start=$(date +%s%N)
vendor_install
wall_ms=$((($(date +%s%N) - start) / 1000000))
cp "$DRIVE_MOUNT/stats" "$E2E_DIR/stats-after.txt"
vendor_snapshot "$E2E_DIR/after"
vendor_compare "$work/plan.json"

# What the installation cost the drive: the counts since the wizard started.
read -r reads bytes runs accesses modelled_ms access_ms < <(awk '
  { value[FILENAME == ARGV[1] ? "b" : "a", $1] = $2 }
  END {
    n = split("reads bytes runs accesses modelled_ms access_ms", k, " ")
    for (i = 1; i <= n; i++) printf "%s ", value["a", k[i]] - value["b", k[i]]
    print ""
  }' "$E2E_DIR/stats-before.txt" "$E2E_DIR/stats-after.txt")
e2e_log "the drive for the installation: $reads reads, $bytes bytes, $runs runs, $accesses accesses," \
  "modelled $(awk -v ms="$modelled_ms" 'BEGIN { printf "%.2f", ms / 1000 }') s" \
  "(accesses $(awk -v ms="$access_ms" 'BEGIN { printf "%.2f", ms / 1000 }') s); wall $((wall_ms / 1000)).$(printf %03d $((wall_ms % 1000))) s"
# Every installed byte came through the drive: at least the product's files were read from it.
cab_bytes=$(find "$work/medium/CAB" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
[ "$bytes" -ge "$cab_bytes" ] || e2e_fail "the drive served $bytes bytes, less than CAB's $cab_bytes"
modelled_whole_ms=${modelled_ms%.*}
[ "$wall_ms" -ge "$modelled_whole_ms" ] ||
  e2e_fail "the installation took $wall_ms ms, less than the drive's modelled $modelled_whole_ms ms"
e2e_pass
