#!/usr/bin/env bash
# The main job: sets up the machine, builds setup.exe, assembles the sample medium and runs
# the installer from the medium's root under Wine in a fresh prefix (build/run). It uses the
# i686 build, the one a vendor ships, in a pure 32-bit prefix (as on 32-bit Windows; on 64-bit
# Windows the same program sees the 32-bit system folder through WOW64).
#   With a display: the wizard is yours to use.
#   Without one (or with INSTALLER_RUN_HEADLESS=1): an own Xvfb, the wizard driven with the
#   keyboard through the default path, a screenshot of every page in build/run/screens, and a
#   report of what was installed.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

bash tools/setup.sh
source tools/wine-probe.sh
# A machine whose kernel runs no 32-bit programs cannot start the i686 build: the x86_64 build
# is the same program for 64-bit Windows.
preset=win32
if ! installer_wine_probe win32; then
  echo "run.sh: $INSTALLER_WINE_SKIP_REASON; running the x86_64 build instead" >&2
  installer_wine_probe win64 || { echo "run.sh: $INSTALLER_WINE_SKIP_REASON" >&2; exit 1; }
  preset=win64
fi
cmake --preset $preset >/dev/null
cmake --build --preset $preset --target setup sample_main uninstall register_marker
# The product's names, from the product file the build was made from.
product() { "build/$preset/host-tools/productgen/productgen" examples/product.ini --get "$1"; }
name=$(product name)
folder=$(product folder)
uninstall_key='HKLM\Software\Microsoft\windows\CurrentVersion\uninstall\'"$name"

run="$top/build/run"
rm -rf "$run"
mkdir -p "$run/screens"
source tools/wine-env.sh "$run/wine" $preset

source tools/xvfb.sh
finish() {
  installer_wine_stop
  installer_xvfb_stop
}
trap finish EXIT

headless=${INSTALLER_RUN_HEADLESS:-}
if [ -z "${DISPLAY:-}" ]; then headless=1; fi
if [ -n "$headless" ]; then installer_xvfb_start force; fi

# The medium (tools/make-medium.sh): the committed sample tree, the product's programs staged
# under their .DAT names, a self-registering library, a Persian font, 400 generated data files
# so the copy can be watched, and the setup program at its root; reached as drive D: like a disc.
medium="$run/medium"
bash tools/make-medium.sh "$medium" build/$preset
installer_wine_prefix_ready
ln -sfn "$medium" "$WINEPREFIX/dosdevices/d:"

if [ -z "$headless" ]; then
  echo "== starting the installer from D:\\ (the sample medium)"
  (cd "$medium" && installer_wine SETUP.EXE)
  exit 0
fi

shot() { import -window root "$run/screens/$1.png"; echo "screenshot: build/run/screens/$1.png"; }
(cd "$medium" && installer_wine SETUP.EXE) &
setup_pid=$!
sleep 6
shot 1-welcome
xdotool key Return
sleep 3
shot 2-install
xdotool key Return
sleep 0.4
shot 3-copying
for _ in $(seq 120); do
  installer_wine reg query "$uninstall_key" >/dev/null 2>&1 && break
  sleep 0.5
done
sleep 2
shot 4-finish
xdotool key Return
wait "$setup_pid" && echo "setup.exe ended with exit code 0"

target="$WINEPREFIX/drive_c/$folder"
echo
echo "== installed files (C:\\$folder)"
(cd "$target" && find . -type f | grep -v '/Data/part' | sort; echo "./Data: $(ls Data | wc -l) generated files")
echo
echo "== byte-for-byte comparison with the medium (staged programs under their new names)"
diff -r -x '*.DAT' -x '*.EXE' -x INSTALL.CFG "$medium/CAB" "$target" && \
  cmp "$medium/CAB/$name.DAT" "$target/$name.EXE" && \
  cmp "$medium/CAB/uninstall.DAT" "$target/Uninstall.EXE" && echo "identical"
echo "== INSTALL.CFG"
od -c "$target/INSTALL.CFG" | head -8
echo
echo "== uninstall entry"
installer_wine reg query "$uninstall_key" | tr -d '\r'
echo "== shortcuts"
find "$WINEPREFIX/drive_c/users" "$HOME" -name '*.lnk' 2>/dev/null | sed "s|$run/||"
echo "== font and library"
installer_wine reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' /v 'Noto Naskh Arabic (TrueType)' | tr -d '\r' | grep Noto
ls "$WINEPREFIX/drive_c/windows/Fonts/NotoNaskhArabic-Regular.ttf" | sed "s|$run/||"
ls "$WINEPREFIX/drive_c/windows/system32/TelmSample.dll.registered" >/dev/null && \
  echo "TelmSample.dll copied to System32 and its DllRegisterServer called"

echo
echo "== a second start of the medium opens the installed program instead of the wizard"
(cd "$medium" && installer_wine SETUP.EXE) && echo "setup.exe ended at once"
# The program names its marker after the path it was started by: "MainProgram" ends in .exe.
marker="$target/$name.exe.started"
for _ in $(seq 50); do [ -s "$marker" ] && break; sleep 0.2; done
[ -s "$marker" ] && echo "the installed $name.exe was started"
sleep 2
shot 5-installed-program
wineserver -k
