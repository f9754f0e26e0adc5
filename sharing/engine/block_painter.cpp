#include "sharing/engine/block_painter.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <map>
#include <tuple>

#include "common/trace_client.h"

namespace {

int32_t WidthOf(const VzRect& rect) { return rect.right - rect.left; }
int32_t HeightOf(const VzRect& rect) { return rect.bottom - rect.top; }

uint64_t AreaOf(const VzRect& rect) {
  return static_cast<uint64_t>(WidthOf(rect)) * static_cast<uint64_t>(HeightOf(rect));
}

// The same picture at the same size: decoding one gives the other's pixels.
bool SamePicture(const CBlockPainter::Tile& a, const CBlockPainter::Tile& b) {
  return a.cache == b.cache && WidthOf(a.rect) == WidthOf(b.rect) && HeightOf(a.rect) == HeightOf(b.rect);
}

bool Holds(const VzRect& outer, const VzRect& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// Orders frames by address: any fixed order groups each frame's tiles.
bool FrameBefore(const CMonitorData* a, const CMonitorData* b) { return std::less<const CMonitorData*>()(a, b); }

}  // namespace

CBlockPainter::Counts CBlockPainter::Paint(const std::vector<Tile>& tiles, uint64_t budget_pixels) {
  Counts counts;
  if (tiles.empty()) return counts;
  MarkCovered(tiles, &counts);
  counts.overlapping = AnyOverlap(tiles);
  if (counts.overlapping) {
    PaintEach(tiles, budget_pixels, &counts);
  } else {
    PaintSharing(tiles, &counts);
  }
  return counts;
}

void CBlockPainter::MarkCovered(const std::vector<Tile>& tiles, Counts* counts) {
  skip_.assign(tiles.size(), 0);
  // Tiles of the same frame and rectangle: all but the last are painted over.
  source_.resize(tiles.size());
  for (uint32_t i = 0; i < tiles.size(); ++i) source_[i] = i;
  auto place = [&tiles](uint32_t i) {
    const VzRect& r = tiles[i].rect;
    return std::make_tuple(r.left, r.top, r.right, r.bottom);
  };
  std::sort(source_.begin(), source_.end(), [&](uint32_t a, uint32_t b) {
    if (tiles[a].frame != tiles[b].frame) return FrameBefore(tiles[a].frame, tiles[b].frame);
    if (place(a) != place(b)) return place(a) < place(b);
    return a < b;
  });
  for (size_t n = 0; n + 1 < source_.size(); ++n) {
    const uint32_t a = source_[n];
    const uint32_t b = source_[n + 1];
    if (tiles[a].frame == tiles[b].frame && place(a) == place(b)) skip_[a] = 1;
  }
  // Then from the last tile back, each against the largest later tiles.
  struct Kept {
    const CMonitorData* frame;
    VzRect rect;
    uint64_t area;
  };
  Kept largest[kLargestKept];
  size_t kept = 0;
  for (size_t n = tiles.size(); n-- > 0;) {
    const Tile& tile = tiles[n];
    if (skip_[n] == 0) {
      for (size_t k = 0; k < kept; ++k) {
        if (largest[k].frame == tile.frame && Holds(largest[k].rect, tile.rect)) {
          skip_[n] = 1;
          break;
        }
      }
    }
    if (skip_[n] != 0) {
      ++counts->covered;
      continue;
    }
    const uint64_t area = AreaOf(tile.rect);
    if (kept < kLargestKept) {
      largest[kept++] = Kept{tile.frame, tile.rect, area};
      continue;
    }
    size_t smallest = 0;
    for (size_t k = 1; k < kept; ++k) smallest = largest[k].area < largest[smallest].area ? k : smallest;
    if (area > largest[smallest].area) largest[smallest] = Kept{tile.frame, tile.rect, area};
  }
}

bool CBlockPainter::AnyOverlap(const std::vector<Tile>& tiles) {
  // A sweep from left to right over each frame: the rows the tiles crossing
  // the sweep line hold are disjoint until two tiles overlap, so each new
  // tile is checked against its neighbours among them only.
  edges_.clear();
  for (uint32_t i = 0; i < tiles.size(); ++i) {
    if (skip_[i] != 0) continue;
    edges_.push_back(Edge{tiles[i].frame, tiles[i].rect.left, true, i});
    edges_.push_back(Edge{tiles[i].frame, tiles[i].rect.right, false, i});
  }
  // Leaving before entering at the same x: tiles side by side touch, not overlap.
  std::sort(edges_.begin(), edges_.end(), [](const Edge& a, const Edge& b) {
    if (a.frame != b.frame) return FrameBefore(a.frame, b.frame);
    if (a.x != b.x) return a.x < b.x;
    return !a.enters && b.enters;
  });
  std::map<int32_t, int32_t> rows;  // top -> bottom of the tiles on the line
  const CMonitorData* frame = nullptr;
  for (const Edge& edge : edges_) {
    if (edge.frame != frame) {
      rows.clear();
      frame = edge.frame;
    }
    const VzRect& rect = tiles[edge.tile].rect;
    if (!edge.enters) {
      rows.erase(rect.top);
      continue;
    }
    auto next = rows.lower_bound(rect.top);
    if (next != rows.end() && next->first < rect.bottom) return true;
    if (next != rows.begin() && std::prev(next)->second > rect.top) return true;
    rows.emplace_hint(next, rect.top, rect.bottom);
  }
  return false;
}

void CBlockPainter::SortByPicture(const std::vector<Tile>& tiles) {
  source_.clear();
  for (uint32_t i = 0; i < tiles.size(); ++i) {
    if (skip_[i] == 0) source_.push_back(i);
  }
  std::sort(source_.begin(), source_.end(), [&](uint32_t a, uint32_t b) {
    if (!SamePicture(tiles[a], tiles[b])) {
      if (tiles[a].cache != tiles[b].cache) return std::less<const CCacheEntry*>()(tiles[a].cache, tiles[b].cache);
      return std::make_pair(WidthOf(tiles[a].rect), HeightOf(tiles[a].rect)) <
             std::make_pair(WidthOf(tiles[b].rect), HeightOf(tiles[b].rect));
    }
    return a < b;
  });
}

void CBlockPainter::PaintSharing(const std::vector<Tile>& tiles, Counts* counts) {
  SortByPicture(tiles);
  // No two tiles overlap: the first of a group keeps its pixels while the
  // others are copied from it, whatever the order.
  for (size_t n = 0; n < source_.size();) {
    const Tile& first = tiles[source_[n]];
    const bool painted = Decode(first);
    size_t end = n + 1;
    while (end < source_.size() && SamePicture(tiles[source_[end]], first)) ++end;
    if (!painted) {
      counts->failed += static_cast<int32_t>(end - n);
      n = end;
      continue;
    }
    ++counts->decoded;
    counts->painted_pixels += AreaOf(first.rect);
    const uint8_t* source = first.frame->BlockTarget(first.rect);
    for (size_t k = n + 1; k < end; ++k) {
      const Tile& copy = tiles[source_[k]];
      CopyRows(source, first.frame->Stride(), copy);
      ++counts->copied;
      counts->painted_pixels += AreaOf(copy.rect);
    }
    n = end;
  }
}

void CBlockPainter::PaintEach(const std::vector<Tile>& tiles, uint64_t budget_pixels, Counts* counts) {
  // Which tiles' picture a later tile names again: those are kept aside
  // once decoded (one picture at a time), and the later tiles copy it.
  SortByPicture(tiles);
  again_.assign(tiles.size(), 0);
  for (size_t n = 0; n + 1 < source_.size(); ++n) {
    if (SamePicture(tiles[source_[n]], tiles[source_[n + 1]])) again_[source_[n]] = 1;
  }
  const Tile* kept = nullptr;  // whose pixels `kept_pixels_` holds
  for (size_t n = 0; n < tiles.size(); ++n) {
    if (skip_[n] != 0) continue;
    const Tile& tile = tiles[n];
    const uint64_t area = AreaOf(tile.rect);
    if (area > budget_pixels - std::min(budget_pixels, counts->painted_pixels)) {
      if (counts->refused++ == 0) counts->first_refused = tile.block_index;
      continue;
    }
    counts->painted_pixels += area;
    const size_t row_bytes = static_cast<size_t>(WidthOf(tile.rect)) * 4;
    if (kept != nullptr && SamePicture(*kept, tile)) {
      CopyRows(kept_pixels_.data(), row_bytes, tile);
      ++counts->copied;
      continue;
    }
    if (!Decode(tile)) {
      ++counts->failed;
      continue;
    }
    ++counts->decoded;
    if (again_[n] == 0) continue;
    // Taken from the frame at once, before a later tile paints over it.
    kept_pixels_.resize(row_bytes * static_cast<size_t>(HeightOf(tile.rect)));
    const uint8_t* from = tile.frame->BlockTarget(tile.rect);
    for (int32_t y = 0; y < HeightOf(tile.rect); ++y) {
      std::memcpy(kept_pixels_.data() + row_bytes * static_cast<size_t>(y),
                  from + tile.frame->Stride() * static_cast<size_t>(y), row_bytes);
    }
    kept = &tile;
  }
  // A picture kept aside may be a whole monitor's: not held between drawings.
  std::vector<uint8_t>().swap(kept_pixels_);
}

void CBlockPainter::CopyRows(const uint8_t* source, size_t source_stride, const Tile& to) {
  uint8_t* target = to.frame->BlockTarget(to.rect);
  if (target == nullptr) return;
  const size_t row_bytes = static_cast<size_t>(WidthOf(to.rect)) * 4;
  for (int32_t y = 0; y < HeightOf(to.rect); ++y) {
    std::memcpy(target + to.frame->Stride() * static_cast<size_t>(y), source + source_stride * static_cast<size_t>(y),
                row_bytes);
  }
}

bool CBlockPainter::Decode(const Tile& tile) {
  const CCacheEntry& cache = *tile.cache;
  const CacheSlot& image = cache.Slots[0];
  if (codec_ == nullptr || image.Data == nullptr || image.Size == 0 || image.Size > INT_MAX) return false;
  // Decoded straight into the frame: no buffer per tile, no copy after.
  uint8_t* target = tile.frame->BlockTarget(tile.rect);
  if (target == nullptr) return false;
  const int width = tile.rect.right - tile.rect.left;
  const int height = tile.rect.bottom - tile.rect.top;
  size_t decoded_bytes = 0;
  const CCodecMgrWin::IntoResult result =
      codec_->DecompressRectInto(image.Data, static_cast<int>(image.Size), 32, target,
                                 static_cast<int>(tile.frame->Stride()), width, height, &decoded_bytes);
  if (result == CCodecMgrWin::kWrongSize) {
    VZ_LOG_ERROR("monitor [%d]: [%zu] decoded bytes for a block of [%zu].", tile.frame->MonitorId(), decoded_bytes,
                 static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    return false;
  }
  if (result != CCodecMgrWin::kDecodedInto) {
    VZ_LOG_ERROR("cache [%u] pduid [%u] does not decode; block left as it was.", cache.Index, cache.PduId);
    return false;
  }
  return true;
}
