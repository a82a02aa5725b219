// Builds the outlines from the frame's shapes, sampled at pixel centres, and fits the shared one
// to its exact pixel count by the body's width plus a partial column.
#include "Outline.h"

#include <algorithm>
#include <stdexcept>

namespace assetgen {

Shape FrameGeometry::Band() const { return RoundRect(bandX0, bandY0, bandX1, bandY1, bandRadius); }

Shape FrameGeometry::Body() const {
  // The top corners sit under the band, so only the foot is rounded.
  return RoundRect(bodyX0, bandY0 + bandRadius, bodyX1, bodyY1, bodyRadius);
}

Shape FrameGeometry::LeftEmblem() const { return Disc(emblemLeftX, emblemY, emblemRadius); }
Shape FrameGeometry::RightEmblem() const { return Disc(emblemRightX, emblemY, emblemRadius); }

namespace {

std::vector<bool> Rasterise(const FrameGeometry& f) {
  const Shape shapes[] = {f.Band(), f.Body(), f.LeftEmblem(), f.RightEmblem()};
  std::vector<bool> mask(size_t(kPictureWidth) * kPictureHeight, false);
  for (int y = 0; y < kPictureHeight; ++y)
    for (int x = 0; x < kPictureWidth; ++x)
      for (const Shape& s : shapes)
        if (s(x + 0.5, y + 0.5)) {
          mask[size_t(y) * kPictureWidth + x] = true;
          break;
        }
  const int leftColumn = int(f.bodyX0) - 1, rightColumn = int(f.bodyX1);
  for (int i = 0; i < f.fixLeft; ++i) mask[size_t(f.fixTop + i) * kPictureWidth + leftColumn] = true;
  for (int i = 0; i < f.fixRight; ++i) mask[size_t(f.fixTop + i) * kPictureWidth + rightColumn] = true;
  return mask;
}

long CountTransparent(const std::vector<bool>& mask) {
  long n = 0;
  for (bool b : mask) n += !b;
  return n;
}

}  // namespace

Outline SharedOutline() {
  // Symmetric about x = 421, the middle of columns 24..817. The discs reach column 24, column 817
  // and row 44; the body reaches row 703.
  FrameGeometry f{};
  f.emblemRadius = 60.5, f.emblemLeftX = 84.5, f.emblemRightX = 757.5, f.emblemY = 104.5;
  f.bandX0 = 104, f.bandY0 = 62, f.bandX1 = 738, f.bandY1 = 148, f.bandRadius = 18;
  f.bodyY1 = kPictureHeight, f.bodyRadius = 30;

  // Widest body that leaves at least the required transparent pixels (the count falls as the
  // body widens, so bisect), then top up the rest with a partial column on each side.
  auto transparentAt = [&f](int half) {
    f.bodyX0 = 421 - half, f.bodyX1 = 421 + half;
    return CountTransparent(Rasterise(f));
  };
  int low = 150, high = 330;  // transparentAt(low) >= count > transparentAt(high)
  if (transparentAt(low) < kSharedTransparentCount || transparentAt(high) >= kSharedTransparentCount)
    throw std::logic_error("shared outline cannot reach its pixel count");
  while (high - low > 1) {
    const int mid = (low + high) / 2;
    (transparentAt(mid) >= kSharedTransparentCount ? low : high) = mid;
  }
  const int half = low;
  f.bodyX0 = 421 - half, f.bodyX1 = 421 + half;
  long missing = CountTransparent(Rasterise(f)) - kSharedTransparentCount;
  f.fixTop = int(f.bandY1);
  const int straight = int(f.bodyY1 - f.bodyRadius) - f.fixTop;
  f.fixLeft = int(std::min<long>(missing, straight));
  f.fixRight = int(missing - f.fixLeft);
  if (f.fixRight > straight) throw std::logic_error("shared outline top-up does not fit");

  Outline o{f, Rasterise(f)};
  if (CountTransparent(o.opaque) != kSharedTransparentCount) throw std::logic_error("shared outline count is off");
  return o;
}

Outline ChooserOutline() {
  // Centred on the white panel (x 232..574), smaller than the main pages.
  FrameGeometry f{};
  f.emblemRadius = 44.5, f.emblemLeftX = 160, f.emblemRightX = 647, f.emblemY = 152;
  f.bandX0 = 176, f.bandY0 = 118, f.bandX1 = 631, f.bandY1 = 188, f.bandRadius = 16;
  f.bodyX0 = 212, f.bodyX1 = 595, f.bodyY1 = 644, f.bodyRadius = 26;
  return Outline{f, Rasterise(f)};
}

}  // namespace assetgen
