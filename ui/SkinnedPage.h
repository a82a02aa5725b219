// A borderless page window drawn entirely by its pictures, with invisible hotspots over the
// buttons of the picture and transparent text labels over its boxes. Where the system has
// layered windows, the key colour (silver) is see-through and passes the mouse on, so the
// page takes the outline of its picture.
#pragma once

#include "engine/platform/win32/WindowsApi.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Picture.h"

namespace installer {

/// The window background and see-through colour.
inline constexpr COLORREF kKeyColour = RGB(192, 192, 192);

/// A picture placed on a page.
struct PictureControl {
  const Picture* picture = nullptr;
  RECT bounds{};  ///< left, top, right, bottom in client pixels
  bool visible = true;
};

/// An invisible, clickable rectangle over a button of the picture.
struct Hotspot {
  RECT bounds{};
  bool visible = true;
  bool enabled = true;
  std::string hint;                ///< shown as a tooltip when not empty
  std::function<void()> onClick;
  std::function<void()> onDoubleClick;
};

/// A transparent label that draws only its text. A right-to-left label whose text is wider than
/// its box reads from the box's right edge on to the left, past the box, rather than lose the
/// end of its sentence; a left-to-right one (paths, file names) is clipped at its box.
struct TextLabel {
  RECT bounds{};
  RECT extent{};  ///< where the text is drawn: `bounds`, widened to the left to fit the text
  bool visible = true;
  bool rightToLeft = false;  ///< Persian reading order; paths and file names stay left to right
  HFONT font = nullptr;
  std::string text;
  COLORREF colour = CLR_INVALID;  ///< CLR_INVALID: the window-text colour
};

/// One item of a page's z-order, bottom to top.
struct PageItem {
  enum class Kind { Picture, Hotspot, Label, Child } kind;
  size_t index;  ///< into the page's pictures, hotspots or labels
  HWND child = nullptr;  ///< for Kind::Child: a child window (the gauge) in this place
};

class SkinnedPage {
 public:
  SkinnedPage(int clientWidth, int clientHeight, const std::string& windowText);
  virtual ~SkinnedPage();
  SkinnedPage(const SkinnedPage&) = delete;
  SkinnedPage& operator=(const SkinnedPage&) = delete;

  HWND Handle() const { return window_; }
  /// Paints of the page (WM_PAINT) and the area the last one drew, for measuring what the copy
  /// repaints.
  uint64_t paintCount = 0;
  RECT lastPaintArea{};

  void Show();
  void Hide();
  bool Visible() const;
  /// Shows the page modally: every other window of the program is disabled until the page
  /// closes itself with Close(); then the page hides and the others are enabled again.
  void ShowModal();
  /// Ends the modal showing of this page.
  void Close();

  // Hotspot and label state changes repaint the page.
  void SetHotspotVisible(size_t hotspot, bool visible);
  void SetLabelText(size_t label, const std::string& text);
  /// Changes the text without repainting the label; the next repaint shows it.
  void SetLabelTextQuietly(size_t label, const std::string& text);
  void SetLabelVisible(size_t label, bool visible);
  /// Persian reading order (right-aligned) or left to right (a path).
  void SetLabelRightToLeft(size_t label, bool rightToLeft);
  void SetLabelColour(size_t label, COLORREF colour);
  /// Paints the page now (the disk figures are shown at once, not at the next idle paint).
  void RepaintNow();
  void SetPictureVisible(size_t picture, bool visible);
  /// Draws the keyboard's focus frame around a hotspot (its button), -1 for none.
  void SetFocusHotspot(int hotspot);
  int FocusHotspot() const { return focusHotspot_; }
  const std::string& LabelText(size_t label) const { return labels_[label].text; }
  bool HotspotVisible(size_t hotspot) const { return hotspots_[hotspot].visible; }

  // Page events, under the names the pages bind.
  /// Runs each time the page is about to be shown.
  virtual void FormShow() {}
  virtual void FormKeyPress(wchar_t key) {}
  /// A close request (Alt+F4, or the taskbar entry's close command for the main page).
  virtual void FormClose() {}

  /// The page the window handle belongs to, or null.
  static SkinnedPage* FromHandle(HWND window);

 protected:
  size_t AddPicture(const Picture* picture, RECT bounds, bool visible = true);
  size_t AddHotspot(RECT bounds, std::function<void()> onClick, const std::string& hint = "",
                    bool visible = true, bool enabled = true);
  size_t AddLabel(RECT bounds, HFONT font, const std::string& text, bool rightToLeft,
                  bool visible = true);
  void SetHotspotDoubleClick(size_t hotspot, std::function<void()> onDoubleClick) {
    hotspots_[hotspot].onDoubleClick = std::move(onDoubleClick);
  }
  /// Places a child window (created with this page as parent) at this point of the z-order.
  void AddChild(HWND child);
  void SetPictureBounds(size_t picture, RECT bounds);
  PictureControl& PictureAt(size_t picture) { return pictures_[picture]; }
  /// Repaints a label's box at the next paint.
  void InvalidateLabel(size_t label);
  /// Where a label's text is drawn (its box, or wider for a long right-to-left text).
  RECT LabelExtent(size_t label) const { return labels_[label].extent; }
  /// The window that gets the keyboard focus when the page is shown.
  virtual HWND FocusTarget() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
  /// Draws one part of the page, in client coordinates, onto the paint's device context.
  void PaintPart(HDC screen, const RECT& area);
  /// The topmost visible, enabled hotspot at a client point, or -1. A point over a picture
  /// above every hotspot there belongs to the picture.
  int HotspotAt(POINT point) const;
  void UpdateTooltips();
  /// Measures a label's text and sets its extent.
  void MeasureLabel(TextLabel& label) const;
  void Invalidate();

  HWND window_ = nullptr;
  HWND tooltip_ = nullptr;
  int clientWidth_;
  int clientHeight_;
  bool placed_ = false;   // centred at its first showing, kept there afterwards
  bool modal_ = false;
  int pressedHotspot_ = -1;
  int focusHotspot_ = -1;
  std::vector<PictureControl> pictures_;
  std::vector<Hotspot> hotspots_;
  std::vector<TextLabel> labels_;
  std::vector<PageItem> items_;
};

/// A font by face name, pixel height and character set, made once and kept for the process.
HFONT PageFont(const wchar_t* face, int pixelHeight, BYTE charset);

}  // namespace installer
