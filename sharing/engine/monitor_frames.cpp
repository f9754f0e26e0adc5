#include "sharing/engine/monitor_frames.h"

#include <algorithm>
#include <vector>

#include "common/trace_client.h"
#include "sharing/engine/rect_text.h"

CMonitorFrames::~CMonitorFrames() { RemoveAll(nullptr); }

CMonitorData* CMonitorFrames::Find(int32_t monitor_id) const {
  for (int32_t i = 0; i < frames_.GetCount(); ++i) {
    if (GetAt(i)->MonitorId() == monitor_id) return GetAt(i);
  }
  return nullptr;
}

size_t CMonitorFrames::BytesInUse() const {
  size_t total = 0;
  for (int32_t i = 0; i < frames_.GetCount(); ++i) total += GetAt(i)->Size();
  return total;
}

void CMonitorFrames::Apply(const SharingInfo& info, IDSProviderSink* client) {
  const int32_t count = std::clamp(info.MonitorCount, 0, kMonitorListCapacity);
  for (int32_t i = frames_.GetCount() - 1; i >= 0; --i) {
    CMonitorData* frame = GetAt(i);
    bool kept = false;
    for (int32_t m = 0; m < count && !kept; ++m) kept = frame->Matches(info.Monitors[m]);
    if (kept) continue;
    // Out of the list before the client hears of it: a client that stops the
    // engine from the callback empties the list, and must not free it twice.
    frames_.RemoveAt(i);
    if (client != nullptr) client->OnMonitorUnshared(frame->Info());
    delete frame;
    i = std::min(i, frames_.GetCount());
  }
  for (int32_t m = 0; m < count; ++m) {
    const MonitorInfo& monitor = info.Monitors[m];
    CMonitorData* frame = nullptr;
    for (int32_t i = 0; i < frames_.GetCount() && frame == nullptr; ++i) {
      if (GetAt(i)->Matches(monitor)) frame = GetAt(i);
    }
    if (frame != nullptr) {
      frame->GreyOutside(info.SharedRect);
      VzRect whole{0, 0, frame->Width(), frame->Height()};
      if (client != nullptr) client->OnMonitorUpdated(frame->Info(), &whole);
      continue;
    }
    VZ_LOG("DSKE : Monitor Id: [%d] rc [%s] (%d)", monitor.MonitorId,
           DsRectText(monitor.Rect).c_str(), monitor.BitsPerPixel);
    // The size is checked by Create; the budget here, before allocating.
    const int64_t width = static_cast<int64_t>(monitor.Rect.right) - monitor.Rect.left;
    const int64_t height = static_cast<int64_t>(monitor.Rect.bottom) - monitor.Rect.top;
    if (width > 0 && height > 0 && width <= CMonitorData::kMaxSide && height <= CMonitorData::kMaxSide &&
        BytesInUse() + static_cast<size_t>(width * height) * 4 > byte_budget_) {
      VZ_LOG_ERROR("monitor [%d] of %lld x %lld: no frame, the frames would exceed [%zu] bytes.", monitor.MonitorId,
                   static_cast<long long>(width), static_cast<long long>(height), byte_budget_);
      continue;
    }
    frame = CMonitorData::Create(monitor);
    if (frame == nullptr) continue;
    if (frames_.Append(frame) == 0) {
      VZ_LOG_ERROR("monitor [%d]: the frame list cannot grow.", monitor.MonitorId);
      delete frame;
      continue;
    }
    if (client != nullptr) client->OnMonitorShared(frame->Info(), frame->Pixels());
  }
}

void CMonitorFrames::RemoveAll(IDSProviderSink* client) {
  // The list is emptied first, so that a client calling back in from
  // OnMonitorUnshared finds no frame to free again.
  std::vector<CMonitorData*> gone;
  gone.reserve(static_cast<size_t>(frames_.GetCount()));
  for (int32_t i = 0; i < frames_.GetCount(); ++i) gone.push_back(GetAt(i));
  frames_.RemoveAll();
  for (CMonitorData* frame : gone) {
    if (client != nullptr) client->OnMonitorUnshared(frame->Info());
    delete frame;
  }
}
