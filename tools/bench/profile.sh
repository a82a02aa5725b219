#!/usr/bin/env bash
# Where an installation's time goes under Wine, on workload B (10,000 files of 4 KiB), as root:
#   bash tools/bench/profile.sh
# 1. the engine alone and 2. the real install page, each with every platform call timed
#    (bench_engine --profile, bench_pages --profile);
# 3. and 4. per file, for the engine alone and through the real install page: the Windows API
#    calls the program makes (WINEDEBUG=+relay), the wineserver requests (the server's own
#    trace, wineserver -d1) and the Linux system calls of the process (strace), each counted
#    on a 200-file sample and on the same medium without it, the difference divided by 200;
# 5. per file, the window-surface flushes of the install page (WINEDEBUG=trace+bitblt).
# Uses run.sh's build and generated tree when they are there. Output on stdout.
set -euo pipefail
cd "$(dirname "$0")/../.."
top=$(pwd)
out="$top/build/bench/profile"
win="$top/build/win64"
tools="$top/build/native/tools/bench"
# The product's names, from the product file the Windows build was made from.
product_file=$(sed -n "s/^INSTALLER_PRODUCT:[A-Z]*=//p" "$win/CMakeCache.txt")
product_name=$("$win/host-tools/productgen/productgen" "$product_file" --get name)
product_folder=$("$win/host-tools/productgen/productgen" "$product_file" --get folder)
seed=20240601  # run.sh's
log() { echo "[$(date +%T)] $*" >&2; }

bash tools/setup.sh >&2
{
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j2
  cmake --preset native >/dev/null
  cmake --build --preset native -j2 --target bench_workload
} >&2

source tools/xvfb.sh
installer_xvfb_start force
mkdir -p "$out"
if [ -f "$out/wine/prefix/system.reg" ]; then
  WINEPREFIX="$out/wine/prefix" PATH="/usr/lib/wine:$PATH" wineserver -k 2>/dev/null || true
fi
rm -rf "$out/wine"
source tools/wine-env.sh "$out/wine"
trap 'installer_wine_stop; installer_xvfb_stop' EXIT
log "creating the Wine prefix"
installer_wine_prefix_ready >&2
wine64 cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
drive_c="$WINEPREFIX/drive_c"

tree="$top/build/bench/trees/B"
if [ ! -d "$tree" ]; then
  tree="$out/tree-B"
  rm -rf "$tree"
  "$tools/bench_workload" B "$seed" "$tree" >&2
fi
# Three media: all of B, a sample of 200 of its files, and none of them.
for m in B sample empty; do
  bash tools/make-medium.sh "$out/$m" "$win" 0
done
cp -al "$tree/." "$out/B/CAB/"
mkdir -p "$out/sample/CAB/group00"
cp -al "$tree"/group00/part0[0-9] "$out/sample/CAB/group00/"

reset_installation() {
  rm -rf "$drive_c/$product_folder" "$drive_c/windows/Fonts/NotoNaskhArabic-Regular.ttf"
  WINEDEBUG=-all wine64 reg delete "HKLM\\Software\\Microsoft\\windows\\CurrentVersion\\uninstall\\$product_name" /f \
    >/dev/null 2>&1 || true
  sync
}
# Runs a program of the build from medium M's root (drive D:) after a reset.
run_on() {
  local m=$1
  shift
  ln -sfn "$out/$m" "$WINEPREFIX/dosdevices/d:"
  reset_installation
  (cd "$out/$m" && "$@")
}

echo "== 1. the engine alone on B, every platform call timed"
run_on B wine64 "$win/tools/bench/bench_engine.exe" --profile 2>&1 >/dev/null | grep -v '^wine:'
echo
echo "== 2. the install page on B (bench_pages), platform calls and the page's own work timed"
run_on B wine64 "$win/tools/bench/bench_pages.exe" --profile 2>&1 >/dev/null | grep -v '^wine:'
echo

# Counts of KEY (one per line on stdin) as "name count".
count_lines() { sort | uniq -c | awk '{print $2, $1}'; }
# "name per-file" rows for the names whose count grows with the files: (sample - empty) / 200.
per_file() {
  join -a1 -e0 -o 0,1.2,2.2 <(sort "$1") <(sort "$2") |
    awk '{d = ($2 - $3) / 200; if (d >= 0.5) printf "  %-40s %6.2f\n", $1, d}' | sort -k2 -rn | head -n 25
}

log "counting calls per file (relay, server requests, system calls)"
exe_calls() {
  # Calls the program itself makes into Windows libraries: their return address lies in the
  # program's image (loaded at 0x140000000), not in another library.
  grep -E '^[0-9a-f]+:Call ' "$1" | grep -E 'ret=0*14[0-9a-f]{7}$' |
    sed -E 's/^[0-9a-f]+:Call ([A-Za-z0-9_]+\.[A-Za-z0-9_@]+).*/\1/' | count_lines
}
# Counts for program P (engine: bench_engine, pages: bench_pages, the real install page) on
# medium M: its API calls, the server's requests and the process's system calls.
count_program() {
  local p=$1 m=$2 exe
  case $p in
    engine) exe="$win/tools/bench/bench_engine.exe" ;;
    pages) exe="$win/tools/bench/bench_pages.exe" ;;
  esac
  WINEDEBUG=+relay run_on "$m" wine64 "$exe" >/dev/null 2>"$out/relay-$p-$m.log"
  exe_calls "$out/relay-$p-$m.log" >"$out/relay-$p-$m.count"
  rm -f "$out/relay-$p-$m.log"
  # The requests are traced by the server itself: one in the foreground, tracing, for this
  # run; only what comes after the reset and the start of Wine's services is counted.
  wineserver -k
  wineserver -f -d1 2>"$out/server-$p-$m.log" &
  server_pid=$!
  run_on "$m" wine64 cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
  from=$(($(wc -l <"$out/server-$p-$m.log") + 1))
  (cd "$out/$m" && wine64 "$exe" >/dev/null 2>&1)
  wineserver -k
  wait "$server_pid" || true
  wineserver -p
  # Requests only ("name( fields )"), not their replies ("name() = status { fields }").
  tail -n +"$from" "$out/server-$p-$m.log" | sed -nE 's/^[0-9a-f]+: ([a-z_]+)\( .*/\1/p' |
    count_lines >"$out/server-$p-$m.count"
  run_on "$m" strace -f -qq -o "$out/strace-$p-$m.log" wine64 "$exe" >/dev/null
  sed -nE 's/^[0-9]+ +([a-z_0-9]+)\(.*/\1/p' "$out/strace-$p-$m.log" | count_lines \
    >"$out/strace-$p-$m.count"
}
for m in sample empty; do
  count_program engine "$m"
  count_program pages "$m"
  WINEDEBUG=trace+bitblt run_on "$m" wine64 "$win/tools/bench/bench_pages.exe" >/dev/null 2>"$out/bitblt-$m.log"
  # Every flush once as "WxH" (the whole surface) and once with the part that was drawn.
  grep -o 'flushing .* bounds ([0-9,]*)-([0-9,]*)' "$out/bitblt-$m.log" |
    sed -E 's/flushing [^ ]+ ([0-9]+x[0-9]+) bounds (.*)/\1\n\1:\2/' | count_lines >"$out/bitblt-$m.count"
done
for p in engine pages; do
  case $p in
    engine) echo "== 3. per file copied by the engine alone (200-file sample less the empty medium, / 200)" ;;
    pages) echo "== 4. the same through the install page (bench_pages: the engine with the page's reports)" ;;
  esac
  echo "Windows API calls made by the program:"
  per_file "$out/relay-$p-sample.count" "$out/relay-$p-empty.count"
  echo "wineserver requests:"
  per_file "$out/server-$p-sample.count" "$out/server-$p-empty.count"
  echo "Linux system calls of the Windows process:"
  per_file "$out/strace-$p-sample.count" "$out/strace-$p-empty.count"
  echo
done
echo "== 5. per file on the install page: window-surface flushes (surface size: flushed part)"
per_file "$out/bitblt-sample.count" "$out/bitblt-empty.count"
