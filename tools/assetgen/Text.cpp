// Shaping with HarfBuzz and unhinted FreeType rasterisation at fractional pen positions, so the
// joins of connected Persian letters meet exactly.
#include "Text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <hb.h>

#include <algorithm>
#include <cmath>
#include <list>
#include <stdexcept>

namespace assetgen {

class FontFile {
 public:
  FT_Face face = nullptr;
  hb_face_t* hbFace = nullptr;
};

struct FontSet::Impl {
  FT_Library library = nullptr;
  std::list<FontFile> files;
};

FontSet::FontSet() : impl_(std::make_unique<Impl>()) {
  if (FT_Init_FreeType(&impl_->library)) throw std::runtime_error("FreeType cannot start");
}

FontSet::~FontSet() {
  for (FontFile& f : impl_->files) {
    hb_face_destroy(f.hbFace);
    FT_Done_Face(f.face);
  }
  FT_Done_FreeType(impl_->library);
}

const FontFile* FontSet::Load(const std::string& path) {
  FontFile file;
  if (FT_New_Face(impl_->library, path.c_str(), 0, &file.face))
    throw std::runtime_error("cannot load font " + path);
  hb_blob_t* blob = hb_blob_create_from_file_or_fail(path.c_str());
  if (!blob) {
    FT_Done_Face(file.face);
    throw std::runtime_error("cannot read font " + path);
  }
  file.hbFace = hb_face_create(blob, 0);
  hb_blob_destroy(blob);
  impl_->files.push_back(file);
  return &impl_->files.back();
}

bool Covers(const FontFile* font, char32_t codePoint) { return FT_Get_Char_Index(font->face, codePoint) != 0; }

namespace {

// Loads the glyph's outline at the size, unhinted, shifted by the pen's fractional offset, and
// renders it to an 8-bit coverage bitmap in the glyph slot.
FT_GlyphSlot RenderGlyph(const FontFile* font, double size, unsigned id, double fracX, double fracY) {
  FT_Face face = font->face;
  FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(size * 64)), 72, 72);
  if (FT_Load_Glyph(face, id, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP))
    throw std::runtime_error("cannot load glyph");
  FT_Outline_Translate(&face->glyph->outline, FT_Pos(std::lround(fracX * 64)), FT_Pos(-std::lround(fracY * 64)));
  if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL)) throw std::runtime_error("cannot render glyph");
  return face->glyph;
}

struct Shaped {
  std::vector<Line::Glyph> glyphs;  // x relative to the run's left end
  double advance = 0;
};

Shaped ShapeRun(const Run& run) {
  hb_font_t* font = hb_font_create(run.font->hbFace);
  const int scale = int(std::lround(run.size * 64));
  hb_font_set_scale(font, scale, scale);
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf8(buffer, run.text.c_str(), int(run.text.size()), 0, int(run.text.size()));
  if (run.rtl) {
    hb_buffer_set_direction(buffer, HB_DIRECTION_RTL);
    hb_buffer_set_script(buffer, HB_SCRIPT_ARABIC);
    hb_buffer_set_language(buffer, hb_language_from_string("fa", -1));
  } else {
    hb_buffer_set_direction(buffer, HB_DIRECTION_LTR);
    hb_buffer_set_script(buffer, HB_SCRIPT_LATIN);
    hb_buffer_set_language(buffer, hb_language_from_string("en", -1));
  }
  hb_shape(font, buffer, nullptr, 0);
  unsigned count = 0;
  const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
  const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);
  // Right-to-left output comes in visual order already: pen positions grow to the right.
  Shaped shaped;
  double pen = 0;
  for (unsigned i = 0; i < count; ++i) {
    shaped.glyphs.push_back({run.font, run.size, info[i].codepoint, pen + pos[i].x_offset / 64.0,
                             -pos[i].y_offset / 64.0});
    pen += pos[i].x_advance / 64.0;
  }
  shaped.advance = pen;
  hb_buffer_destroy(buffer);
  hb_font_destroy(font);
  return shaped;
}

}  // namespace

Line LayOut(const std::vector<Run>& runs, bool rtlLine) {
  std::vector<Shaped> shaped;
  for (const Run& r : runs) shaped.push_back(ShapeRun(r));
  if (rtlLine) std::reverse(shaped.begin(), shaped.end());
  Line line;
  for (const Shaped& s : shaped) {
    for (Line::Glyph g : s.glyphs) {
      g.x += line.advance;
      line.glyphs.push_back(g);
    }
    line.advance += s.advance;
  }
  // Measure the ink from the rendered glyphs.
  bool any = false;
  for (const Line::Glyph& g : line.glyphs) {
    const double fx = g.x - std::floor(g.x), fy = g.y - std::floor(g.y);
    FT_GlyphSlot slot = RenderGlyph(g.font, g.size, g.id, fx, fy);
    if (slot->bitmap.width == 0 || slot->bitmap.rows == 0) continue;
    const double left = std::floor(g.x) + slot->bitmap_left;
    const double right = left + slot->bitmap.width;
    const double top = std::floor(g.y) - slot->bitmap_top;
    const double bottom = top + slot->bitmap.rows;
    if (!any) {
      line.inkLeft = left, line.inkRight = right, line.inkTop = top, line.inkBottom = bottom;
      any = true;
    } else {
      line.inkLeft = std::min(line.inkLeft, left), line.inkRight = std::max(line.inkRight, right);
      line.inkTop = std::min(line.inkTop, top), line.inkBottom = std::max(line.inkBottom, bottom);
    }
  }
  return line;
}

double AdvanceOf(const std::vector<Run>& runs) {
  double advance = 0;
  for (const Run& r : runs) advance += ShapeRun(r).advance;
  return advance;
}

void Draw(Canvas& canvas, const Line& line, double left, double baseline, Rgb colour) {
  for (const Line::Glyph& g : line.glyphs) {
    const double px = left + g.x, py = baseline + g.y;
    const double ix = std::floor(px), iy = std::floor(py);
    FT_GlyphSlot slot = RenderGlyph(g.font, g.size, g.id, px - ix, py - iy);
    const FT_Bitmap& bm = slot->bitmap;
    for (unsigned r = 0; r < bm.rows; ++r) {
      for (unsigned c = 0; c < bm.width; ++c) {
        const unsigned char a = bm.buffer[r * bm.pitch + c];
        if (a) canvas.Blend(int(ix) + slot->bitmap_left + int(c), int(iy) - slot->bitmap_top + int(r), colour, a / 255.0);
      }
    }
  }
}

Box DrawAligned(Canvas& canvas, const Line& line, double x, double baseline, Align align, Rgb colour) {
  double left = x;
  if (align == Align::Centre) left = x - line.advance / 2;
  if (align == Align::Right) left = x - line.advance;
  left = std::round(left);
  Draw(canvas, line, left, baseline, colour);
  return Box{int(std::floor(left + line.inkLeft)), int(std::floor(baseline + line.inkTop)),
             int(std::ceil(left + line.inkRight)), int(std::ceil(baseline + line.inkBottom))};
}

void DrawCentred(Canvas& canvas, const Line& line, Box box, Rgb colour) {
  const double left = (box.x0 + box.x1) / 2.0 - (line.inkLeft + line.inkRight) / 2.0;
  const double baseline = (box.y0 + box.y1) / 2.0 - (line.inkTop + line.inkBottom) / 2.0;
  Draw(canvas, line, std::round(left), std::round(baseline), colour);
}

}  // namespace assetgen
