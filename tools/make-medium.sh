#!/usr/bin/env bash
# Assembles the sample medium in DEST from a Windows build tree (BUILD_DIR: build/win32 for the
# medium a vendor ships, build/win64 for the x86_64 build's tests and benchmark).
# Usage: make-medium.sh DEST BUILD_DIR [DATA_FILES]
#   The committed sample tree (examples/medium); the product's own programs staged under
#   their .DAT names; a self-registering library with its list; a Persian font with its list;
#   DATA_FILES generated data files of 1,000,000 bytes each in CAB/Data (400 unless given;
#   0 for none) so the copy can be watched; setup.exe at the root as SETUP.EXE; CAB/uninstall.lst
#   from the native mediatool (MEDIATOOL, default build/native's) when it is built.
#   DEST is replaced if it exists. The generated files share one random block.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 DEST BUILD_DIR [DATA_FILES]" >&2; exit 2; }
top=$(cd "$(dirname "$0")/.." && pwd)
dest=$1
build=$(cd "$2" && pwd)
count=${3:-400}

for f in ui/setup.exe examples/programs/sample_main.exe ui/uninstall.exe \
         tests/register_marker.dll; do
  [ -f "$build/$f" ] || { echo "make-medium.sh: $build/$f is missing (build it first)" >&2; exit 1; }
done
font=/usr/share/fonts/truetype/noto/NotoNaskhArabic-Regular.ttf
[ -f "$font" ] || { echo "make-medium.sh: $font is missing (fonts-noto-core)" >&2; exit 1; }

rm -rf "$dest"
mkdir -p "$(dirname "$dest")"
cp -r "$top/examples/medium" "$dest"
# The staged name follows the product file's Name (the build's own productgen reads it).
product_file=$(sed -n "s/^INSTALLER_PRODUCT:[A-Z]*=//p" "$build/CMakeCache.txt")
name=$("$build/host-tools/productgen/productgen" "$product_file" --get name)
cp "$build/examples/programs/sample_main.exe" "$dest/CAB/$name.DAT"
cp "$build/ui/uninstall.exe" "$dest/CAB/uninstall.DAT"
mkdir -p "$dest/System" "$dest/Fonts"
cp "$build/tests/register_marker.dll" "$dest/System/TelmSample.dll"
printf 'TelmSample.dll\r\n' >"$dest/System/SYSTEM.TXT"
cp "$font" "$dest/Fonts/"
printf 'NotoNaskhArabic-Regular.ttf\r\nNoto Naskh Arabic (TrueType)\r\n' >"$dest/Fonts/FONT.TXT"
if [ "$count" -gt 0 ]; then
  mkdir -p "$dest/CAB/Data"
  head -c 1000000 /dev/urandom >"$dest/CAB/Data/part100.bin"
  for i in $(seq 101 $((99 + count))); do cp "$dest/CAB/Data/part100.bin" "$dest/CAB/Data/part$i.bin"; done
fi
cp "$build/ui/setup.exe" "$dest/SETUP.EXE"
# The list of installed files, as `mediatool build` writes it; without the native build there is
# none, and the check says so. Last, so the data files are in it.
mediatool=${MEDIATOOL:-$top/build/native/mediatool/mediatool}
if [ -x "$mediatool" ]; then
  "$mediatool" uninstall-list "$dest" --product-file "$product_file" --target ntfs >/dev/null
fi
