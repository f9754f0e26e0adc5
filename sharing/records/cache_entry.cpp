#include "sharing/records/cache_entry.h"

#include <cstdlib>
#include <cstring>

#include "common/trace_client.h"

bool CCacheEntry::SetSlot(int slot, int32_t type, const void* bytes, uint32_t size) {
  if (slot < 0 || slot >= kSlotCount) return false;
  CacheSlot& target = Slots[slot];
  std::free(target.Data);
  target.Data = nullptr;
  target.Size = 0;
  target.Type = type;
  if (size == 0 || bytes == nullptr) return true;
  auto* copy = static_cast<uint8_t*>(std::malloc(size));
  if (copy == nullptr) {
    VZ_LOG_ERROR("malloc memory size [%d] failed.", static_cast<int>(size));
    return false;
  }
  std::memcpy(copy, bytes, size);
  target.Data = copy;
  target.Size = size;
  return true;
}

void CCacheEntry::ClearData() {
  for (CacheSlot& slot : Slots) {
    std::free(slot.Data);
    slot = CacheSlot{};
  }
}
