#!/usr/bin/env bash
# Regenerates the page pictures and list glyphs in assets/ with the native generator in
# tools/assetgen (needs libgif-dev, libfreetype-dev, libharfbuzz-dev, fonts-noto-core and
# fonts-dejavu-core; tools/setup.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S tools/assetgen -B build/assetgen -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/assetgen
build/assetgen/assetgen assets
echo "make-assets: wrote $(ls assets/*.gif assets/*.bmp | wc -l) files to assets/"
