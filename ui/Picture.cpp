// GIF decoding through giflib, from the program's resources.
#include "ui/Picture.h"

#include <algorithm>
#include <cstring>

#include <gif_lib.h>

#include "engine/Errors.h"

namespace installer {
namespace {

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int count) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  const size_t available = reader->size - reader->pos;
  const size_t n = count < 0 ? 0 : std::min(static_cast<size_t>(count), available);
  std::memcpy(buffer, reader->data + reader->pos, n);
  reader->pos += n;
  return static_cast<int>(n);
}

}  // namespace

Picture Picture::FromGif(const void* data, size_t size) {
  MemoryReader reader{static_cast<const uint8_t*>(data), size, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
  if (gif == nullptr) throw InstallError("Invalid picture data");
  if (DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) {
    DGifCloseFile(gif, &error);
    throw InstallError("Invalid picture data");
  }
  const SavedImage& image = gif->SavedImages[0];
  const ColorMapObject* colours =
      image.ImageDesc.ColorMap != nullptr ? image.ImageDesc.ColorMap : gif->SColorMap;
  GraphicsControlBlock control{};
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  DGifSavedExtensionToGCB(gif, 0, &control);

  Picture picture;
  picture.width_ = gif->SWidth;
  picture.height_ = gif->SHeight;
  const size_t count = static_cast<size_t>(picture.width_) * picture.height_;
  picture.pixels_.assign(count, 0);
  picture.alpha_.assign(count, 0);
  const GifImageDesc& desc = image.ImageDesc;
  // giflib de-interlaces while slurping: RasterBits is in display order.
  for (int y = 0; y < desc.Height; ++y) {
    const int py = desc.Top + y;
    if (py < 0 || py >= picture.height_) continue;
    for (int x = 0; x < desc.Width; ++x) {
      const int px = desc.Left + x;
      if (px < 0 || px >= picture.width_) continue;
      const int index = image.RasterBits[static_cast<size_t>(y) * desc.Width + x];
      if (index == control.TransparentColor || colours == nullptr || index >= colours->ColorCount) {
        continue;
      }
      const GifColorType& c = colours->Colors[index];
      const size_t at = static_cast<size_t>(py) * picture.width_ + px;
      picture.pixels_[at] = (uint32_t{c.Red} << 16) | (uint32_t{c.Green} << 8) | c.Blue;
      picture.alpha_[at] = 1;
    }
  }
  DGifCloseFile(gif, &error);
  return picture;
}

Picture Picture::FromResource(const wchar_t* name) {
  HRSRC resource = FindResourceW(nullptr, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL loaded = resource != nullptr ? LoadResource(nullptr, resource) : nullptr;
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) throw InstallError("Picture resource missing");
  return FromGif(data, SizeofResource(nullptr, resource));
}

void Picture::Compose(uint32_t* target, int targetWidth, int targetHeight, int left, int top,
                      int width, int height) const {
  if (width <= 0 || height <= 0 || width_ == 0 || height_ == 0) return;
  // Only the rows and columns that land in the target are visited: a page repainting a small
  // part of itself composes into a small target with the picture far outside it.
  for (int y = std::max(0, -top); y < height; ++y) {
    const int ty = top + y;
    if (ty >= targetHeight) break;
    const int sy = static_cast<int>(static_cast<int64_t>(y) * height_ / height);
    for (int x = std::max(0, -left); x < width; ++x) {
      const int tx = left + x;
      if (tx >= targetWidth) break;
      const int sx = static_cast<int>(static_cast<int64_t>(x) * width_ / width);
      const size_t at = static_cast<size_t>(sy) * width_ + sx;
      if (alpha_[at] != 0) target[static_cast<size_t>(ty) * targetWidth + tx] = pixels_[at];
    }
  }
}

}  // namespace installer
