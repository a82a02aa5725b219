// Gauge arithmetic. The fill width is worked out in x87 extended precision (long double on
// mingw-w64 and x86 Linux) so that the truncation lands on the same pixel at every percentage
// as the original drawing code, including the full bar at 100 %.
#include "ui/controls/GaugeLogic.h"

#include <cmath>
#include <limits>

#include "engine/Errors.h"

namespace installer {

namespace {

constexpr const char* kValueMustBeBetween = "Value must be between %d and %d";

// The refusal texts add to or take from a 32-bit bound; at the very end of the range that
// wraps as 32-bit arithmetic does, rather than being undefined.
int32_t Wrap32(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

}  // namespace

int32_t GaugeLogic::PercentDone() const {
  if (maxValue_ == minValue_) return 0;
  // (Progress - MinValue) * 100 needs up to 39 bits.
  const int64_t done = static_cast<int64_t>(progress_) - minValue_;
  const int64_t range = static_cast<int64_t>(maxValue_) - minValue_;
  return static_cast<int32_t>(done * 100 / range);
}

bool GaugeLogic::SetProgress(int32_t value) {
  const int32_t before = PercentDone();
  if (value < minValue_) value = minValue_;
  if (value > maxValue_) value = maxValue_;
  if (value == progress_) return false;
  progress_ = value;
  return PercentDone() != before;
}

bool GaugeLogic::SetMaxValue(int32_t value) {
  if (value == maxValue_) return false;
  if (value < minValue_) {
    throw InstallError(Format(kValueMustBeBetween, Wrap32(int64_t{minValue_} + 1),
                              std::numeric_limits<int32_t>::max()));
  }
  maxValue_ = value;
  if (progress_ > value) progress_ = value;
  return true;
}

bool GaugeLogic::SetMinValue(int32_t value) {
  if (value == minValue_) return false;
  if (value > maxValue_) {
    throw InstallError(Format(kValueMustBeBetween, -std::numeric_limits<int32_t>::max(),
                              Wrap32(int64_t{maxValue_} - 1)));
  }
  minValue_ = value;
  if (progress_ < value) progress_ = value;
  return true;
}

GaugeLayout ComputeGaugeLayout(int width, int height, bool singleBorder, int32_t percentDone) {
  GaugeLayout layout;
  const int inset = singleBorder ? 1 : 0;
  layout.drawingArea = {inset, inset, width - inset, height - inset};
  layout.w = layout.drawingArea.right - layout.drawingArea.left + 1;
  layout.h = layout.drawingArea.bottom - layout.drawingArea.top + 1;
  // Both products in extended precision; 0.01L is the extended constant, not a double.
  const long double fraction = static_cast<long double>(percentDone) * 0.01L;
  const long double exact = static_cast<long double>(layout.w) * fraction;
  const long double truncated = std::trunc(exact);
  layout.fillWidth = truncated > layout.w ? layout.w : static_cast<int>(truncated);
  if (layout.fillWidth >= 1) {
    layout.fill = {layout.drawingArea.left, layout.drawingArea.top, layout.fillWidth, layout.h};
  }
  return layout;
}

std::string GaugeText(int32_t percentDone) { return Format("%d%%", percentDone); }

GaugePoint GaugeTextPosition(const GaugeLayout& layout, int textWidth, int textHeight) {
  // C++ division truncates toward zero: a 16-pixel cell in H = 13 starts at y = -1, not -2.
  return {(layout.w - textWidth) / 2, (layout.h - textHeight) / 2};
}

}  // namespace installer
