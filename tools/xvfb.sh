# Sourced by the scripts that show Windows programs: an own Xvfb when there is no display.
#   installer_xvfb_start [force]   start one (always with "force") and export DISPLAY
#   installer_xvfb_stop            stop the one started here, by its process id
installer_xvfb_pid=

installer_xvfb_start() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${1:-}" ]; then return 0; fi
  local n
  for n in $(seq 90 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    installer_xvfb_pid=$!
    export DISPLAY=":$n"
    break
  done
  [ -n "$installer_xvfb_pid" ] || { echo "xvfb: no free display number" >&2; return 1; }
  for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    kill -0 "$installer_xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "xvfb: $DISPLAY did not come up" >&2
  return 1
}

installer_xvfb_stop() {
  if [ -n "$installer_xvfb_pid" ]; then
    kill "$installer_xvfb_pid" 2>/dev/null
    wait "$installer_xvfb_pid" 2>/dev/null
  fi
  installer_xvfb_pid=
  return 0
}
