#pragma once
// A set of pixels of the virtual screen, kept as horizontal bands of sorted,
// disjoint spans. The form is canonical (touching bands with equal spans are
// merged), so two regions covering the same pixels compare equal.
//
// Plain value type; not thread-safe.
#include <cstddef>
#include <utility>
#include <vector>

#include "contracts/capture_records.h"

class CScreenRegion {
 public:
  CScreenRegion() = default;
  // The pixels of `rect`; nothing when it has no positive width and height.
  explicit CScreenRegion(const VzRect& rect);

  // Empty means no pixel at all, whatever the region's history.
  bool IsEmpty() const { return bands_.empty(); }
  // The bounding box; {0, 0, 0, 0} when empty.
  VzRect Box() const;
  bool Contains(int x, int y) const;
  // Disjoint rectangles covering the region, top to bottom.
  std::vector<VzRect> Rects() const;

  void Union(const CScreenRegion& other);
  void Subtract(const CScreenRegion& other);
  void Intersect(const CScreenRegion& other);
  void Offset(int dx, int dy);
  void Clear() { bands_.clear(); }

  bool operator==(const CScreenRegion& other) const = default;

 private:
  using Span = std::pair<int, int>;  // [first, end)
  struct Band {
    int top = 0;
    int bottom = 0;  // exclusive
    std::vector<Span> spans;
    bool operator==(const Band&) const = default;
  };
  enum class Op { kUnion, kSubtract, kIntersect };

  static CScreenRegion Combine(const CScreenRegion& a, const CScreenRegion& b, Op op);
  // The spans of the band that covers row y, or null.
  static const std::vector<Span>* SpansAt(const std::vector<Band>& bands, size_t* cursor, int y);
  static std::vector<Span> CombineSpans(const std::vector<Span>* a, const std::vector<Span>* b, Op op);

  std::vector<Band> bands_;
};
