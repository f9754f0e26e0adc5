#include "sharing/protocol/ds_message_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/trace_client.h"
#include "sharing/protocol/ds_limits.h"
#include "sharing/protocol/ds_text.h"

namespace {

int32_t Low32(uint64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }
int32_t Low32(int64_t value) { return Low32(static_cast<uint64_t>(value)); }
uint32_t Low32U(uint64_t value) { return static_cast<uint32_t>(value); }

// x + width in 32-bit wrapping arithmetic, as the record holds it.
int32_t Far(int64_t origin, uint64_t extent) {
  return static_cast<int32_t>(static_cast<uint32_t>(origin) + static_cast<uint32_t>(extent));
}

VzRect ReadRect(const DsRect& rect) {
  return VzRect{Low32(rect.x()), Low32(rect.y()), Far(rect.x(), rect.width()), Far(rect.y(), rect.height())};
}

}  // namespace

void FreeDsCommandRecord(DSCommandRecord* command) {
  if (command == nullptr) return;
  delete[] command->Points;
  delete command;
}

void ReadDsSharingInfo(const DsSharingInfo& message, SharingInfo* info) {
  std::memset(info, 0, sizeof(*info));
  info->CaptureMode = Low32(message.capture_mode());
  info->IsDesktopSharing = Low32(message.is_desktop_sharing());
  if (message.has_rect()) info->SharedRect = ReadRect(message.rect());
  int count = message.monitors_size();
  if (count > kDsMaxMonitors) {
    VZ_LOG_ERROR("sharing info with [%d] monitors, only the first [%d] are kept", count, kDsMaxMonitors);
    count = kDsMaxMonitors;
  }
  info->MonitorCount = count;
  for (int i = 0; i < count; ++i) {
    const DsMonitor& source = message.monitors(i);
    MonitorInfo& monitor = info->Monitors[i];
    monitor.MonitorId = Low32(source.monitor_id());
    DsUtf8ToField(source.monitor_name(), monitor.Name, std::size(monitor.Name));
    if (source.has_rect()) monitor.Rect = ReadRect(source.rect());
    monitor.BitsPerPixel = Low32(source.bits_pixel());
    monitor.BackgroundColor = Low32U(source.background_color());
  }
}

VzObjectPtr<CMouseEntry> ReadDsMouseInfo(const DsMouseInfo& message) {
  VzObjectPtr<CMouseEntry> mouse(new (std::nothrow) CMouseEntry());
  if (!mouse) return mouse;
  mouse->MonitorId = Low32(message.monitor_id());
  mouse->HotspotX = Low32(message.hotspot().x());
  mouse->HotspotY = Low32(message.hotspot().y());
  mouse->X = Low32(message.rect().x());
  mouse->Y = Low32(message.rect().y());
  mouse->Width = Low32(message.rect().width());
  mouse->Height = Low32(message.rect().height());
  mouse->CacheIndex = Low32U(message.cache_index());
  mouse->CachePduId = Low32U(message.cache_pdu_id());
  return mouse;
}

VzObjectPtr<CCacheEntry> ReadDsCache(const DsCache& message) {
  VzObjectPtr<CCacheEntry> cache(new (std::nothrow) CCacheEntry(Low32U(message.index())));
  if (!cache) return cache;
  cache->PduId = Low32U(message.pdu_id());
  const int slots = std::min(message.cache_data_size(), CCacheEntry::kSlotCount);
  for (int i = 0; i < slots; ++i) {
    const DsCacheData& data = message.cache_data(i);
    // The sender's size claims no more than it carried.
    uint64_t size = data.data_size();
    if (size > data.data().size()) {
      VZ_LOG_ERROR("cache index [%u] slot [%d] claims [%llu] bytes and carries [%zu]", cache->Index, i,
                   static_cast<unsigned long long>(size), data.data().size());
      size = data.data().size();
    }
    // A slot without a (known) type stays typed 0, "empty", rather than
    // taking the schema's default.
    const int32_t type = data.has_type() ? static_cast<int32_t>(data.type()) : 0;
    cache->SetSlot(i, type, data.data().data(), static_cast<uint32_t>(size));
  }
  return cache;
}

VzObjectPtr<CKeyframeEntry> ReadDsBlock(const DsBlock& message) {
  VzObjectPtr<CKeyframeEntry> block(new (std::nothrow) CKeyframeEntry(Low32U(message.index())));
  if (!block) return block;
  block->PduId = Low32U(message.pdu_id());
  block->Position = Low32U(message.position());
  block->CacheIndex = Low32U(message.cache_index());
  block->CachePduId = Low32U(message.cache_pdu_id());
  block->MonitorId = Low32U(message.monitor_id());
  if (message.has_rect()) block->Rect = ReadRect(message.rect());
  return block;
}

DsCommandPtr ReadDsCommand(const DsCommand& message) {
  DsCommandPtr command(new (std::nothrow) DSCommandRecord());
  if (!command) {
    VZ_LOG_ERROR("no memory for a command record");
    return command;
  }
  command->Type = Low32(message.type());
  DsUtf8ToField(message.src_roster_id(), command->SrcRosterId, std::size(command->SrcRosterId));
  DsUtf8ToField(message.dst_roster_id(), command->DstRosterId, std::size(command->DstRosterId));
  if (message.has_mouse_event()) {
    const DsMouseEvent& mouse = message.mouse_event();
    command->MouseType = Low32(mouse.type());
    command->MouseMonitorId = Low32(mouse.monitor_id());
    command->MouseX = Low32(mouse.point().x());
    command->MouseY = Low32(mouse.point().y());
    command->MouseWParam = Low32(mouse.wparam());
  }
  if (message.has_keyboard_event()) {
    const DsKeyboardEvent& key = message.keyboard_event();
    command->KeyType = Low32(key.type());
    command->KeyMonitorId = Low32(key.monitor_id());
    command->KeyLParam = Low32(key.lparam());
    command->KeyWParam = static_cast<uint8_t>(key.wparam());
  }
  if (message.has_annotation_event()) {
    const DsAnnotationEvent& annotation = message.annotation_event();
    command->AnnotationType = Low32(annotation.type());
    command->AnnotationMonitorId = Low32(annotation.monitor_id());
    command->AnnotationColor = Low32U(annotation.color());
    command->AnnotationWeight = Low32(annotation.weight());
    uint32_t count = static_cast<uint32_t>(annotation.points_size());
    if (count > kDsMaxAnnotationPoints) {
      VZ_LOG_ERROR("annotation with [%u] points, only the first [%u] are kept", count, kDsMaxAnnotationPoints);
      count = kDsMaxAnnotationPoints;
    }
    if (count != 0) {
      command->Points = new (std::nothrow) VzPoint[count];
      if (command->Points == nullptr) {
        VZ_LOG_ERROR("no memory for [%u] annotation points", count);
        return nullptr;
      }
      for (uint32_t i = 0; i < count; ++i) {
        command->Points[i] = VzPoint{Low32(annotation.points(static_cast<int>(i)).x()),
                                     Low32(annotation.points(static_cast<int>(i)).y())};
      }
      command->PointCount = count;
    }
  }
  return command;
}
