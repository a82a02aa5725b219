// Glyph loading and transparent drawing (GDI's own GdiTransparentBlt: msimg32, whose
// TransparentBlt forwards to it, is no KnownDLL and would be looked up beside setup.exe).
#include "ui/controls/Glyphs.h"

#include <map>
#include <string>

namespace installer {

const Glyph& LoadGlyph(const wchar_t* name) {
  static std::map<std::wstring, Glyph> glyphs;
  auto found = glyphs.find(name);
  if (found != glyphs.end()) return found->second;
  Glyph glyph;
  glyph.bitmap = static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (glyph.bitmap != nullptr) {
    BITMAP info{};
    GetObjectW(glyph.bitmap, sizeof info, &info);
    glyph.width = info.bmWidth;
    glyph.height = info.bmHeight;
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, glyph.bitmap);
    glyph.transparent = GetPixel(memory, 0, glyph.height - 1);
    SelectObject(memory, previous);
    DeleteDC(memory);
  }
  return glyphs.emplace(name, glyph).first->second;
}

void DrawGlyph(HDC target, const Glyph& glyph, int x, int y) {
  if (glyph.bitmap == nullptr) return;
  HDC memory = CreateCompatibleDC(target);
  HGDIOBJ previous = SelectObject(memory, glyph.bitmap);
  GdiTransparentBlt(target, x, y, glyph.width, glyph.height, memory, 0, 0, glyph.width,
                 glyph.height, glyph.transparent);
  SelectObject(memory, previous);
  DeleteDC(memory);
}

void FocusNextTabStop(HWND control) {
  HWND next = GetNextDlgTabItem(GetParent(control), control, GetKeyState(VK_SHIFT) < 0);
  if (next != nullptr) SetFocus(next);
}

}  // namespace installer
