// TGauge: the install page's progress bar, a child window that draws the bar, its frame and
// the percentage itself. The range rules live in GaugeLogic; this file only draws.
#pragma once

#include <cstdint>

#include "engine/platform/win32/WindowsApi.h"
#include "ui/controls/GaugeLogic.h"

namespace installer {

/// How the gauge looks; the defaults are those of Gauge1 on the install page.
struct GaugeArgs {
  HWND parent = nullptr;
  int left = 293;
  int top = 496;
  int width = 309;
  int height = 14;
  COLORREF foreColor = RGB(0, 64, 64);
  COLORREF backColor = RGB(255, 255, 255);
  bool singleBorder = true;  // bsSingle: a one-pixel black frame
  bool showText = true;
  const wchar_t* fontName = L"Tahoma";
  int fontHeight = 13;  // character height in pixels, without internal leading
  BYTE fontCharset = ARABIC_CHARSET;
};

class TGauge {
 public:
  /// Creates the gauge hidden, as a child of `args.parent`.
  explicit TGauge(const GaugeArgs& args);
  ~TGauge();
  TGauge(const TGauge&) = delete;
  TGauge& operator=(const TGauge&) = delete;

  HWND Hwnd() const { return hwnd_; }

  int32_t MinValue() const { return logic_.MinValue(); }
  int32_t MaxValue() const { return logic_.MaxValue(); }
  int32_t Progress() const { return logic_.Progress(); }
  int32_t PercentDone() const { return logic_.PercentDone(); }

  // The setters follow GaugeLogic's rules (and throw its InstallError); a change that alters
  // the picture repaints a visible gauge before the setter returns.
  void SetMinValue(int32_t value);
  void SetMaxValue(int32_t value);
  /// True when the value changed the percentage done, and the gauge was repainted at once.
  bool SetProgress(int32_t value);

  void Show();
  void Hide();
  bool Visible() const;

  /// Draws the whole gauge at (0, 0) of `target`; the window's paint handler uses it, and a
  /// test can render into a bitmap of its own.
  void PaintTo(HDC target);

  /// Paints actually done (every PaintTo), for measuring how often the copy loop repaints.
  uint64_t repaintCount = 0;

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void OnPaint();
  void RepaintNow();

  GaugeArgs args_;
  GaugeLogic logic_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
};

}  // namespace installer
