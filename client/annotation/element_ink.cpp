#include "client/annotation/element_ink.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace vzannotation {
namespace {

constexpr double kMaxInk = 9.0e18;  // below INT64_MAX, and a double holds it

double Length(vz::Point a, vz::Point b) {
  const double dx = static_cast<double>(int64_t{b.x} - a.x);
  const double dy = static_cast<double>(int64_t{b.y} - a.y);
  return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

int64_t InkOf(const CDrawElement& element) {
  const std::vector<vz::Point>& p = element.points;
  if (p.empty()) return 0;
  const double pen = std::max(1, element.weight);
  double ink = 0;
  if (element.kind() != CDrawElement::Kind::kPolyline) {
    if (p.size() < 2) return 0;
    const double width = std::abs(static_cast<double>(int64_t{p[1].x} - p[0].x));
    const double height = std::abs(static_cast<double>(int64_t{p[1].y} - p[0].y));
    ink = (2 * (width + height) + pen) * pen + (element.filled ? width * height : 0);
  } else {
    ink = pen * pen;  // the dot that starts every stroke
    for (size_t i = 1; i < p.size(); ++i) ink += (Length(p[i - 1], p[i]) + pen) * pen;
  }
  return static_cast<int64_t>(std::min(ink, kMaxInk));
}

}  // namespace vzannotation
