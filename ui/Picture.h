// A page picture: a GIF decoded once into 32-bit pixels plus its transparency, drawn with the
// transparent pixels left out so the key colour shows through them.
#pragma once

#include "engine/platform/win32/WindowsApi.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace installer {

class Picture {
 public:
  /// A GIF held in memory that stays in place (the first image, with the graphic control
  /// extension's transparent index honoured). Raises InstallError when the data is no GIF;
  /// the image is decoded when it is first needed.
  static Picture FromGif(const void* data, size_t size);
  /// The RCDATA resource `name` of this program.
  static Picture FromResource(const wchar_t* name);

  int Width() const { return width_; }
  int Height() const { return height_; }
  /// Copies the opaque pixels into a top-down 32-bit image of `targetWidth` × `targetHeight`
  /// (0x00RRGGBB per pixel) with the picture's top left at (left, top), stretched to
  /// `width` × `height` when those differ from the picture's size.
  void Compose(uint32_t* target, int targetWidth, int targetHeight, int left, int top, int width,
               int height) const;

 private:
  int width_ = 0;
  int height_ = 0;
  /// Fills the three tables below from the GIF data, once; they stay empty when it cannot.
  void Decode() const;

  const uint8_t* data_ = nullptr;  ///< the GIF, which outlives the picture (a resource)
  size_t size_ = 0;
  mutable bool decoded_ = false;
  mutable std::vector<uint8_t> indices_;         ///< colour index per pixel, rows top to bottom
  mutable std::array<uint32_t, 256> palette_{};  ///< 0x00RRGGBB per index
  mutable std::array<bool, 256> opaque_{};       ///< false: the index is see-through or unused
};

}  // namespace installer
