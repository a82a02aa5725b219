#!/usr/bin/env bash
# Builds every target and runs every test: the engine natively, natively under AddressSanitizer
# and UndefinedBehaviorSanitizer, and the Windows x86_64 build under Wine in a throwaway prefix.
# The i686 Windows build is compiled and linked only (this machine cannot run 32-bit code).
# The fuzz preset builds the list-file fuzzer with clang and runs it for a bounded number of
# inputs (tools/fuzz.sh runs it for longer).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

bash tools/setup.sh

source tools/xvfb.sh
trap installer_xvfb_stop EXIT
# Windows programs may need a display; without one, run an own Xvfb.
installer_xvfb_start

presets=(native native-asan win64 win32 fuzz)
for preset in "${presets[@]}"; do
  echo "== build $preset"
  cmake --preset "$preset" >"/tmp/configure-$preset.log" 2>&1 || { cat "/tmp/configure-$preset.log"; exit 1; }
  cmake --build --preset "$preset"
done

passed=0
failed=0
status=0
for preset in native native-asan win64 fuzz; do
  echo "== test $preset"
  log="$top/build/$preset/ctest.log"
  if ! ctest --preset "$preset" 2>&1 | tee "$log"; then status=1; fi
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -z "$line" ]; then status=1; continue; fi
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit $status
