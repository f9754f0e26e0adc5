#include "sharing/engine/cursor_channel.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "common/trace_client.h"
#include "sharing/engine/cursor_png.h"
#include "sharing/engine/md5_digest.h"
#include "sharing/engine/pdu_counter.h"

namespace {

constexpr int32_t kDsCachePng = 30;

void CopyRecord(const CMouseEntry& from, CMouseEntry* to) {
  to->MonitorId = from.MonitorId;
  to->X = from.X;
  to->Y = from.Y;
  to->Width = from.Width;
  to->Height = from.Height;
  to->HotspotX = from.HotspotX;
  to->HotspotY = from.HotspotY;
  to->CacheIndex = from.CacheIndex;
  to->CachePduId = from.CachePduId;
}

// x + extent in wrapping 32-bit arithmetic: the values come from the network.
int32_t Far(int32_t origin, int32_t extent) {
  return static_cast<int32_t>(static_cast<uint32_t>(origin) + static_cast<uint32_t>(extent));
}

}  // namespace

void CCursorChannel::Reset() { CopyRecord(CMouseEntry(), &state_); }

bool CCursorChannel::ShapeAcceptable(const CaptureMouseInfo& info) const {
  if (info.DataSize < 0) return false;
  if (info.Format == kFormatPng) return info.DataSize <= kMaxPngBytes;
  if (info.Format != kFormatRgba && info.Format != kFormatArgb) return true;  // numbered, sent without image
  if (info.Width < 1 || info.Height < 1 || info.Width > kCursorPngMaxSide || info.Height > kCursorPngMaxSide) {
    return false;
  }
  return static_cast<int64_t>(info.DataSize) >= static_cast<int64_t>(info.Width) * info.Height * 4;
}

void CCursorChannel::MakeImage(const CaptureMouseInfo& info, CCacheEntry* entry) {
  if (info.Format == kFormatPng) {
    entry->SetSlot(0, kDsCachePng, CaptureMousePixels(&info), static_cast<uint32_t>(info.DataSize));
    return;
  }
  if (info.Format != kFormatRgba && info.Format != kFormatArgb) {
    VZ_LOG_ERROR("cursor format [%d] has no image.", info.Format);
    return;
  }
  uint8_t* png = nullptr;
  uint32_t size = 0;
  const int code = info.Format == kFormatRgba ? kCursorPngRgba : kCursorPngArgb;
  if (!EncodeCursorPng(CaptureMousePixels(&info), info.Width, info.Height, code, &png, &size)) return;
  // The slot takes the encoder's malloc'ed bytes as they are.
  entry->ClearData();
  entry->Slots[0] = CacheSlot{kDsCachePng, size, png};
}

int32_t CCursorChannel::OnCaptureMouse(const CaptureMouseInfo* info, IDSTp* transport) {
  if (info == nullptr) {
    Reset();
    if (transport != nullptr) transport->DSSendMouseInfo(&state_);
    return 1;
  }
  if (info->DataSize != 0 && CaptureMousePixels(info) != nullptr) {
    if (!ShapeAcceptable(*info)) {
      VZ_LOG_ERROR("cursor shape refused: format [%d] %d x %d with [%d] bytes.", info->Format, info->Width,
                   info->Height, info->DataSize);
      return 0;
    }
    // The shape's format and size are part of its key: the same bytes read
    // as 8 x 16 and as 16 x 8 are two different images.
    const int32_t shape[3] = {info->Format, info->Width, info->Height};
    uint8_t digest[CMd5Digest::kSize] = {};
    CMd5Digest md5;
    CCacheEntry* entry = nullptr;
    if (md5.Begin() && md5.Update(shape, sizeof shape) &&
        md5.Update(CaptureMousePixels(info), static_cast<size_t>(info->DataSize)) && md5.Finish(digest)) {
      entry = caches_.LookupCursor(digest);
    }
    if (entry == nullptr) {
      VZ_LOG_ERROR("Cache controller fetal error on cursor");
      return 0;
    }
    if (entry->PduId == 0) {
      MakeImage(*info, entry);
      entry->PduId = NextDsPduId();
      CCacheEntry* list[1] = {entry};
      if (transport == nullptr || transport->DSSendCaches(list, 1) == 0) {
        VZ_LOG_ERROR("Failed send caches index [%d] pduid [%d] data size [%d]", static_cast<int>(entry->Index),
                     static_cast<int>(entry->PduId), static_cast<int>(entry->Slots[0].Size));
        // Made again next time the shape comes.
        caches_.ForgetImage(entry);
        return 0;
      }
      entry->ClearData();
    }
    state_.CacheIndex = entry->Index;
    state_.CachePduId = entry->PduId;
    state_.Width = info->Width;
    state_.Height = info->Height;
    state_.HotspotX = info->HotspotX;
    state_.HotspotY = info->HotspotY;
  }
  state_.MonitorId = info->MonitorId;
  state_.X = info->X;
  state_.Y = info->Y;
  if (info->MonitorId == 0) Reset();
  if (transport != nullptr) transport->DSSendMouseInfo(&state_);
  return 1;
}

int32_t CCursorChannel::OnReceivedMouse(const CMouseEntry* record, IDSTp* transport, IDSProviderSink* client) {
  if (record == nullptr) return 0;
  if (record->MonitorId == 0 && record->CachePduId == 0) {
    if (client != nullptr) client->OnMouseUpdated(nullptr);
    return 1;
  }
  if (record->CachePduId != 0 && record->CachePduId != state_.CachePduId) {
    if (record->CacheIndex < CCacheController::kCursorIndexStart ||
        record->CacheIndex >= CCacheController::kCursorIndexEnd) {
      VZ_LOG_ERROR("cursor record names cache [%u], outside the cursor caches; dropped.", record->CacheIndex);
      return 0;
    }
    CopyRecord(*record, &state_);
    if (Deliver(client) != 0) return 1;
    auto* request = new (std::nothrow) CKeyframeEntry(0);
    if (request == nullptr) {
      VZ_LOG_ERROR("no memory for a cursor cache request.");
      return 0;
    }
    request->CacheIndex = record->CacheIndex;
    request->CachePduId = record->CachePduId;
    request->Rect = VzRect{record->X, record->Y, Far(record->X, record->Width), Far(record->Y, record->Height)};
    CKeyframeEntry* list[1] = {request};
    if (transport != nullptr) transport->DSRequestCaches(list, 1);
    request->Release();
    return 0;
  }
  CopyRecord(*record, &state_);
  CursorInfo moved{};
  moved.MonitorId = state_.MonitorId;
  moved.X = state_.X;
  moved.Y = state_.Y;
  if (client != nullptr) client->OnMouseUpdated(&moved);
  return 1;
}

int32_t CCursorChannel::Deliver(IDSProviderSink* client) {
  CCacheEntry* cache = caches_.Find(state_.CacheIndex, state_.CachePduId);
  if (cache == nullptr) return 0;
  const CacheSlot& image = cache->Slots[0];
  // A cache without data (the presenter could not encode the shape) still
  // brings position, size and hot spot: the cursor goes out with data size 0.
  // An image that is there must decode.
  const bool has_image = image.Data != nullptr && image.Size > 0;
  if (has_image && image.Type == kDsCachePng) {
    int width = 0;
    int height = 0;
    if (!DecodeCursorPng(image.Data, image.Size, &width, &height, nullptr)) {
      VZ_LOG_ERROR("cursor cache [%u] pduid [%u] holds no usable PNG; cursor dropped.", cache->Index, cache->PduId);
      return 1;
    }
  }
  CursorInfo cursor{};
  cursor.MonitorId = state_.MonitorId;
  cursor.X = state_.X;
  cursor.Y = state_.Y;
  cursor.Width = state_.Width;
  cursor.Height = state_.Height;
  cursor.HotspotX = state_.HotspotX;
  cursor.HotspotY = state_.HotspotY;
  cursor.Format = image.Type;
  cursor.DataSize = has_image ? static_cast<int32_t>(image.Size) : 0;
  cursor.Data = has_image ? image.Data : nullptr;
  if (client != nullptr) client->OnMouseUpdated(&cursor);
  return 1;
}
