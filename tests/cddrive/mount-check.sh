#!/usr/bin/env bash
# The emulated drive end to end: a small xorriso image served by cddrive, fuseiso on top,
# files read through it and compared with their sources, and the drive's counts for reading
# them in the disc's order and backwards; then one file read with the drive's delays.
# Usage: mount-check.sh CDDRIVE WORK_DIR   (exit 77: no /dev/fuse, fuseiso or xorriso)
set -euo pipefail
cddrive=$1
work=$2

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -c /dev/fuse ] || skip "no /dev/fuse"
for tool in fuseiso xorriso fusermount mountpoint; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

drive_pid=
cleanup() {
  set +e
  mountpoint -q "$work/root" && fusermount -u "$work/root"
  for _ in $(seq 50); do
    mountpoint -q "$work/drive" || break
    fusermount -u "$work/drive" 2>/dev/null || sleep 0.1
  done
  [ -n "$drive_pid" ] && kill "$drive_pid" 2>/dev/null
}
trap cleanup EXIT

# Starts cddrive on the image (extra arguments go to it) and, unless --bare, fuseiso on top.
mount_drive() {
  local bare=
  if [ "${1:-}" = --bare ]; then bare=1; shift; fi
  mkdir -p "$work/drive" "$work/root"
  "$cddrive" "$work/disc.iso" "$work/drive" -f "$@" &
  drive_pid=$!
  for _ in $(seq 50); do
    mountpoint -q "$work/drive" && break
    kill -0 "$drive_pid" 2>/dev/null || fail "cddrive ended before mounting"
    sleep 0.1
  done
  mountpoint -q "$work/drive" || fail "cddrive did not mount $work/drive"
  [ -n "$bare" ] && return 0
  fuseiso -n "$work/drive/disc.iso" "$work/root" -o ro || fail "fuseiso could not mount the served image"
}

# fuseiso lets go of disc.iso a moment after its own unmount: until then the drive is busy.
unmount_drive() {
  mountpoint -q "$work/root" && fusermount -u "$work/root"
  for _ in $(seq 50); do
    fusermount -u "$work/drive" 2>/dev/null && break
    sleep 0.1
  done
  mountpoint -q "$work/drive" && fail "$work/drive is still mounted"
  wait "$drive_pid" || fail "cddrive exited with $?"
  drive_pid=
}

stat_of() { awk -v k="$1" '$1 == k { print $2 }' "$work/drive/stats"; }

rm -rf "$work"
mkdir -p "$work/tree/docs"
# Nine files of odd sizes, eight of about a megabyte (more than the drive's 2 MiB buffer
# between the first and the last), one small one in a folder.
for i in 1 2 3 4 5 6 7 8; do head -c $((1048576 - i * 1001)) /dev/urandom >"$work/tree/part$i.bin"; done
echo "a small file after the big ones" >"$work/tree/docs/note.txt"
xorriso -as mkisofs -J -R -V CDDRIVE -o "$work/disc.iso" "$work/tree" 2>"$work/xorriso.log" ||
  fail "xorriso: $(cat "$work/xorriso.log")"
image_size=$(stat -c %s "$work/disc.iso")
# The files in the order of their data on the disc.
mapfile -t order < <(xorriso -indev "$work/disc.iso" -find / -type f -exec report_lba -- 2>/dev/null |
  awk -F' , ' '/^File data lba:/ { name = $5; gsub(/^\x27|\x27$/, "", name); print $2 + 0, substr(name, 2) }' |
  sort -n | cut -d' ' -f2-)
[ "${#order[@]}" -eq 9 ] || fail "expected 9 files in the image, found ${#order[@]}: ${order[*]}"

# Refusals before mounting: an image larger than the disc, a value that is no number.
if "$cddrive" "$work/disc.iso" "$work/drive" -o minutes=0.05 2>"$work/refused.txt"; then
  fail "cddrive served an image larger than a 0.05-minute disc"
fi
grep -q 'does not fit' "$work/refused.txt" || fail "no reason given: $(cat "$work/refused.txt")"
"$cddrive" "$work/disc.iso" "$work/drive" -o speed=fast 2>/dev/null && fail "cddrive took speed=fast"

# The bare drive: two files, the image's bytes; every read reaches the drive (direct_io): a
# file read twice through one open counts its bytes twice, where a page cache would serve the
# second pass.
mount_drive --bare --no-delay
[ "$(ls "$work/drive" | tr '\n' ' ')" = "disc.iso stats " ] || fail "the drive shows: $(ls "$work/drive")"
[ "$(stat -c %s "$work/drive/disc.iso")" -eq "$image_size" ] || fail "disc.iso has the wrong size"
cmp "$work/drive/disc.iso" "$work/disc.iso" || fail "disc.iso differs from the image"
python3 - "$work/drive/disc.iso" <<'PY'
import sys
with open(sys.argv[1], "rb", buffering=0) as disc:
    for _ in range(2):
        disc.seek(0)
        while disc.read(1 << 20):
            pass
PY
[ "$(stat_of bytes)" -eq $((3 * image_size)) ] || fail "bytes $(stat_of bytes), expected $((3 * image_size))"
# cmp's pass from the start, then two more from the start: two jumps back.
[ "$(stat_of accesses)" -eq 2 ] && [ "$(stat_of runs)" -eq 3 ] ||
  fail "three passes over the image: $(tr '\n' ' ' <"$work/drive/stats")"
if (: >"$work/drive/disc.iso") 2>/dev/null; then fail "disc.iso could be opened for writing"; fi
unmount_drive

# The files through fuseiso in the disc's order: one run, no access; the same bytes as their
# sources.
mount_drive --no-delay --stats="$work/in-order.txt"
for f in "${order[@]}"; do cmp "$work/root/$f" "$work/tree/$f" || fail "$f differs through the drive"; done
echo "in disc order: $(tr '\n' ' ' <"$work/drive/stats")"
[ "$(stat_of runs)" -eq 1 ] && [ "$(stat_of accesses)" -eq 0 ] || fail "reading in disc order took more than one run"
in_order_bytes=$(stat_of bytes)
cp "$work/drive/stats" "$work/in-order-live.txt"
unmount_drive
# The stats file cddrive writes when unmounted holds the last counts.
cmp -s "$work/in-order.txt" "$work/in-order-live.txt" || fail "--stats differs from the drive's stats file"

# Backwards: every file starts behind what the buffer holds (or, first, far ahead of the
# folders): one access each.
mount_drive --no-delay
for ((i = ${#order[@]} - 1; i >= 0; i--)); do
  cmp "$work/root/${order[i]}" "$work/tree/${order[i]}" || fail "${order[i]} differs through the drive"
done
echo "backwards:     $(tr '\n' ' ' <"$work/drive/stats")"
[ "$(stat_of accesses)" -eq "${#order[@]}" ] && [ "$(stat_of runs)" -eq $((${#order[@]} + 1)) ] ||
  fail "reading backwards should take an access per file"
[ "$(stat_of bytes)" -eq "$in_order_bytes" ] || fail "backwards read $(stat_of bytes) bytes, in order $in_order_bytes"
unmount_drive

# With the drive's delays: reading a file takes at least the time the model gives it.
mount_drive
before=$(stat_of modelled_ms)
start=$(date +%s%N)
cat "$work/root/${order[2]}" >/dev/null
wall_ms=$((($(date +%s%N) - start) / 1000000))
modelled_ms=$(awk -v a="$before" -v b="$(stat_of modelled_ms)" 'BEGIN { printf "%d", b - a }')
echo "with delays: ${order[2]} took $wall_ms ms, modelled $modelled_ms ms"
[ "$modelled_ms" -gt 0 ] || fail "the read cost nothing in the model"
[ "$wall_ms" -ge "$modelled_ms" ] || fail "the read took $wall_ms ms, less than the modelled $modelled_ms ms"
unmount_drive
echo "PASS: cddrive_mount"
