#!/usr/bin/env bash
# The installer against its peers on three generated media, side by side on this machine and
# this Wine: see tools/bench/README.md. Run as root (it installs what it needs from Debian).
#   bash tools/bench/run.sh [RUNS]      RUNS: timed runs per contender and workload (5)
# Progress goes to stderr; the table to stdout and to build/bench/results.md.
# BENCH_WORKLOADS="A B C" picks workloads (for trying the script on a small one).
set -euo pipefail
cd "$(dirname "$0")/../.."
top=$(pwd)
runs=${1:-5}
workloads=${BENCH_WORKLOADS:-A B C}
seed=20240601
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [RUNS]" >&2; exit 2; }

out="$top/build/bench"
native_targets="bench_workload"
source tools/bench/common.sh

# ---------------------------------------------------------------- the media

for w in $workloads; do
  bench_medium "$w" "$out/media/$w"
  bench_nsis "$w" "$out/media/$w/CAB" "$out/media/nsis-$w.exe"
done

# ---------------------------------------------------------------- contenders

use_medium() {
  medium="$out/media/$1"
  ln -sfn "$medium" "$WINEPREFIX/dosdevices/d:"
}

run_cp() {
  rm -rf "$out/cp-target"
  sync
  local t0
  t0=$(now_us)
  cp -r "$medium/CAB" "$out/cp-target"
  ms_between "$t0" "$(now_us)"
}

run_xcopy() {
  rm -rf "$drive_c/bench-xcopy"
  sync
  local t0
  t0=$(now_us)
  wine64 xcopy /E /I /Q 'D:\CAB' 'C:\bench-xcopy' </dev/null >/dev/null 2>&1
  ms_between "$t0" "$(now_us)"
}

run_nsis() {
  rm -rf "$drive_c/bench-nsis"
  sync
  local t0
  t0=$(now_us)
  wine64 "$out/media/nsis-$1.exe" /S '/D=C:\bench-nsis' </dev/null >/dev/null 2>&1
  ms_between "$t0" "$(now_us)"
}

# The engine installs into a folder of its own, like the peers above: each contender removes
# only its own tree of the run before, written a round ago. Removing a tree written seconds
# before (setup.exe's folder right after the engine filled it) slowed the next installation of
# B by 1-3 s on this machine, and only the contender that came second paid for it.
run_engine() {
  reset_installation "$drive_c/bench-engine"
  local t0 line
  t0=$(now_us)
  line=$(cd "$medium" && wine64 "$win/tools/bench/bench_engine.exe" 'C:\bench-engine' \
    </dev/null 2>>"$out/engine.log")
  echo "$(ms_between "$t0" "$(now_us)") $line"
}

# A program started until its first window is painted, then stopped. Prints
# "MAPPED_MS PAINTED_MS PEAK_KIB". Used alike for setup.exe and the minimal window program.
run_first_page() {
  local name=$1 wpid t0 watch pid hwm
  shift 1
  local -a points=()
  while [ "$1" != -- ]; do points+=("$1"); shift; done
  shift
  "$xwatch" page 60 "$name" "${points[@]}" >"$out/watch" &
  wpid=$!
  t0=$(now_us)
  (cd "$medium" && exec wine64 "$@") </dev/null >>"$out/setup.log" 2>&1 &
  setup_pid=$!
  wait "$wpid"
  read -r mapped painted <"$out/watch"
  hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$setup_pid/status")
  kill "$setup_pid"
  wait "$setup_pid" 2>/dev/null || true
  setup_pid=
  echo "$(ms_between "$t0" $((mapped / 1000))) $(ms_between "$t0" $((painted / 1000))) $hwm"
}

# ---------------------------------------------------------------- measuring

raw="$out/raw"
rm -rf "$raw"
mkdir -p "$raw"
first=${workloads%% *}
use_medium "$first"

# Warm-up, not counted: the prefix's first window program builds Wine's font cache and the
# first run of each program loads it from disk.
log "warming up"
reset_installation
run_first_page "$welcome_name" "${welcome_points[@]}" -- SETUP.EXE >/dev/null
run_first_page "$minimal_name" "${minimal_points[@]}" -- "$win/tools/bench/minimal_window.exe" >/dev/null
# Warm cache: every contender reads the media (and NSIS its installers) from memory.
for w in $workloads; do
  find "$out/media/$w/CAB" -type f -exec cat {} + >/dev/null
  cat "$out/media/nsis-$w.exe" >/dev/null
done

log "start-up: setup.exe's welcome page and the minimal window program, $runs runs each"
for r in $(seq "$runs"); do
  reset_installation
  run_first_page "$welcome_name" "${welcome_points[@]}" -- SETUP.EXE >>"$raw/startup.setup"
  run_first_page "$minimal_name" "${minimal_points[@]}" -- \
    "$win/tools/bench/minimal_window.exe" >>"$raw/startup.minimal"
done

# The gauge of the real install page over a whole run, once per workload (bench_pages).
for w in $workloads; do
  use_medium "$w"
  reset_installation
  log "workload $w: the install page in process (gauge repaints)"
  (cd "$medium" && wine64 "$win/tools/bench/bench_pages.exe" </dev/null 2>>"$out/pages.log") \
    >"$raw/$w.pages"
done

# Round robin: every run of every contender sees the machine in the same kind of moment. The
# contenders go in a shuffled order, drawn anew for every run and workload (the same draws on
# every machine): what one leaves to the disk (a gigabyte still being written on C) is then not
# always paid by the same successor.
draw=0
for r in $(seq "$runs"); do
  for w in $workloads; do
    use_medium "$w"
    draw=$((draw + 1))
    for contender in $(printf '%s\n' cp xcopy nsis engine setup |
                       awk -v s="$draw" 'BEGIN {srand(s)} {print rand(), $0}' |
                       sort -n | cut -d' ' -f2); do
      case $contender in
        cp) cp_ms=$(run_cp); echo "$cp_ms" >>"$raw/$w.cp" ;;
        xcopy) xcopy_ms=$(run_xcopy); echo "$xcopy_ms" >>"$raw/$w.xcopy" ;;
        nsis) nsis_ms=$(run_nsis "$w"); echo "$nsis_ms" >>"$raw/$w.nsis" ;;
        engine) engine=$(run_engine); echo "$engine" >>"$raw/$w.engine" ;;
        setup) setup=$(run_setup); echo "$setup" >>"$raw/$w.setup" ;;
      esac
    done
    read -r setup_total setup_copy _ <<<"$setup"
    log "run $r/$runs, $w: cp ${cp_ms} ms, xcopy ${xcopy_ms} ms, NSIS ${nsis_ms} ms, engine ${engine%% *} ms, setup.exe ${setup_copy} ms (${setup_total} ms from its start)"
  done
done
rm -rf "$out/cp-target" "$drive_c/bench-xcopy" "$drive_c/bench-nsis" "$drive_c/bench-engine"

# ---------------------------------------------------------------- the table

load_end=$(cut -d' ' -f1-3 /proc/loadavg)
cat >"$raw/run.info" <<EOF
workloads="$workloads"
runs=$runs
load_start="$load_start"
load_end="$load_end"
wine_version="$(wine64 --version)"
cores=$(nproc)
date="$(date -u '+%Y-%m-%d %H:%M UTC')"
EOF
results="$out/results.md"
bash tools/bench/report.sh "$raw" >"$results"
cat "$results"
log "results saved to $results; raw figures in $raw"
