#include "capture/monitors/screen_region.h"

#include <algorithm>
#include <climits>

CScreenRegion::CScreenRegion(const VzRect& rect) {
  if (rect.right > rect.left && rect.bottom > rect.top)
    bands_.push_back({rect.top, rect.bottom, {{rect.left, rect.right}}});
}

VzRect CScreenRegion::Box() const {
  if (bands_.empty()) return {0, 0, 0, 0};
  int left = INT_MAX, right = INT_MIN;
  for (const Band& band : bands_) {
    left = std::min(left, band.spans.front().first);
    right = std::max(right, band.spans.back().second);
  }
  return {left, bands_.front().top, right, bands_.back().bottom};
}

bool CScreenRegion::Contains(int x, int y) const {
  for (const Band& band : bands_) {
    if (y < band.top) return false;
    if (y >= band.bottom) continue;
    for (const Span& span : band.spans)
      if (x >= span.first && x < span.second) return true;
    return false;
  }
  return false;
}

std::vector<VzRect> CScreenRegion::Rects() const {
  std::vector<VzRect> rects;
  for (const Band& band : bands_)
    for (const Span& span : band.spans) rects.push_back({span.first, band.top, span.second, band.bottom});
  return rects;
}

void CScreenRegion::Union(const CScreenRegion& other) { *this = Combine(*this, other, Op::kUnion); }
void CScreenRegion::Subtract(const CScreenRegion& other) { *this = Combine(*this, other, Op::kSubtract); }
void CScreenRegion::Intersect(const CScreenRegion& other) { *this = Combine(*this, other, Op::kIntersect); }

void CScreenRegion::Offset(int dx, int dy) {
  for (Band& band : bands_) {
    band.top += dy;
    band.bottom += dy;
    for (Span& span : band.spans) {
      span.first += dx;
      span.second += dx;
    }
  }
}

const std::vector<CScreenRegion::Span>* CScreenRegion::SpansAt(const std::vector<Band>& bands, size_t* cursor,
                                                                 int y) {
  // Rows are visited in increasing order, so the cursor only moves forward.
  while (*cursor < bands.size() && bands[*cursor].bottom <= y) ++*cursor;
  if (*cursor < bands.size() && bands[*cursor].top <= y) return &bands[*cursor].spans;
  return nullptr;
}

std::vector<CScreenRegion::Span> CScreenRegion::CombineSpans(const std::vector<Span>* a, const std::vector<Span>* b,
                                                             Op op) {
  static const std::vector<Span> kNone;
  const std::vector<Span>& sa = a ? *a : kNone;
  const std::vector<Span>& sb = b ? *b : kNone;
  std::vector<int> edges;
  edges.reserve(2 * (sa.size() + sb.size()));
  for (const Span& s : sa) edges.insert(edges.end(), {s.first, s.second});
  for (const Span& s : sb) edges.insert(edges.end(), {s.first, s.second});
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

  std::vector<Span> out;
  size_t ia = 0, ib = 0;
  for (size_t i = 0; i + 1 < edges.size(); ++i) {
    const int x = edges[i];
    while (ia < sa.size() && sa[ia].second <= x) ++ia;
    while (ib < sb.size() && sb[ib].second <= x) ++ib;
    const bool in_a = ia < sa.size() && sa[ia].first <= x;
    const bool in_b = ib < sb.size() && sb[ib].first <= x;
    bool in = false;
    switch (op) {
      case Op::kUnion: in = in_a || in_b; break;
      case Op::kSubtract: in = in_a && !in_b; break;
      case Op::kIntersect: in = in_a && in_b; break;
    }
    if (!in) continue;
    if (!out.empty() && out.back().second == x)
      out.back().second = edges[i + 1];
    else
      out.push_back({x, edges[i + 1]});
  }
  return out;
}

CScreenRegion CScreenRegion::Combine(const CScreenRegion& a, const CScreenRegion& b, Op op) {
  std::vector<int> rows;
  rows.reserve(2 * (a.bands_.size() + b.bands_.size()));
  for (const Band& band : a.bands_) rows.insert(rows.end(), {band.top, band.bottom});
  for (const Band& band : b.bands_) rows.insert(rows.end(), {band.top, band.bottom});
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

  CScreenRegion result;
  size_t ca = 0, cb = 0;
  for (size_t i = 0; i + 1 < rows.size(); ++i) {
    const int top = rows[i], bottom = rows[i + 1];
    std::vector<Span> spans = CombineSpans(SpansAt(a.bands_, &ca, top), SpansAt(b.bands_, &cb, top), op);
    if (spans.empty()) continue;
    std::vector<Band>& out = result.bands_;
    if (!out.empty() && out.back().bottom == top && out.back().spans == spans)
      out.back().bottom = bottom;
    else
      out.push_back({top, bottom, std::move(spans)});
  }
  return result;
}
