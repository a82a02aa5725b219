// The drive and folder glyphs: 16-colour bitmaps carried as named resources of the program,
// drawn with the colour of their bottom-left pixel as the transparent colour. Also the
// messages a page reflects back to its owner-drawn child controls.
#pragma once

#include "engine/platform/win32/WindowsApi.h"

namespace installer {

/// WM_DRAWITEM and WM_COMMAND of a child control, sent back to the control by its page
/// (owner-drawn controls report to their parent; the control object draws and acts itself).
inline constexpr UINT kReflectedDrawItem = WM_APP + 0x3D0;
inline constexpr UINT kReflectedCommand = WM_APP + 0x3D1;

/// Tab in a list control: the focus moves to the page's next tab stop (previous with Shift),
/// as a dialog would move it.
void FocusNextTabStop(HWND control);

struct Glyph {
  HBITMAP bitmap = nullptr;
  int width = 0;
  int height = 0;
  COLORREF transparent = 0;
};

/// The bitmap resource `name` ("FLOPPY", "OPENFOLDER", ...), loaded once for the process.
/// A missing resource gives a glyph with a null bitmap, which draws nothing.
const Glyph& LoadGlyph(const wchar_t* name);

/// Draws the glyph with its top left at (x, y), leaving its transparent pixels alone.
void DrawGlyph(HDC target, const Glyph& glyph, int x, int y);

}  // namespace installer
