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

namespace {

constexpr uint8_t kNoDigest[16] = {};

bool IsNoDigest(const uint8_t digest[16]) { return std::memcmp(digest, kNoDigest, sizeof kNoDigest) == 0; }

uint64_t AgeKey(uint32_t stamp, uint32_t index) { return static_cast<uint64_t>(stamp) << 32 | index; }

}  // namespace

void CCacheController::Reset() {
  VZ_LOG("CCacheController::Reset");
  for (int32_t i = 0; i < entries_.GetCount(); ++i) GetAt(i)->Release();
  entries_.RemoveAll();
  keys_.clear();
  digests_.Clear();
  for (auto& ages : ages_) ages.clear();
  stored_.clear();
  stored_ages_.clear();
  stored_bytes_ = 0;
}

uint64_t CCacheController::BytesOf(const CCacheEntry& entry) {
  uint64_t bytes = 0;
  for (const CacheSlot& slot : entry.Slots) bytes += slot.Data != nullptr ? slot.Size : 0;
  return bytes;
}

void CCacheController::Remember(uint32_t index, uint64_t bytes) {
  if (bytes == 0) return;
  stored_[index] = bytes;
  stored_bytes_ += bytes;
  stored_ages_.insert(AgeKey(keys_[index].stamp, index));
}

void CCacheController::Forget(uint32_t index) {
  if (index >= stored_.size() || stored_[index] == 0) return;
  stored_bytes_ -= stored_[index];
  stored_[index] = 0;
  stored_ages_.erase(AgeKey(keys_[index].stamp, index));
}

void CCacheController::Evict(uint32_t index) {
  auto* empty = new (std::nothrow) CCacheEntry(index);
  if (empty == nullptr) {
    VZ_LOG_ERROR("no memory to evict cache index [%u].", index);
    return;
  }
  CCacheEntry* old = GetAt(static_cast<int32_t>(index));
  VZ_LOG("cache index [%u] pduid [%u] of [%llu] bytes evicted; [%llu] bytes stored.", index, old->PduId,
         static_cast<unsigned long long>(stored_[index]), static_cast<unsigned long long>(stored_bytes_));
  Forget(index);
  Unplace(index);
  entries_.SetAt(static_cast<int32_t>(index), empty);
  Place(index);
  old->Release();
}

CCacheController::Range CCacheController::RangeOf(uint32_t index) {
  if (index >= kCursorIndexStart && index < kCursorIndexEnd) return kCursorRange;
  if (index >= kTileIndexStart && index < kTileIndexEnd) return kTileRange;
  return kNoRange;
}

void CCacheController::SetDigest(uint32_t index, const uint8_t digest[16]) {
  Key& key = keys_[index];
  // Empty entries all carry the zero digest; they stay out of the index
  // (a lookup of the zero digest scans instead).
  if (!IsNoDigest(key.digest)) digests_.Erase(key.digest, index);
  std::memcpy(key.digest, digest, sizeof key.digest);
  std::memcpy(GetAt(static_cast<int32_t>(index))->digest_, digest, sizeof key.digest);
  if (!IsNoDigest(digest) && !digests_.Insert(digest, index)) {
    VZ_LOG_ERROR("cache digest index refused index [%u].", index);
  }
}

void CCacheController::SetStamp(uint32_t index, uint32_t stamp) {
  Key& key = keys_[index];
  if (index < stored_.size() && stored_[index] != 0) {
    stored_ages_.erase(AgeKey(key.stamp, index));
    stored_ages_.insert(AgeKey(stamp, index));
  }
  const Range range = RangeOf(index);
  if (range != kNoRange) {
    auto node = ages_[range].extract(AgeKey(key.stamp, index));
    if (node.empty()) {
      ages_[range].insert(AgeKey(stamp, index));
    } else {
      node.value() = AgeKey(stamp, index);
      ages_[range].insert(std::move(node));
    }
  }
  key.stamp = stamp;
  GetAt(static_cast<int32_t>(index))->stamp_ = stamp;
}

void CCacheController::Place(uint32_t index) {
  const CCacheEntry* entry = GetAt(static_cast<int32_t>(index));
  if (keys_.size() <= index) keys_.resize(index + 1);
  if (stored_.size() <= index) stored_.resize(index + 1, 0);
  Key& key = keys_[index];
  std::memcpy(key.digest, entry->digest_, sizeof key.digest);
  key.stamp = entry->stamp_;
  if (!IsNoDigest(key.digest) && !digests_.Insert(key.digest, index)) {
    VZ_LOG_ERROR("cache digest index refused index [%u].", index);
  }
  const Range range = RangeOf(index);
  if (range != kNoRange) ages_[range].insert(AgeKey(key.stamp, index));
}

void CCacheController::Unplace(uint32_t index) {
  const Key& key = keys_[index];
  if (!IsNoDigest(key.digest)) digests_.Erase(key.digest, index);
  const Range range = RangeOf(index);
  if (range != kNoRange) ages_[range].erase(AgeKey(key.stamp, index));
}

bool CCacheController::EnsureIndex(uint32_t index) {
  if (index >= kCacheIndexEnd) {
    VZ_LOG_ERROR("cache index [%u] out of range.", index);
    return false;
  }
  while (static_cast<uint32_t>(entries_.GetCount()) <= index) {
    const auto next = static_cast<uint32_t>(entries_.GetCount());
    auto* entry = new (std::nothrow) CCacheEntry(next);
    if (entry == nullptr || entries_.Append(entry) == 0) {
      VZ_LOG_ERROR("cannot grow the cache table to index [%u].", index);
      if (entry != nullptr) entry->Release();
      return false;
    }
    Place(next);
  }
  return true;
}

CCacheEntry* CCacheController::LookupTile(const uint8_t digest[16]) { return Lookup(digest, kTileRange); }

CCacheEntry* CCacheController::LookupCursor(const uint8_t digest[16]) { return Lookup(digest, kCursorRange); }

int64_t CCacheController::FindDigest(const uint8_t digest[16], uint32_t start, uint32_t stop) const {
  if (!IsNoDigest(digest)) return digests_.Lowest(digest, start, stop);
  for (uint32_t i = start; i < stop; ++i) {
    if (IsNoDigest(keys_[i].digest)) return i;
  }
  return -1;
}

CCacheEntry* CCacheController::Lookup(const uint8_t digest[16], Range range) {
  const uint32_t start = range == kCursorRange ? kCursorIndexStart : kTileIndexStart;
  const uint32_t end = range == kCursorRange ? kCursorIndexEnd : kTileIndexEnd;
  const auto count = static_cast<uint32_t>(entries_.GetCount());
  const int64_t hit = FindDigest(digest, start, count < end ? count : end);
  if (hit >= 0) {
    SetStamp(static_cast<uint32_t>(hit), NextDsCacheStamp());
    return GetAt(static_cast<int32_t>(hit));
  }
  // The table grows before it evicts: index `start` is made to exist first
  // (it then stays empty until the range is full), then one entry appended.
  uint32_t chosen = 0;
  if (count < end) {
    if (count < start && !EnsureIndex(start)) return nullptr;
    if (!EnsureIndex(static_cast<uint32_t>(entries_.GetCount()))) return nullptr;
    chosen = static_cast<uint32_t>(entries_.GetCount() - 1);
  } else {
    // The oldest stamp, the lowest index among equals.
    if (ages_[range].empty()) return nullptr;
    chosen = static_cast<uint32_t>(*ages_[range].begin() & 0xFFFFFFFFu);
  }
  CCacheEntry* candidate = GetAt(static_cast<int32_t>(chosen));
  Forget(chosen);
  candidate->ClearData();
  candidate->PduId = 0;
  SetDigest(chosen, digest);
  SetStamp(chosen, NextDsCacheStamp());
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
  const uint64_t bytes = BytesOf(*received);
  if (bytes > budget_) {
    VZ_LOG_ERROR("cache index [%u] pduid [%u] of [%llu] bytes above the budget [%llu]; refused.", received->Index,
                 received->PduId, static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(budget_));
    return false;
  }
  if (!EnsureIndex(received->Index)) return false;
  const uint32_t index = received->Index;
  CCacheEntry* old = GetAt(static_cast<int32_t>(index));
  if (old != received) {
    received->AddRef();
    Forget(index);
    Unplace(index);
    entries_.SetAt(static_cast<int32_t>(index), received);
    Place(index);
    old->Release();
  } else {
    Forget(index);
  }
  SetStamp(index, NextDsCacheStamp());
  Remember(index, bytes);
  // The oldest first; the entry just stored is the newest and stays.
  while (stored_bytes_ > budget_ && !stored_ages_.empty()) {
    const auto oldest = static_cast<uint32_t>(*stored_ages_.begin() & 0xFFFFFFFFu);
    if (oldest == index) break;
    Evict(oldest);
  }
  return true;
}

CCacheEntry* CCacheController::Touch(uint32_t index) {
  if (!EnsureIndex(index)) return nullptr;
  SetStamp(index, NextDsCacheStamp());
  return GetAt(static_cast<int32_t>(index));
}

bool CCacheController::ForgetImage(CCacheEntry* entry) {
  if (entry == nullptr || entry->Index >= static_cast<uint32_t>(entries_.GetCount()) ||
      GetAt(static_cast<int32_t>(entry->Index)) != entry) {
    VZ_LOG_ERROR("cache entry to forget is not in the table.");
    return false;
  }
  Forget(entry->Index);
  entry->ClearData();
  entry->PduId = 0;
  SetDigest(entry->Index, kNoDigest);
  return true;
}
