#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's throwaway prefix, creating it on first use.
# CTest uses this as the cross-compiling emulator; INSTALLER_WINE_ROOT names the prefix's folder
# and INSTALLER_WINE_ARCH its kind (win32 or win64). On a machine that cannot run programs of
# that kind it reports the test as skipped (exit 77) with the reason.
set -euo pipefail
: "${INSTALLER_WINE_ROOT:?INSTALLER_WINE_ROOT must name the folder of the test prefix}"
source "$(dirname "$0")/wine-probe.sh"
if ! installer_wine_probe "${INSTALLER_WINE_ARCH:-win64}"; then
  echo "SKIPPED: $INSTALLER_WINE_SKIP_REASON"
  exit "$INSTALLER_WINE_SKIP_CODE"
fi
source "$(dirname "$0")/wine-env.sh" "$INSTALLER_WINE_ROOT"
installer_wine_prefix_ready
exec "$INSTALLER_WINE" "$@"
