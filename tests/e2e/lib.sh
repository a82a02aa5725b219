# Sourced by the end-to-end scenarios: drives the real setup.exe from a real medium in a fresh
# Wine prefix on an X display, the way a person would (keys and clicks through xdotool), and
# checks what it leaves on screen, on disk and in the registry.
#
# e2e_init NAME BUILD_DIR [DATA_FILES] prepares BUILD_DIR/e2e/NAME: the medium
# (tools/make-medium.sh, reached as drive D:), a fresh prefix of the build's kind (a copy of a
# pristine one: a pure 32-bit prefix for an i686 build, a 64-bit one for x86_64), an own Xvfb
# when DISPLAY is unset. On a machine that cannot run the build's programs the scenario ends as
# skipped (exit 77) with the reason. At exit the setup process, the wineserver and the Xvfb are
# stopped; after a failure a screenshot of the screen is left in the scenario folder, after a
# pass the big medium and prefix are removed.
set -euo pipefail

e2e_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$e2e_top/tools/xvfb.sh"
source "$e2e_top/tools/wine-probe.sh"

# Window texts of the pages (the window name on the X side) and the application title, which
# is also the caption of the standard error report.
E2E_WELCOME_NAME='نصب برنامه '
E2E_INSTALL_NAME='مسير نصب برنامه'
E2E_EXIT_NAME=' '
E2E_TITLE='برنامه نصب '
E2E_UNINSTALL_KEY='HKLM\Software\Microsoft\windows\CurrentVersion\uninstall\Telmorquistane'
# The page pictures the installer under test was built with.
E2E_PICTURES="$e2e_top/assets"

SETUP_PID=
e2e_passed=
e2e_shots=0

e2e_log() { echo "[$(date +%T.%2N)] $*"; }

e2e_shot() {
  local file="$E2E_DIR/$1.png"
  import -window root "$file" 2>/dev/null && e2e_log "screenshot: $file"
}

# Ends the scenario with a failure message and a screenshot of the screen as it is now.
e2e_fail() {
  echo "FAIL: $*" >&2
  e2e_shots=$((e2e_shots + 1))
  e2e_shot "failure-$e2e_shots" >&2 || true
  exit 1
}

e2e_cleanup() {
  local status=$?
  set +e
  if [ "$status" -ne 0 ] && [ "$e2e_shots" -eq 0 ] && [ -n "${DISPLAY:-}" ]; then
    e2e_shot failure-at-exit >&2
  fi
  if [ -n "$SETUP_PID" ] && kill -0 "$SETUP_PID" 2>/dev/null; then kill "$SETUP_PID" 2>/dev/null; fi
  [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] && wineserver -k >/dev/null 2>&1
  installer_xvfb_stop
  if [ -n "$e2e_passed" ]; then
    # Keep the folder (and its screenshots) small after a pass: the prefix is ~700 MB.
    rm -rf "$E2E_DIR/wine" "$E2E_DIR/medium"
  else
    echo "scenario folder kept for inspection: $E2E_DIR" >&2
  fi
  exit "$status"
}

# Marks the scenario as passed; the exit trap then cleans up and exits with status 0.
e2e_pass() {
  e2e_passed=1
  e2e_log "PASS: $E2E_NAME"
  exit 0
}

e2e_start_xvfb() {
  installer_xvfb_start force || e2e_fail "no Xvfb display came up"
}

# Puts a fresh prefix at WINEPREFIX: a copy of the build's pristine prefix of its kind
# (BUILD_DIR/e2e/.prefix-ARCH), which the first scenario that needs it makes and the others
# copy: a copy takes about 2 s, a new prefix 10 s and more on a busy machine. The pristine one
# is made again when the prefix recipe (tools/wine-env.sh) or Wine changes. The copy's links
# into the home folder (Desktop, Documents, ...) are moved to the scenario's own HOME.
e2e_fresh_prefix() {
  local build=$1 template="$1/e2e/.prefix-$E2E_ARCH" stamp link target
  stamp="$(md5sum <"$e2e_top/tools/wine-env.sh" | cut -d' ' -f1) $("$INSTALLER_WINE" --version)"
  mkdir -p "$build/e2e"
  (
    flock 8
    if [ "$(cat "$template/stamp" 2>/dev/null)" != "$stamp" ]; then
      rm -rf "$template"
      (
        source "$e2e_top/tools/wine-env.sh" "$template" "$E2E_ARCH"
        installer_wine_prefix_ready
        installer_wine_stop
        wineserver -w
      ) 8>&-
      [ -f "$template/prefix/system.reg" ] && echo "$stamp" >"$template/stamp"
    fi
  ) 8>"$build/e2e/.prefix-$E2E_ARCH.lock"
  [ -f "$template/stamp" ] || return 1
  cp -a "$template/prefix" "$WINEPREFIX"
  while IFS= read -r -d '' link; do
    target=$(readlink "$link")
    case $target in "$template/home"*) ln -sfn "$HOME${target#"$template/home"}" "$link" ;; esac
  done < <(find "$WINEPREFIX/drive_c/users" -type l -print0)
}

e2e_init() {
  E2E_NAME=$1
  local build
  build=$(cd "$2" && pwd)
  E2E_BUILD=$build
  local data_files=${3:-0}
  E2E_DIR="$build/e2e/$E2E_NAME"
  E2E_ARCH=$(installer_pe_arch "$build/ui/setup.exe") ||
    { echo "FAIL: $build/ui/setup.exe is missing or no Windows program" >&2; exit 1; }
  if ! installer_wine_probe "$E2E_ARCH"; then
    echo "SKIPPED: $E2E_NAME on $E2E_ARCH: $INSTALLER_WINE_SKIP_REASON"
    exit "$INSTALLER_WINE_SKIP_CODE"
  fi
  trap e2e_cleanup EXIT
  # An earlier run's server of this prefix would hold files open; stop it before removing.
  if [ -f "$E2E_DIR/wine/prefix/system.reg" ]; then
    WINEPREFIX="$E2E_DIR/wine/prefix" PATH="/usr/lib/wine:$PATH" wineserver -k >/dev/null 2>&1 || true
  fi
  rm -rf "$E2E_DIR"
  mkdir -p "$E2E_DIR"
  e2e_log "scenario $E2E_NAME ($E2E_ARCH) in $E2E_DIR"
  for tool in xdotool import convert compare Xvfb xdpyinfo; do
    command -v "$tool" >/dev/null || e2e_fail "$tool is not installed"
  done
  [ -n "${DISPLAY:-}" ] || e2e_start_xvfb
  read -r E2E_SCREEN_W E2E_SCREEN_H < <(xdotool getdisplaygeometry)
  # Pages are centred on the screen: 824 x 704 (welcome, exit) and 819 x 704 (install).
  E2E_TOP=$(((E2E_SCREEN_H - 704) / 2))
  E2E_WIDE_LEFT=$(((E2E_SCREEN_W - 824) / 2))
  E2E_INSTALL_LEFT=$(((E2E_SCREEN_W - 819) / 2))

  MEDIUM="$E2E_DIR/medium"
  bash "$e2e_top/tools/make-medium.sh" "$MEDIUM" "$build" "$data_files" ||
    e2e_fail "could not assemble the medium"
  source "$e2e_top/tools/wine-env.sh" "$E2E_DIR/wine" "$E2E_ARCH"
  e2e_fresh_prefix "$build" </dev/null >"$E2E_DIR/wineboot.log" 2>&1 ||
    e2e_fail "the build's pristine Wine prefix was not created (see $E2E_DIR/wineboot.log)"
  installer_wine_prefix_ready </dev/null >>"$E2E_DIR/wineboot.log" 2>&1
  [ -f "$WINEPREFIX/system.reg" ] || e2e_fail "the Wine prefix was not created (see $E2E_DIR/wineboot.log)"
  ln -sfn "$MEDIUM" "$WINEPREFIX/dosdevices/d:"
  # The first program of a server session starts Wine's services, which live as long as the
  # server; started here with no output, they cannot hold the caller's output pipe open.
  installer_wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
  TARGET="$WINEPREFIX/drive_c/Telmorquistane"
  E2E_TMP="$E2E_DIR/tmp"
  mkdir -p "$E2E_TMP"
}

# Starts SETUP.EXE from the medium's root (its current directory is the medium root, as when a
# disc starts it). SETUP_PID is the Windows process itself: the loader keeps its process id.
e2e_start_setup() {
  (cd "$MEDIUM" && exec "$INSTALLER_WINE" SETUP.EXE) </dev/null >>"$E2E_DIR/setup.log" 2>&1 &
  SETUP_PID=$!
  e2e_log "started SETUP.EXE (pid $SETUP_PID)"
}

e2e_setup_running() { kill -0 "$SETUP_PID" 2>/dev/null; }

# How many processes of this scenario's prefix run SETUP.EXE (Wine shows a Windows program's
# path as its command line).
e2e_setup_processes() {
  local pid count=0
  for pid in $(pgrep -f 'SETUP\.EXE' || true); do
    [ "$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -x "WINEPREFIX=$WINEPREFIX")" ] &&
      count=$((count + 1))
  done
  echo "$count"
}

# The process id of the visible window named NAME (Wine sets it to the Unix process id).
e2e_window_pid() { xdotool search --onlyvisible --name "^$1\$" getwindowpid 2>/dev/null | head -n 1; }

# Waits up to TIMEOUT seconds for setup.exe to end and checks its exit code is 0.
e2e_wait_setup_exit() {
  local timeout=$1 deadline=$((SECONDS + $1))
  while e2e_setup_running; do
    [ "$SECONDS" -lt "$deadline" ] || e2e_fail "setup.exe still runs $timeout s later"
    sleep 0.1
  done
  local code=0
  wait "$SETUP_PID" || code=$?
  SETUP_PID=
  [ "$code" -eq 0 ] || e2e_fail "setup.exe ended with exit code $code, expected 0"
  e2e_log "setup.exe ended with exit code 0"
}

# Polls COMMAND every 0.1 s until it succeeds; fails after TIMEOUT seconds naming WHAT.
e2e_wait() {
  local timeout=$1 what=$2
  shift 2
  local deadline=$((SECONDS + timeout))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || e2e_fail "timed out after $timeout s waiting for: $what"
    sleep 0.1
  done
}

# Like e2e_wait, but returns 1 instead of failing.
e2e_poll() {
  local timeout=$1
  shift
  local deadline=$((SECONDS + timeout))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# The ids of the mapped windows whose name is exactly NAME.
e2e_windows() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null; }
e2e_visible() { [ -n "$(e2e_windows "$1")" ]; }
e2e_not_visible() { ! e2e_visible "$1"; }

e2e_key() {
  e2e_log "key $*"
  xdotool key "$@"
}

# Clicks at client coordinates X Y of a page whose left edge is LEFT (top: E2E_TOP).
e2e_click() {
  local left=$1 x=$2 y=$3
  e2e_log "click at client $x,$y (screen $((left + x)),$((E2E_TOP + y)))"
  xdotool mousemove "$((left + x))" "$((E2E_TOP + y))" click 1
}

# Clicks the middle of a hotspot rectangle: e2e_click_hotspot LEFT X Y W H.
e2e_click_hotspot() { e2e_click "$1" $(($2 + $4 / 2)) $(($3 + $5 / 2)); }

# The colour of the screen pixel X Y as "R,G,B" (0-255).
e2e_pixel() {
  import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
    sed -n '2s/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}

# A row of W screen pixels from X Y, one "R,G,B" per line.
e2e_pixel_row() {
  import -window root -crop "$3x1+$1+$2" -depth 8 txt:- 2>/dev/null |
    sed -n '2,$s/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}

# How many opaque pixels of a page picture differ from the screen. The picture's own region
# PX PY W H (default: all of it, 819 x 704) is compared with the screen at ORIGIN_X + PX,
# ORIGIN_Y + PY; transparent pixels of the picture are not compared.
#   e2e_picture_mismatch PICTURE ORIGIN_X ORIGIN_Y [PX PY W H]
e2e_picture_mismatch() {
  local picture=$1 ox=$2 oy=$3 px=${4:-0} py=${5:-0} w=${6:-819} h=${7:-704}
  import -window root -crop "${w}x${h}+$((ox + px))+$((oy + py))" +repage "$E2E_TMP/screen.png" 2>/dev/null || {
    echo 999999
    return
  }
  convert "$picture[0]" -crop "${w}x${h}+$px+$py" +repage "$E2E_TMP/picture.png"
  convert "$E2E_TMP/screen.png" "$E2E_TMP/picture.png" -composite "$E2E_TMP/composed.png"
  compare -metric AE "$E2E_TMP/composed.png" "$E2E_TMP/screen.png" null: 2>&1 | awk '{printf "%d\n", $1}'
}

# Where each picture lies on the screen: the 824-pixel pages draw their picture 2 pixels in;
# the finish picture is shown at Top 2 of the install page.
e2e_picture_matches() {
  local page=$1
  shift
  local n
  case $page in
    welcome) n=$(e2e_picture_mismatch "$E2E_PICTURES/welcome.gif" $((E2E_WIDE_LEFT + 2)) "$E2E_TOP" "$@") ;;
    exit) n=$(e2e_picture_mismatch "$E2E_PICTURES/exit.gif" $((E2E_WIDE_LEFT + 2)) "$E2E_TOP" "$@") ;;
    install) n=$(e2e_picture_mismatch "$E2E_PICTURES/install.gif" "$E2E_INSTALL_LEFT" "$E2E_TOP" "$@") ;;
    # The finish picture is 2 rows lower: compare its 702 rows that lie on the page.
    finish)
      [ $# -gt 0 ] || set -- 0 0 819 702
      n=$(e2e_picture_mismatch "$E2E_PICTURES/finish6.gif" "$E2E_INSTALL_LEFT" $((E2E_TOP + 2)) "$@") ;;
    # The finish picture of Windows 5 and earlier, 3 rows lower: its 701 rows on the page.
    finish5)
      [ $# -gt 0 ] || set -- 0 0 819 701
      n=$(e2e_picture_mismatch "$E2E_PICTURES/finish5.gif" "$E2E_INSTALL_LEFT" $((E2E_TOP + 3)) "$@") ;;
    *) e2e_fail "unknown page $page" ;;
  esac
  [ "$n" -eq 0 ]
}

# The install page's picture outside the parts that change during a run (labels, gauge): the
# header and the rows below the file label, where the Next and cancel buttons are.
E2E_INSTALL_STATIC_TOP='0 0 819 300'

# Waits until PAGE is mapped under its window name and its picture is on the screen.
e2e_wait_page() {
  local page=$1 timeout=$2 name region=()
  case $page in
    welcome) name=$E2E_WELCOME_NAME ;;
    install) name=$E2E_INSTALL_NAME; read -ra region <<<"$E2E_INSTALL_STATIC_TOP" ;;
    finish|finish5) name=$E2E_INSTALL_NAME ;;
    exit) name=$E2E_EXIT_NAME ;;
  esac
  e2e_wait "$timeout" "the $page page to show" e2e_visible "$name"
  e2e_wait "$timeout" "the $page picture on the screen" e2e_picture_matches "$page" "${region[@]}"
  e2e_log "$page page showing"
}

# The data and type of a registry value: "TYPE DATA" (fails when it is missing). A string value
# is read from the key's export, which is UTF-16: reg query prints through the console's code
# page, where a Persian name becomes "?".
e2e_reg_value() {
  local exported="$E2E_TMP/reg-export.reg" line
  if installer_wine reg export "$1" "$exported" /y >/dev/null 2>&1; then
    line=$(iconv -f UTF-16LE -t UTF-8 "$exported" | tr -d '\r' | awk -v name="$2" '
      BEGIN { key = "\"" name "\"=" }
      /^\[/ { inkey = (++keys == 1) }
      inkey && index($0, key) == 1 { print substr($0, length(key) + 1); exit }')
    case $line in
      '"'*'"')
        line=${line#\"}
        line=${line%\"}
        line=${line//\\\"/\"}
        echo "REG_SZ ${line//\\\\/\\}"
        return 0
        ;;
    esac
  fi
  local out
  out=$(installer_wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r') || return 1
  awk -v name="$2" '
    index($0, "    " name "    ") == 1 {
      rest = substr($0, length(name) + 9)
      type = rest; sub(/    .*/, "", type)
      data = rest; sub(/^[A-Z_]*    /, "", data)
      if (data == rest) data = ""
      print type " " data; found = 1
    }
    END { exit found ? 0 : 1 }' <<<"$out"
}

e2e_expect_reg() {
  local key=$1 name=$2 expected=$3 got
  got=$(e2e_reg_value "$key" "$name") || e2e_fail "registry value missing: $key\\$name"
  [ "$got" = "REG_SZ $expected" ] || e2e_fail "registry value $key\\$name is '$got', expected 'REG_SZ $expected'"
}

# The prefix's Unix path of a path on drive C: ("C:\\users\\x" -> ".../drive_c/users/x").
e2e_unix_path() {
  local rest=${1:3}
  echo "$WINEPREFIX/drive_c/${rest//\\//}"
}

e2e_uninstall_entry_exists() { installer_wine reg query "$E2E_UNINSTALL_KEY" >/dev/null 2>&1; }

# Number of files under the installation folder (0 when it does not exist).
e2e_target_file_count() {
  if [ -d "$TARGET" ]; then find "$TARGET" -type f | wc -l; else echo 0; fi
}

# Every file under the installation folder equals its source on the medium (the staged
# programs under their installed names; INSTALL.CFG has no source).
e2e_check_installed_files_match_sources() {
  local f rel src
  while IFS= read -r -d '' f; do
    rel=${f#"$TARGET/"}
    case $rel in
      INSTALL.CFG) continue ;;
      Telmorquistane.EXE) src="$MEDIUM/CAB/Telmorquistane.DAT" ;;
      Uninstall.EXE) src="$MEDIUM/CAB/uninstall.DAT" ;;
      *) src="$MEDIUM/CAB/$rel" ;;
    esac
    [ -f "$src" ] || e2e_fail "installed file $rel has no source on the medium"
    cmp -s "$src" "$f" || e2e_fail "installed file $rel differs from its source ($(stat -c %s "$f") of $(stat -c %s "$src") bytes)"
  done < <(find "$TARGET" -type f -print0)
}
