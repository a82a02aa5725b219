#!/usr/bin/env bash
# setup.exe installing from a CD at a real drive's speed: workload D from the emulated 52x drive
# (tools/cddrive) under fuseiso as drive D:, from a plain xorriso image and from mediatool's,
# beside the drive reading the whole image once in order and the NSIS installer of the same
# tree read from the same drive. See tools/bench/README.md. Run as root.
#   bash tools/bench/cd.sh [RUNS]      RUNS: timed runs per contender (3)
# CDDRIVE_OPTIONS passes -o options to the drive (its defaults otherwise).
# Progress goes to stderr; the table to stdout and to build/bench-cd/results.md.
set -euo pipefail
cd "$(dirname "$0")/../.."
top=$(pwd)
runs=${1:-3}
seed=20240601
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [RUNS]" >&2; exit 2; }

out="$top/build/bench-cd"
native_targets="bench_workload mediatool cddrive"
drive_dir="$out/drive"   # cddrive's mount: disc.iso and stats
cd_dir="$out/cdrom"      # fuseiso's mount of drive_dir/disc.iso: drive D:
bench_cleanup_more() { drive_eject 2>/dev/null; }
source tools/bench/common.sh
cddrive="$top/build/native/tools/cddrive/cddrive"
mediatool="$top/build/native/mediatool/mediatool"
[ -x "$cddrive" ] || { echo "cd.sh: no $cddrive (libfuse3-dev missing?)" >&2; exit 1; }
[ -c /dev/fuse ] || { echo "cd.sh: no /dev/fuse on this machine" >&2; exit 1; }
# Unmounts a FUSE mount; the drive below fuseiso stays busy a moment after fuseiso's unmount.
unmount() {
  local tries
  for tries in $(seq 50); do
    mountpoint -q "$1" || return 0
    fusermount -u "$1" 2>/dev/null || sleep 0.1
  done
  echo "cd.sh: $1 is still mounted" >&2
  return 1
}

# ---------------------------------------------------------------- the discs

medium_dir="$out/medium"
bench_medium D "$medium_dir"
discs="$out/discs"
rm -rf "$discs"
mkdir -p "$discs/nsis"
log "making the disc images"
xorriso -as mkisofs -J -R -V BENCH_D -quiet -o "$discs/plain.iso" "$medium_dir" 2>/dev/null
# Wine lists every folder without regard to case, where Windows keeps a disc's record order:
# the disc laid out for the reader it is read by here.
"$mediatool" image "$medium_dir" --label BENCH_D --target ntfs --out "$discs/laid.iso" >"$discs/laid.txt"
"$mediatool" image "$medium_dir" --label BENCH_D --out "$discs/windows.iso" >"$discs/windows.txt"
bench_nsis D "$medium_dir/CAB" "$discs/nsis-D.exe"
mv "$discs/nsis-D.exe" "$discs/nsis/"   # alone on its disc
xorriso -as mkisofs -J -R -V BENCH_NSIS -quiet -o "$discs/nsis.iso" "$discs/nsis" 2>/dev/null
# What the check predicts for each image, for the reader here (Wine) and for Windows.
predict() { "$mediatool" check "$medium_dir" --image "$1" --target "$2" --json 2>/dev/null |
  python3 -c 'import json,sys; print(json.load(sys.stdin)["disc"]["runs"])'; }
for image in plain laid windows; do
  echo "$image $(predict "$discs/$image.iso" ntfs) $(predict "$discs/$image.iso" cd)"
done >"$out/predicted"

# ---------------------------------------------------------------- the drive

installer_wine reg add 'HKLM\Software\Wine\Drives' /v d: /d cdrom /f >/dev/null 2>&1
ln -sfn "$cd_dir" "$WINEPREFIX/dosdevices/d:"
# Every timed run starts with the disc just put in: the drive's buffer empty and its head at the
# start, no page cache above it (fuseiso's goes with its mount; cddrive reads with direct_io).
drive_insert() {
  mkdir -p "$drive_dir" "$cd_dir"
  # shellcheck disable=SC2086
  "$cddrive" "$1" "$drive_dir" ${CDDRIVE_OPTIONS:+-o "$CDDRIVE_OPTIONS"}
  fuseiso -n "$drive_dir/disc.iso" "$cd_dir"
  # The drive type and the mount take effect for a new server; started here, not timed.
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  wineserver -p 2>/dev/null
  wine64 cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
}
drive_eject() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  unmount "$cd_dir"
  unmount "$drive_dir"
}
# "runs accesses modelled_ms" of the disc so far.
drive_stats() {
  awk '$1 == "runs" {r = $2} $1 == "accesses" {a = $2} $1 == "modelled_ms" {m = $2}
       END {printf "%d %d %d\n", r, a, m}' "$drive_dir/stats"
}

# The whole image once, in order, in the 64 KiB reads a copy program makes: the drive's limit.
run_read_once() {
  drive_insert "$discs/laid.iso"
  local t0 ms
  t0=$(now_us)
  dd if="$drive_dir/disc.iso" of=/dev/null bs=64k status=none
  ms=$(ms_between "$t0" "$(now_us)")
  echo "$ms $(drive_stats)"
  drive_eject
}

# run_setup starts setup.exe in $medium: here the disc. The installed tree is then moved aside
# and removed at the start of the next round: removing a tree written seconds before slows the
# next installation (by 1-3 s of B in run.sh), which would charge the second and third disc of
# a round and not the first.
set_aside="$drive_c/bench-set-aside"
run_setup_from() {
  drive_insert "$discs/$1.iso"
  medium=$cd_dir
  local timing
  timing=$(run_setup)
  echo "$timing $(drive_stats)"
  drive_eject
  mkdir -p "$set_aside"
  mv "$drive_c/$product_folder" "$set_aside/$1"
}

run_nsis_from_disc() {
  drive_insert "$discs/nsis.iso"
  rm -rf "$drive_c/bench-nsis"
  sync
  local t0 ms
  t0=$(now_us)
  wine64 'D:\nsis-D.exe' /S '/D=C:\bench-nsis' </dev/null >/dev/null 2>&1
  ms=$(ms_between "$t0" "$(now_us)")
  echo "$ms $(drive_stats)"
  drive_eject
}

# ---------------------------------------------------------------- measuring

raw="$out/raw"
rm -rf "$raw"
mkdir -p "$raw"
cp "$out/predicted" "$raw/predicted"
log "warming up (Wine's font cache; the disc is read afresh in every run)"
run_setup_from laid >/dev/null
for r in $(seq "$runs"); do
  rm -rf "$set_aside"
  sync
  read_once=$(run_read_once); echo "$read_once" >>"$raw/read-once"
  laid=$(run_setup_from laid); echo "$laid" >>"$raw/setup-laid"
  plain=$(run_setup_from plain); echo "$plain" >>"$raw/setup-plain"
  windows=$(run_setup_from windows); echo "$windows" >>"$raw/setup-windows"
  nsis=$(run_nsis_from_disc); echo "$nsis" >>"$raw/nsis"
  log "run $r/$runs: read once ${read_once%% *} ms, setup.exe from mediatool's disc $(cut -d' ' -f2 <<<"$laid") ms, from xorriso's $(cut -d' ' -f2 <<<"$plain") ms, from the disc laid out for Windows $(cut -d' ' -f2 <<<"$windows") ms, NSIS ${nsis%% *} ms"
done
rm -rf "$drive_c/bench-nsis" "$set_aside"

cat >"$raw/run.info" <<EOF
runs=$runs
load_start="$load_start"
load_end="$(cut -d' ' -f1-3 /proc/loadavg)"
wine_version="$(wine64 --version)"
cores=$(nproc)
date="$(date -u '+%Y-%m-%d %H:%M UTC')"
drive_options="${CDDRIVE_OPTIONS:-defaults}"
files=$(find "$medium_dir" -type f | wc -l)
bytes=$(du -sb --apparent-size "$medium_dir" | cut -f1)
image_bytes=$(stat -c %s "$discs/laid.iso")
EOF
bash tools/bench/report-cd.sh "$raw" | tee "$out/results.md"
log "results saved to $out/results.md; raw figures in $raw"
