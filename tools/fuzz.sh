#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, ASan, UBSan) and fuzzes the list-file reading for
# SECONDS (default 600), keeping what it finds in build/fuzz/long/corpus for the next run.
#   bash tools/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}

cmake --preset fuzz >/tmp/configure-fuzz.log 2>&1 || { cat /tmp/configure-fuzz.log; exit 1; }
cmake --build --preset fuzz -j2
bash tests/fuzz/run-fuzzer.sh build/fuzz/tests/fuzz/list_files_fuzzer build/fuzz/long \
  -max_total_time="$seconds"
