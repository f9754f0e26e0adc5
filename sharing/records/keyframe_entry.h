#pragma once
// One block: which cache the block cell at `Position` of a monitor shows.
// On the presenter the keyframe table holds one per position ever sent; on
// the attendee, the blocks received and not yet drawn. The in-memory form
// of the wire's block message.
#include <cstdint>

#include "contracts/capture_records.h"
#include "sharing/records/shared_record.h"

class CKeyframeEntry : public CSharedRecord {
 public:
  CKeyframeEntry() = default;
  explicit CKeyframeEntry(uint32_t index) : Index(index) {}

  uint32_t Index = 0;     // presenter: place in the table; attendee: as received
  uint32_t PduId = 0;     // of the latest block sent or received for it
  uint32_t Position = 0;  // block cell; 0 for a cursor cache request
  uint32_t CacheIndex = 0;
  uint32_t CachePduId = 0;
  uint32_t MonitorId = 0;
  VzRect Rect = {};  // monitor-local pixels
};
