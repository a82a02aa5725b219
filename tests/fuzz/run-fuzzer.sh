#!/usr/bin/env bash
# Runs the list-file fuzzer under its memory and time limits and prints libFuzzer's figures.
#   run-fuzzer.sh [--fresh] FUZZER WORK_DIR [libFuzzer options...]
# New inputs go to WORK_DIR/corpus (the committed seeds in tests/fuzz/corpus are only read);
# an input that fails is saved in WORK_DIR/artifacts. --fresh empties WORK_DIR/corpus first.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

fresh=0
if [ "${1:-}" = --fresh ]; then fresh=1; shift; fi
if [ $# -lt 2 ]; then
  echo "usage: $0 [--fresh] FUZZER WORK_DIR [libFuzzer options...]" >&2
  exit 2
fi
fuzzer=$1
work=$2
shift 2

[ $fresh = 1 ] && rm -rf "$work/corpus"
mkdir -p "$work/corpus" "$work/artifacts"
log="$work/fuzz.log"

# Limits: the whole process stays under 1 GiB, no single allocation exceeds 64 MiB (inputs
# are at most 16 KiB), and no input takes more than 10 s.
limits=(-rss_limit_mb=1024 -malloc_limit_mb=64 -timeout=10 -max_len=16384)
symbolizer=$(command -v llvm-symbolizer-14 || command -v llvm-symbolizer || true)

start=$(date +%s.%N)
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:quarantine_size_mb=64${symbolizer:+:external_symbolizer_path=$symbolizer}" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  "$fuzzer" "${limits[@]}" -print_final_stats=1 -dict="$here/list-files.dict" \
  -artifact_prefix="$work/artifacts/" "$@" "$work/corpus" "$here/corpus" >"$log" 2>&1
status=$?
end=$(date +%s.%N)

stat() { sed -n "s/^stat::$1: *//p" "$log" | tail -n 1; }
last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
echo "fuzzer:      $fuzzer ${*}"
echo "status:      $status"
echo "duration:    $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f s", b - a }')"
echo "executions:  $(stat number_of_executed_units) ($(stat average_exec_per_sec) per second)"
echo "coverage:    $(sed -nE 's/.*(cov: [0-9]+ ft: [0-9]+ corp: [^ ]+).*/\1/p' <<<"$last")"
echo "new inputs:  $(stat new_units_added)"
echo "peak rss:    $(stat peak_rss_mb) MB"
grep -E "^list-file fuzzer: largest" "$log" | sed "s/^list-file fuzzer: /memory:      /"
echo "last line:   $last"
if [ $status -ne 0 ]; then
  echo "--- the fuzzer failed; end of $log:"
  tail -n 80 "$log"
  echo "--- saved inputs:"
  ls -l "$work/artifacts"
fi
exit $status
