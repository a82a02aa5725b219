// Icon images are painted on the same canvas as the pictures; the alpha channel is the
// coverage of the round emblem, so the icon sits cleanly on any taskbar colour.
#include "Icon.h"

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "Canvas.h"
#include "Widgets.h"

namespace assetgen {
namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// One icon image: BITMAPINFOHEADER (height doubled for the mask), bottom-up BGRA rows,
// then the 1-bit AND mask (all zero: the alpha channel decides).
std::vector<uint8_t> IconImage(int size) {
  const double c = size / 2.0;
  const double r = size / 2.0 - 0.25;
  Canvas canvas(size, size, RgbOf(0x000000));
  const Box box{0, 0, size, size};
  canvas.FillShape(Disc(c, c, r), box,
                   [&](double, double y) { return Mix(colour::kBandTop, colour::kBandBottom, y / size); });
  canvas.FillShape(Ring(c, c, r * 0.80, r * 0.90), box, colour::kGold);
  DrawDiscEmblem(canvas, c, c, r);

  std::vector<uint8_t> out;
  Put32(out, 40);
  Put32(out, uint32_t(size));
  Put32(out, uint32_t(size * 2));
  Put16(out, 1);
  Put16(out, 32);
  for (int i = 0; i < 6; ++i) Put32(out, 0);
  const Shape round = Disc(c, c, r);
  for (int y = size - 1; y >= 0; --y) {
    for (int x = 0; x < size; ++x) {
      int inside = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) inside += round(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4);
      }
      const Rgb p = canvas.At(x, y);
      out.push_back(uint8_t(p.b + 0.5));
      out.push_back(uint8_t(p.g + 0.5));
      out.push_back(uint8_t(p.r + 0.5));
      out.push_back(uint8_t(inside * 255 / 16));
    }
  }
  const int maskRow = ((size + 31) / 32) * 4;
  out.insert(out.end(), size_t(maskRow) * size, 0);
  return out;
}

}  // namespace

void WriteIcon(const std::string& path) {
  const int sizes[] = {16, 32, 48};
  std::vector<std::vector<uint8_t>> images;
  for (int size : sizes) images.push_back(IconImage(size));
  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, uint16_t(images.size()));
  uint32_t offset = 6 + 16 * uint32_t(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    out.push_back(uint8_t(sizes[i]));
    out.push_back(uint8_t(sizes[i]));
    out.push_back(0);  // no palette
    out.push_back(0);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, uint32_t(images[i].size()));
    Put32(out, offset);
    offset += uint32_t(images[i].size());
  }
  for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  std::fwrite(out.data(), 1, out.size(), file);
  std::fclose(file);
}

}  // namespace assetgen
