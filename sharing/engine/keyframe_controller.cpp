#include "sharing/engine/keyframe_controller.h"

#include <new>

#include "common/trace_client.h"

CKeyframeController::~CKeyframeController() {
  VZ_LOG("CKeyframeController::~CKeyframeController");
  Reset();
}

void CKeyframeController::Reset() {
  VZ_LOG("CKeyframeController::Reset");
  for (int32_t i = 0; i < entries_.GetCount(); ++i) GetAt(i)->Release();
  entries_.RemoveAll();
}

CKeyframeEntry* CKeyframeController::TakeAt(uint32_t n) {
  if (n >= kBlockIndexEnd) {
    VZ_LOG_ERROR("block index [%u] out of range.", n);
    return nullptr;
  }
  while (static_cast<uint32_t>(entries_.GetCount()) <= n) {
    auto* entry = new (std::nothrow) CKeyframeEntry(static_cast<uint32_t>(entries_.GetCount()));
    if (entry == nullptr || entries_.Append(entry) == 0) {
      VZ_LOG_ERROR("cannot grow the keyframe table to index [%u].", n);
      if (entry != nullptr) entry->Release();
      return nullptr;
    }
  }
  return GetAt(static_cast<int32_t>(n));
}

bool CKeyframeController::Check(uint32_t position, uint32_t cache_pdu_id) const {
  for (int32_t i = 0; i < entries_.GetCount(); ++i) {
    const CKeyframeEntry* entry = GetAt(i);
    if (entry->Position == position) return entry->CachePduId == cache_pdu_id;
  }
  return false;
}

CKeyframeEntry* CKeyframeController::Update(uint32_t monitor_id, uint32_t pdu_id, uint32_t position,
                                            const VzRect& rect, uint32_t cache_index, uint32_t cache_pdu_id) {
  CKeyframeEntry* target = nullptr;
  for (int32_t i = 0; i < entries_.GetCount() && target == nullptr; ++i) {
    if (GetAt(i)->Position == position) target = GetAt(i);
  }
  if (target == nullptr) {
    target = TakeAt(static_cast<uint32_t>(entries_.GetCount()));
    if (target == nullptr) return nullptr;
    target->Position = position;
  }
  target->PduId = pdu_id;
  target->CacheIndex = cache_index;
  target->CachePduId = cache_pdu_id;
  target->MonitorId = monitor_id;
  target->Rect = rect;
  return target;
}

bool CKeyframeController::Put(CKeyframeEntry* received) {
  if (received == nullptr) {
    VZ_LOG_ERROR("null block entry.");
    return false;
  }
  CKeyframeEntry* old = TakeAt(received->Index);
  if (old == nullptr) return false;
  if (old == received || old->PduId >= received->PduId) return true;
  received->AddRef();
  entries_.SetAt(static_cast<int32_t>(received->Index), received);
  old->Release();
  return true;
}

void CKeyframeController::ClearAll() {
  for (int32_t i = 0; i < entries_.GetCount(); ++i) ClearAt(i);
}

void CKeyframeController::ClearAt(int32_t n) {
  if (n < 0 || n >= entries_.GetCount()) return;
  CKeyframeEntry* entry = GetAt(n);
  entry->Index = 0;
  entry->PduId = 0;
  entry->Position = 0;
  entry->CacheIndex = 0;
  entry->CachePduId = 0;
  entry->MonitorId = 0;
  entry->Rect = VzRect{};
}
