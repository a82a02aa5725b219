#!/usr/bin/env bash
# Renders text from standard input as a PNG picture of a terminal (tools/termshot, built here
# with the page-picture generator's text and canvas code).  Usage: termshot.sh OUT.png < text
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/build/termshot/termshot"
mkdir -p "$(dirname "$bin")"
if [ ! -x "$bin" ] || [ "$top/tools/termshot/main.cpp" -nt "$bin" ]; then
  g++ -std=c++20 -O2 -I"$top/tools/assetgen" -I"$top" "$top/tools/termshot/main.cpp" \
    "$top/tools/assetgen/Text.cpp" "$top/tools/assetgen/Paragraph.cpp" "$top/tools/assetgen/Canvas.cpp" "$top/engine/platform/Unicode.cpp" \
    $(pkg-config --cflags --libs freetype2 harfbuzz) -o "$bin"
fi
"$bin" "$1.ppm"
convert "$1.ppm" "$1"
rm -f "$1.ppm"
