#!/usr/bin/env bash
# CTest fixture for the Windows tests: brings up (start) or takes down (stop) the build's Wine
# prefix and its extra drives. Usage: wine-fixture.sh start|stop ROOT [ARCH]. Both may run
# again. ARCH (win32 or win64) is the prefix's kind; where this machine cannot run programs of
# that kind, both report themselves skipped (exit 77) with the reason.
#   D: a plain folder, ROOT/drive_d: a second fixed drive, labelled in Persian.
#   N: a drive whose folder is missing: it cannot be entered, like a drive without a disc.
#   T: a 2 MiB tmpfs at ROOT/smalldrive, for full-disk cases; only where mount works (root).
set -euo pipefail
action=$1
source "$(dirname "$0")/../tools/wine-probe.sh"
if ! installer_wine_probe "${3:-${INSTALLER_WINE_ARCH:-win64}}"; then
  echo "SKIPPED: $INSTALLER_WINE_SKIP_REASON"
  exit "$INSTALLER_WINE_SKIP_CODE"
fi
source "$(dirname "$0")/../tools/wine-env.sh" "$2" "${3:-}"
small="$installer_wine_root/smalldrive"
mountedMark="$installer_wine_root/.smalldrive-mounted"  # this script did the mount

case $action in
  start)
    installer_wine_prefix_ready
    mkdir -p "$installer_wine_root/drive_d"
    ln -sfn "$installer_wine_root/drive_d" "$WINEPREFIX/dosdevices/d:"
    # A volume label with the Persian yeh, which the drive box must show as it is.
    printf '%s' 'دیسک مهدی' >"$installer_wine_root/drive_d/.windows-label"
    rm -rf "$installer_wine_root/no-disc"
    ln -sfn "$installer_wine_root/no-disc" "$WINEPREFIX/dosdevices/n:"
    if [ "$(id -u)" = 0 ] && command -v mount >/dev/null; then
      mkdir -p "$small"
      if ! mountpoint -q "$small" && mount -t tmpfs -o size=2m tmpfs "$small" 2>/dev/null; then
        touch "$mountedMark"
      fi
      mountpoint -q "$small" && ln -sfn "$small" "$WINEPREFIX/dosdevices/t:"
    fi
    # The first program of a server session starts Wine's services (services.exe, winedevice,
    # ...), which inherit its output and live as long as the server: started by a test, they
    # would hold CTest's output pipe open and the test would never end. They also read the
    # drive list once, so this comes after the drive links.
    installer_wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
    ;;
  stop)
    installer_wine_stop
    if [ -f "$mountedMark" ]; then
      # Wine processes that were just killed may still hold the drive for a moment.
      if mountpoint -q "$small"; then umount "$small" 2>/dev/null || umount -l "$small"; fi
      rm -f "$mountedMark" "$WINEPREFIX/dosdevices/t:"
    fi
    ;;
  *)
    echo "usage: $0 start|stop ROOT" >&2
    exit 2
    ;;
esac
exit 0
