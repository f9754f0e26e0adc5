// Received sharing messages from a hostile peer: whatever the bytes, reading
// them must neither crash nor allocate beyond the message's own size.
#include <cstddef>
#include <cstdint>

#include "sharing/protocol/ds_reception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Both roles: the web attendee's only copies, the other parses everything.
  auto events = ReadDsReception(data, size, false);
  for (const DsReceivedEvent& event : events) {
    if (event.command && event.command->PointCount > 10000) __builtin_trap();
    if (event.sharing_info && event.sharing_info->MonitorCount > 16) __builtin_trap();
    for (const auto& cache : event.caches) {
      for (const CacheSlot& slot : cache->Slots) {
        if (slot.Size > size) __builtin_trap();
      }
    }
  }
  ReadDsReception(data, size, true);
  return 0;
}
