#!/usr/bin/env bash
# Regenerates the page pictures and list glyphs in assets/ with the native generator in
# tools/assetgen, with the sample product's title from examples/product.ini (needs libgif-dev,
# libfreetype-dev, libharfbuzz-dev, fonts-noto-core and fonts-dejavu-core; tools/setup.sh
# installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S tools/productgen -B build/assetgen -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/assetgen --target productgen assetgen
build/assetgen/productgen examples/product.ini --get title >build/assetgen/title.txt
build/assetgen/assetgen/assetgen assets --title-file build/assetgen/title.txt
echo "make-assets: wrote $(ls assets/*.gif assets/*.bmp | wc -l) files to assets/"
