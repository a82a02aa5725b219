#!/usr/bin/env bash
# Builds every target and runs every test: the engine natively, natively under AddressSanitizer
# and UndefinedBehaviorSanitizer, the Windows x86_64 build under wine64 in a 64-bit prefix and
# the Windows i686 build under the 32-bit loader in a pure 32-bit prefix (each with its engine
# and UI suites, its Windows tests and every end-to-end scenario). The fuzz preset builds the
# list-file fuzzer with clang and runs it for a bounded number of inputs (tools/fuzz.sh runs
# it for longer). A Windows build whose programs this machine cannot run has its tests
# reported as skipped, with the reason, in the closing count: never as passed.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
started=$SECONDS

bash tools/setup.sh

source tools/xvfb.sh
source tools/wine-probe.sh
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
skipped=0
status=0
summary=()
for preset in native native-asan win64 win32 fuzz; do
  echo "== test $preset"
  log="$top/build/$preset/ctest.log"
  if ! ctest --preset "$preset" 2>&1 | tee "$log"; then status=1; fi
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -z "$line" ]; then
    status=1
    summary+=("$preset: no test summary (see $log)")
    continue
  fi
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
  # CTest counts a skipped test as not failed; it lists it under "did not run" as (Skipped).
  skip=$(grep -cE '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$log" || true)
  good=$((total - bad - skip))
  passed=$((passed + good))
  failed=$((failed + bad))
  skipped=$((skipped + skip))
  entry="$preset: $good passed, $bad failed, $skip skipped"
  case $preset in
    win64|win32)
      if [ "$skip" -gt 0 ]; then
        if installer_wine_probe "$preset"; then
          entry+=" (skipped by the tests themselves: see $log)"
        else
          entry+=" ($INSTALLER_WINE_SKIP_REASON)"
        fi
      fi
      ;;
  esac
  summary+=("$entry")
done
echo
printf '%s\n' "${summary[@]}"
echo "whole run: $((SECONDS - started)) s"
# The closing count alone on its line, as CI reads it.
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ] || status=1
exit $status
