// The real TGauge: what it draws (frame, bar, xor-ed text) and when it paints.
#include "ui/controls/Gauge.h"

#include <gtest/gtest.h>

#include <memory>

namespace installer {
namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kTeal = RGB(0, 64, 64);
constexpr COLORREF kPink = RGB(255, 191, 191);  // teal xor white: text over the bar

/// A 32-bit bitmap the gauge renders into, so pixels can be read without a screen.
class Canvas {
 public:
  Canvas(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    old_ = SelectObject(dc, bitmap_);
  }
  ~Canvas() {
    SelectObject(dc, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  HDC dc = nullptr;

 private:
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

class GaugeWin32Test : public ::testing::Test {
 protected:
  HWND parent = nullptr;
  std::unique_ptr<TGauge> gauge;

  void SetUp() override {
    // A plain top-level window stands in for the install page.
    parent = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 400, 60, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    // Wine creates no window at all without an X display (tools/test.sh starts Xvfb).
    if (parent == nullptr) GTEST_SKIP() << "no window station with a display";
    GaugeArgs args;
    args.parent = parent;
    args.left = 10;
    args.top = 20;
    gauge = std::make_unique<TGauge>(args);
    ASSERT_NE(gauge->Hwnd(), nullptr) << GetLastError();
  }
  void TearDown() override {
    gauge.reset();
    if (parent != nullptr) DestroyWindow(parent);
  }

  void Render(Canvas& canvas) { gauge->PaintTo(canvas.dc); }
};

/// How many pixels of the drawing area (1..307 x 1..12) have each colour of interest.
struct AreaCount {
  int teal = 0, white = 0, black = 0, pink = 0;
};

AreaCount CountArea(const Canvas& canvas, int fromX, int toX) {
  AreaCount count;
  for (int y = 1; y < 13; ++y) {
    for (int x = fromX; x < toX; ++x) {
      const COLORREF c = canvas.At(x, y);
      if (c == kTeal) ++count.teal;
      if (c == kWhite) ++count.white;
      if (c == kBlack) ++count.black;
      if (c == kPink) ++count.pink;
    }
  }
  return count;
}

TEST_F(GaugeWin32Test, FrameIsBlackAndBarFillsFromTheLeft) {
  gauge->SetMaxValue(200);
  gauge->SetProgress(101);  // 50 %: fill width 154, so x 1..153 is teal
  Canvas canvas(309, 14);
  Render(canvas);
  for (int x = 0; x < 309; ++x) {
    EXPECT_EQ(canvas.At(x, 0), kBlack) << "top frame at x " << x;
    EXPECT_EQ(canvas.At(x, 13), kBlack) << "bottom frame at x " << x;
  }
  for (int y = 0; y < 14; ++y) {
    EXPECT_EQ(canvas.At(0, y), kBlack) << "left frame at y " << y;
    EXPECT_EQ(canvas.At(308, y), kBlack) << "right frame at y " << y;
  }
  // Away from the centred text, the bar's edge is exact.
  for (int y = 1; y < 13; ++y) {
    EXPECT_EQ(canvas.At(1, y), kTeal) << y;
    EXPECT_EQ(canvas.At(100, y), kTeal) << y;
    EXPECT_EQ(canvas.At(307, y), kWhite) << y;
  }
  const AreaCount leftEnd = CountArea(canvas, 1, 120);
  const AreaCount rightEnd = CountArea(canvas, 190, 308);
  EXPECT_EQ(leftEnd.teal, 119 * 12);
  EXPECT_EQ(rightEnd.white, 118 * 12);
}

TEST_F(GaugeWin32Test, TextInvertsWhatLiesBeneathIt) {
  gauge->SetMaxValue(200);
  gauge->SetProgress(101);  // "50%" straddles the bar's edge at x 154
  Canvas canvas(309, 14);
  Render(canvas);
  const AreaCount middle = CountArea(canvas, 120, 190);
  EXPECT_GT(middle.black, 0) << "text over the white part";
  EXPECT_GT(middle.pink, 0) << "text over the bar";

  gauge->SetProgress(0);
  Render(canvas);
  const AreaCount empty = CountArea(canvas, 1, 308);
  EXPECT_EQ(empty.teal, 0);
  EXPECT_EQ(empty.pink, 0);
  EXPECT_GT(empty.black, 0) << "0% in black";

  gauge->SetProgress(200);
  Render(canvas);
  const AreaCount full = CountArea(canvas, 1, 308);
  EXPECT_EQ(full.white, 0) << "100% fills the whole drawing area";
  EXPECT_EQ(full.black, 0);
  EXPECT_GT(full.pink, 0) << "100% in pink";
}

TEST_F(GaugeWin32Test, VisibleGaugeRepaintsAtOnceAndOnlyWhenThePercentageChanges) {
  ShowWindow(parent, SW_SHOWNOACTIVATE);
  UpdateWindow(parent);
  // Hidden on a shown page, as before the copy: values change, nothing is painted.
  gauge->SetMaxValue(1000);
  for (int32_t p = 0; p <= 1000; p += 7) gauge->SetProgress(p);
  EXPECT_EQ(gauge->repaintCount, 0u);
  gauge->SetProgress(0);

  gauge->Show();
  ASSERT_TRUE(gauge->Visible()) << "page visible: " << IsWindowVisible(parent);
  const uint64_t afterShow = gauge->repaintCount;
  EXPECT_GE(afterShow, 1u) << "Show paints before returning";

  gauge->SetMaxValue(10000);
  EXPECT_EQ(gauge->repaintCount, afterShow + 1) << "a range change repaints";

  const uint64_t before = gauge->repaintCount;
  for (int32_t step = 1; step <= 10000; ++step) gauge->SetProgress(step);
  const uint64_t repaints = gauge->repaintCount - before;
  EXPECT_GE(repaints, 100u) << "each new percentage is shown at once";
  EXPECT_LE(repaints, 101u);

  // No message was handled since the last assignment, yet the window shows the full bar.
  HDC dc = GetDC(gauge->Hwnd());
  EXPECT_EQ(GetPixel(dc, 300, 6), kTeal);
  EXPECT_EQ(GetPixel(dc, 0, 6), kBlack);
  ReleaseDC(gauge->Hwnd(), dc);

  gauge->Hide();
  EXPECT_FALSE(gauge->Visible());
}

}  // namespace
}  // namespace installer
