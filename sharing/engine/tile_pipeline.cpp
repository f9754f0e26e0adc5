#include "sharing/engine/tile_pipeline.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/trace_client.h"
#include "sharing/engine/pdu_counter.h"
#include "sharing/engine/rect_text.h"

uint32_t CTilePipeline::Position(int32_t monitor_id, int32_t left, int32_t top, int32_t block_width,
                                 int32_t block_height) {
  return static_cast<uint32_t>(monitor_id) * 10000u + static_cast<uint32_t>(top / block_height) * 100u +
         static_cast<uint32_t>(left / block_width) + 101u;
}

bool CTilePipeline::Digest(const CMonitorData& frame, const VzRect& block, uint8_t out[CMd5Digest::kSize]) {
  // Blocks of different shapes never share a key, even when their bytes
  // are the same (a 64 x 128 and a 128 x 64 black block).
  const int32_t shape[2] = {block.right - block.left, block.bottom - block.top};
  if (!md5_.Begin() || !md5_.Update(shape, sizeof shape)) return false;
  const size_t row_bytes = static_cast<size_t>(shape[0]) * 4;
  const uint8_t* row = frame.pixels() + static_cast<size_t>(block.top) * frame.Stride() +
                       static_cast<size_t>(block.left) * 4;
  for (int32_t y = block.top; y < block.bottom; ++y, row += frame.Stride()) {
    if (!md5_.Update(row, row_bytes)) return false;
  }
  return md5_.Finish(out);
}

void CTilePipeline::Send(IDSTp* transport) {
  const auto cache_count = static_cast<int32_t>(new_caches_.size());
  if (cache_count > 0) {
    if (transport == nullptr || transport->DSSendCaches(new_caches_.data(), cache_count) == 0) {
      VZ_LOG_ERROR("Failed send caches count [%d]", cache_count);
    }
    // The entries keep index, PDU id, digest and stamp: an image is sent once.
    for (CCacheEntry* cache : new_caches_) cache->ClearData();
  }
  // A cache on screen is newer than any that is not, so it is evicted last.
  for (int32_t i = 0; i < keyframes_.GetCount(); ++i) {
    const CKeyframeEntry* shown = keyframes_.GetAt(i);
    if (shown->CacheIndex != 0) caches_.Touch(shown->CacheIndex);
  }
  const auto block_count = static_cast<int32_t>(new_blocks_.size());
  if (block_count > 0 && (transport == nullptr || transport->DSSendBlocks(new_blocks_.data(), block_count) == 0)) {
    VZ_LOG_ERROR("Failed send blocks count [%d]", block_count);
  }
  new_caches_.clear();
  new_blocks_.clear();
}

int32_t CTilePipeline::OnScreenData(const CaptureScreenData* data, CMonitorFrames& frames, int32_t block_width,
                                    int32_t block_height, IDSTp* transport) {
  if (data == nullptr) return 0;
  CMonitorData* frame = frames.Find(data->MonitorId);
  if (frame == nullptr || !frame->SameRect(data->MonitorRect)) {
    VZ_LOG_ERROR("wrong moinitor [%d] rc [%s]", data->MonitorId, DsRectText(data->MonitorRect).c_str());
    return 0;
  }
  if (!frame->CheckScreenData(*data)) return 0;
  // The changed rows reach the frame one band of blocks at a time, just
  // before the band is hashed and encoded, which then read them from the
  // cache; whatever an early stop leaves is copied at the end.
  int32_t copied = INT32_MIN;
  const auto copy_until = [&](int32_t row) {
    if (row <= copied) return;
    frame->CopyScreenRows(*data, copied, row);
    copied = row;
  };

  const int32_t bw = block_width > 0 ? block_width : kDefaultBlockSide;
  const int32_t bh = block_height > 0 ? block_height : kDefaultBlockSide;
  const int32_t width = frame->Width();
  const int32_t height = frame->Height();
  VzRect area = data->DirtyRect;
  // An empty box changed no pixel: nothing to cut.
  const bool empty = data->Data == 0 || area.left >= area.right || area.top >= area.bottom;
  if (!empty) {
    // Right and bottom always move out by a whole block, then are cut to
    // the monitor (CheckScreenData has checked the box lies inside it).
    area.left = (area.left / bw) * bw;
    area.right = std::min((area.right / bw + 1) * bw, width);
    area.top = (area.top / bh) * bh;
    area.bottom = std::min((area.bottom / bh + 1) * bh, height);
  }

  int32_t result = 1;
  const uint32_t monitor_id = static_cast<uint32_t>(frame->MonitorId());
  for (int32_t y = area.top; !empty && result != 0 && y < area.bottom; y += bh) {
    copy_until(y + bh);
    for (int32_t x = area.left; x < area.right; x += bw) {
      const VzRect block{x, y, std::min(width, x + bw), std::min(height, y + bh)};
      uint8_t digest[CMd5Digest::kSize] = {};
      CCacheEntry* cache = Digest(*frame, block, digest) ? caches_.LookupTile(digest) : nullptr;
      if (cache == nullptr) {
        VZ_LOG_ERROR("Cache controller fetal error");
        result = 0;
        break;
      }
      if (cache->PduId == 0) {
        int size = 0;
        uint8_t* jpeg = codec_ != nullptr ? codec_->CompressRect(frame->pixels(), &block, kJpegQuality,
                                                                 static_cast<int>(frame->Stride()), 32, &size)
                                          : nullptr;
        // The slot takes the codec's malloc'ed bytes as they are.
        cache->ClearData();
        cache->Slots[0] = CacheSlot{kDsCacheJpeg, jpeg != nullptr && size > 0 ? static_cast<uint32_t>(size) : 0u,
                                    jpeg};
        cache->PduId = NextDsPduId();
        new_caches_.push_back(cache);
      }
      const uint32_t position = Position(frame->MonitorId(), x, y, bw, bh);
      if (keyframes_.Check(position, cache->PduId)) continue;
      CKeyframeEntry* shown = keyframes_.Update(monitor_id, NextDsPduId(), position, block, cache->Index, cache->PduId);
      if (shown == nullptr) {
        VZ_LOG_ERROR("Key Frame controller fetal error");
        result = 0;
        break;
      }
      new_blocks_.push_back(shown);
    }
  }
  copy_until(INT32_MAX);
  Send(transport);
  return result;
}
