// Page windows: creation with the colour key, painting, hotspots, tooltips and modality.
#include "ui/SkinnedPage.h"

#include <commctrl.h>

#include <algorithm>
#include <map>

#include "engine/platform/win32/WideText.h"
#include "ui/Application.h"
#include "ui/controls/Glyphs.h"
#include "ui/text/StringHelpers.h"

namespace installer {
namespace {

constexpr wchar_t kPageClass[] = L"InstallerPage";
// Pixels of one band of a paint (256 KB of 32-bit pixels).
constexpr int kPaintBandPixels = 65536;

void RegisterPageClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  // Each page installs its own procedure right after creation.
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kPageClass;
  RegisterClassExW(&windowClass);
  // The common controls (the manifest's version 6, for the tooltips) are loaded by name here,
  // after the start-up restricted the library search, not imported: an imported comctl32 is
  // mapped and started before the program's first instruction, and under Wine it then loads
  // uxtheme.dll from the program's folder. The side-by-side redirection of the manifest still
  // applies to a load by name.
  using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  if (const HMODULE controlsLibrary = LoadLibraryW(L"comctl32.dll")) {
    const auto initialize = reinterpret_cast<InitCommonControlsExFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(controlsLibrary, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    if (initialize != nullptr) initialize(&controls);
  }
  registered = true;
}

BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM list) {
  if (IsWindowVisible(window) && IsWindowEnabled(window)) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  }
  return TRUE;
}

bool Contains(const RECT& rect, POINT point) {
  return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
         point.y < rect.bottom;
}

}  // namespace

HFONT PageFont(const wchar_t* face, int pixelHeight, BYTE charset) {
  static std::map<std::wstring, HFONT> fonts;
  const std::wstring key = std::wstring(face) + L"/" + std::to_wstring(pixelHeight) + L"/" +
                           std::to_wstring(charset);
  HFONT& font = fonts[key];
  if (font == nullptr) {
    // A negative height asks for the character height, as the page definitions give it.
    font = CreateFontW(-pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
  }
  return font;
}

SkinnedPage::SkinnedPage(int clientWidth, int clientHeight, const std::string& windowText)
    : clientWidth_(clientWidth), clientHeight_(clientHeight) {
  RegisterPageClass();
  const bool layered = Application::LayeredWindowAttributes() != nullptr;
  // Owned by the application window: no taskbar entry of its own.
  window_ = CreateWindowExW(layered ? WS_EX_LAYERED : 0, kPageClass,
                            DisplayWide(windowText).c_str(), WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                            clientWidth, clientHeight, Application::Window(), nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SkinnedPage::WindowProc));
  if (layered) Application::LayeredWindowAttributes()(window_, kKeyColour, 255, LWA_COLORKEY);
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_INITIAL, 500);
  SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, 2500);
}

SkinnedPage::~SkinnedPage() {
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

SkinnedPage* SkinnedPage::FromHandle(HWND window) {
  wchar_t className[32];
  if (GetClassNameW(window, className, 32) == 0 || lstrcmpW(className, kPageClass) != 0) {
    return nullptr;
  }
  return reinterpret_cast<SkinnedPage*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

size_t SkinnedPage::AddPicture(const Picture* picture, RECT bounds, bool visible) {
  pictures_.push_back({picture, bounds, visible});
  items_.push_back({PageItem::Kind::Picture, pictures_.size() - 1});
  return pictures_.size() - 1;
}

size_t SkinnedPage::AddHotspot(RECT bounds, std::function<void()> onClick,
                               const std::string& hint, bool visible, bool enabled) {
  hotspots_.push_back({bounds, visible, enabled, hint, std::move(onClick), nullptr});
  items_.push_back({PageItem::Kind::Hotspot, hotspots_.size() - 1});
  const size_t index = hotspots_.size() - 1;
  if (!hint.empty()) {
    const std::wstring text = DisplayWide(hint);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS | TTF_RTLREADING;
    tool.hwnd = window_;
    tool.uId = index;
    tool.rect = bounds;
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    UpdateTooltips();
  }
  return index;
}

size_t SkinnedPage::AddLabel(RECT bounds, HFONT font, const std::string& text, bool rightToLeft,
                             bool visible) {
  labels_.push_back({bounds, bounds, visible, rightToLeft, font, text});
  MeasureLabel(labels_.back());
  items_.push_back({PageItem::Kind::Label, labels_.size() - 1});
  return labels_.size() - 1;
}

void SkinnedPage::AddChild(HWND child) { items_.push_back({PageItem::Kind::Child, 0, child}); }

void SkinnedPage::SetPictureBounds(size_t picture, RECT bounds) {
  pictures_[picture].bounds = bounds;
  Invalidate();
}

void SkinnedPage::SetFocusHotspot(int hotspot) {
  if (hotspot == focusHotspot_) return;
  focusHotspot_ = hotspot;
  Invalidate();
}

void SkinnedPage::SetHotspotVisible(size_t hotspot, bool visible) {
  if (hotspots_[hotspot].visible == visible) return;
  hotspots_[hotspot].visible = visible;
  if (!visible && pressedHotspot_ == static_cast<int>(hotspot)) pressedHotspot_ = -1;
  UpdateTooltips();
}

void SkinnedPage::SetLabelText(size_t label, const std::string& text) {
  if (labels_[label].text == text) return;
  // The old text's place is repainted too: a shorter text leaves part of it uncovered.
  if (labels_[label].visible) InvalidateLabel(label);
  labels_[label].text = text;
  MeasureLabel(labels_[label]);
  if (labels_[label].visible) InvalidateLabel(label);
}

void SkinnedPage::SetLabelRightToLeft(size_t label, bool rightToLeft) {
  if (labels_[label].rightToLeft == rightToLeft) return;
  if (labels_[label].visible) InvalidateLabel(label);
  labels_[label].rightToLeft = rightToLeft;
  MeasureLabel(labels_[label]);
  if (labels_[label].visible) InvalidateLabel(label);
}

void SkinnedPage::SetLabelTextQuietly(size_t label, const std::string& text) {
  labels_[label].text = text;
  MeasureLabel(labels_[label]);
}

// Only right-to-left labels are measured: the file label changes once per file during the copy
// and is left to right, so the copy pays nothing for this.
void SkinnedPage::MeasureLabel(TextLabel& label) const {
  label.extent = label.bounds;
  if (!label.rightToLeft || label.text.empty()) return;
  HDC dc = GetDC(window_);
  if (dc == nullptr) return;
  HGDIOBJ oldFont = SelectObject(dc, label.font);
  const std::wstring text = DisplayWide(label.text);
  RECT measured{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_RTLREADING);
  SelectObject(dc, oldFont);
  ReleaseDC(window_, dc);
  const LONG width = measured.right - measured.left;
  if (width > label.bounds.right - label.bounds.left) {
    label.extent.left = std::max<LONG>(0, label.bounds.right - width);
  }
}

void SkinnedPage::SetLabelVisible(size_t label, bool visible) {
  if (labels_[label].visible == visible) return;
  labels_[label].visible = visible;
  InvalidateLabel(label);
}

void SkinnedPage::SetLabelColour(size_t label, COLORREF colour) {
  labels_[label].colour = colour;
  if (labels_[label].visible) InvalidateLabel(label);
}

void SkinnedPage::RepaintNow() {
  Invalidate();
  UpdateWindow(window_);
}

void SkinnedPage::SetPictureVisible(size_t picture, bool visible) {
  if (pictures_[picture].visible == visible) return;
  pictures_[picture].visible = visible;
  Invalidate();
}

void SkinnedPage::Invalidate() { InvalidateRect(window_, nullptr, FALSE); }

// A label draws nothing outside its extent, so a change of it repaints only that: the copy
// loop changes the file label once per file.
void SkinnedPage::InvalidateLabel(size_t label) {
  InvalidateRect(window_, &labels_[label].extent, FALSE);
}

// A hidden or disabled hotspot keeps its tool but with an empty rectangle, so its hint
// never shows.
void SkinnedPage::UpdateTooltips() {
  for (size_t i = 0; i < hotspots_.size(); ++i) {
    if (hotspots_[i].hint.empty()) continue;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window_;
    tool.uId = i;
    tool.rect = hotspots_[i].visible && hotspots_[i].enabled ? hotspots_[i].bounds : RECT{};
    SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void SkinnedPage::Show() {
  if (!placed_) {
    // Centred on the virtual screen at the first showing; the place is kept afterwards.
    const int left = (GetSystemMetrics(SM_CXVIRTUALSCREEN) - clientWidth_) / 2;
    const int top = (GetSystemMetrics(SM_CYVIRTUALSCREEN) - clientHeight_) / 2;
    SetWindowPos(window_, nullptr, left, top, clientWidth_, clientHeight_,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    placed_ = true;
  }
  Application::Guard([this] { FormShow(); });
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  BringWindowToTop(window_);
  SetFocus(FocusTarget());
  Application::PageVisibilityChanged();
}

void SkinnedPage::Hide() {
  ShowWindow(window_, SW_HIDE);
  Application::PageVisibilityChanged();
}

bool SkinnedPage::Visible() const { return IsWindowVisible(window_) != FALSE; }

void SkinnedPage::ShowModal() {
  HWND previousActive = GetActiveWindow();
  // Disable every other window of the program while this page is up.
  std::vector<HWND> disabled;
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow,
                    reinterpret_cast<LPARAM>(&disabled));
  for (HWND window : disabled) {
    if (window != window_) EnableWindow(window, FALSE);
  }
  modal_ = true;
  EnableWindow(window_, TRUE);
  Show();
  MSG message;
  while (modal_ && !Application::Terminated()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  modal_ = false;
  // The others are enabled before this page hides, so the system can hand the activation
  // (and the keyboard) back to the page below instead of to no window at all.
  for (HWND window : disabled) {
    if (window != window_ && IsWindow(window)) EnableWindow(window, TRUE);
  }
  Hide();
  if (previousActive != nullptr && previousActive != window_ && IsWindowVisible(previousActive)) {
    SetForegroundWindow(previousActive);
    SetActiveWindow(previousActive);
    SetFocus(previousActive);
  }
}

void SkinnedPage::Close() { modal_ = false; }

int SkinnedPage::HotspotAt(POINT point) const {
  for (auto item = items_.rbegin(); item != items_.rend(); ++item) {
    switch (item->kind) {
      case PageItem::Kind::Hotspot: {
        const Hotspot& hotspot = hotspots_[item->index];
        if (hotspot.visible && hotspot.enabled && Contains(hotspot.bounds, point)) {
          return static_cast<int>(item->index);
        }
        break;
      }
      case PageItem::Kind::Picture: {
        const PictureControl& picture = pictures_[item->index];
        if (picture.visible && Contains(picture.bounds, point)) return -1;
        break;
      }
      default:
        break;  // labels and the gauge take no mouse input here
    }
  }
  return -1;
}

// Only the part that needs it is drawn, bottom to top: the key colour, the pictures and the
// texts of that part alone. While files are copied that is the file label's box, a small
// fraction of the page; composing the whole page for each file cost more than copying a small
// file. A large part is drawn in bands of rows, so a whole page never needs an image of its
// full size (2.3 MB) at once.
void SkinnedPage::Paint() {
  PAINTSTRUCT paint;
  HDC screen = BeginPaint(window_, &paint);
  RECT area{};
  const RECT client{0, 0, clientWidth_, clientHeight_};
  ++paintCount;
  lastPaintArea = paint.rcPaint;
  if (IntersectRect(&area, &paint.rcPaint, &client)) {
    const int rows = std::max<int>(1, kPaintBandPixels / (area.right - area.left));
    for (int top = area.top; top < area.bottom; top += rows) {
      PaintPart(screen, RECT{area.left, top, area.right, std::min<LONG>(area.bottom, top + rows)});
    }
  }
  EndPaint(window_, &paint);
}

void SkinnedPage::PaintPart(HDC screen, const RECT& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP image = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (memory == nullptr || image == nullptr) {
    if (image != nullptr) DeleteObject(image);
    if (memory != nullptr) DeleteDC(memory);
    return;
  }
  HGDIOBJ previous = SelectObject(memory, image);
  auto* pixels = static_cast<uint32_t*>(bits);
  std::fill(pixels, pixels + static_cast<size_t>(width) * height, 0x00C0C0C0u);
  // Client coordinates in the memory image: the part's top left is its origin.
  SetViewportOrgEx(memory, -area.left, -area.top, nullptr);
  SetBkMode(memory, TRANSPARENT);
  for (const PageItem& item : items_) {
    if (item.kind == PageItem::Kind::Picture) {
      const PictureControl& picture = pictures_[item.index];
      if (!picture.visible || picture.picture == nullptr) continue;
      GdiFlush();
      picture.picture->Compose(pixels, width, height, picture.bounds.left - area.left,
                               picture.bounds.top - area.top,
                               picture.bounds.right - picture.bounds.left,
                               picture.bounds.bottom - picture.bounds.top);
    } else if (item.kind == PageItem::Kind::Label) {
      const TextLabel& label = labels_[item.index];
      RECT bounds = label.extent;
      RECT overlap{};
      if (!label.visible || label.text.empty() || !IntersectRect(&overlap, &bounds, &area)) {
        continue;
      }
      HGDIOBJ oldFont = SelectObject(memory, label.font);
      SetTextColor(memory,
                   label.colour != CLR_INVALID ? label.colour : GetSysColor(COLOR_WINDOWTEXT));
      // Persian reads right to left from the right edge. A left-to-right label shows paths,
      // whose folders keep their order whatever their script.
      const std::wstring text =
          DisplayWide(label.rightToLeft ? label.text : PathTextForDisplay(label.text));
      if (label.rightToLeft) {
        // Anchored at the box's right edge by the drawn, joined letters' own width: DrawText's
        // right alignment measures the letters unjoined under Wine, wider than they are drawn,
        // and Persian text then ends short of the edge by a different amount on every line.
        SetTextAlign(memory, TA_RIGHT | TA_TOP | TA_RTLREADING);
        ExtTextOutW(memory, bounds.right, bounds.top, ETO_RTLREADING, nullptr, text.c_str(),
                    static_cast<UINT>(text.size()), nullptr);
        SetTextAlign(memory, TA_LEFT | TA_TOP);
      } else {
        DrawTextW(memory, text.c_str(), static_cast<int>(text.size()), &bounds,
                  DT_SINGLELINE | DT_NOPREFIX | DT_TOP | DT_LEFT);
      }
      SelectObject(memory, oldFont);
    }
  }
  if (focusHotspot_ >= 0 && hotspots_[focusHotspot_].visible) {
    RECT frame = hotspots_[focusHotspot_].bounds;
    InflateRect(&frame, 3, 3);
    SetTextColor(memory, RGB(0, 0, 0));
    SetBkColor(memory, RGB(255, 255, 255));
    DrawFocusRect(memory, &frame);
  }
  GdiFlush();
  BitBlt(screen, area.left, area.top, width, height, memory, area.left, area.top, SRCCOPY);
  SelectObject(memory, previous);
  DeleteObject(image);
  DeleteDC(memory);
}

LRESULT CALLBACK SkinnedPage::WindowProc(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
  auto* page = reinterpret_cast<SkinnedPage*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (page == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return page->HandleMessage(message, wParam, lParam);
}

LRESULT SkinnedPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        POINT cursor;
        GetCursorPos(&cursor);
        ScreenToClient(window_, &cursor);
        SetCursor(LoadCursorW(nullptr, HotspotAt(cursor) >= 0 ? IDC_HAND : IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
      pressedHotspot_ = HotspotAt(point);
      if (pressedHotspot_ >= 0) SetCapture(window_);
      return 0;
    case WM_LBUTTONUP: {
      const int pressed = pressedHotspot_;
      pressedHotspot_ = -1;
      if (GetCapture() == window_) ReleaseCapture();
      // A click is a release inside the hotspot that took the press.
      if (pressed >= 0 && hotspots_[pressed].visible && hotspots_[pressed].enabled &&
          Contains(hotspots_[pressed].bounds, point) && hotspots_[pressed].onClick) {
        Application::Guard(hotspots_[pressed].onClick);
      }
      return 0;
    }
    case WM_LBUTTONDBLCLK: {
      const int hit = HotspotAt(point);
      // The second press of a double click reports no click of its own, only the double
      // click where a hotspot binds one.
      pressedHotspot_ = -1;
      if (hit >= 0 && hotspots_[hit].onDoubleClick) {
        Application::Guard(hotspots_[hit].onDoubleClick);
      }
      return 0;
    }
    case WM_CHAR:
      Application::Guard([&] { FormKeyPress(static_cast<wchar_t>(wParam)); });
      return 0;
    case WM_CLOSE:
      Application::Guard([&] { FormClose(); });
      return 0;
    // Owner-drawn child controls (the chooser's lists) report to their parent; the page
    // hands the reports back to the control, which draws and acts on them itself.
    case WM_DRAWITEM: {
      const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (draw != nullptr && draw->CtlType != ODT_MENU && draw->hwndItem != nullptr) {
        return SendMessageW(draw->hwndItem, kReflectedDrawItem, wParam, lParam);
      }
      break;
    }
    case WM_COMMAND:
      if (lParam != 0) {
        SendMessageW(reinterpret_cast<HWND>(lParam), kReflectedCommand, wParam, lParam);
        return 0;
      }
      break;
    case WM_NCHITTEST:
      return HTCLIENT;  // no caption: the page cannot be dragged
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace installer
