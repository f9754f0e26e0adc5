#include "sharing/protocol/ds_message_writer.h"

#include <algorithm>

#include "common/trace_client.h"
#include "sharing/protocol/ds_limits.h"
#include "sharing/protocol/ds_text.h"

namespace {

// Sign extension: -1 becomes 0xFFFFFFFFFFFFFFFF, a ten-byte varint.
int64_t Signed(int32_t value) { return value; }
uint64_t SignedU(int32_t value) { return static_cast<uint64_t>(static_cast<int64_t>(value)); }
// Zero extension: 0xFFFFFFFF stays 0x00000000FFFFFFFF.
uint64_t Unsigned(uint32_t value) { return value; }
uint64_t Unsigned(int32_t value) { return static_cast<uint32_t>(value); }

// right - left as the 32-bit difference (wrapping, as the record's own
// arithmetic does), then sign-extended.
uint64_t Extent(int32_t low, int32_t high) {
  return SignedU(static_cast<int32_t>(static_cast<uint32_t>(high) - static_cast<uint32_t>(low)));
}

void WritePoint(int32_t x, int32_t y, DsPoint* out) {
  out->set_x(Signed(x));
  out->set_y(Signed(y));
}

}  // namespace

void WriteDsHeader(DsDataType type, const std::string& ds_id, const DsGuidSource& guids,
                   DsData* message) {
  message->set_type(type);
  message->set_sequence(MakeDsSequence(guids));
  message->set_ds_id(ds_id);
}

void WriteDsRect(const VzRect& rect, DsRect* out) {
  out->set_x(Signed(rect.left));
  out->set_y(Signed(rect.top));
  out->set_width(Extent(rect.left, rect.right));
  out->set_height(Extent(rect.top, rect.bottom));
}

void WriteDsSharingInfo(const SharingInfo& info, DsSharingInfo* out) {
  out->set_capture_mode(SignedU(info.CaptureMode));
  WriteDsRect(info.SharedRect, out->mutable_rect());
  out->set_is_desktop_sharing(SignedU(info.IsDesktopSharing));
  const int count = std::clamp(info.MonitorCount, 0, kMonitorListCapacity);
  for (int i = 0; i < count; ++i) {
    const MonitorInfo& monitor = info.Monitors[i];
    DsMonitor* entry = out->add_monitors();
    entry->set_monitor_id(Unsigned(monitor.MonitorId));
    entry->set_monitor_name(DsUtf8Cut(monitor.Name, kDsNameMaxBytes));
    WriteDsRect(monitor.Rect, entry->mutable_rect());
    entry->set_bits_pixel(SignedU(monitor.BitsPerPixel));
    entry->set_background_color(Unsigned(monitor.BackgroundColor));
  }
}

void WriteDsMouseInfo(const CMouseEntry& mouse, DsMouseInfo* out) {
  out->set_monitor_id(Unsigned(mouse.MonitorId));
  WritePoint(mouse.HotspotX, mouse.HotspotY, out->mutable_hotspot());
  DsRect* rect = out->mutable_rect();
  rect->set_x(Signed(mouse.X));
  rect->set_y(Signed(mouse.Y));
  rect->set_width(SignedU(mouse.Width));
  rect->set_height(SignedU(mouse.Height));
  out->set_cache_index(Unsigned(mouse.CacheIndex));
  out->set_cache_pdu_id(Unsigned(mouse.CachePduId));
}

void WriteDsCache(const CCacheEntry& cache, DsCache* out) {
  out->set_index(Unsigned(cache.Index));
  out->set_pdu_id(Unsigned(cache.PduId));
  for (const CacheSlot& slot : cache.Slots) {
    if (slot.Type == 0) continue;
    if (!DsCacheType_IsValid(slot.Type)) {
      VZ_LOG_ERROR("cache index [%u] has a slot of unknown type [%d]", cache.Index, slot.Type);
      continue;
    }
    DsCacheData* data = out->add_cache_data();
    data->set_type(static_cast<DsCacheType>(slot.Type));
    data->set_data_size(Unsigned(slot.Size));
    if (slot.Data != nullptr && slot.Size != 0) data->set_data(slot.Data, slot.Size);
  }
}

void WriteDsBlock(const CKeyframeEntry& block, DsBlock* out) {
  out->set_index(Unsigned(block.Index));
  out->set_pdu_id(Unsigned(block.PduId));
  out->set_monitor_id(Unsigned(block.MonitorId));
  out->set_position(Unsigned(block.Position));
  out->set_cache_index(Unsigned(block.CacheIndex));
  out->set_cache_pdu_id(Unsigned(block.CachePduId));
  WriteDsRect(block.Rect, out->mutable_rect());
}

void WriteDsCommand(const DSCommandRecord& command, DsCommand* out) {
  out->set_type(SignedU(command.Type));
  out->set_src_roster_id(DsUtf8Cut(command.SrcRosterId, kDsNameMaxBytes));
  out->set_dst_roster_id(DsUtf8Cut(command.DstRosterId, kDsNameMaxBytes));
  if (command.MouseType != 0) {
    DsMouseEvent* mouse = out->mutable_mouse_event();
    mouse->set_type(SignedU(command.MouseType));
    mouse->set_monitor_id(Unsigned(command.MouseMonitorId));
    WritePoint(command.MouseX, command.MouseY, mouse->mutable_point());
    mouse->set_wparam(Unsigned(command.MouseWParam));
  }
  if (command.KeyType != 0) {
    DsKeyboardEvent* key = out->mutable_keyboard_event();
    key->set_type(SignedU(command.KeyType));
    key->set_monitor_id(Unsigned(command.KeyMonitorId));
    key->set_lparam(Unsigned(command.KeyLParam));
    key->set_wparam(command.KeyWParam);
  }
  if (command.AnnotationType != 0) {
    DsAnnotationEvent* annotation = out->mutable_annotation_event();
    annotation->set_type(SignedU(command.AnnotationType));
    annotation->set_monitor_id(Unsigned(command.AnnotationMonitorId));
    annotation->set_color(Unsigned(command.AnnotationColor));
    annotation->set_weight(Unsigned(command.AnnotationWeight));
    if (command.PointCount != 0 && command.Points != nullptr) {
      annotation->mutable_points()->Reserve(static_cast<int>(std::min<uint32_t>(command.PointCount, 1u << 20)));
      for (uint32_t i = 0; i < command.PointCount; ++i) {
        WritePoint(command.Points[i].x, command.Points[i].y, annotation->add_points());
      }
    }
  }
}
