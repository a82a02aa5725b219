// Reduction of a painted picture to 255 colours plus the transparent index, and the GIF writer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Canvas.h"

namespace assetgen {

struct Rgb8 {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb8&) const = default;
};

constexpr int kTransparentIndex = 255;

/// The window's colour key: no palette entry may equal it, or the pixel would turn see-through.
constexpr Rgb8 kKeyColour{192, 192, 192};

struct IndexedPicture {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;      // row-major, one palette index per pixel
  std::array<Rgb8, 256> palette{};  // entry 255 is the transparent one
};

/// Quantises the opaque pixels (mask true) of the canvas into entries 0..254 by median cut and a
/// few rounds of k-means; pinned colours keep exact entries of their own so flat fills stay pure.
/// Pixels outside the mask get the transparent index.
IndexedPicture Quantise(const Canvas& canvas, const std::vector<bool>& mask, const std::vector<Rgb>& pinned);

/// Writes a GIF89a: 256-entry global table, one graphic control extension (transparent index
/// 255, delay 0, no disposal), one interlaced image at (0, 0). Throws on failure.
void WriteGif(const IndexedPicture& picture, const std::string& path);

}  // namespace assetgen
