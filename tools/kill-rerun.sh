#!/usr/bin/env bash
# The kill-and-rerun scenario (tests/e2e/kill-rerun.sh) with many kill points, against an
# existing win64 build: it builds nothing (build the win64 preset first). It runs on an Xvfb
# of its own, so a desktop session is not disturbed, and keeps its output in
# BUILD_DIR/e2e/kill-rerun.log.
#   Usage: tools/kill-rerun.sh [KILL_POINTS [BUILD_DIR]]   (60 and build/win64 by default)
#   KILL_SEED=N repeats the kill moments and the generated files of an earlier run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
points=${1:-60}
build=${2:-$top/build/win64}
[ -f "$build/ui/setup.exe" ] ||
  { echo "kill-rerun.sh: $build/ui/setup.exe is missing (cmake --build --preset win64)" >&2; exit 1; }

source "$top/tools/xvfb.sh"
trap installer_xvfb_stop EXIT
installer_xvfb_start force

mkdir -p "$build/e2e"
log="$build/e2e/kill-rerun.log"
started=$SECONDS
status=0
KILL_POINTS=$points bash "$top/tests/e2e/kill-rerun.sh" "$build" 2>&1 | tee "$log" || status=$?
echo "kill-rerun.sh: $((SECONDS - started)) s, output in $log"
exit "$status"
