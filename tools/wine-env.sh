# Sourced by the test scripts: the environment of a throwaway Wine prefix under a build tree.
# Usage: source tools/wine-env.sh ROOT [ARCH]   (ROOT holds prefix/ and home/)
#   ARCH: win64 (a 64-bit prefix, programs run with wine64) or win32 (a pure 32-bit prefix,
#   WINEARCH=win32, programs run with the 32-bit loader: System32 is the 32-bit system folder
#   and nothing is redirected, as on 32-bit Windows). Default: $INSTALLER_WINE_ARCH, else win64.
# The prefix gets its own HOME, so nothing reaches the real home folder (Wine links the
# prefix's Desktop and Documents into HOME, and winemenubuilder writes below it).

installer_wine_root=$(mkdir -p "$1" && cd "$1" && pwd)
INSTALLER_WINE_ARCH=${2:-${INSTALLER_WINE_ARCH:-win64}}
case $INSTALLER_WINE_ARCH in
  win64) INSTALLER_WINE=wine64; unset WINEARCH ;;
  win32) INSTALLER_WINE=wine; export WINEARCH=win32 ;;
  *) echo "wine-env.sh: unknown architecture '$INSTALLER_WINE_ARCH' (win32 or win64)" >&2; return 2 ;;
esac
export INSTALLER_WINE_ARCH INSTALLER_WINE
export WINEPREFIX="$installer_wine_root/prefix"
export HOME="$installer_wine_root/home"
export WINEDEBUG=-all
# Persian folder and link names need a UTF-8 locale that exists.
export LANG=C.UTF-8
# No menu entries, and no offer to install Mono or Gecko.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
export PATH="/usr/lib/wine:$PATH"
mkdir -p "$HOME"

# Runs a Windows program (or a Wine tool such as reg, cmd) with the loader of the prefix's
# architecture.
installer_wine() { "$INSTALLER_WINE" "$@"; }

# Creates the prefix once (several test processes may ask at the same time) and keeps a
# wineserver running, so that each program starts in a fraction of a second.
installer_wine_prefix_ready() {
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      # "wineboot" must go through the loader of the prefix's kind: plain "wine wineboot" in a
      # 64-bit setting would make a 64-bit prefix with the 32-bit loader, or fail without it.
      installer_wine wineboot -i >/dev/null 2>&1 9>&-
      wineserver -w
      # Windows has Tahoma with its Arabic letters; Wine's own Tahoma is only found once it
      # is in the prefix's Fonts folder (Debian keeps it in fonts-wine).
      cp /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
      # Xvfb has no window manager: Wine would wait 2 s at every hide of a managed window for
      # a withdrawal that never comes.
      installer_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 9>&-
      wineserver -w
    fi
    # The server outlives this block: it must not inherit the lock, or the next caller waits forever.
    wineserver -p 2>/dev/null 9>&- || true
  ) 9>"$installer_wine_root/.lock"
}

installer_wine_stop() {
  [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null || true
}
