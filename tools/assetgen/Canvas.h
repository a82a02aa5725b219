// An RGB drawing surface in floating point with anti-aliased shape filling, on which the page
// pictures are painted before they are reduced to a 256-colour palette.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace assetgen {

struct Rgb {
  double r = 0, g = 0, b = 0;
};

constexpr Rgb RgbOf(uint32_t hex) {
  return Rgb{double((hex >> 16) & 0xFF), double((hex >> 8) & 0xFF), double(hex & 0xFF)};
}

Rgb Mix(Rgb a, Rgb b, double t);

/// A box in pixel coordinates: the pixels x0..x1-1, y0..y1-1.
struct Box {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

/// A point-in-shape test in continuous coordinates; pixel (x, y) covers [x, x+1) x [y, y+1).
using Shape = std::function<bool(double x, double y)>;

/// A colour that may vary over the surface (gradients).
using Paint = std::function<Rgb(double x, double y)>;

class Canvas {
 public:
  Canvas(int width, int height, Rgb fill);

  int Width() const { return width_; }
  int Height() const { return height_; }
  Rgb At(int x, int y) const { return pixels_[size_t(y) * width_ + x]; }
  void Set(int x, int y, Rgb c) { pixels_[size_t(y) * width_ + x] = c; }

  /// Blends colour c over pixel (x, y) with coverage a in 0..1; pixels outside the surface or
  /// the clip box are left alone.
  void Blend(int x, int y, Rgb c, double a);

  /// Limits drawing to a box until ClearClip.
  void SetClip(Box box) { clip_ = box; }
  void ClearClip() { clip_ = Box{0, 0, width_, height_}; }

  /// Fills the shape within box, with 4 x 4 samples per pixel for smooth edges.
  void FillShape(const Shape& shape, Box box, const Paint& paint);
  void FillShape(const Shape& shape, Box box, Rgb colour);

 private:
  int width_, height_;
  std::vector<Rgb> pixels_;
  Box clip_;
};

// Shapes used by the pictures. Coordinates are continuous; a rectangle [x0, x1) x [y0, y1).
Shape RoundRect(double x0, double y0, double x1, double y1, double radius);
Shape Disc(double cx, double cy, double radius);
Shape Ring(double cx, double cy, double inner, double outer);
/// A line segment of the given width with round ends.
Shape Capsule(double ax, double ay, double bx, double by, double width);
/// A filled polygon (even-odd rule).
Shape Polygon(std::vector<std::pair<double, double>> points);
Shape Minus(Shape a, Shape b);
Shape Union(Shape a, Shape b);

/// The frame of a rounded rectangle: the band between the outer shape and the shape inset by width.
Shape RoundRectStroke(double x0, double y0, double x1, double y1, double radius, double width);

/// A vertical linear gradient from top colour at y0 to bottom colour at y1.
Paint VerticalGradient(double y0, Rgb top, double y1, Rgb bottom);

}  // namespace assetgen
