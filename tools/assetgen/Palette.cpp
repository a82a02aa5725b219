// Median-cut quantisation with k-means refinement, and GIF output through giflib.
#include "Palette.h"

#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <stdexcept>

namespace assetgen {

namespace {

struct Entry {
  int c[3];
  uint64_t count;
};

uint32_t Key(const int c[3]) { return uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | uint32_t(c[2]); }

Rgb8 ToRgb8(Rgb c) {
  auto ch = [](double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 255.0))); };
  return Rgb8{ch(c.r), ch(c.g), ch(c.b)};
}

// Channel weights for colour distance: the eye tells green steps apart best, blue worst.
constexpr int kWeight[3] = {3, 4, 2};

int64_t Distance(const int a[3], const int b[3]) {
  int64_t d = 0;
  for (int k = 0; k < 3; ++k) d += int64_t(kWeight[k]) * (a[k] - b[k]) * (a[k] - b[k]);
  return d;
}

struct Cut {
  size_t begin, end;
  double error;  // count-weighted squared deviation from the box's mean
};

double BoxError(const std::vector<Entry>& e, size_t begin, size_t end, int* widestChannel) {
  double sum[3] = {0, 0, 0}, sq[3] = {0, 0, 0}, n = 0;
  for (size_t i = begin; i < end; ++i) {
    for (int k = 0; k < 3; ++k) {
      sum[k] += double(e[i].c[k]) * e[i].count;
      sq[k] += double(e[i].c[k]) * e[i].c[k] * e[i].count;
    }
    n += double(e[i].count);
  }
  double total = 0, best = -1;
  for (int k = 0; k < 3; ++k) {
    const double var = (sq[k] - sum[k] * sum[k] / n) * kWeight[k];
    total += var;
    if (var > best) best = var, *widestChannel = k;
  }
  return total;
}

// Colours a 15- or 16-bit display would merge with the key: the same top five bits per channel.
bool MergesWithKey(Rgb8 c) {
  return (c.r >> 3) == (kKeyColour.r >> 3) && (c.g >> 3) == (kKeyColour.g >> 3) && (c.b >> 3) == (kKeyColour.b >> 3);
}

}  // namespace

IndexedPicture Quantise(const Canvas& canvas, const std::vector<bool>& mask, const std::vector<Rgb>& pinned) {
  const int w = canvas.Width(), h = canvas.Height();
  std::map<uint32_t, uint64_t> histogram;  // ordered, so the result does not depend on hashing
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (mask[size_t(y) * w + x]) {
        const Rgb8 c = ToRgb8(canvas.At(x, y));
        ++histogram[uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b];
      }

  std::vector<std::array<int, 3>> palette;
  std::vector<bool> fixed;
  for (Rgb p : pinned) {
    const Rgb8 c = ToRgb8(p);
    palette.push_back({c.r, c.g, c.b});
    fixed.push_back(true);
  }
  std::vector<Entry> entries;
  for (auto [key, count] : histogram) {
    Entry e{{int(key >> 16), int((key >> 8) & 0xFF), int(key & 0xFF)}, count};
    bool isPinned = false;
    for (const auto& p : palette) isPinned |= p[0] == e.c[0] && p[1] == e.c[1] && p[2] == e.c[2];
    if (!isPinned) entries.push_back(e);
  }

  // Median cut over the colours that are not pinned, splitting the box with the largest error.
  const size_t budget = size_t(kTransparentIndex) - palette.size();
  std::vector<Cut> cuts;
  if (!entries.empty()) {
    int channel = 0;
    cuts.push_back({0, entries.size(), BoxError(entries, 0, entries.size(), &channel)});
  }
  while (cuts.size() < budget) {
    const size_t worst = size_t(std::max_element(cuts.begin(), cuts.end(), [](const Cut& a, const Cut& b) {
                           return a.error < b.error;
                         }) - cuts.begin());
    const Cut box = cuts[worst];
    if (box.error <= 0 || box.end - box.begin < 2) break;
    int channel = 0;
    BoxError(entries, box.begin, box.end, &channel);
    std::sort(entries.begin() + long(box.begin), entries.begin() + long(box.end), [channel](const Entry& a, const Entry& b) {
      return a.c[channel] != b.c[channel] ? a.c[channel] < b.c[channel] : Key(a.c) < Key(b.c);
    });
    uint64_t total = 0, run = 0;
    for (size_t i = box.begin; i < box.end; ++i) total += entries[i].count;
    size_t split = box.begin + 1;
    for (size_t i = box.begin; i < box.end - 1; ++i) {
      run += entries[i].count;
      split = i + 1;
      if (2 * run >= total) break;
    }
    cuts[worst] = Cut{box.begin, split, BoxError(entries, box.begin, split, &channel)};
    cuts.push_back(Cut{split, box.end, BoxError(entries, split, box.end, &channel)});
  }
  for (const Cut& c : cuts) {
    double sum[3] = {0, 0, 0}, n = 0;
    for (size_t i = c.begin; i < c.end; ++i) {
      for (int k = 0; k < 3; ++k) sum[k] += double(entries[i].c[k]) * entries[i].count;
      n += double(entries[i].count);
    }
    palette.push_back({int(std::lround(sum[0] / n)), int(std::lround(sum[1] / n)), int(std::lround(sum[2] / n))});
    fixed.push_back(false);
  }

  // k-means rounds move the free entries to the centres of the colours they end up serving.
  std::vector<size_t> nearest(entries.size());
  auto assign = [&] {
    for (size_t i = 0; i < entries.size(); ++i) {
      size_t best = 0;
      int64_t bestD = INT64_MAX;
      for (size_t p = 0; p < palette.size(); ++p) {
        const int64_t d = Distance(entries[i].c, palette[p].data());
        if (d < bestD) bestD = d, best = p;
      }
      nearest[i] = best;
    }
  };
  for (int round = 0; round < 6; ++round) {
    assign();
    std::vector<std::array<double, 4>> sums(palette.size(), {0, 0, 0, 0});
    for (size_t i = 0; i < entries.size(); ++i) {
      for (int k = 0; k < 3; ++k) sums[nearest[i]][k] += double(entries[i].c[k]) * entries[i].count;
      sums[nearest[i]][3] += double(entries[i].count);
    }
    for (size_t p = 0; p < palette.size(); ++p)
      if (!fixed[p] && sums[p][3] > 0)
        for (int k = 0; k < 3; ++k) palette[p][k] = int(std::lround(sums[p][k] / sums[p][3]));
  }

  IndexedPicture out;
  out.width = w, out.height = h;
  for (size_t p = 0; p < palette.size(); ++p) {
    Rgb8 c{uint8_t(palette[p][0]), uint8_t(palette[p][1]), uint8_t(palette[p][2])};
    // Step clear of the key, towards blue, so the pixel stays opaque on every display depth.
    if (MergesWithKey(c)) c.b = uint8_t((kKeyColour.b | 7) + 1);
    out.palette[p] = c;
  }
  // Unused entries repeat black; the transparent entry is white, shown by viewers that ignore
  // transparency.
  for (size_t p = palette.size(); p < size_t(kTransparentIndex); ++p) out.palette[p] = Rgb8{0, 0, 0};
  out.palette[kTransparentIndex] = Rgb8{255, 255, 255};

  std::map<uint32_t, uint8_t> lookup;
  for (const auto& [key, count] : histogram) {
    const int c[3] = {int(key >> 16), int((key >> 8) & 0xFF), int(key & 0xFF)};
    size_t best = 0;
    int64_t bestD = INT64_MAX;
    for (size_t p = 0; p < palette.size(); ++p) {
      const int64_t d = Distance(c, palette[p].data());
      if (d < bestD) bestD = d, best = p;
    }
    lookup[key] = uint8_t(best);
  }
  out.pixels.assign(size_t(w) * h, uint8_t(kTransparentIndex));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (mask[size_t(y) * w + x]) {
        const Rgb8 c = ToRgb8(canvas.At(x, y));
        out.pixels[size_t(y) * w + x] = lookup[uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b];
      }
  return out;
}

namespace {

int AppendToString(GifFileType* gif, const GifByteType* data, int length) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), size_t(length));
  return length;
}

}  // namespace

void WriteGif(const IndexedPicture& picture, const std::string& path) {
  GifColorType colours[256];
  for (int i = 0; i < 256; ++i) colours[i] = {picture.palette[i].r, picture.palette[i].g, picture.palette[i].b};
  ColorMapObject* map = GifMakeMapObject(256, colours);
  // Encoded in memory and written with ordinary file permissions (giflib would create the
  // file owner-only).
  std::string bytes;
  int error = 0;
  GifFileType* gif = EGifOpen(&bytes, AppendToString, &error);
  if (!gif) {
    GifFreeMapObject(map);
    throw std::runtime_error("cannot start GIF encoder for " + path + ": " + GifErrorString(error));
  }
  auto fail = [&](const char* what) {
    const std::string message = std::string(what) + " failed for " + path + ": " + GifErrorString(gif->Error);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    throw std::runtime_error(message);
  };
  EGifSetGifVersion(gif, true);
  if (EGifPutScreenDesc(gif, picture.width, picture.height, 8, 0, map) == GIF_ERROR) fail("screen descriptor");
  // Packed byte: transparency flag only (no disposal given, no user input); delay 0; index 255.
  const unsigned char control[4] = {0x01, 0x00, 0x00, uint8_t(kTransparentIndex)};
  if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_ERROR) fail("graphic control extension");
  if (EGifPutImageDesc(gif, 0, 0, picture.width, picture.height, true, nullptr) == GIF_ERROR) fail("image descriptor");
  // giflib writes lines as given: an interlaced image needs its rows in the four-pass order.
  static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  std::vector<GifPixelType> row(size_t(picture.width));
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < picture.height; y += kStep[pass]) {
      std::copy_n(picture.pixels.begin() + long(y) * picture.width, picture.width, row.begin());
      if (EGifPutLine(gif, row.data(), picture.width) == GIF_ERROR) fail("image data");
    }
  if (EGifCloseFile(gif, &error) == GIF_ERROR) {
    GifFreeMapObject(map);
    throw std::runtime_error("cannot finish " + path + ": " + GifErrorString(error));
  }
  GifFreeMapObject(map);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), std::streamsize(bytes.size()));
  if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace assetgen
