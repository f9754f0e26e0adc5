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
// Lookups go through an index over the digests and an order of the entries
// by (stamp, index), both kept in step with every write of a digest or a
// stamp, which only this table makes: a lookup answers exactly what a scan
// of the range would (the lowest index holding the digest; else the oldest
// stamp, lowest index on ties) without walking the table.
//
// Received caches are held to a byte budget: each Store stamps its entry as
// the newest, the attendee touches the caches its blocks draw, and when the
// bytes stored pass the budget the least recently stamped stored caches are
// evicted (their index holds an empty entry again, so a block naming them
// asks for them anew). A single cache above the budget is refused.
//
// Entries returned are borrowed: valid until the next Reset or Store at the
// same index, or an eviction. Threads: the engine's UI thread only.
#include <cstdint>
#include <set>
#include <vector>

#include "common/vz_array.h"
#include "sharing/engine/digest_index.h"
#include "sharing/records/cache_entry.h"

class CCacheController {
 public:
  static constexpr uint32_t kCursorIndexStart = 1;
  static constexpr uint32_t kCursorIndexEnd = 20;
  static constexpr uint32_t kTileIndexStart = 20;
  static constexpr uint32_t kTileIndexEnd = 5000;
  static constexpr uint32_t kCacheIndexEnd = kTileIndexEnd;
  // Far more than the tiles of the largest screens at any quality need.
  static constexpr uint64_t kDefaultByteBudget = 64ull << 20;

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

  // Puts a received entry at its index, stamped as the newest; the table
  // takes a reference and releases the entry that was there, then evicts
  // the oldest stored caches while the bytes stored pass the budget. False
  // (with a log line, nothing taken) for null, an index out of range or an
  // entry larger than the budget.
  bool Store(CCacheEntry* received);

  // The budget of the bytes held by stored entries (at least 1).
  void SetByteBudgetForTesting(uint64_t bytes) { budget_ = bytes > 0 ? bytes : 1; }
  uint64_t byte_budget_for_testing() const { return budget_; }
  uint64_t StoredBytesForTesting() const { return stored_bytes_; }
  // The bytes of both data slots of an entry.
  static uint64_t BytesOf(const CCacheEntry& entry);

  // Gives the entry at `index` a new stamp. Null for an index out of range.
  CCacheEntry* Touch(uint32_t index);

  // Makes `entry` (one of this table's) forget its image: data freed, PDU
  // id 0, digest cleared, so the same pixels make a new image next time.
  // False (with a log line) when the entry is not the one at its index.
  bool ForgetImage(CCacheEntry* entry);

  // Releases every entry and empties the table.
  void Reset();

  int32_t GetCountForTesting() const { return entries_.GetCount(); }
  CCacheEntry* GetAt(int32_t index) const { return static_cast<CCacheEntry*>(entries_.GetAt(index)); }

 private:
  // The ranges the digest lookups work in; entry 0 is in neither.
  enum Range { kCursorRange = 0, kTileRange = 1, kRangeCount = 2, kNoRange = -1 };
  static Range RangeOf(uint32_t index);

  CCacheEntry* Lookup(const uint8_t digest[16], Range range);
  // The lowest index in [start, stop) whose digest is `digest`, else -1.
  int64_t FindDigest(const uint8_t digest[16], uint32_t start, uint32_t stop) const;
  // Appends empty entries until `index` exists; false when memory ran out.
  bool EnsureIndex(uint32_t index);

  // The only writers of an entry's digest and stamp: each also moves the
  // entry in the digest index or the age order.
  void SetDigest(uint32_t index, const uint8_t digest[16]);
  void SetStamp(uint32_t index, uint32_t stamp);
  // Enters the entry now at `index` into the index and the order, with the
  // digest and stamp it carries; Unplace takes it out again.
  void Place(uint32_t index);
  void Unplace(uint32_t index);
  // The byte account of stored entries: Remember counts the entry at
  // `index` as stored (under its stamp), Forget takes it out again.
  void Remember(uint32_t index, uint64_t bytes);
  void Forget(uint32_t index);
  // Puts an empty entry at `index` in place of a stored one.
  void Evict(uint32_t index);

  CVzArrayBase entries_;
  // The digest and stamp this table gave each entry, by index: what the
  // index and the order were built from (an entry shared with another
  // table cannot move them behind this one's back).
  struct Key {
    uint8_t digest[16];
    uint32_t stamp;
  };
  std::vector<Key> keys_;
  CDigestIndex digests_{kCacheIndexEnd};
  // Per range, (stamp << 32 | index) of every entry: the first is the
  // entry a miss evicts once the range is full.
  std::set<uint64_t> ages_[kRangeCount];
  // Stored entries: their bytes by index, (stamp << 32 | index) of each,
  // oldest first, and the total.
  std::vector<uint64_t> stored_;
  std::set<uint64_t> stored_ages_;
  uint64_t stored_bytes_ = 0;
  uint64_t budget_ = kDefaultByteBudget;
};
