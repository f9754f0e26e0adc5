#pragma once
// The cursor: where it is, its shape's size and hot spot, and the cursor
// cache that holds the shape. Monitor id 0 means no cursor.
#include <cstdint>

#include "sharing/records/shared_record.h"

class CMouseEntry : public CSharedRecord {
 public:
  int32_t MonitorId = 0;
  int32_t X = 0;  // device pixels from the monitor's left edge
  int32_t Y = 0;
  int32_t Width = 0;  // shape size
  int32_t Height = 0;
  int32_t HotspotX = 0;
  int32_t HotspotY = 0;
  uint32_t CacheIndex = 0;
  uint32_t CachePduId = 0;
};
