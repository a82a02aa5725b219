// The gauge's range rules, its percentage and repaint decisions, and where it draws.
#include "ui/controls/GaugeLogic.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/Errors.h"

namespace installer {
namespace {

struct PercentCase {
  int32_t minValue;
  int32_t maxValue;
  int32_t progress;  // requested; the stored value may be clamped
  int32_t storedProgress;
  int32_t percent;
};

TEST(GaugeLogicTest, PercentDoneTruncatesAndProgressIsClamped) {
  const PercentCase cases[] = {
      {0, 200, 1, 1, 0},
      {0, 200, 101, 101, 50},
      {0, 3, 1, 1, 33},
      {0, 3, 2, 2, 66},
      {0, 200, -5, 0, 0},
      {0, 200, 500, 200, 100},
      {0, 0, 7, 0, 0},       // zero-width range
      {0, 0, -7, 0, 0},
      {-100, 100, 0, 0, 50},
      {10, 20, 19, 19, 90},
      // (Progress - MinValue) * 100 overflows 32 bits here.
      {0, 2147483647, 2147483646, 2147483646, 99},
      {-2147483647 - 1, 2147483647, 0, 0, 50},
      {-2147483647 - 1, 2147483647, 2147483647, 2147483647, 100},
  };
  for (const PercentCase& c : cases) {
    GaugeLogic gauge;
    // Order matters: a minimum above the default maximum 100 would be refused.
    gauge.SetMaxValue(c.maxValue);
    gauge.SetMinValue(c.minValue);
    gauge.SetProgress(c.progress);
    EXPECT_EQ(gauge.Progress(), c.storedProgress) << c.minValue << ".." << c.maxValue;
    EXPECT_EQ(gauge.PercentDone(), c.percent) << c.minValue << ".." << c.maxValue << " at "
                                              << c.progress;
  }
}

TEST(GaugeLogicTest, MovingABoundPastProgressTakesProgressAlong) {
  GaugeLogic gauge;
  gauge.SetMaxValue(200);
  gauge.SetProgress(150);
  EXPECT_TRUE(gauge.SetMaxValue(120));
  EXPECT_EQ(gauge.Progress(), 120);
  EXPECT_EQ(gauge.PercentDone(), 100);

  gauge.SetProgress(10);
  EXPECT_TRUE(gauge.SetMinValue(40));
  EXPECT_EQ(gauge.Progress(), 40);
  EXPECT_EQ(gauge.PercentDone(), 0);
}

struct RefusalCase {
  bool setMax;  // else MinValue
  int32_t minValue;
  int32_t maxValue;
  int32_t value;
  std::string message;
};

TEST(GaugeLogicTest, OutOfOrderRangeIsRefusedWithExactMessageAndNothingChanges) {
  const RefusalCase cases[] = {
      {true, 0, 100, -1, "Value must be between 1 and 2147483647"},
      {true, 50, 100, 10, "Value must be between 51 and 2147483647"},
      {true, -20, 100, -2147483647 - 1, "Value must be between -19 and 2147483647"},
      {false, 0, 100, 101, "Value must be between -2147483647 and 99"},
      {false, 0, 0, 1, "Value must be between -2147483647 and -1"},
      {false, -50, -10, 2147483647, "Value must be between -2147483647 and -11"},
  };
  for (const RefusalCase& c : cases) {
    GaugeLogic gauge;
    gauge.SetMinValue(c.minValue);  // both orders are valid from 0..100 for these ranges
    gauge.SetMaxValue(c.maxValue);
    gauge.SetProgress(c.minValue + 1);
    const int32_t progress = gauge.Progress();
    try {
      if (c.setMax) {
        gauge.SetMaxValue(c.value);
      } else {
        gauge.SetMinValue(c.value);
      }
      ADD_FAILURE() << "no refusal for " << c.value;
    } catch (const InstallError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_EQ(gauge.MinValue(), c.minValue);
    EXPECT_EQ(gauge.MaxValue(), c.maxValue);
    EXPECT_EQ(gauge.Progress(), progress);
  }
}

TEST(GaugeLogicTest, ProgressAsksForRepaintOnlyWhenThePercentageChanges) {
  GaugeLogic gauge;
  gauge.SetMaxValue(200);
  EXPECT_FALSE(gauge.SetProgress(1));    // 0 % still
  EXPECT_TRUE(gauge.SetProgress(2));     // 1 %
  EXPECT_FALSE(gauge.SetProgress(3));    // 1 %
  EXPECT_FALSE(gauge.SetProgress(3));    // unchanged
  EXPECT_TRUE(gauge.SetProgress(0));     // back to 0 %
  EXPECT_FALSE(gauge.SetProgress(-10));  // clamped to 0, as stored
  EXPECT_TRUE(gauge.SetProgress(1000));  // clamped to 200, 100 %
  EXPECT_FALSE(gauge.SetProgress(900));  // clamped to 200 again
}

TEST(GaugeLogicTest, TenThousandProgressStepsAskForOneRepaintPerPercent) {
  // What the copy loop does: the maximum once, then the position before every file.
  GaugeLogic gauge;
  gauge.SetMaxValue(123457);
  int repaints = 0;
  int32_t lastPercent = gauge.PercentDone();
  for (int32_t step = 1; step <= 10000; ++step) {
    const int32_t position = static_cast<int32_t>(int64_t{123457} * step / 10000);
    const bool repaint = gauge.SetProgress(position);
    EXPECT_EQ(repaint, gauge.PercentDone() != lastPercent) << "step " << step;
    lastPercent = gauge.PercentDone();
    if (repaint) ++repaints;
  }
  EXPECT_EQ(gauge.PercentDone(), 100);
  EXPECT_EQ(repaints, 100);  // one per percent from 1 to 100
}

TEST(GaugeLogicTest, RangeChangesAskForRepaintUnlessTheBoundIsTheSame) {
  GaugeLogic gauge;
  EXPECT_FALSE(gauge.SetMaxValue(100));
  EXPECT_FALSE(gauge.SetMinValue(0));
  gauge.SetProgress(50);
  // 50 of 0..100 and 50 of 0..99 are both 50 %, yet the bound changed: repaint all the same.
  EXPECT_TRUE(gauge.SetMaxValue(99));
  EXPECT_EQ(gauge.PercentDone(), 50);
  EXPECT_TRUE(gauge.SetMinValue(1));
}

TEST(GaugeLogicTest, LayoutOfTheInstallPageGauge) {
  const GaugeLayout layout = ComputeGaugeLayout(309, 14, true, 0);
  EXPECT_EQ(layout.drawingArea, (GaugeRect{1, 1, 308, 13}));
  EXPECT_EQ(layout.w, 308);
  EXPECT_EQ(layout.h, 13);

  const GaugeLayout frameless = ComputeGaugeLayout(309, 14, false, 0);
  EXPECT_EQ(frameless.drawingArea, (GaugeRect{0, 0, 309, 14}));
  EXPECT_EQ(frameless.w, 310);
  EXPECT_EQ(frameless.h, 15);
}

struct FillCase {
  int width;  // of the whole gauge, framed
  int32_t percent;
  int fillWidth;
};

TEST(GaugeLogicTest, FillWidthIsTruncatedExtendedProduct) {
  const FillCase cases[] = {
      {309, 0, 0},
      {309, 1, 3},
      {309, 50, 154},
      {309, 99, 304},
      {309, 100, 308},
      {309, 150, 308},  // cannot pass W
      // 0.01 in extended precision lies just below 0.01, so with W = 100 an exact product
      // falls one pixel short: double or integer arithmetic would give 5, 10 and 99.
      {101, 5, 4},
      {101, 10, 9},
      {101, 99, 98},
      {101, 50, 50},
      {101, 100, 100},
  };
  for (const FillCase& c : cases) {
    const GaugeLayout layout = ComputeGaugeLayout(c.width, 14, true, c.percent);
    EXPECT_EQ(layout.fillWidth, c.fillWidth) << "W " << layout.w << " at " << c.percent << "%";
    if (c.fillWidth >= 1) {
      EXPECT_EQ(layout.fill, (GaugeRect{1, 1, c.fillWidth, 13})) << c.percent << "%";
    } else {
      EXPECT_LE(layout.fill.right, layout.fill.left) << c.percent << "%";
    }
  }
  // 100 % covers the drawing area exactly.
  const GaugeLayout full = ComputeGaugeLayout(309, 14, true, 100);
  EXPECT_EQ(full.fill, full.drawingArea);
}

TEST(GaugeLogicTest, TextIsPercentageCentredWithDivisionTowardZero) {
  EXPECT_EQ(GaugeText(0), "0%");
  EXPECT_EQ(GaugeText(42), "42%");
  EXPECT_EQ(GaugeText(100), "100%");

  const GaugeLayout layout = ComputeGaugeLayout(309, 14, true, 42);
  // A 16-pixel Tahoma cell is taller than H = 13: (13 - 16) / 2 is -1, where flooring gives -2.
  EXPECT_EQ(GaugeTextPosition(layout, 24, 16), (GaugePoint{142, -1}));
  EXPECT_EQ(GaugeTextPosition(layout, 25, 12), (GaugePoint{141, 0}));
  const GaugeLayout narrow = ComputeGaugeLayout(6, 14, true, 0);  // W = 5
  EXPECT_EQ(GaugeTextPosition(narrow, 10, 13), (GaugePoint{-2, 0}));
}

}  // namespace
}  // namespace installer
