# Sourced by run.sh and cd.sh: the set-up both benchmarks share (packages, the win64 build and
# native tools, an own Xvfb, a fresh Wine prefix), the points of the screen that tell the
# wizard's pages apart, and setup.exe driven through its wizard.
# The caller sets: top (the checkout), out (its folder below build/), native_targets (the
# native targets it needs besides the screen watcher). It may define bench_cleanup_more, which
# runs first when the benchmark ends.
win="$top/build/win64"
tools="$top/build/native/tools/bench"
mkdir -p "$out"
load_start=$(cut -d' ' -f1-3 /proc/loadavg)
log() { echo "[$(date +%T)] $*" >&2; }

# ---------------------------------------------------------------- set-up (not timed)

bash tools/setup.sh >&2
missing=()
for p in nsis libx11-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
fi
log "building (win64, and the native ${native_targets// /, } and screen watcher)"
{
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j2
  cmake --preset native >/dev/null
  # shellcheck disable=SC2086
  cmake --build --preset native -j2 --target bench_xwatch $native_targets
} >&2
# The product's names, from the product file the Windows build was made from.
product_file=$(sed -n "s/^INSTALLER_PRODUCT:[A-Z]*=//p" "$win/CMakeCache.txt")
product_name=$("$win/host-tools/productgen/productgen" "$product_file" --get name)
product_folder=$("$win/host-tools/productgen/productgen" "$product_file" --get folder)

source tools/xvfb.sh
source tools/wine-env.sh "$out/wine"
cleanup() {
  set +e
  declare -F bench_cleanup_more >/dev/null && bench_cleanup_more
  [ -n "${setup_pid:-}" ] && kill "$setup_pid" 2>/dev/null
  installer_wine_stop
  installer_xvfb_stop
}
trap cleanup EXIT
installer_xvfb_start force
# A fresh prefix per benchmark, so nothing an earlier run left behind changes the figures.
installer_wine_stop
rm -rf "$out/wine"
source tools/wine-env.sh "$out/wine"
log "creating the Wine prefix"
installer_wine_prefix_ready >&2
wine64 cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
drive_c="$WINEPREFIX/drive_c"
uninstall_key="HKLM\\Software\\Microsoft\\windows\\CurrentVersion\\uninstall\\$product_name"
xwatch="$tools/bench_xwatch"

# ---------------------------------------------------------------- media

# bench_medium W DIR: workload W's tree as the CAB folder of a medium in DIR, beside the sample
# medium's own files (the staged programs, the system library, the font). The tree is generated
# once per seed and generator, in $out/trees/W.
bench_medium() {
  local w=$1 medium=$2 tree="$out/trees/$1" stamp
  stamp="$seed $(md5sum <"$tools/bench_workload" | cut -c1-16)"
  if [ "$(cat "$tree.stamp" 2>/dev/null)" != "$stamp" ]; then
    log "generating workload $w"
    rm -rf "$tree" "$tree.stamp"
    mkdir -p "$out/trees"
    "$tools/bench_workload" "$w" "$seed" "$tree" >&2
    echo "$stamp" >"$tree.stamp"
  fi
  bash tools/make-medium.sh "$medium" "$win" 0
  cp -al "$tree/." "$medium/CAB/"
}

# bench_nsis NAME TREE EXE: an NSIS installer EXE storing TREE uncompressed, installing into
# C:\bench-nsis; building it is set-up, not timed.
bench_nsis() {
  cat >"${3%.exe}.nsi" <<EOF
Unicode true
Target amd64-unicode
SetCompress off
SetDatablockOptimize off
Name "bench $1"
OutFile "$3"
InstallDir "C:\\bench-nsis"
RequestExecutionLevel user
Section
  SetOutPath \$INSTDIR
  File /r "$2/*"
SectionEnd
EOF
  log "building the NSIS installer of $1"
  makensis -V1 "${3%.exe}.nsi" >&2
}

# ---------------------------------------------------------------- what the screen shows

# Pages are centred on the 1280 x 1024 screen: every page picture's top left is at 230,160
# (the 824-pixel pages draw theirs 2 pixels in; the finish picture lies 2 rows lower).
read -r screen_w screen_h < <(xdotool getdisplaygeometry)
pic_x=$(((screen_w - 819) / 2))
pic_y=$(((screen_h - 704) / 2))
# The colour of a picture's pixel as RRGGBB.
picture_colour() {
  convert "$top/assets/$1.gif[0]" -crop "1x1+$2+$3" -depth 8 txt:- |
    sed -n '2s/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p'
}
# "X,Y,RRGGBB" arguments of bench_xwatch for points of a picture placed at OX,OY on screen.
screen_points() {
  local gif=$1 ox=$2 oy=$3 point
  shift 3
  for point in "$@"; do
    local x=${point%,*} y=${point#*,}
    echo "$((ox + x)),$((oy + y)),$(picture_colour "$gif" "$x" "$y")"
  done
}
# Points where the welcome, install and finish pictures differ, away from the labels and the
# gauge that change during a run (picture coordinates).
mapfile -t welcome_points < <(screen_points welcome "$pic_x" "$pic_y" 348,202 460,202 551,328)
mapfile -t install_points < <(screen_points install "$pic_x" "$pic_y" 348,202 460,202 551,328)
mapfile -t finish_points < <(screen_points finish6 "$pic_x" $((pic_y + 2)) 628,189 635,448 262,613)
for i in 0 1 2; do
  [ "${welcome_points[$i]}" != "${install_points[$i]}" ] ||
    { echo "bench: welcome and install pictures agree at ${welcome_points[$i]}" >&2; exit 1; }
done
# The minimal window is painted in one colour (MinimalWindow.cpp).
minimal_points=("$((screen_w / 2)),$((screen_h / 2)),2060a0" "$((pic_x + 20)),$((pic_y + 20)),2060a0")
welcome_name='نصب برنامه '
minimal_name='bench minimal window'

# ---------------------------------------------------------------- timing setup.exe

now_us() { echo "${EPOCHREALTIME/./}"; }
ms_between() { echo $((($2 - $1) / 1000)); }  # microseconds in, whole milliseconds out

# What an installation leaves outside its folder goes too, so every run does the same work:
# the uninstall entry (setup.exe would start the installed program instead) and the font.
# FOLDER: the installation's folder, when not the product's default one.
reset_installation() {
  rm -rf "${1:-$drive_c/$product_folder}" "$drive_c/windows/Fonts/NotoNaskhArabic-Regular.ttf"
  wine64 reg delete "$uninstall_key" /f >/dev/null 2>&1 || true
  sync
}

# setup.exe through its wizard: Enter on the welcome page, Enter on the install page, and the
# finish page. Prints "START_TO_FINISH_MS ENTER_TO_FINISH_MS FIRST_PAGE_MS PEAK_KIB".
run_setup() {
  reset_installation
  local wpid t0 shown enter finished hwm
  "$xwatch" page 60 "$welcome_name" "${welcome_points[@]}" >"$out/watch" &
  wpid=$!
  t0=$(now_us)
  # wine64 keeps the process id it was started with: this is the Windows process itself.
  (cd "$medium" && exec wine64 SETUP.EXE) </dev/null >>"$out/setup.log" 2>&1 &
  setup_pid=$!
  wait "$wpid"
  shown=$(($(cut -d' ' -f2 "$out/watch") / 1000))
  xdotool key Return
  "$xwatch" pixels 60 "${install_points[@]}" >/dev/null
  enter=$(now_us)
  xdotool key Return
  finished=$(($("$xwatch" -i 10 pixels 900 "${finish_points[@]}") / 1000))
  # The kernel's high-water mark of the resident set: the peak over the whole run, without
  # polling (the finish page waits for Enter, so the process is still there).
  hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$setup_pid/status")
  xdotool key Return
  wait "$setup_pid" || true
  setup_pid=
  echo "$(ms_between "$t0" "$finished") $(ms_between "$enter" "$finished") $(ms_between "$t0" "$shown") $hwm"
}

