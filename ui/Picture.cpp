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
  // The header is read now, so data that is no GIF is refused at once; the image itself is
  // decoded when the picture is first drawn, and a page that never shows (the folder
  // chooser, the exit confirmation, the finish picture of the other Windows version) never
  // holds its pixels.
  MemoryReader reader{static_cast<const uint8_t*>(data), size, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
  if (gif == nullptr) throw InstallError("Invalid picture data");
  Picture picture;
  picture.data_ = static_cast<const uint8_t*>(data);
  picture.size_ = size;
  picture.width_ = gif->SWidth;
  picture.height_ = gif->SHeight;
  DGifCloseFile(gif, &error);
  return picture;
}

void Picture::Decode() const {
  if (decoded_) return;
  decoded_ = true;
  MemoryReader reader{data_, size_, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
  if (gif == nullptr) return;  // an image that cannot be read stays see-through
  if (DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) {
    DGifCloseFile(gif, &error);
    return;
  }
  const SavedImage& image = gif->SavedImages[0];
  const ColorMapObject* colours =
      image.ImageDesc.ColorMap != nullptr ? image.ImageDesc.ColorMap : gif->SColorMap;
  GraphicsControlBlock control{};
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  DGifSavedExtensionToGCB(gif, 0, &control);

  // Kept as colour indices, a quarter of the memory of 32-bit pixels: six page pictures of
  // 819 x 704 take 3.5 MB instead of 17. An index outside the colour map, and the
  // transparent one, is see-through; so are the pixels the image does not cover, which get
  // the transparent index, or one the colour map leaves unused.
  const int colourCount = colours != nullptr ? std::min(colours->ColorCount, 256) : 0;
  for (int i = 0; i < colourCount; ++i) {
    const GifColorType& c = colours->Colors[i];
    palette_[i] = (uint32_t{c.Red} << 16) | (uint32_t{c.Green} << 8) | c.Blue;
    opaque_[i] = i != control.TransparentColor;
  }
  int uncovered = control.TransparentColor;
  for (int i = 0; uncovered < 0 && i < 256; ++i) {
    if (!opaque_[i]) uncovered = i;
  }
  const size_t count = static_cast<size_t>(width_) * height_;
  const int fill = uncovered < 0 ? gif->SBackGroundColor : uncovered;
  indices_.assign(count, static_cast<uint8_t>(fill));
  const GifImageDesc& desc = image.ImageDesc;
  // giflib de-interlaces while slurping: RasterBits is in display order.
  for (int y = 0; y < desc.Height; ++y) {
    const int py = desc.Top + y;
    if (py < 0 || py >= height_) continue;
    for (int x = 0; x < desc.Width; ++x) {
      const int px = desc.Left + x;
      if (px < 0 || px >= width_) continue;
      indices_[static_cast<size_t>(py) * width_ + px] =
          image.RasterBits[static_cast<size_t>(y) * desc.Width + x];
    }
  }
  DGifCloseFile(gif, &error);
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
  Decode();
  if (indices_.size() != static_cast<size_t>(width_) * height_) return;
  // Only the rows and columns that land inside the target are visited.
  const int firstY = std::max(0, -top);
  const int endY = std::min(height, targetHeight - top);
  const int firstX = std::max(0, -left);
  const int endX = std::min(width, targetWidth - left);
  if (firstY >= endY || firstX >= endX) return;
  const bool stretched = width != width_ || height != height_;
  for (int y = firstY; y < endY; ++y) {
    const int sy = stretched ? static_cast<int>(static_cast<int64_t>(y) * height_ / height) : y;
    const uint8_t* sourceRow = indices_.data() + static_cast<size_t>(sy) * width_;
    uint32_t* targetRow = target + static_cast<size_t>(top + y) * targetWidth + left;
    for (int x = firstX; x < endX; ++x) {
      const int sx = stretched ? static_cast<int>(static_cast<int64_t>(x) * width_ / width) : x;
      const uint8_t index = sourceRow[sx];
      if (opaque_[index]) targetRow[x] = palette_[index];
    }
  }
}

}  // namespace installer
