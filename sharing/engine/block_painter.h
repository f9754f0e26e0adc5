#pragma once
// Paints one drawing of the attendee's pending blocks: each tile (a JPEG
// cache at a block's rectangle of a frame) is painted in the order given,
// later tiles over earlier ones, and the frames end up as if every tile had
// been decoded on its own. What a drawing costs follows what it shows, not
// how often its blocks name a picture:
// - a tile that a later tile of the same frame covers wholly is not painted
//   (it would be painted over); looked for among the tiles of the same
//   rectangle and the largest later ones, so the look costs little;
// - when no two tiles left overlap (an honest message: each cell once), a
//   picture named by several tiles of one size is decoded once, into the
//   first, and copied from there into the others;
// - when some do overlap (no honest presenter sends that), every tile is
//   painted in order, a picture named again kept aside once decoded (one
//   at a time) and copied, and the pixels painted (decoded or copied) are
//   held to the budget given; the tiles beyond it are refused (counted for
//   the caller's log line).
// Without overlaps the pixels painted are at most the frames' pixels, so
// the budget binds only where tiles overlap.
//
// A tile that does not decode, or decodes to another size than its
// rectangle, leaves its place as it was (logged); without overlaps the
// other tiles naming the same picture at that size are then left as well.
// A tile covered by a later one whose picture then fails keeps what was
// there before.
//
// Works on the codec and the frames the caller lends for each call; keeps
// its scratch lists between calls (no allocation once they have grown).
// Threads: the engine's thread only.
#include <cstdint>
#include <vector>

#include "contracts/capture_records.h"
#include "sharing/engine/codec_mgr.h"
#include "sharing/engine/monitor_data.h"
#include "sharing/records/cache_entry.h"

class CBlockPainter {
 public:
  // One tile: `rect` is inside `frame` (checked by the caller), `cache`
  // holds a JPEG image in its first slot. `block_index` is for the log.
  struct Tile {
    CMonitorData* frame;
    VzRect rect;
    const CCacheEntry* cache;
    uint32_t block_index;
  };
  // What one drawing did.
  struct Counts {
    int32_t decoded = 0;   // tiles decoded into their place
    int32_t copied = 0;    // tiles copied from another tile of the same picture
    int32_t covered = 0;   // tiles left out: a later tile covers them
    int32_t refused = 0;   // tiles past the pixel budget
    uint32_t first_refused = 0;  // the block index of the first
    int32_t failed = 0;    // tiles whose picture did not decode to their size
    uint64_t painted_pixels = 0;
    bool overlapping = false;
  };
  // How many of the larger later tiles a tile is checked against, besides
  // those of its own rectangle.
  static constexpr size_t kLargestKept = 8;

  // `codec` null paints nothing (every tile counts as failed).
  explicit CBlockPainter(CCodecMgrWin* codec) : codec_(codec) {}
  CBlockPainter(const CBlockPainter&) = delete;
  CBlockPainter& operator=(const CBlockPainter&) = delete;

  // Paints `tiles` (see above); `budget_pixels` bounds the pixels painted
  // when tiles overlap.
  Counts Paint(const std::vector<Tile>& tiles, uint64_t budget_pixels);

 private:
  // Marks in skip_ the tiles a later tile covers wholly.
  void MarkCovered(const std::vector<Tile>& tiles, Counts* counts);
  // Whether two of the tiles not skipped overlap.
  bool AnyOverlap(const std::vector<Tile>& tiles);
  // Each picture once per size, copied for the other tiles (no overlaps).
  void PaintSharing(const std::vector<Tile>& tiles, Counts* counts);
  // Each tile in order, within the budget (overlaps).
  void PaintEach(const std::vector<Tile>& tiles, uint64_t budget_pixels, Counts* counts);
  // Fills source_ with the tiles not skipped, by picture and size, each
  // picture's tiles in drawing order.
  void SortByPicture(const std::vector<Tile>& tiles);
  // Copies packed or framed rows (`source_stride` apart) into `to`'s place.
  static void CopyRows(const uint8_t* source, size_t source_stride, const Tile& to);
  // Decodes the tile's picture into its place; false (logged) when it did
  // not paint it.
  bool Decode(const Tile& tile);

  CCodecMgrWin* codec_;
  std::vector<uint8_t> skip_;
  struct Edge {
    const CMonitorData* frame;
    int32_t x;
    bool enters;
    uint32_t tile;
  };
  std::vector<Edge> edges_;
  // The tile each one copies its pixels from (its own index when it is
  // decoded), or kNoSource.
  static constexpr uint32_t kNoSource = UINT32_MAX;
  std::vector<uint32_t> source_;
  // Tiles whose picture a later tile names again (overlaps only), and the
  // pixels of the one last kept aside.
  std::vector<uint8_t> again_;
  std::vector<uint8_t> kept_pixels_;
};
