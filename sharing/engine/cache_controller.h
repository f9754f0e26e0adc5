#pragma once
// The table of caches, one per engine. Entry k always has index k.
// Presenter: finds the cache for a pixel digest, or picks the slot a new image
// takes (the table grows to its range's end first, then evicts the least
// recently stamped entry). Attendee: keeps the caches received and answers
// whether one is present.
//
// Ranges: cursor images use indices 1..19, tiles 20..4999; 0 is never given to
// an image (entry 0 stays empty, so (0, 0) always counts as present).
// Indices at or above kCacheIndexEnd are refused with a log line: they come
// from the network and must not grow the table.
//
// Entries returned are borrowed: valid until the next Reset or Store at the
// same index. Threads: the engine's UI thread only.
#include <cstdint>

#include "common/vz_array.h"
#include "sharing/records/cache_entry.h"

class CCacheController {
 public:
  static constexpr uint32_t kCursorIndexStart = 1;
  static constexpr uint32_t kCursorIndexEnd = 20;
  static constexpr uint32_t kTileIndexStart = 20;
  static constexpr uint32_t kTileIndexEnd = 5000;
  static constexpr uint32_t kCacheIndexEnd = kTileIndexEnd;

  CCacheController();
  ~CCacheController();
  CCacheController(const CCacheController&) = delete;
  CCacheController& operator=(const CCacheController&) = delete;

  // Hit: the entry with this digest, freshly stamped, PDU id unchanged.
  // Miss: a reset entry with the digest set and PDU id 0; the caller makes
  // the image. Null only when no entry could be made.
  CCacheEntry* LookupTile(const uint8_t digest[16]);
  CCacheEntry* LookupCursor(const uint8_t digest[16]);

  // The entry at `index` when its PDU id is `pdu_id`, else null. Makes sure
  // the index exists. Null (with a log line) for an index out of range.
  CCacheEntry* Find(uint32_t index, uint32_t pdu_id);

  // Puts a received entry at its index; the table takes a reference and
  // releases the entry that was there. False (with a log line, nothing
  // taken) for null or an index out of range.
  bool Store(CCacheEntry* received);

  // Gives the entry at `index` a new stamp. Null for an index out of range.
  CCacheEntry* Touch(uint32_t index);

  // Releases every entry and empties the table.
  void Reset();

  int32_t GetCount() const { return entries_.GetCount(); }
  CCacheEntry* GetAt(int32_t index) const { return static_cast<CCacheEntry*>(entries_.GetAt(index)); }

 private:
  CCacheEntry* Lookup(const uint8_t digest[16], uint32_t start, uint32_t end);
  // Appends empty entries until `index` exists; false when memory ran out.
  bool EnsureIndex(uint32_t index);

  CVzArrayBase entries_;
};
