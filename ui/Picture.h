// A page picture: a GIF decoded once into 32-bit pixels plus its transparency, drawn with the
// transparent pixels left out so the key colour shows through them.
#pragma once

#include "engine/platform/win32/WindowsApi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace installer {

class Picture {
 public:
  /// Decodes a GIF held in memory (the first image, with the graphic control extension's
  /// transparent index honoured). Raises InstallError when the data is no readable GIF.
  static Picture FromGif(const void* data, size_t size);
  /// Decodes the RCDATA resource `name` of this program.
  static Picture FromResource(const wchar_t* name);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Opaque(int x, int y) const { return alpha_[static_cast<size_t>(y) * width_ + x] != 0; }
  /// Colour of a pixel as 0x00RRGGBB.
  uint32_t Pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

  /// Copies the opaque pixels into a top-down 32-bit image of `targetWidth` × `targetHeight`
  /// (0x00RRGGBB per pixel) with the picture's top left at (left, top), stretched to
  /// `width` × `height` when those differ from the picture's size.
  void Compose(uint32_t* target, int targetWidth, int targetHeight, int left, int top, int width,
               int height) const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
  std::vector<uint8_t> alpha_;
};

}  // namespace installer
