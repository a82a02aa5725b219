// The window outlines: which pixels of a page picture are opaque. The five main pictures share
// one outline so the install page keeps its shape when a finish picture replaces its picture;
// the folder chooser has a smaller one around its panel.
#pragma once

#include <vector>

#include "Canvas.h"

namespace assetgen {

constexpr int kPictureWidth = 819;
constexpr int kPictureHeight = 704;

/// The frame: a header band with an emblem disc at each end, above a body with rounded foot.
struct FrameGeometry {
  double emblemRadius, emblemLeftX, emblemRightX, emblemY;
  double bandX0, bandY0, bandX1, bandY1, bandRadius;
  double bodyX0, bodyY0, bodyX1, bodyY1, bodyRadius;
  // Pixels added beside the body's straight sides to reach an exact pixel count: the column
  // left of the body gets rows fixTop..fixTop+fixLeft-1, the column right of it the next fixRight.
  int fixTop = 0, fixLeft = 0, fixRight = 0;

  Shape Band() const;
  Shape Body() const;
  Shape LeftEmblem() const;
  Shape RightEmblem() const;
};

struct Outline {
  FrameGeometry frame;
  std::vector<bool> opaque;  // row-major, kPictureWidth x kPictureHeight

  bool Opaque(int x, int y) const { return opaque[size_t(y) * kPictureWidth + x]; }
};

/// Number of transparent pixels in the outline shared by the welcome, install, finish and exit
/// pictures; the windows' shape depends on it staying the same in all five.
constexpr int kSharedTransparentCount = 217497;

/// The shared outline: opaque pixels exactly fill columns 24..817 and rows 44..703 at their
/// extremes, and kSharedTransparentCount pixels are transparent.
Outline SharedOutline();

/// The folder chooser's outline, sized around its white panel (x 232..574, y 247..616).
Outline ChooserOutline();

}  // namespace assetgen
