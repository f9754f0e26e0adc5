#include "client/annotation/draw_element.h"

#include <algorithm>
#include <cmath>
#include <limits>

// The arrow outline truncates near-integers, so its points depend on exact
// single-precision rounding and evaluation order: this file is built with
// -ffp-contract=off (no fused multiply-add) and without fast-math.

namespace vzannotation {
namespace {

int32_t g_serial = 1;

constexpr int kHitPad = 3;
constexpr float kShapeThreshold = 3.0f;

int32_t Saturate(int64_t v) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// Truncation toward zero of a float stored as a coordinate; out-of-range and
// NaN values saturate instead of being undefined.
int32_t TruncToInt(float v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483520.0f) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}
int32_t TruncToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

float Distance(vz::Point a, vz::Point b) {
  const float dx = static_cast<float>(int64_t{b.x} - a.x);
  const float dy = static_cast<float>(int64_t{b.y} - a.y);
  return sqrtf(dx * dx + dy * dy);
}

vz::Rect BoxOf(vz::Point a, vz::Point b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// p inside the box padded by the hit distance: left and top inclusive,
// right and bottom exclusive.
bool InPaddedBox(vz::Point p, const vz::Rect& box) {
  const int64_t l = int64_t{box.left} - kHitPad;
  const int64_t t = int64_t{box.top} - kHitPad;
  const int64_t r = int64_t{box.right} + 2 * kHitPad;
  const int64_t b = int64_t{box.bottom} + 2 * kHitPad;
  return p.x >= l && p.x < r && p.y >= t && p.y < b;
}

float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

// P1 x (1 - r) + P0 x r when r lies in [0, 1]; otherwise the midpoint.
vz::Point Between(vz::Point p0, vz::Point p1, float r) {
  if (r >= 0.0f && r <= 1.0f) {
    const float x = static_cast<float>(p1.x) * (1.0f - r) + static_cast<float>(p0.x) * r;
    const float y = static_cast<float>(p1.y) * (1.0f - r) + static_cast<float>(p0.y) * r;
    return {TruncToInt(x), TruncToInt(y)};
  }
  const double x = (static_cast<double>(p0.x) + static_cast<double>(p1.x)) * 0.5;
  const double y = (static_cast<double>(p0.y) + static_cast<double>(p1.y)) * 0.5;
  return {TruncToInt(x), TruncToInt(y)};
}

// m +- k x (My - y1, x1 - Mx): the two points beside m across the axis to p1.
void Beside(vz::Point m, vz::Point p1, float k, vz::Point* plus, vz::Point* minus) {
  const float nx = static_cast<float>(int64_t{m.y} - p1.y);
  const float ny = static_cast<float>(int64_t{p1.x} - m.x);
  *plus = {TruncToInt(static_cast<float>(m.x) + k * nx), TruncToInt(static_cast<float>(m.y) + k * ny)};
  *minus = {TruncToInt(static_cast<float>(m.x) - k * nx), TruncToInt(static_cast<float>(m.y) - k * ny)};
}

}  // namespace

int32_t TakeDrawSerial() { return g_serial++; }
int32_t PeekDrawSerial() { return g_serial; }

vz::Rect PadRect(const vz::Rect& box, int64_t w) {
  return {Saturate(box.left - w), Saturate(box.top - w), Saturate(box.right + 2 * w), Saturate(box.bottom + 2 * w)};
}

std::vector<vz::Point> ArrowOutline(vz::Point p0, vz::Point p1) {
  const float length = Distance(p0, p1);
  const float a = Clamp(length / 15.0f, 2.0f, 10.0f);
  const float b = Clamp(length / 30.0f, 2.0f, 6.0f);
  const float c = Clamp(length * 0.125f, 2.0f, 25.0f);
  float h = 5.0f;
  float s = 6.0f;
  if (a * 6.0f > length) {
    const float t = length / a / 6.0f;
    h = 5.0f * t;
    s = 6.0f * t;
  }
  vz::Point q = p0;
  if (length != 0.0f) {
    const float k = (b / 2.0f) / length;
    q = {TruncToInt(static_cast<float>(p0.x) + k * static_cast<float>(int64_t{p0.y} - p1.y)),
         TruncToInt(static_cast<float>(p0.y) + k * static_cast<float>(int64_t{p1.x} - p0.x))};
  }
  const vz::Point m = Between(p0, p1, a * h / length);
  vz::Point w1 = m, w2 = m;
  const float d = Distance(m, p1);
  if (d != 0.0f) Beside(m, p1, (c / 2.0f) / d, &w1, &w2);
  const vz::Point n = Between(p0, p1, a * s / length);
  vz::Point b1 = n, b2 = n;
  const float e = Distance(n, p1);
  if (e != 0.0f) Beside(n, p1, (a * s / 2.0f) / e, &b1, &b2);
  return {w2, b2, p1, b1, w1, q};
}

bool SegmentsCross(vz::Point a, vz::Point b, vz::Point c, vz::Point d) {
  const int64_t bax = int64_t{b.x} - a.x, bay = int64_t{b.y} - a.y;
  const int64_t dcx = int64_t{d.x} - c.x, dcy = int64_t{d.y} - c.y;
  const int64_t acx = int64_t{a.x} - c.x, acy = int64_t{a.y} - c.y;
  // Differences of two 32-bit coordinates reach 2^32, so their products do
  // not fit 64-bit integers; the cross products are taken in double.
  const auto cross = [](int64_t p, int64_t q, int64_t r, int64_t s) {
    return static_cast<double>(p) * static_cast<double>(q) - static_cast<double>(r) * static_cast<double>(s);
  };
  const float den = static_cast<float>(cross(bax, dcy, dcx, bay));
  if (den == 0.0f) return false;
  const float u = static_cast<float>(cross(acy, dcx, acx, dcy)) / den;
  const float v = static_cast<float>(cross(acy, bax, acx, bay)) / den;
  return u >= 0.0f && u <= 1.0f && v >= 0.0f && v <= 1.0f;
}

bool NearSegment(vz::Point p, vz::Point a, vz::Point b) {
  if (!InPaddedBox(p, BoxOf(a, b))) return false;
  const vz::Point tl{Saturate(int64_t{p.x} - kHitPad), Saturate(int64_t{p.y} - kHitPad)};
  const vz::Point br{Saturate(int64_t{p.x} + kHitPad), Saturate(int64_t{p.y} + kHitPad)};
  const vz::Point bl{tl.x, br.y};
  const vz::Point tr{br.x, tl.y};
  return SegmentsCross(a, b, tl, br) || SegmentsCross(a, b, bl, tr);
}

}  // namespace vzannotation

using vzannotation::PadRect;

CDrawElement::CDrawElement(const std::vector<vz::Point>& points_in, uint32_t color_in, int32_t weight_in,
                           bool filled_in, const std::string& roster_id)
    : color(color_in),
      weight(weight_in),
      filled(filled_in),
      rosterId(roster_id),
      points(points_in),
      elementId(vzannotation::TakeDrawSerial()) {}

CDrawElement::CDrawElement(const CDrawElement& other, bool /*keep_id*/)
    : color(other.color),
      weight(other.weight),
      filled(other.filled),
      rosterId(other.rosterId),
      points(other.points),
      elementId(other.elementId) {}

std::unique_ptr<CDrawElement> CDrawElement::clone() const {
  return std::unique_ptr<CDrawElement>(new CDrawElement(*this, true));
}

vz::Rect CDrawElement::appendPoint(vz::Point point) {
  const vz::Point previous = points.empty() ? point : points.back();
  points.push_back(point);
  return PadRect(vzannotation::BoxOf(previous, point), weight);
}

vz::Rect CDrawElement::addPoint(vz::Point point) { return appendPoint(point); }

vz::Rect CDrawElement::getBounds() const {
  if (points.empty()) return {};
  vz::Rect box{points[0].x, points[0].y, points[0].x, points[0].y};
  for (const vz::Point& p : points) {
    box.left = std::min(box.left, p.x);
    box.top = std::min(box.top, p.y);
    box.right = std::max(box.right, p.x);
    box.bottom = std::max(box.bottom, p.y);
  }
  return PadRect(box, weight);
}

bool CDrawElement::hitTest(vz::Point point) const {
  for (size_t i = 1; i < points.size(); ++i) {
    if (vzannotation::NearSegment(point, points[i - 1], points[i])) return true;
  }
  return false;
}

vz::Rect CDrawLine::addPoint(vz::Point point) {
  const vz::Rect old = getBounds();
  if (points.size() > 1) points.resize(1);
  return old.Union(appendPoint(point));
}

vz::Rect CDrawArrow::addPoint(vz::Point point) {
  const vz::Rect old = getBounds();
  if (points.size() > 1) points.resize(1);
  if (points.empty()) return appendPoint(point);
  if (vzannotation::kShapeThreshold > vzannotation::Distance(points[0], point)) return old;
  const std::vector<vz::Point> outline = vzannotation::ArrowOutline(points[0], point);
  points.insert(points.end(), outline.begin(), outline.end());
  return old.Union(getBounds());
}

std::unique_ptr<CDrawElement> CDrawRectangle::clone() const {
  return std::unique_ptr<CDrawElement>(new CDrawRectangle(*this, true));
}

vz::Rect CDrawRectangle::addPoint(vz::Point point) {
  const vz::Rect old = getBounds();
  if (points.size() > 1) points.resize(1);
  if (points.empty()) return appendPoint(point);
  if (vzannotation::kShapeThreshold > vzannotation::Distance(points[0], point)) return old;
  return old.Union(appendPoint(point));
}

vz::Rect CDrawRectangle::box() const { return vzannotation::BoxOf(points[0], points[1]); }

bool CDrawRectangle::hitTest(vz::Point point) const {
  if (points.size() < 2) return false;
  const vz::Rect r = box();
  if (filled) return point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom;
  const vz::Point tl{r.left, r.top}, bl{r.left, r.bottom}, br{r.right, r.bottom}, tr{r.right, r.top};
  using vzannotation::NearSegment;
  return NearSegment(point, tl, bl) || NearSegment(point, bl, br) || NearSegment(point, br, tr) ||
         NearSegment(point, tr, tl);
}

std::unique_ptr<CDrawElement> CDrawEllipse::clone() const {
  return std::unique_ptr<CDrawElement>(new CDrawEllipse(*this, true));
}

bool CDrawEllipse::hitTest(vz::Point point) const {
  if (points.size() < 2) return false;
  const vz::Rect r = box();
  if (!vzannotation::InPaddedBox(point, r)) return false;
  const int64_t width = int64_t{r.right} - r.left;
  const int64_t height = int64_t{r.bottom} - r.top;
  if (width < 6 || height < 6) return true;
  const int64_t a = width / 2;
  const int64_t b = height / 2;
  const int64_t dx = point.x - (r.left + a);
  const int64_t dy = point.y - (r.top + b);
  const float q = static_cast<float>(dx * dx) / static_cast<float>(a * a) +
                  static_cast<float>(dy * dy) / static_cast<float>(b * b);
  if (filled) return q < 1.02f;
  return q > 0.95f && q < 1.04f;
}
