// Page pictures composed into page images: a page that repaints part of itself composes into
// an image of that part alone and must get exactly the pixels the whole page would have there.
#include "ui/Picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace installer {
namespace {

constexpr int kPageWidth = 819;
constexpr int kPageHeight = 704;
constexpr uint32_t kUntouched = 0xFF000000u;  // no picture colour has a high byte

TEST(PictureTest, APartOfThePageGetsTheSamePixelsAsTheWholePage) {
  const Picture install = Picture::FromResource(L"INSTALL");
  const Picture finish = Picture::FromResource(L"FINISH5");
  const struct {
    const Picture* picture;
    RECT bounds;  // where the page places it
  } placements[] = {
      {&install, {0, 0, 819, 704}},           // the install page's picture
      {&finish, {0, 2, 819, 706}},            // the finish picture, two rows down
      {&finish, {179, 3, 179 + 77, 3 + 57}},  // shrunk into a small box
      {&install, {-30, 650, 789, 1354}},      // mostly beyond the page's edges
  };
  const RECT parts[] = {
      {284, 513, 615, 533},  // the file label
      {0, 0, 1, 1},          // corners
      {818, 703, 819, 704},
      {150, 0, 300, 80},     // across the shrunk picture's edges
      {0, 640, 819, 704},
      {0, 0, 819, 704},      // the whole page
  };
  for (const auto& placement : placements) {
    const RECT& b = placement.bounds;
    const int width = b.right - b.left;
    const int height = b.bottom - b.top;
    std::vector<uint32_t> page(static_cast<size_t>(kPageWidth) * kPageHeight, kUntouched);
    placement.picture->Compose(page.data(), kPageWidth, kPageHeight, b.left, b.top, width, height);
    int covered = 0;  // pixels of the parts that the picture paints at all
    for (const RECT& part : parts) {
      const int partWidth = part.right - part.left;
      const int partHeight = part.bottom - part.top;
      std::vector<uint32_t> image(static_cast<size_t>(partWidth) * partHeight, kUntouched);
      placement.picture->Compose(image.data(), partWidth, partHeight, b.left - part.left,
                                 b.top - part.top, width, height);
      int differing = 0;
      for (int y = 0; y < partHeight; ++y) {
        for (int x = 0; x < partWidth; ++x) {
          const uint32_t whole = page[static_cast<size_t>(part.top + y) * kPageWidth + part.left + x];
          if (image[static_cast<size_t>(y) * partWidth + x] != whole) ++differing;
          if (whole != kUntouched) ++covered;
        }
      }
      EXPECT_EQ(differing, 0) << "picture at " << b.left << "," << b.top << " " << width << "x"
                              << height << ", part " << part.left << "," << part.top << " "
                              << partWidth << "x" << partHeight;
    }
    EXPECT_GT(covered, 0) << "picture at " << b.left << "," << b.top;
  }
}

}  // namespace
}  // namespace installer
