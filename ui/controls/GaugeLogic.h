// The progress gauge without its window: the range and position rules, the percentage, and
// where the bar and the text go. TGauge (Gauge.h) draws what this computes.
#pragma once

#include <cstdint>
#include <string>

namespace installer {

/// MinValue <= Progress <= MaxValue after every assignment. The setters report whether the
/// shown picture changed, so the control repaints only then.
class GaugeLogic {
 public:
  int32_t MinValue() const { return minValue_; }
  int32_t MaxValue() const { return maxValue_; }
  int32_t Progress() const { return progress_; }

  /// Whole percent of the range covered, truncated; 0 for a range of zero width.
  int32_t PercentDone() const;

  /// Clamps to the range. True only when PercentDone changed: a position change within the
  /// same percent is not worth a repaint.
  bool SetProgress(int32_t value);

  /// Throws InstallError "Value must be between %d and %d" (MinValue + 1, 2147483647) for a
  /// value below MinValue, changing nothing. True when the value changed.
  bool SetMaxValue(int32_t value);

  /// Throws InstallError "Value must be between %d and %d" (-2147483647, MaxValue - 1) for a
  /// value above MaxValue, changing nothing. True when the value changed.
  bool SetMinValue(int32_t value);

 private:
  int32_t minValue_ = 0;
  int32_t maxValue_ = 100;
  int32_t progress_ = 0;
};

/// A rectangle in the gauge's own pixels; right and bottom edges excluded.
struct GaugeRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const GaugeRect&) const = default;
};

struct GaugeLayout {
  GaugeRect drawingArea;  // inside the frame; the frame is the ring of pixels outside it
  int w = 0;              // drawing-area width + 1
  int h = 0;              // drawing-area height + 1
  int fillWidth = 0;      // right edge of the filled part; nothing is filled below 1
  GaugeRect fill;         // empty (right <= left) when nothing is filled
};

/// Where a gauge of `width` x `height` pixels draws at `percentDone` percent; `singleBorder`
/// is bsSingle, a one-pixel frame.
GaugeLayout ComputeGaugeLayout(int width, int height, bool singleBorder, int32_t percentDone);

/// "42%".
std::string GaugeText(int32_t percentDone);

struct GaugePoint {
  int x = 0;
  int y = 0;
  bool operator==(const GaugePoint&) const = default;
};

/// Top-left corner of the text cell, centred in W x H; may be negative when the cell is larger
/// than the gauge (the text is clipped to the drawing area then).
GaugePoint GaugeTextPosition(const GaugeLayout& layout, int textWidth, int textHeight);

}  // namespace installer
