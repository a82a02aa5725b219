# Sourced: can this machine run Windows programs of an architecture under Wine?
# installer_wine_probe ARCH (win32 or win64) returns 0 when it can; otherwise 1, with the reason
# in INSTALLER_WINE_SKIP_REASON. The probe starts the loader itself: a machine without the
# loader, without its libraries or without 32-bit execution in the kernel fails here.
INSTALLER_WINE_SKIP_CODE=77   # the exit code by which a test reports "skipped" to CTest

# INSTALLER_WINE_LOADERS names another folder to look for the loaders in (an empty folder shows
# what a machine without Wine reports).
installer_wine_probe() {
  local loader output dir=${INSTALLER_WINE_LOADERS:-/usr/lib/wine}
  case $1 in
    win64) loader=$dir/wine64 ;;
    win32) loader=$dir/wine ;;
    *) INSTALLER_WINE_SKIP_REASON="unknown architecture $1"; return 1 ;;
  esac
  INSTALLER_WINE_SKIP_REASON=
  if [ ! -x "$loader" ]; then
    if [ "$1" = win32 ]; then
      INSTALLER_WINE_SKIP_REASON="this machine cannot run 32-bit Windows programs: no 32-bit Wine loader ($loader; tools/setup.sh installs wine32:i386)"
    else
      INSTALLER_WINE_SKIP_REASON="no 64-bit Wine loader ($loader)"
    fi
    return 1
  fi
  if ! output=$("$loader" --version 2>&1); then
    INSTALLER_WINE_SKIP_REASON="this machine cannot run $1 Windows programs: $loader --version fails: $(head -n 1 <<<"$output")"
    return 1
  fi
  return 0
}

# The kind of Wine prefix a Windows program needs, from the machine field of its PE header:
# win32 for i386 (0x14c), win64 for x86-64 (0x8664). Fails for anything else.
installer_pe_arch() {
  local offset machine
  offset=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ -n "$offset" ] || return 1
  machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$1" 2>/dev/null | tr -d ' ')
  case $machine in
    014c) echo win32 ;;
    8664) echo win64 ;;
    *) return 1 ;;
  esac
}
