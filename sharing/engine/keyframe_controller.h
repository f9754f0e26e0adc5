#pragma once
// Block records, one table per engine.
// Presenter: the keyframe; for every block position ever sent, which cache
// that cell shows now (one entry per position, in order of first appearance,
// never shrinking while the session lasts).
// Attendee: the blocks received and not yet drawn, kept at the block's index;
// each index keeps the newest block received for it.
//
// Indices from the network at or above kBlockIndexEnd are refused with a log
// line so that a received index cannot grow the table without bound.
// Entries returned are borrowed: valid until the next Reset or Put at the
// same index. Threads: the engine's UI thread only.
#include <cstdint>

#include "common/vz_array.h"
#include "contracts/capture_records.h"
#include "sharing/records/keyframe_entry.h"

class CKeyframeController {
 public:
  // More than the block cells of the largest monitors the engine accepts.
  static constexpr uint32_t kBlockIndexEnd = 1u << 16;

  CKeyframeController() = default;
  ~CKeyframeController();
  CKeyframeController(const CKeyframeController&) = delete;
  CKeyframeController& operator=(const CKeyframeController&) = delete;

  // True when the first entry at `position` shows the cache `cache_pdu_id`.
  bool Check(uint32_t position, uint32_t cache_pdu_id) const;

  // Sets the first entry at `position`, or appends one. Null only when no
  // entry could be made (logged).
  CKeyframeEntry* Update(uint32_t monitor_id, uint32_t pdu_id, uint32_t position, const VzRect& rect,
                         uint32_t cache_index, uint32_t cache_pdu_id);

  // Keeps `received` at its index when its PDU id is above the stored one
  // (the table takes a reference); otherwise ignores it. False (logged) for
  // null or an index out of range.
  bool Put(CKeyframeEntry* received);

  // Zeroes every field of every entry; the entries stay.
  void ClearAll();
  // Zeroes every field of entry n (a cleared entry counts as drawn); out of
  // range does nothing.
  void ClearAt(int32_t n);

  // Releases every entry and empties the table.
  void Reset();

  int32_t GetCount() const { return entries_.GetCount(); }
  CKeyframeEntry* GetAt(int32_t n) const { return static_cast<CKeyframeEntry*>(entries_.GetAt(n)); }
  // The entry at n, appending zeroed entries up to it. Null when out of range.
  CKeyframeEntry* TakeAt(uint32_t n);

 private:
  CVzArrayBase entries_;
};
