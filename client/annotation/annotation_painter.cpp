#include "client/annotation/annotation_painter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Pixel centres lie at half coordinates on the canvas; the elements' points
// name pixels, so a one-pixel line through a point covers that pixel.
constexpr double kCentre = 0.5;
// Four cubic arcs approximate an ellipse with this control distance.
constexpr double kKappa = 0.5522847498;
constexpr int64_t kAntiAliasReach = 2;

void AddEllipse(vz::Path& path, double left, double top, double width, double height) {
  const double rx = width / 2, ry = height / 2;
  const double cx = left + rx, cy = top + ry;
  const double ox = rx * kKappa, oy = ry * kKappa;
  path.MoveTo(cx + rx, cy);
  path.CurveTo(cx + rx, cy + oy, cx + ox, cy + ry, cx, cy + ry);
  path.CurveTo(cx - ox, cy + ry, cx - rx, cy + oy, cx - rx, cy);
  path.CurveTo(cx - rx, cy - oy, cx - ox, cy - ry, cx, cy - ry);
  path.CurveTo(cx + ox, cy - ry, cx + rx, cy - oy, cx + rx, cy);
  path.Close();
}

}  // namespace

vz::Color AnnotationColorToArgb(uint32_t color) {
  return (color & 0xFF000000u) | ((color & 0xFFu) << 16) | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
}

void PaintAnnotationElement(vz::Canvas& canvas, const CDrawElement& element) {
  const std::vector<vz::Point>& points = element.points;
  const CDrawElement::Kind kind = element.kind();
  vz::Path path;
  if (kind == CDrawElement::Kind::kRectangle || kind == CDrawElement::Kind::kEllipse) {
    if (points.size() < 2) return;
    const double left = std::min(points[0].x, points[1].x) + kCentre;
    const double top = std::min(points[0].y, points[1].y) + kCentre;
    const double width = std::abs(static_cast<double>(points[0].x) - points[1].x);
    const double height = std::abs(static_cast<double>(points[0].y) - points[1].y);
    if (kind == CDrawElement::Kind::kEllipse) {
      AddEllipse(path, left, top, width, height);
    } else {
      path.MoveTo(left, top);
      path.LineTo(left + width, top);
      path.LineTo(left + width, top + height);
      path.LineTo(left, top + height);
      path.Close();
    }
  } else {
    if (points.empty()) return;
    path.MoveTo(points[0].x - 1 + kCentre, points[0].y - 1 + kCentre);
    for (const vz::Point& p : points) path.LineTo(p.x + kCentre, p.y + kCentre);
    if (element.filled) path.Close();
  }
  const vz::Color color = AnnotationColorToArgb(element.color);
  if (element.filled) canvas.FillPath(path, color);
  vz::Pen pen;
  pen.color = color;
  pen.width = element.weight;
  pen.join = kind == CDrawElement::Kind::kPolyline ? vz::LineJoin::kRound : vz::LineJoin::kMiter;
  canvas.StrokePath(path, pen);
}

vz::Rect AnnotationPaintReach(const vz::Rect& bounds) {
  // The bounds hold the pen's reach; 2 more pixels cover anti-aliasing and
  // the dot that starts a one-pixel stroke.
  const auto out = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  return {out(bounds.left - kAntiAliasReach), out(bounds.top - kAntiAliasReach), out(bounds.right + kAntiAliasReach),
          out(bounds.bottom + kAntiAliasReach)};
}

int32_t PaintAnnotationElements(vz::Canvas& canvas, const CDrawObjects& objects) {
  const vz::Size size = canvas.size();
  const vz::Rect area = canvas.ClipBounds().Intersect({0, 0, size.width, size.height});
  if (area.IsEmpty()) return 0;
  canvas.ClearRect(area, 0x00000000);
  int32_t painted = 0;
  for (int32_t i = 0; i < objects.count(); ++i) {
    const CDrawElement& element = *objects.at(i);
    if (AnnotationPaintReach(element.getBounds()).Intersect(area).IsEmpty()) continue;
    PaintAnnotationElement(canvas, element);
    ++painted;
  }
  return painted;
}
