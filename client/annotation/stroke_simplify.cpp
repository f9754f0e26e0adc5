#include "client/annotation/stroke_simplify.h"

#include <cstdint>

namespace vzannotation {
namespace {

// Whether p lies on the segment a-b, ends included. Coordinates are peer
// values: differences are taken in 64 bits and their products in double,
// exact for the coordinates the overlay keeps (below 2^20).
bool OnSegment(vz::Point p, vz::Point a, vz::Point b) {
  const int64_t abx = int64_t{b.x} - a.x, aby = int64_t{b.y} - a.y;
  const int64_t apx = int64_t{p.x} - a.x, apy = int64_t{p.y} - a.y;
  const double cross = static_cast<double>(abx) * static_cast<double>(apy) -
                       static_cast<double>(aby) * static_cast<double>(apx);
  if (cross != 0.0) return false;
  const double dot = static_cast<double>(abx) * static_cast<double>(apx) +
                     static_cast<double>(aby) * static_cast<double>(apy);
  const double length2 = static_cast<double>(abx) * static_cast<double>(abx) +
                         static_cast<double>(aby) * static_cast<double>(aby);
  return dot >= 0.0 && dot <= length2;
}

}  // namespace

std::vector<vz::Point> SimplifyStroke(const std::vector<vz::Point>& points) {
  if (points.size() <= 2) return points;
  std::vector<vz::Point> kept;
  kept.push_back(points.front());
  // Every point dropped since the last kept one lies on the segment from it
  // to the point in hand, so checking the point in hand against the next
  // one is enough to keep that true.
  for (size_t i = 1; i + 1 < points.size(); ++i) {
    if (!OnSegment(points[i], kept.back(), points[i + 1])) kept.push_back(points[i]);
  }
  kept.push_back(points.back());
  return kept;
}

}  // namespace vzannotation
