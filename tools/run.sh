#!/usr/bin/env bash
# The main job: sets up the machine, builds the Windows program, assembles the sample medium
# and installs it under Wine in a fresh prefix (build/run), then shows what was installed.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

bash tools/setup.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target engine_demo

run="$top/build/run"
rm -rf "$run"
mkdir -p "$run"
source tools/wine-env.sh "$run/wine"
trap installer_wine_stop EXIT
installer_wine_prefix_ready

# The medium: the committed sample tree, a generated binary file, and the setup program at
# its root, reached as drive D: like a disc.
medium="$run/medium"
cp -r examples/medium "$medium"
mkdir -p "$medium/CAB/Docs/Images"
head -c 150000 /dev/urandom >"$medium/CAB/Docs/Images/pattern.bin"
cp build/win64/tests/engine_demo.exe "$medium/SETUP.EXE"
ln -sfn "$medium" "$WINEPREFIX/dosdevices/d:"

echo "== installing from D:\\ (the sample medium)"
(cd "$medium" && wine64 SETUP.EXE)

target="$WINEPREFIX/drive_c/Telmorquistane"
echo
echo "== installed files"
(cd "$target" && find . -type f | sort)
echo
echo "== byte-for-byte comparison with the medium"
diff -r "$medium/CAB" "$target" && echo "identical"
