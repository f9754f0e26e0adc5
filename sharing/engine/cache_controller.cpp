#include "sharing/engine/cache_controller.h"

#include <cstring>
#include <new>

#include "common/trace_client.h"
#include "sharing/engine/pdu_counter.h"

CCacheController::CCacheController() {
  VZ_LOG("CCacheController::CCacheController");
  Reset();
}

CCacheController::~CCacheController() {
  VZ_LOG("CCacheController::~CCacheController");
  Reset();
}

void CCacheController::Reset() {
  VZ_LOG("CCacheController::Reset");
  for (int32_t i = 0; i < entries_.GetCount(); ++i) GetAt(i)->Release();
  entries_.RemoveAll();
}

bool CCacheController::EnsureIndex(uint32_t index) {
  if (index >= kCacheIndexEnd) {
    VZ_LOG_ERROR("cache index [%u] out of range.", index);
    return false;
  }
  while (static_cast<uint32_t>(entries_.GetCount()) <= index) {
    auto* entry = new (std::nothrow) CCacheEntry(static_cast<uint32_t>(entries_.GetCount()));
    if (entry == nullptr || entries_.Append(entry) == 0) {
      VZ_LOG_ERROR("cannot grow the cache table to index [%u].", index);
      if (entry != nullptr) entry->Release();
      return false;
    }
  }
  return true;
}

CCacheEntry* CCacheController::LookupTile(const uint8_t digest[16]) {
  return Lookup(digest, kTileIndexStart, kTileIndexEnd);
}

CCacheEntry* CCacheController::LookupCursor(const uint8_t digest[16]) {
  return Lookup(digest, kCursorIndexStart, kCursorIndexEnd);
}

CCacheEntry* CCacheController::Lookup(const uint8_t digest[16], uint32_t start, uint32_t end) {
  CCacheEntry* candidate = nullptr;
  for (uint32_t i = start; i < end && i < static_cast<uint32_t>(entries_.GetCount()); ++i) {
    CCacheEntry* entry = GetAt(static_cast<int32_t>(i));
    if (std::memcmp(entry->Digest, digest, sizeof(entry->Digest)) == 0) {
      entry->Stamp = NextDsCacheStamp();
      return entry;
    }
    if (candidate == nullptr || entry->Stamp < candidate->Stamp) candidate = entry;
  }
  // The table grows before it evicts: index `start` is made to exist first
  // (it then stays empty until the range is full), then one entry appended.
  const uint32_t count = static_cast<uint32_t>(entries_.GetCount());
  if (count < end) {
    if (count < start && !EnsureIndex(start)) return nullptr;
    if (!EnsureIndex(static_cast<uint32_t>(entries_.GetCount()))) return nullptr;
    candidate = GetAt(entries_.GetCount() - 1);
  }
  if (candidate == nullptr) return nullptr;
  candidate->ClearData();
  candidate->PduId = 0;
  candidate->Stamp = NextDsCacheStamp();
  std::memcpy(candidate->Digest, digest, sizeof(candidate->Digest));
  return candidate;
}

CCacheEntry* CCacheController::Find(uint32_t index, uint32_t pdu_id) {
  if (!EnsureIndex(index)) return nullptr;
  CCacheEntry* entry = GetAt(static_cast<int32_t>(index));
  return entry->PduId == pdu_id ? entry : nullptr;
}

bool CCacheController::Store(CCacheEntry* received) {
  if (received == nullptr) {
    VZ_LOG_ERROR("null cache entry.");
    return false;
  }
  if (!EnsureIndex(received->Index)) return false;
  const auto place = static_cast<int32_t>(received->Index);
  CCacheEntry* old = GetAt(place);
  if (old == received) return true;
  received->AddRef();
  entries_.SetAt(place, received);
  old->Release();
  return true;
}

CCacheEntry* CCacheController::Touch(uint32_t index) {
  if (!EnsureIndex(index)) return nullptr;
  CCacheEntry* entry = GetAt(static_cast<int32_t>(index));
  entry->Stamp = NextDsCacheStamp();
  return entry;
}
