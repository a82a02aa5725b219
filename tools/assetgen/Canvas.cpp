// Anti-aliased shape filling on a floating-point RGB surface.
#include "Canvas.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

Rgb Mix(Rgb a, Rgb b, double t) {
  return Rgb{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Canvas::Canvas(int width, int height, Rgb fill)
    : width_(width), height_(height), pixels_(size_t(width) * height, fill), clip_{0, 0, width, height} {}

void Canvas::Blend(int x, int y, Rgb c, double a) {
  if (x < clip_.x0 || y < clip_.y0 || x >= clip_.x1 || y >= clip_.y1 || a <= 0) return;
  Rgb& p = pixels_[size_t(y) * width_ + x];
  p = Mix(p, c, std::min(a, 1.0));
}

void Canvas::FillShape(const Shape& shape, Box box, const Paint& paint) {
  constexpr int kSub = 4;
  const int x0 = std::max(box.x0, 0), y0 = std::max(box.y0, 0);
  const int x1 = std::min(box.x1, width_), y1 = std::min(box.y1, height_);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      int hits = 0;
      for (int sy = 0; sy < kSub; ++sy)
        for (int sx = 0; sx < kSub; ++sx)
          if (shape(x + (sx + 0.5) / kSub, y + (sy + 0.5) / kSub)) ++hits;
      if (hits) Blend(x, y, paint(x + 0.5, y + 0.5), double(hits) / (kSub * kSub));
    }
  }
}

void Canvas::FillShape(const Shape& shape, Box box, Rgb colour) {
  FillShape(shape, box, [colour](double, double) { return colour; });
}

Shape RoundRect(double x0, double y0, double x1, double y1, double radius) {
  return [=](double x, double y) {
    if (x < x0 || x >= x1 || y < y0 || y >= y1) return false;
    const double cx = std::clamp(x, x0 + radius, x1 - radius);
    const double cy = std::clamp(y, y0 + radius, y1 - radius);
    const double dx = x - cx, dy = y - cy;
    return dx * dx + dy * dy <= radius * radius;
  };
}

Shape Disc(double cx, double cy, double radius) {
  return [=](double x, double y) {
    const double dx = x - cx, dy = y - cy;
    return dx * dx + dy * dy <= radius * radius;
  };
}

Shape Ring(double cx, double cy, double inner, double outer) {
  return [=](double x, double y) {
    const double d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
    return d <= outer * outer && d >= inner * inner;
  };
}

Shape Capsule(double ax, double ay, double bx, double by, double width) {
  return [=](double x, double y) {
    const double vx = bx - ax, vy = by - ay;
    const double len2 = vx * vx + vy * vy;
    double t = len2 > 0 ? ((x - ax) * vx + (y - ay) * vy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double dx = x - (ax + t * vx), dy = y - (ay + t * vy);
    return dx * dx + dy * dy <= width * width / 4;
  };
}

Shape Polygon(std::vector<std::pair<double, double>> points) {
  return [points = std::move(points)](double x, double y) {
    bool inside = false;
    for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
      const auto [xi, yi] = points[i];
      const auto [xj, yj] = points[j];
      if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
    }
    return inside;
  };
}

Shape Minus(Shape a, Shape b) {
  return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) && !b(x, y); };
}

Shape Union(Shape a, Shape b) {
  return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) || b(x, y); };
}

Shape RoundRectStroke(double x0, double y0, double x1, double y1, double radius, double width) {
  return Minus(RoundRect(x0, y0, x1, y1, radius),
               RoundRect(x0 + width, y0 + width, x1 - width, y1 - width, std::max(radius - width, 0.0)));
}

Paint VerticalGradient(double y0, Rgb top, double y1, Rgb bottom) {
  return [=](double, double y) { return Mix(top, bottom, std::clamp((y - y0) / (y1 - y0), 0.0, 1.0)); };
}

}  // namespace assetgen
