#include <gtest/gtest.h>

#include <string>

#include "ui/PageFlow.h"

namespace installer {
namespace {

TEST(PageFlowTest, ChooserParentCutsTheProductFolderOff) {
  const std::string product = "Telmorquistane";
  std::string persianParent = "C:\\" + std::string(60, 'a') + "\\";
  for (int i = 0; i < 60; ++i) persianParent += "ی";
  persianParent += "\\";
  const struct {
    std::string path;
    std::string parent;
  } cases[] = {
      {"C:\\Telmorquistane", "C:\\"},
      {"D:\\Apps\\Telmorquistane", "D:\\Apps\\"},
      {"E:\\Games\\OtherName", "E:\\G"},  // the last 14 characters go, whatever they are
      {"E:\\Games\\Other", ""},          // exactly 14 characters: nothing is left
      {"C:\\x", "C:\\x"},            // shorter than the name: the position wraps past the end
      {"", ""},
      // Persian folders are two bytes a letter; the cut counts the product folder's bytes.
      {"C:\\کتابخانه\u200Cی مهدی\\Telmorquistane", "C:\\کتابخانه\u200Cی مهدی\\"},
      {persianParent + "Telmorquistane", persianParent},  // 137 characters, 197 bytes
  };
  for (const auto& c : cases) EXPECT_EQ(ChooserParent(c.path, product), c.parent) << c.path;
}

// regression: with 8-bit position and count, a path longer than 255 characters was cut at a
// wrapped position.
TEST(PageFlowTest, ChooserParentOfAVeryLongPath) {
  const std::string deep = "C:\\" + std::string(300, 'd') + "\\";
  EXPECT_EQ(ChooserParent(deep + "Telmorquistane", "Telmorquistane"), deep);
  const std::string edge = "C:\\" + std::string(238, 'e') + "\\";  // 242 + 14 = 256 characters
  EXPECT_EQ(ChooserParent(edge + "Telmorquistane", "Telmorquistane"), edge);
}

TEST(PageFlowTest, ChosenTargetPathHasOneBackslash) {
  EXPECT_EQ(ChosenTargetPath("C:\\", "Telmorquistane"), "C:\\Telmorquistane");
  EXPECT_EQ(ChosenTargetPath("D:\\Games", "Telmorquistane"), "D:\\Games\\Telmorquistane");
  EXPECT_EQ(ChosenTargetPath("D:\\Games\\", "Telmorquistane"), "D:\\Games\\Telmorquistane");
  EXPECT_EQ(ChosenTargetPath("C:\\بازی", "Telmorquistane"), "C:\\بازی\\Telmorquistane");
}

TEST(PageFlowTest, FinishPictureByMajorVersionAndCentring) {
  EXPECT_FALSE(UsesNewFinishPicture(4));
  EXPECT_FALSE(UsesNewFinishPicture(5));
  EXPECT_TRUE(UsesNewFinishPicture(6));
  EXPECT_TRUE(UsesNewFinishPicture(10));
  // 824- and 819-pixel pages on an even desktop: the pictures land on the same pixels.
  EXPECT_EQ(CentredPosition(1280, 824) + 2, CentredPosition(1280, 819) - 0);
  EXPECT_EQ(CentredPosition(1024, 704), 160);
  EXPECT_EQ(CentredPosition(600, 704), -52);
}

TEST(PageFlowTest, FileLabelRepaintsAtMostEveryIntervalExceptForFilesThatTakeLonger) {
  const struct {
    int32_t previous, progress;
    uint32_t now, lastRepaint, copyStart;
    bool repaint;
  } cases[] = {
      // The pace: at most one repaint every 100 ms while small files go by.
      {0, 4, 1000, 990, 990, false},     // a small file 10 ms after the last repaint
      {0, 4, 1000, 901, 901, false},     // 99 ms
      {0, 4, 1000, 900, 900, true},      // 100 ms: time for the next one
      {0, 4, 1000, 0, 0, true},          // the first file of the run
      {5, 5, 1000, 995, 0, false},       // a file that adds nothing to the gauge
      {0, 4, 83, 0xFFFFFFF0u, 0xFFFFFFF0u, false},  // across the clock's wrap: 99 ms later
      {0, 4, 84, 0xFFFFFFF0u, 0xFFFFFFF0u, true},   // is not due, 100 ms later is
      // Nothing done yet: the file's size decides.
      {0, 63, 1000, 999, 999, false},
      {0, 64, 1000, 999, 999, true},
      // A copy from a disc, 1,000 units (1 MB) in 500 ms: a 198-unit file takes 99 ms and
      // waits its turn, a 200-unit one takes 100 ms and shows its name at once.
      {1000, 1198, 1500, 1490, 1000, false},
      {1000, 1200, 1500, 1490, 1000, true},
      // From a fast disk, 100,000 units in 1,000 ms: even a 9,900-unit file takes 99 ms.
      {100000, 109900, 2000, 1990, 1000, false},
      {100000, 110000, 2000, 1990, 1000, true},
      // A clock that has not moved since the copy started counts as 1 ms.
      {100, 10100, 1000, 1000, 1000, true},
      {100, 10099, 1000, 1000, 1000, false},
      // The pace across the clock's wrap, and a jump near the top of the range.
      {1000, 1200, 0x000001F0u, 0x000001E0u, 0xFFFFFFFCu, true},
      {2147483000, 2147483647, 7, 6, 0, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RepaintFileLabelNow(c.previous, c.progress, c.now, c.lastRepaint, c.copyStart),
              c.repaint)
        << c.previous << " -> " << c.progress << " at " << c.now << ", last " << c.lastRepaint
        << ", copy from " << c.copyStart;
  }
}

// GetQueueStatus(QS_ALLINPUT) as the page gets it: changed bits in the high word, waiting
// bits in the low one (QS_KEY 0x01, QS_POSTMESSAGE 0x08, QS_TIMER 0x10, QS_PAINT 0x20).
TEST(PageFlowTest, MessagesAreDispatchedWhenAnyWaitOrTheIntervalHasPassed) {
  constexpr uint32_t kKeyArrived = 0x00010001;
  constexpr uint32_t kPaintWaits = 0x0020;  // seen before, still there
  constexpr uint32_t kPostedSinceLastQuestion = 0x00080000;
  constexpr uint32_t kTimerWaits = 0x0010;
  const struct {
    uint32_t status, now, last;
    bool dispatch;
  } cases[] = {
      {0, 1000, 995, false},                  // nothing, 5 ms after the last dispatching
      {0, 1000, 961, false},                  // 39 ms
      {0, 1000, 960, true},                   // 40 ms: time to fetch what the display holds
      {kKeyArrived, 1000, 999, true},         // a key waits
      {kPaintWaits, 1000, 1000, true},        // a repaint waits
      {kPostedSinceLastQuestion, 1000, 1000, true},
      {kTimerWaits, 1000, 1000, true},
      {0, 33, 0xFFFFFFFAu, false},            // across the clock's wrap: 39 ms later is not due,
      {0, 34, 0xFFFFFFFAu, true},             // 40 ms later is
      {0, 1000, 0, true},                     // the first file of a run
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DispatchMessagesNow(c.status, c.now, c.last), c.dispatch)
        << std::hex << c.status << std::dec << " at " << c.now << ", last " << c.last;
  }
}

}  // namespace
}  // namespace installer
