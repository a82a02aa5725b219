// The progress gauge control. All drawing happens in an off-screen image that reaches the
// window in one BitBlt, so the bar never flickers while the copy loop updates it.
// BitBlt raster operations (SRCINVERT is the exclusive or):
// https://learn.microsoft.com/en-us/windows/win32/api/wingdi/nf-wingdi-bitblt
#include "ui/controls/Gauge.h"

#include <string>

namespace installer {

namespace {

constexpr const wchar_t* kGaugeClassName = L"InstallerGauge";

ATOM RegisterGaugeClass(WNDPROC wndProc) {
  static const ATOM atom = [wndProc] {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = wndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kGaugeClassName;
    // No background brush: the gauge paints every pixel itself.
    return RegisterClassExW(&wc);
  }();
  return atom;
}

/// A 32-bit bitmap selected into its own memory DC; independent of the target's format, so
/// the same code draws for the screen and into a test's bitmap.
class OffscreenImage {
 public:
  OffscreenImage(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    const RECT all = {0, 0, width, height};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
  ~OffscreenImage() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  OffscreenImage(const OffscreenImage&) = delete;
  OffscreenImage& operator=(const OffscreenImage&) = delete;
  HDC Dc() const { return dc_; }

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

void FillSolid(HDC dc, const GaugeRect& r, COLORREF color) {
  const RECT rect = {r.left, r.top, r.right, r.bottom};
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

}  // namespace

TGauge::TGauge(const GaugeArgs& args) : args_(args) {
  RegisterGaugeClass(&TGauge::WndProc);
  // Negative height asks for the character height rather than the cell height.
  font_ = CreateFontW(-args_.fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                      args_.fontCharset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                      DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, args_.fontName);
  hwnd_ = CreateWindowExW(0, kGaugeClassName, L"", WS_CHILD | WS_CLIPSIBLINGS, args_.left,
                          args_.top, args_.width, args_.height, args_.parent, nullptr,
                          GetModuleHandleW(nullptr), this);
}

TGauge::~TGauge() {
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (font_ != nullptr) DeleteObject(font_);
}

void TGauge::SetMinValue(int32_t value) {
  if (logic_.SetMinValue(value)) RepaintNow();
}

void TGauge::SetMaxValue(int32_t value) {
  if (logic_.SetMaxValue(value)) RepaintNow();
}

bool TGauge::SetProgress(int32_t value) {
  if (!logic_.SetProgress(value)) return false;
  RepaintNow();
  return true;
}

void TGauge::Show() {
  ShowWindow(hwnd_, SW_SHOWNA);
  UpdateWindow(hwnd_);
}

void TGauge::Hide() { ShowWindow(hwnd_, SW_HIDE); }

bool TGauge::Visible() const { return IsWindowVisible(hwnd_) != FALSE; }

void TGauge::RepaintNow() {
  // The copy loop sets values without pumping messages between files, so a paint left for
  // the next WM_PAINT would come late; RDW_UPDATENOW sends WM_PAINT before returning, and only
  // for a window that is actually visible.
  // https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-redrawwindow
  if (hwnd_ != nullptr && Visible()) {
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  }
}

void TGauge::PaintTo(HDC target) {
  const int width = args_.width;
  const int height = args_.height;
  const int32_t percent = logic_.PercentDone();
  const GaugeLayout layout = ComputeGaugeLayout(width, height, args_.singleBorder, percent);

  // Black everywhere first: what the drawing area does not cover is the frame.
  OffscreenImage image(width, height);
  FillSolid(image.Dc(), layout.drawingArea, args_.backColor);
  if (layout.fillWidth >= 1) FillSolid(image.Dc(), layout.fill, args_.foreColor);

  if (args_.showText) {
    // White text on black, xor-ed onto the bar: each text pixel inverts what lies beneath, so
    // the text reads on both the empty and the filled part.
    OffscreenImage text(width, height);
    const std::string caption = GaugeText(percent);
    HGDIOBJ oldFont = SelectObject(text.Dc(), font_);
    SIZE extent = {};
    GetTextExtentPoint32A(text.Dc(), caption.c_str(), static_cast<int>(caption.size()), &extent);
    const GaugePoint at = GaugeTextPosition(layout, extent.cx, extent.cy);
    SetTextColor(text.Dc(), RGB(255, 255, 255));
    SetBkMode(text.Dc(), TRANSPARENT);
    const RECT clip = {layout.drawingArea.left, layout.drawingArea.top, layout.drawingArea.right,
                       layout.drawingArea.bottom};
    ExtTextOutA(text.Dc(), at.x, at.y, ETO_CLIPPED, &clip, caption.c_str(),
                static_cast<UINT>(caption.size()), nullptr);
    SelectObject(text.Dc(), oldFont);
    BitBlt(image.Dc(), 0, 0, width, height, text.Dc(), 0, 0, SRCINVERT);
  }

  BitBlt(target, 0, 0, width, height, image.Dc(), 0, 0, SRCCOPY);
  ++repaintCount;
}

void TGauge::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  PaintTo(dc);
  EndPaint(hwnd_, &ps);
}

LRESULT CALLBACK TGauge::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TGauge*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_NCCREATE: {
      // Messages before CreateWindowExW returns already need the object.
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
      auto* created = static_cast<TGauge*>(create->lpCreateParams);
      created->hwnd_ = hwnd;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
      break;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel; erasing first would flicker
    case WM_PAINT:
      if (self != nullptr) {
        self->OnPaint();
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace installer
