#pragma once
// Test support for the engine's screen and cursor handlers: a transport that
// records what is sent (as records and as the bytes on the wire), a client
// that records what it is told, a lossless codec with the jpeg9b calling
// convention, builders of capture records, and the two sides' state wired
// as the engine wires it.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "contracts/capture_records.h"
#include "contracts/ds_provider.h"
#include "sharing/engine/cache_controller.h"
#include "sharing/engine/codec_mgr.h"
#include "sharing/engine/cursor_channel.h"
#include "sharing/engine/frame_rebuild.h"
#include "sharing/engine/keyframe_controller.h"
#include "sharing/engine/monitor_frames.h"
#include "sharing/engine/sharing_info_handler.h"
#include "sharing/engine/tile_pipeline.h"
#include "sharing/protocol/ds_message_builder.h"
#include "sharing/protocol/ds_reception.h"
#include "sharing/transport/ds_tp.h"

namespace ds_test {

struct SentCache {
  uint32_t index, pdu_id;
  int32_t type;
  std::string bytes;
};
struct SentBlock {
  uint32_t index, pdu_id, position, cache_index, cache_pdu_id, monitor_id;
  VzRect rect;
};
// The fields of a cursor record (CMouseEntry itself cannot be copied).
struct SentMouse {
  int32_t MonitorId, X, Y, Width, Height, HotspotX, HotspotY;
  uint32_t CacheIndex, CachePduId;
};
struct SentMessage {
  DsDataType type;
  std::vector<SentCache> caches;
  std::vector<SentBlock> blocks;
  SentMouse mouse;
};

inline bool ZeroGuid(DsGuid* guid) {
  *guid = DsGuid{};
  return true;
}

// Records every send; `wire` holds the serialized messages in order.
class RecordingTransport : public IDSTp {
 public:
  RecordingTransport() : builder_(ZeroGuid) {}

  std::vector<SentMessage> sent;
  std::vector<std::string> wire;
  int32_t result = 1;  // what the senders return

  int Count(DsDataType type) const {
    int n = 0;
    for (const SentMessage& m : sent) n += m.type == type ? 1 : 0;
    return n;
  }
  void Clear() {
    sent.clear();
    wire.clear();
  }

  int32_t DSConnect(const DSSessionConfig*, const NetworkProxyEntry*) override { return 1; }
  int32_t DSDisconnect() override { return 1; }
  int32_t DSSendSharingInfo(const SharingInfo* info) override {
    std::string bytes;
    builder_.BuildSharingInfo(*info, &bytes);
    return Record(DS_DATA_CREATE_SHARINGINFO, std::move(bytes), SentMessage{DS_DATA_CREATE_SHARINGINFO, {}, {}, {}});
  }
  int32_t DSSendMouseInfo(const CMouseEntry* mouse) override {
    std::string bytes;
    builder_.BuildMouseInfo(*mouse, &bytes);
    SentMessage m{DS_DATA_CREATE_MOUSEINFO, {}, {}, {}};
    CopyMouse(*mouse, &m.mouse);
    return Record(DS_DATA_CREATE_MOUSEINFO, std::move(bytes), std::move(m));
  }
  int32_t DSSendCaches(CCacheEntry* const* list, int32_t count) override {
    std::string bytes;
    builder_.BuildCaches(list, count, &bytes);
    SentMessage m{DS_DATA_CREATE_CACHES, {}, {}, {}};
    for (int32_t i = 0; i < count; ++i) {
      const CacheSlot& slot = list[i]->Slots[0];
      m.caches.push_back(SentCache{list[i]->Index, list[i]->PduId, slot.Type,
                                   std::string(reinterpret_cast<const char*>(slot.Data), slot.Data ? slot.Size : 0)});
    }
    return Record(DS_DATA_CREATE_CACHES, std::move(bytes), std::move(m));
  }
  int32_t DSSendBlocks(CKeyframeEntry* const* list, int32_t count) override {
    return SendBlocks(DS_DATA_CREATE_BLOCKS, list, count);
  }
  int32_t DSRequestKeyFrame() override { return 1; }
  int32_t DSRequestCaches(CKeyframeEntry* const* list, int32_t count) override {
    return SendBlocks(DS_DATA_GET_CACHES, list, count);
  }
  int32_t DSSendCommand(const DSCommandRecord*) override { return 1; }
  int32_t DSSendWebBinary(const CVZBinaryData*) override { return 1; }

  template <typename From, typename To>
  static void CopyMouse(const From& from, To* to) {
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

 private:
  int32_t SendBlocks(DsDataType type, CKeyframeEntry* const* list, int32_t count) {
    std::string bytes;
    builder_.BuildBlocks(type, list, count, &bytes);
    SentMessage m{type, {}, {}, {}};
    for (int32_t i = 0; i < count; ++i) {
      const CKeyframeEntry& b = *list[i];
      m.blocks.push_back(SentBlock{b.Index, b.PduId, b.Position, b.CacheIndex, b.CachePduId, b.MonitorId, b.Rect});
    }
    return Record(type, std::move(bytes), std::move(m));
  }
  int32_t Record(DsDataType, std::string bytes, SentMessage message) {
    sent.push_back(std::move(message));
    wire.push_back(std::move(bytes));
    return result;
  }

  CDsMessageBuilder builder_;
};

// Records what the client is told; keeps a copy of each cursor image.
class RecordingClient : public IDSProviderSink {
 public:
  struct Update {
    int32_t monitor_id;
    VzRect rect;
  };
  std::vector<int32_t> shared, unshared;
  std::vector<Update> updates;
  std::vector<CursorInfo> cursors;  // Data cleared; see cursor_images
  std::vector<std::string> cursor_images;
  int null_cursors = 0;
  int sharing_infos = 0;

  int32_t OnDSStatusNotification(int32_t) override { return 1; }
  int32_t OnDSErrorNotification(int32_t, int32_t) override { return 1; }
  int32_t OnDSCommand(DSCommandRecord*) override { return 1; }
  int32_t OnDSWebBinary(CVZBinaryData*) override { return 1; }
  int32_t OnMonitorUnshared(MonitorInfo* monitor) override {
    unshared.push_back(monitor->MonitorId);
    return 1;
  }
  int32_t OnMonitorShared(MonitorInfo* monitor, uint8_t*) override {
    shared.push_back(monitor->MonitorId);
    return 1;
  }
  int32_t OnMonitorUpdated(MonitorInfo* monitor, VzRect* rect) override {
    updates.push_back(Update{monitor->MonitorId, *rect});
    return 1;
  }
  int32_t OnMouseUpdated(CursorInfo* cursor) override {
    if (cursor == nullptr) {
      ++null_cursors;
      return 1;
    }
    cursor_images.emplace_back(reinterpret_cast<const char*>(cursor->Data), cursor->Data ? cursor->DataSize : 0);
    cursors.push_back(*cursor);
    cursors.back().Data = nullptr;
    return 1;
  }
  int32_t OnSharingInfo(SharingInfo*) override {
    ++sharing_infos;
    return 1;
  }
  int32_t OnSharingStatus(int32_t) override { return 1; }
};

// A codec that keeps pixels exactly, in the jpeg9b calling convention:
// compressed = width, height (int32 each) then the rows packed; decoding
// gives the rows and *out = their byte count.
class LosslessCodec : public CCodecMgrWin {
 public:
  LosslessCodec() : CCodecMgrWin("") {}
  int compressions = 0;
  int decompressions = 0;            // images decoded
  uint64_t decompressed_pixels = 0;  // their pixels

  uint8_t* DoCompress(int width, int height, int, int, int stride, const uint8_t* pixels, int* out_size) override {
    ++compressions;
    const size_t row = static_cast<size_t>(width) * 4;
    const size_t size = 8 + row * static_cast<size_t>(height);
    auto* out = static_cast<uint8_t*>(std::malloc(size));
    std::memcpy(out, &width, 4);
    std::memcpy(out + 4, &height, 4);
    for (int y = 0; y < height; ++y) std::memcpy(out + 8 + row * y, pixels + static_cast<size_t>(stride) * y, row);
    *out_size = static_cast<int>(size);
    return out;
  }
  uint8_t* Decompress(const uint8_t* data, int size, int, int* out) override {
    *out = 0;
    if (data == nullptr || size < 8) return nullptr;
    int32_t width = 0, height = 0;
    std::memcpy(&width, data, 4);
    std::memcpy(&height, data + 4, 4);
    if (width < 1 || height < 1 || width > 4096 || height > 4096 ||
        static_cast<int64_t>(width) * height * 4 != size - 8) {
      return nullptr;
    }
    auto* pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size - 8)));
    std::memcpy(pixels, data + 8, static_cast<size_t>(size - 8));
    *out = size - 8;
    ++decompressions;
    decompressed_pixels += static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    return pixels;
  }
};

inline MonitorInfo Monitor(int32_t id, VzRect rect) {
  MonitorInfo monitor{};
  monitor.MonitorId = id;
  monitor.Rect = rect;
  monitor.LogicalRect = rect;
  monitor.BitsPerPixel = 32;
  monitor.StateFlags = kMonitorStateAttached;
  monitor.DpiScale = 1.0f;
  return monitor;
}

inline std::unique_ptr<SharingInfo> Sharing(std::vector<MonitorInfo> monitors, VzRect shared) {
  auto info = std::make_unique<SharingInfo>();
  std::memset(info.get(), 0, sizeof(SharingInfo));
  info->BlockWidth = 128;
  info->BlockHeight = 128;
  info->IsDesktopSharing = 1;
  info->SharedRect = shared;
  info->MonitorCount = static_cast<int32_t>(monitors.size());
  for (size_t i = 0; i < monitors.size(); ++i) info->Monitors[i] = monitors[i];
  return info;
}

// A monitor's whole screen as the capture holds it, and the records of its
// changed boxes.
class Screen {
 public:
  Screen(int32_t id, VzRect rect)
      : id_(id), rect_(rect), width_(rect.right - rect.left), height_(rect.bottom - rect.top),
        pixels_(static_cast<size_t>(width_) * height_, 0xFF000000u) {}

  uint32_t& At(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  void Fill(VzRect box, uint32_t colour) {
    for (int y = box.top; y < box.bottom; ++y)
      for (int x = box.left; x < box.right; ++x) At(x, y) = colour;
  }
  // Something different in every pixel of `box`, from `seed`.
  void Pattern(VzRect box, uint32_t seed) {
    for (int y = box.top; y < box.bottom; ++y)
      for (int x = box.left; x < box.right; ++x) At(x, y) = 0xFF000000u | ((x * 7919u + y * 104729u + seed * 31u) & 0xFFFFFF);
  }
  // Smooth colours with a few hard edges, as screens mostly are.
  void Gradient(VzRect box) {
    for (int y = box.top; y < box.bottom; ++y)
      for (int x = box.left; x < box.right; ++x) {
        const uint32_t band = (y / 90) % 2 == 0 ? 0 : 0x40;
        At(x, y) = 0xFF000000u | ((x / 8 + band) & 0xFF) << 16 | ((y / 4) & 0xFF) << 8 | (((x + y) / 16) & 0xFF);
      }
  }
  // The capture record of `box`: header and packed rows in one block.
  CaptureScreenData* Capture(VzRect box) {
    const size_t row = static_cast<size_t>(box.right - box.left) * 4;
    const size_t size = row * static_cast<size_t>(box.bottom - box.top);
    record_.assign(sizeof(CaptureScreenData) + size, 0);
    auto* data = reinterpret_cast<CaptureScreenData*>(record_.data());
    data->MonitorId = id_;
    data->MonitorRect = rect_;
    data->DirtyRect = box;
    data->BitsPerPixel = 32;
    data->DataSize = static_cast<int32_t>(size);
    data->Data = kCaptureScreenHeaderSize;
    uint8_t* pixels = CaptureScreenPixels(data);
    for (int y = box.top; y < box.bottom; ++y) std::memcpy(pixels + row * (y - box.top), &At(box.left, y), row);
    return data;
  }
  int32_t id() const { return id_; }
  const VzRect& rect() const { return rect_; }
  int width() const { return width_; }
  int height() const { return height_; }
  const uint32_t* pixels() const { return pixels_.data(); }

 private:
  int32_t id_;
  VzRect rect_;
  int width_, height_;
  std::vector<uint32_t> pixels_;
  std::vector<uint8_t> record_;
};

// One side's screen state, wired as the engine wires its members.
struct Side {
  explicit Side(CCodecMgrWin* codec, size_t frame_budget = CMonitorFrames::kDefaultByteBudget,
                const vz::Clock* clock = nullptr)
      : frames(frame_budget), cursor(caches), pipeline(caches, keyframes, codec),
        rebuild(caches, keyframes, codec, frames, clock),
        stored(std::make_unique<SharingInfo>()) {
    std::memset(stored.get(), 0, sizeof(SharingInfo));
  }
  DsScreenState State() { return DsScreenState{stored.get(), &keyframes, &cursor, &frames}; }

  // What the engine does with each event of a received message.
  void Receive(const std::string& bytes, IDSTp* transport, IDSProviderSink* client) {
    Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), transport, client);
  }
  void Receive(const uint8_t* data, size_t size, IDSTp* transport, IDSProviderSink* client) {
    for (DsReceivedEvent& event : ReadDsReception(data, size, false)) {
      std::vector<CCacheEntry*> caches_list;
      for (auto& c : event.caches) caches_list.push_back(c.get());
      std::vector<CKeyframeEntry*> blocks_list;
      for (auto& b : event.blocks) blocks_list.push_back(b.get());
      switch (event.kind) {
        case DsReceivedEvent::Kind::kSharingInfo:
          HandleSharingInfo(event.sharing_info.get(), State(), client);
          break;
        case DsReceivedEvent::Kind::kCaches:
          rebuild.OnCaches(caches_list.data(), static_cast<int32_t>(caches_list.size()));
          break;
        case DsReceivedEvent::Kind::kMouseInfo:
          cursor.OnReceivedMouse(event.mouse.get(), transport, client);
          break;
        case DsReceivedEvent::Kind::kBlocks:
          rebuild.OnBlocks(blocks_list.data(), static_cast<int32_t>(blocks_list.size()), transport, client);
          break;
        case DsReceivedEvent::Kind::kRequestCaches:
          rebuild.OnRequestCaches(blocks_list.data(), static_cast<int32_t>(blocks_list.size()), cursor, client);
          break;
        default:
          break;
      }
    }
  }

  CCacheController caches;
  CKeyframeController keyframes;
  CMonitorFrames frames;
  CCursorChannel cursor;
  CTilePipeline pipeline;
  CFrameRebuild rebuild;
  std::unique_ptr<SharingInfo> stored;
};

}  // namespace ds_test
