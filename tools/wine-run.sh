#!/usr/bin/env bash
# Runs a Windows program under wine64 in the build's throwaway prefix, creating it on first use.
# CTest uses this as the cross-compiling emulator; INSTALLER_WINE_ROOT names the prefix's folder.
set -euo pipefail
: "${INSTALLER_WINE_ROOT:?INSTALLER_WINE_ROOT must name the folder of the test prefix}"
source "$(dirname "$0")/wine-env.sh" "$INSTALLER_WINE_ROOT"
installer_wine_prefix_ready
exec wine64 "$@"
