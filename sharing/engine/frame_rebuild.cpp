#include "sharing/engine/frame_rebuild.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "common/trace_client.h"

namespace {

bool IsEmpty(const VzRect& rect) { return rect.left >= rect.right || rect.top >= rect.bottom; }

void Unite(const VzRect& rect, VzRect* into) {
  if (IsEmpty(rect)) return;
  if (IsEmpty(*into)) {
    *into = rect;
    return;
  }
  into->left = std::min(into->left, rect.left);
  into->top = std::min(into->top, rect.top);
  into->right = std::max(into->right, rect.right);
  into->bottom = std::max(into->bottom, rect.bottom);
}

}  // namespace

uint64_t CFrameRebuild::CacheLimitBytes() const {
  uint64_t limit = kMinCacheLimitBytes;
  for (int32_t i = 0; i < frames_.GetCount(); ++i) limit = std::max<uint64_t>(limit, frames_.GetAt(i)->Size());
  return limit;
}

int32_t CFrameRebuild::OnCaches(CCacheEntry* const* list, int32_t count) {
  const uint64_t limit = CacheLimitBytes();
  for (int32_t i = 0; list != nullptr && i < count; ++i) {
    CCacheEntry* cache = list[i];
    if (cache == nullptr) continue;
    // Entry 0 stays empty: it is what a cleared block points to.
    if (cache->Index == 0) {
      VZ_LOG_ERROR("received cache with index 0 pduid [%u] dropped.", cache->PduId);
      continue;
    }
    // One image of one monitor at most: anything larger only takes memory.
    const uint64_t bytes = CCacheController::BytesOf(*cache);
    if (bytes > limit) {
      VZ_LOG_ERROR("cache [%u] pduid [%u] of [%llu] bytes above the limit [%llu]; dropped.", cache->Index,
                   cache->PduId, static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(limit));
      continue;
    }
    caches_.Store(cache);
  }
  return 1;
}

void CFrameRebuild::NoteAsked(const std::vector<CKeyframeEntry*>& asked, uint64_t now) {
  for (const CKeyframeEntry* block : asked) {
    // A cache named again keeps its first time: naming it again must not
    // put its deadline off.
    auto [it, added] = waits_.try_emplace(WaitKey(*block), Wait{now, now, 1});
    if (!added) {
      it->second.last_ms = now;
      ++it->second.asks;
    }
  }
}

bool CFrameRebuild::RunSchedule(uint64_t now, IDSTp* transport) {
  // The caches the pending blocks still miss, each with its first block.
  std::map<uint64_t, CKeyframeEntry*> missing;
  for (int32_t i = 0; i < keyframes_.GetCount(); ++i) {
    CKeyframeEntry* block = keyframes_.GetAt(i);
    if (caches_.Find(block->CacheIndex, block->CachePduId) == nullptr) missing.try_emplace(WaitKey(*block), block);
  }
  for (auto it = waits_.begin(); it != waits_.end();) {
    it = missing.count(it->first) != 0 ? std::next(it) : waits_.erase(it);
  }
  // The caches past their deadline are collected first and their blocks
  // cleared in one walk: many caches given up at once cost one pass.
  std::set<uint64_t> expired;
  uint64_t longest_wait = 0;
  std::vector<CKeyframeEntry*> ask;
  for (const auto& [key, first_block] : missing) {
    auto [it, added] = waits_.try_emplace(key, Wait{now, now, 1});
    Wait& wait = it->second;
    if (added) continue;
    if (now - wait.first_ms >= kGiveUpMs) {
      longest_wait = std::max(longest_wait, now - wait.first_ms);
      expired.insert(key);
      waits_.erase(it);
      if (given_up_.size() >= kGivenUpMemory) given_up_.clear();
      given_up_.insert(key);
    } else if (wait.asks < kMaxAsks && now - wait.last_ms >= kAskAgainMs) {
      ask.push_back(first_block);
      wait.last_ms = now;
      ++wait.asks;
    }
  }
  if (!expired.empty()) {
    int32_t dropped = 0;
    for (int32_t i = 0; i < keyframes_.GetCount(); ++i) {
      const CKeyframeEntry* block = keyframes_.GetAt(i);
      if (expired.count(WaitKey(*block)) == 0) continue;
      if (dropped++ == 0) {
        VZ_LOG_ERROR("block index [%u] pduid [%u] waited for cache [%u] pduid [%u] that never came; dropped.",
                     block->Index, block->PduId, block->CacheIndex, block->CachePduId);
      }
      keyframes_.ClearAt(i);
    }
    VZ_LOG_ERROR("[%d] blocks waited up to [%llu] ms for [%zu] caches; dropped.", dropped,
                 static_cast<unsigned long long>(longest_wait), expired.size());
  }
  if (!ask.empty() && transport != nullptr) {
    const auto count = static_cast<int32_t>(ask.size());
    VZ_LOG("Ask again for caches count [%d]", count);
    if (transport->DSRequestCaches(ask.data(), count) == 0) VZ_LOG_ERROR("Failed send request caches count [%d]", count);
  }
  return !expired.empty();
}

bool CFrameRebuild::OnWaitTick(IDSTp* transport, IDSProviderSink* client) {
  if (waits_.empty()) return false;
  if (RunSchedule(clock_.NowMs(), transport)) CheckPendingKeyframe(client);
  return !waits_.empty();
}

int32_t CFrameRebuild::OnBlocks(CKeyframeEntry* const* list, int32_t count, IDSTp* transport,
                                IDSProviderSink* client) {
  if (list == nullptr || count <= 0) {
    CheckPendingKeyframe(client);
    return 1;
  }
  missing_.clear();
  for (int32_t i = 0; i < count; ++i) {
    CKeyframeEntry* block = list[i];
    if (block == nullptr) continue;
    // A block naming a cache that can never be stored would wait forever
    // and hold up every other block.
    if (block->CacheIndex >= CCacheController::kCacheIndexEnd || (block->CacheIndex == 0 && block->CachePduId != 0)) {
      VZ_LOG_ERROR("block index [%u] names cache [%u] pduid [%u]; dropped.", block->Index, block->CacheIndex,
                   block->CachePduId);
      continue;
    }
    // A cache given up on stays given up: naming it again must not freeze
    // the frame once more.
    if (given_up_.count(WaitKey(*block)) != 0 && caches_.Find(block->CacheIndex, block->CachePduId) == nullptr) {
      VZ_LOG_ERROR("block index [%u] names cache [%u] pduid [%u] given up; dropped.", block->Index, block->CacheIndex,
                   block->CachePduId);
      continue;
    }
    if (!keyframes_.Put(block)) continue;
    if (caches_.Find(block->CacheIndex, block->CachePduId) != nullptr) continue;
    const bool listed = std::any_of(missing_.begin(), missing_.end(), [block](const CKeyframeEntry* m) {
      return m->CacheIndex == block->CacheIndex && m->CachePduId == block->CachePduId;
    });
    if (!listed) missing_.push_back(block);
  }
  const uint64_t now = clock_.NowMs();
  const bool asked = !missing_.empty() && transport != nullptr;
  if (asked) {
    const auto missing = static_cast<int32_t>(missing_.size());
    VZ_LOG("Need request caches count [%d]", missing);
    if (transport->DSRequestCaches(missing_.data(), missing) == 0) {
      VZ_LOG_ERROR("Failed send request caches count [%d]", missing);
    }
    NoteAsked(missing_, now);
  }
  missing_.clear();
  const bool gave_up = RunSchedule(now, transport);
  // Blocks just asked for stay pending until the answer arrives (when the
  // schedule gave some block up, the check finds whether any still waits).
  if (!asked || gave_up) CheckPendingKeyframe(client);
  return 1;
}

int32_t CFrameRebuild::OnRequestCaches(CKeyframeEntry* const* list, int32_t count, CCursorChannel& cursor,
                                       IDSProviderSink* client) {
  VZ_LOG("MEM [%.02f] count [%d]", 0.0, count);
  if (count == 1 && list != nullptr && list[0] != nullptr && list[0]->Position == 0) {
    cursor.Deliver(client);
  } else {
    CheckPendingKeyframe(client);
  }
  return 1;
}

uint64_t CFrameRebuild::DrawBudgetPixels() const {
  uint64_t pixels = 0;
  for (int32_t i = 0; i < frames_.GetCount(); ++i) {
    const CMonitorData* frame = frames_.GetAt(i);
    pixels += static_cast<uint64_t>(frame->Width()) * static_cast<uint64_t>(frame->Height());
  }
  return kDrawAreas * pixels;
}

void CFrameRebuild::LogPainted(const CBlockPainter::Counts& counts, uint64_t budget) {
  if (counts.refused > 0) {
    VZ_LOG_ERROR("[%d] overlapping blocks from block index [%u] on past the drawing's budget of [%llu] pixels; "
                 "not drawn.",
                 counts.refused, counts.first_refused, static_cast<unsigned long long>(budget));
  }
  if (counts.covered > 0) VZ_LOG("[%d] blocks under later ones not drawn.", counts.covered);
}

int32_t CFrameRebuild::CheckPendingKeyframe(IDSProviderSink* client) {
  for (int32_t i = 0; i < keyframes_.GetCount(); ++i) {
    const CKeyframeEntry* block = keyframes_.GetAt(i);
    if (caches_.Find(block->CacheIndex, block->CachePduId) == nullptr) {
      VZ_LOG("HAVE pending requested pduid [%d] position [%d] cache index [%d] pduid [%d]",
             static_cast<int>(block->PduId), static_cast<int>(block->Position), static_cast<int>(block->CacheIndex),
             static_cast<int>(block->CachePduId));
      return 0;
    }
  }
  VzRect changed{0, 0, 0, 0};
  tiles_.clear();
  for (int32_t i = 0; i < keyframes_.GetCount(); ++i) {
    const CKeyframeEntry* block = keyframes_.GetAt(i);
    if (block->MonitorId == 0 || block->CachePduId == 0 || block->CacheIndex == 0) continue;
    CMonitorData* frame = frames_.Find(static_cast<int32_t>(block->MonitorId));
    if (frame == nullptr) continue;
    const CCacheEntry* cache = caches_.Find(block->CacheIndex, block->CachePduId);
    if (cache == nullptr) continue;
    const VzRect& rect = block->Rect;
    if (rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0) {
      VZ_LOG("find the empty block rect");
      continue;
    }
    // A cache on screen is newer than any that is not: the budget evicts it last.
    caches_.Touch(block->CacheIndex);
    if (!frame->Contains(rect)) {
      VZ_LOG_ERROR("block index [%u] rect {%d, %d, %d, %d} outside monitor [%d] (%d, %d); dropped.", block->Index,
                   rect.left, rect.top, rect.right, rect.bottom, frame->MonitorId(), frame->Width(), frame->Height());
      continue;
    }
    // Only JPEG tiles are drawn; other caches still count as changed.
    if (cache->Slots[0].Type == kDsCacheJpeg) tiles_.push_back(CBlockPainter::Tile{frame, rect, cache, block->Index});
    const VzRect& origin = frame->info().Rect;
    Unite(VzRect{origin.left + rect.left, origin.top + rect.top, origin.left + rect.right, origin.top + rect.bottom},
          &changed);
  }
  const uint64_t budget = DrawBudgetPixels();
  LogPainted(painter_.Paint(tiles_, budget), budget);
  keyframes_.ClearAll();
  waits_.clear();
  if (IsEmpty(changed)) return 1;
  for (int32_t i = 0; i < frames_.GetCount(); ++i) {
    CMonitorData* frame = frames_.GetAt(i);
    // 64-bit: monitors far apart may lie further apart than int32 holds.
    const VzRect& origin = frame->info().Rect;
    const int64_t left = std::max<int64_t>(changed.left, origin.left) - origin.left;
    const int64_t top = std::max<int64_t>(changed.top, origin.top) - origin.top;
    const int64_t right = std::min<int64_t>(changed.right, origin.right) - origin.left;
    const int64_t bottom = std::min<int64_t>(changed.bottom, origin.bottom) - origin.top;
    if (right <= left || bottom <= top || client == nullptr) continue;
    VzRect local{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                 static_cast<int32_t>(bottom)};
    client->OnMonitorUpdated(frame->Info(), &local);
  }
  return 1;
}
