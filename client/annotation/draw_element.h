#pragma once
// The annotation elements: freehand strokes, lines, arrows, rectangles and
// ellipses in the overlay's window coordinates. Each grows from points
// (returning the area it changed), reports its bounds and tells whether a
// point lies on it (the erasers).
//
// Rectangles follow the system's convention (right and bottom outside); a
// rectangle with a width or height below 1 is empty, and "nothing changed"
// is the all-zero rectangle. Arithmetic on coordinates and weights is done
// in 64 bits and saturated, so values from peers cannot overflow it.
// UI thread only (the serial counter is not locked).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ui_types.h"

namespace vzannotation {

// The process-wide serial counter: element ids and undo group numbers come
// from it. Starts at 1; returns the current value and increments it.
int32_t TakeDrawSerial();
// The value the next TakeDrawSerial returns.
int32_t PeekDrawSerial();

// The outline of an arrow from `p0` to the tip `p1`: W2, B2, P1, B1, W1, Q
// (single precision, each coordinate truncated toward zero).
std::vector<vz::Point> ArrowOutline(vz::Point p0, vz::Point p1);

// Whether the segment a-b crosses the segment c-d (end points included).
bool SegmentsCross(vz::Point a, vz::Point b, vz::Point c, vz::Point d);
// Whether p is within the hit distance (3) of the segment a-b.
bool NearSegment(vz::Point p, vz::Point a, vz::Point b);
// The box (l, t, r, b) padded to (l - w, t - w, r + 2w, b + 2w), saturated.
vz::Rect PadRect(const vz::Rect& box, int64_t w);

}  // namespace vzannotation

class CDrawElement {
 public:
  CDrawElement(const std::vector<vz::Point>& points, uint32_t color, int32_t weight, bool filled,
               const std::string& roster_id);
  virtual ~CDrawElement() = default;

  // A copy with the same fields and id, undo fields reset; rectangles and
  // ellipses keep their kind, every other kind becomes the base kind (which
  // draws and hit-tests as a stroke, line or arrow). The counter is untouched.
  virtual std::unique_ptr<CDrawElement> clone() const;
  // Extends the element; returns the area to repaint.
  virtual vz::Rect addPoint(vz::Point point);
  // The box of all points padded by the weight; all-zero without points.
  virtual vz::Rect getBounds() const;
  virtual bool hitTest(vz::Point point) const;

  // What the painter needs to know of the kind.
  enum class Kind { kPolyline, kRectangle, kEllipse };
  virtual Kind kind() const { return Kind::kPolyline; }

  uint32_t color;  // 0xAABBGGRR
  int32_t weight;
  bool filled;
  std::string rosterId;
  std::vector<vz::Point> points;
  int32_t undoAction = 0;
  int32_t undoGroup = -1;
  // In a history: the points of the records before this one since the
  // history began (for its limit, without a walk).
  int64_t undoPointsBefore = 0;
  int32_t elementId;

 protected:
  // A copy keeping the id (clone).
  CDrawElement(const CDrawElement& other, bool keep_id);
  // Appends the point; the damage is the new segment's box padded by the weight.
  vz::Rect appendPoint(vz::Point point);
};

class CDrawPoints : public CDrawElement {
 public:
  using CDrawElement::CDrawElement;
};

class CDrawLine : public CDrawElement {
 public:
  using CDrawElement::CDrawElement;
  vz::Rect addPoint(vz::Point point) override;
};

class CDrawArrow : public CDrawElement {
 public:
  using CDrawElement::CDrawElement;
  vz::Rect addPoint(vz::Point point) override;
};

class CDrawRectangle : public CDrawElement {
 public:
  using CDrawElement::CDrawElement;
  std::unique_ptr<CDrawElement> clone() const override;
  vz::Rect addPoint(vz::Point point) override;
  bool hitTest(vz::Point point) const override;
  Kind kind() const override { return Kind::kRectangle; }

 protected:
  CDrawRectangle(const CDrawRectangle& other, bool keep_id) : CDrawElement(other, keep_id) {}
  // The box of the first two points (smaller to larger coordinates).
  vz::Rect box() const;
};

class CDrawEllipse : public CDrawRectangle {
 public:
  using CDrawRectangle::CDrawRectangle;
  std::unique_ptr<CDrawElement> clone() const override;
  bool hitTest(vz::Point point) const override;
  Kind kind() const override { return Kind::kEllipse; }
};
