// Reads the pictures record by record through giflib (never slurping a file whose sizes it has
// not looked at) and applies the pages' rules to what it found.
#include "PictureRules.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <utility>

#include "Outline.h"
#include "Palette.h"

namespace assetgen {

namespace {

// Far more than a page picture takes (its raw pixels are 577 kB); a bigger file is not one.
constexpr size_t kMaxFileBytes = 16u << 20;
constexpr size_t kMaxRecords = 4096;
constexpr int kChooserBounds[4] = {116, 108, 690, 643};  // x0, y0, x1, y1, inclusive
constexpr int kSharedBounds[4] = {24, 44, 817, 703};

struct Source {
  const std::string* bytes;
  size_t at = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
  Source* source = static_cast<Source*>(gif->UserData);
  const size_t n = std::min(size_t(std::max(length, 0)), source->bytes->size() - source->at);
  std::memcpy(buffer, source->bytes->data() + source->at, n);
  source->at += n;
  return int(n);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

// giflib has no text for some codes (a short read leaves 0): a null there would crash.
std::string ErrorText(int code) {
  const char* text = GifErrorString(code);
  return text ? text : "giflib error " + std::to_string(code);
}

std::string Failed(const GifFileType* gif, const char* what) { return std::string(what) + ": " + ErrorText(gif->Error); }

// Passes over an image's data without decoding it.
bool SkipImage(GifFileType* gif) {
  int codeSize = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR) return false;
  while (block)
    if (DGifGetCodeNext(gif, &block) == GIF_ERROR) return false;
  return true;
}

bool DecodeImage(GifFileType* gif, const GifPicture::Image& image, std::vector<uint8_t>& pixels) {
  pixels.assign(size_t(image.width) * size_t(image.height), 0);
  static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  auto row = [&](int y) { return DGifGetLine(gif, pixels.data() + size_t(y) * size_t(image.width), image.width) != GIF_ERROR; };
  if (image.interlaced) {
    for (int pass = 0; pass < 4; ++pass)
      for (int y = kStart[pass]; y < image.height; y += kStep[pass])
        if (!row(y)) return false;
  } else {
    for (int y = 0; y < image.height; ++y)
      if (!row(y)) return false;
  }
  return true;
}

std::string ColourText(const GifPicture::Colour& c) {
  return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

std::string At(int x, int y) { return "at " + std::to_string(x) + "," + std::to_string(y); }

uint8_t PixelAt(const GifPicture& p, int x, int y) { return p.pixels[size_t(y) * kPictureWidth + size_t(x)]; }

long CountTransparent(const GifPicture& p) {
  return long(std::count(p.pixels.begin(), p.pixels.end(), uint8_t(kTransparentIndex)));
}

std::array<int, 4> OpaqueBounds(const GifPicture& p) {
  std::array<int, 4> b{kPictureWidth, kPictureHeight, -1, -1};
  for (int y = 0; y < kPictureHeight; ++y)
    for (int x = 0; x < kPictureWidth; ++x)
      if (PixelAt(p, x, y) != kTransparentIndex) {
        b[0] = std::min(b[0], x), b[1] = std::min(b[1], y);
        b[2] = std::max(b[2], x), b[3] = std::max(b[3], y);
      }
  return b;
}

std::string BoundsText(const std::array<int, 4>& b) {
  return std::to_string(b[0]) + "," + std::to_string(b[1]) + " to " + std::to_string(b[2]) + "," + std::to_string(b[3]);
}

std::string BoundsProblem(const GifPicture& p, const int expected[4]) {
  const std::array<int, 4> b = OpaqueBounds(p);
  const std::array<int, 4> want{expected[0], expected[1], expected[2], expected[3]};
  if (b == want) return "";
  return "opaque pixels span " + BoundsText(b) + ", not " + BoundsText(want);
}

// The page's background: the most frequent opaque index.
int PanelIndex(const GifPicture& p) {
  std::array<long, 256> count{};
  for (uint8_t i : p.pixels)
    if (i != kTransparentIndex) ++count[i];
  return int(std::max_element(count.begin(), count.end()) - count.begin());
}

// A 15- or 16-bit display keeps the top five bits of each channel; a colour that matches the
// key there turns see-through in a colour-keyed window.
bool MergesWithKey(const GifPicture::Colour& c) {
  return c.r >> 3 == kKeyColour.r >> 3 && c.g >> 3 == kKeyColour.g >> 3 && c.b >> 3 == kKeyColour.b >> 3;
}

std::string NoPixels() { return "no 819 x 704 image to look at"; }

}  // namespace

std::optional<GifPicture> ReadGif(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot be read";
    return std::nullopt;
  }
  std::string bytes;
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes.append(chunk, size_t(in.gcount()));
    if (bytes.size() > kMaxFileBytes) {
      *error = "more than " + std::to_string(kMaxFileBytes) + " bytes, far more than a page picture";
      return std::nullopt;
    }
  }
  if (bytes.size() < 6 || bytes.compare(0, 3, "GIF") != 0) {
    *error = "not a GIF file (it does not begin with \"GIF\")";
    return std::nullopt;
  }
  Source source{&bytes};
  int openError = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, ReadFromMemory, &openError));
  if (!gif) {
    *error = "giflib cannot open it: " + ErrorText(openError);
    return std::nullopt;
  }
  GifPicture picture;
  picture.signature = bytes.substr(0, 6);
  picture.screenWidth = gif->SWidth;
  picture.screenHeight = gif->SHeight;
  if (gif->SColorMap)
    for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
      const GifColorType c = gif->SColorMap->Colors[i];
      picture.palette.push_back({c.Red, c.Green, c.Blue});
    }
  for (size_t records = 0;; ++records) {
    if (records == kMaxRecords) {
      *error = "more than " + std::to_string(kMaxRecords) + " records";
      return std::nullopt;
    }
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) {
      *error = Failed(gif.get(), "records");
      return std::nullopt;
    }
    if (type == TERMINATE_RECORD_TYPE) break;
    if (type == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
        *error = Failed(gif.get(), "image descriptor");
        return std::nullopt;
      }
      const GifImageDesc& d = gif->Image;
      const GifPicture::Image image{d.Left, d.Top, d.Width, d.Height, bool(d.Interlace), d.ColorMap != nullptr};
      const bool decode = picture.images.empty() && image.width == kPictureWidth && image.height == kPictureHeight;
      const bool read = decode ? DecodeImage(gif.get(), image, picture.pixels) : SkipImage(gif.get());
      if (!read) {
        *error = Failed(gif.get(), "image data");
        return std::nullopt;
      }
      picture.images.push_back(image);
    } else if (type == EXTENSION_RECORD_TYPE) {
      int function = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif.get(), &function, &block) == GIF_ERROR) {
        *error = Failed(gif.get(), "extension");
        return std::nullopt;
      }
      GifPicture::Extension extension{function, {}, picture.images.size()};
      while (block) {
        extension.blocks.emplace_back(block + 1, block + 1 + block[0]);
        if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) {
          *error = Failed(gif.get(), "extension");
          return std::nullopt;
        }
      }
      picture.extensions.push_back(std::move(extension));
    }
  }
  return picture;
}

std::string CheckFormat(const GifPicture& picture) {
  return picture.signature == "GIF89a" ? "" : picture.signature + ", not GIF89a";
}

std::string CheckSize(const GifPicture& picture) {
  if (picture.screenWidth == kPictureWidth && picture.screenHeight == kPictureHeight) return "";
  return std::to_string(picture.screenWidth) + " x " + std::to_string(picture.screenHeight) + ", not " +
         std::to_string(kPictureWidth) + " x " + std::to_string(kPictureHeight);
}

std::string CheckPalette(const GifPicture& picture) {
  if (picture.palette.empty()) return "no global colour table";
  if (picture.palette.size() != 256) return "a global table of " + std::to_string(picture.palette.size()) + " entries, not 256";
  for (size_t i = 0; i < picture.palette.size(); ++i) {
    const GifPicture::Colour& c = picture.palette[i];
    if (c.r == kKeyColour.r && c.g == kKeyColour.g && c.b == kKeyColour.b)
      return "entry " + std::to_string(i) + " is the key colour " + ColourText(c) + ", which the window shows see-through";
    if (MergesWithKey(c))
      return "entry " + std::to_string(i) + " (" + ColourText(c) + ") turns see-through on a 16-bit display";
  }
  return "";
}

std::string CheckImage(const GifPicture& picture) {
  if (picture.images.size() != 1) return std::to_string(picture.images.size()) + " images, not 1";
  const GifPicture::Image& i = picture.images.front();
  if (i.left != 0 || i.top != 0 || i.width != picture.screenWidth || i.height != picture.screenHeight)
    return "the image is " + std::to_string(i.width) + " x " + std::to_string(i.height) + " at " + std::to_string(i.left) +
           "," + std::to_string(i.top) + ", not the whole screen";
  if (!i.interlaced) return "the image is not interlaced";
  if (i.localTable) return "the image has a local colour table, which would override the global one";
  return "";
}

std::string CheckTransparency(const GifPicture& picture) {
  const size_t count = picture.extensions.size();
  if (count == 0) return "no graphic control extension";
  if (count > 1) return std::to_string(count) + " extensions, not the one graphic control extension";
  const GifPicture::Extension& e = picture.extensions.front();
  if (e.function != GRAPHICS_EXT_FUNC_CODE) return "an extension of kind " + std::to_string(e.function) + ", not graphic control";
  if (e.beforeImage != 0) return "the graphic control extension follows the image";
  if (e.blocks.size() != 1 || e.blocks.front().size() != 4) return "the graphic control extension is not one block of 4 bytes";
  GraphicsControlBlock gcb{};
  const std::vector<uint8_t>& b = e.blocks.front();
  DGifExtensionToGCB(b.size(), b.data(), &gcb);
  if (!(b[0] & 0x01)) return "no transparent colour";
  if (gcb.TransparentColor != kTransparentIndex)
    return "transparent index " + std::to_string(gcb.TransparentColor) + ", not " + std::to_string(kTransparentIndex);
  if (gcb.DelayTime != 0) return "a delay of " + std::to_string(gcb.DelayTime) + ", not 0";
  if (gcb.DisposalMode != DISPOSAL_UNSPECIFIED) return "disposal mode " + std::to_string(gcb.DisposalMode) + ", not none";
  if (gcb.UserInputFlag) return "the user input flag is set";
  return "";
}

std::string CheckSharedOutline(const GifPicture& picture) {
  if (picture.pixels.empty()) return NoPixels();
  const long transparent = CountTransparent(picture);
  if (transparent != kSharedTransparentCount)
    return std::to_string(transparent) + " see-through pixels, not " + std::to_string(kSharedTransparentCount);
  return BoundsProblem(picture, kSharedBounds);
}

std::string CompareOutlines(const GifPicture& picture, const GifPicture& reference, const std::string& referenceName) {
  if (picture.pixels.empty() || reference.pixels.empty()) return NoPixels();
  long differences = 0;
  size_t first = 0;
  for (size_t i = 0; i < picture.pixels.size(); ++i)
    if ((picture.pixels[i] == kTransparentIndex) != (reference.pixels[i] == kTransparentIndex) && !differences++) first = i;
  if (differences == 0) return "";
  return std::to_string(differences) + " pixels differ in see-through from " + referenceName + ", the first " +
         At(int(first % kPictureWidth), int(first / kPictureWidth));
}

std::string CheckChooserOutline(const GifPicture& picture) {
  if (picture.pixels.empty()) return NoPixels();
  if (std::string bounds = BoundsProblem(picture, kChooserBounds); !bounds.empty()) return bounds;
  // The white panel holding the lists (x 232..574, y 247..616) lies wholly inside.
  for (int y = 247; y <= 616; ++y)
    for (int x = 232; x <= 574; ++x)
      if (PixelAt(picture, x, y) == kTransparentIndex) return "see-through inside the panel " + At(x, y);
  if (CountTransparent(picture) == kSharedTransparentCount) return "the shared outline's see-through count, not its own";
  return "";
}

std::string CheckHotspot(const GifPicture& picture, const Hotspot& h) {
  if (picture.pixels.empty()) return NoPixels();
  const int x0 = h.client.left - h.pictureOffset, y0 = h.client.top;
  const int x1 = x0 + h.client.width - 1, y1 = y0 + h.client.height - 1;
  const std::string name = h.name;
  if (x0 < 0 || y0 < 0 || x1 >= kPictureWidth || y1 >= kPictureHeight) return name + ": outside the picture";
  const int panel = PanelIndex(picture);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const uint8_t p = PixelAt(picture, x, y);
      if (p == kTransparentIndex) return name + ": see-through " + At(x, y);
      // The button's body reaches past every edge of the hotspot, so none of its edge pixels
      // shows the page's background.
      if ((x == x0 || x == x1 || y == y0 || y == y1) && p == panel)
        return name + ": background " + At(x, y) + ", no button under the hotspot's edge";
    }
  return "";
}

std::string CheckLabelArea(const GifPicture& picture, const LabelArea& a) {
  if (picture.pixels.empty()) return NoPixels();
  const std::string name = a.name;
  const uint8_t first = PixelAt(picture, a.rect.left, a.rect.top);
  for (int y = a.rect.top; y < a.rect.top + a.rect.height; ++y)
    for (int x = a.rect.left; x < a.rect.left + a.rect.width; ++x)
      if (PixelAt(picture, x, y) != first) return name + ": a second colour " + At(x, y);
  if (first == kTransparentIndex) return name + ": see-through";
  if (first >= picture.palette.size()) return name + ": index " + std::to_string(first) + " is past the colour table";
  const GifPicture::Colour c = picture.palette[first];
  if (a.white && !(c.r == 255 && c.g == 255 && c.b == 255)) return name + ": " + ColourText(c) + ", not the white of its box";
  if (!a.white && first != PanelIndex(picture)) return name + ": " + ColourText(c) + ", not the page's background";
  // Black window text must stand out: the background is light.
  if (c.r + c.g + c.b <= 3 * 200) return name + ": " + ColourText(c) + " is too dark for black text";
  return "";
}

std::vector<PictureProblem> CheckPictures(const std::string& dir) {
  std::map<std::string, std::vector<PictureProblem>> problems;  // by file
  std::map<std::string, GifPicture> pictures;
  auto add = [&](const std::string& file, const char* rule, const std::string& detail) {
    if (!detail.empty()) problems[file].push_back({file, rule, detail});
  };
  std::vector<std::pair<const char*, bool>> files;  // each with whether it is required
  for (const char* file : kPictureFiles) files.push_back({file, true});
  for (const char* file : kOptionalPictureFiles) files.push_back({file, false});
  for (const auto& [file, required] : files) {
    const std::filesystem::path path = std::filesystem::path(dir) / file;
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    if (!exists && !required) continue;
    if (!std::filesystem::is_regular_file(path, ec)) {
      add(file, rule::kMissing, exists ? "not a file" : "no such file");
      continue;
    }
    std::string error;
    std::optional<GifPicture> picture = ReadGif(path.string(), &error);
    if (!picture) {
      add(file, rule::kFormat, error);
      continue;
    }
    add(file, rule::kFormat, CheckFormat(*picture));
    add(file, rule::kSize, CheckSize(*picture));
    add(file, rule::kPalette, CheckPalette(*picture));
    add(file, rule::kImage, CheckImage(*picture));
    add(file, rule::kTransparency, CheckTransparency(*picture));
    if (!picture->pixels.empty()) pictures.emplace(file, std::move(*picture));  // else the size or image rule said why
  }

  // The pictures of one window shape are held to the shape most of them share, so the one
  // picture drawn to another shape is the one named.
  std::vector<std::string> shared;
  for (const char* file : kSharedOutlineFiles)
    if (pictures.count(file)) shared.push_back(file);
  std::string reference;
  size_t agreeing = 0;
  for (const std::string& candidate : shared) {
    size_t n = 0;
    for (const std::string& other : shared) n += CompareOutlines(pictures.at(other), pictures.at(candidate), candidate).empty();
    if (n > agreeing) agreeing = n, reference = candidate;
  }
  for (const std::string& file : shared) {
    std::string detail = CheckSharedOutline(pictures.at(file));
    if (detail.empty()) detail = CompareOutlines(pictures.at(file), pictures.at(reference), reference);
    add(file, rule::kOutline, detail);
  }
  if (pictures.count("chooser.gif")) add("chooser.gif", rule::kOutline, CheckChooserOutline(pictures.at("chooser.gif")));

  for (const auto& [file, picture] : pictures) {
    std::string hotspots, labels;
    for (const Hotspot& h : kHotspots)
      if (file == h.picture)
        if (std::string d = CheckHotspot(picture, h); !d.empty()) hotspots += (hotspots.empty() ? "" : "; ") + d;
    for (const LabelArea& a : kLabelAreas)
      if (file == a.picture)
        if (std::string d = CheckLabelArea(picture, a); !d.empty()) labels += (labels.empty() ? "" : "; ") + d;
    add(file, rule::kHotspot, hotspots);
    add(file, rule::kLabelArea, labels);
  }

  std::vector<PictureProblem> ordered;
  for (const auto& [file, required] : files)
    for (const PictureProblem& p : problems[file]) ordered.push_back(p);
  return ordered;
}

}  // namespace assetgen
