// Received sharing messages from a hostile peer, all the way into an
// attendee's engine: whatever the bytes, the engine must neither crash nor
// write outside its frames. Each input is delivered twice to one fresh
// engine, so the second delivery meets the state the first one left.
//
// Three properties are checked besides:
// - the client is told of frames consistently, by monitor id: a monitor is
//   shared before it is updated or unshared, and not shared twice without
//   being unshared in between;
// - whatever the input left behind, a whole valid screen update after it (a
//   sharing info, a cache and a block naming it) is drawn: the client hears
//   of the block's rectangle on its monitor;
// - delivered to a presenter (all but the server's session answers), the
//   input changes nothing of its screen: its sharing info stays as its
//   capture gave it, a capture it sent before sends nothing again (its
//   keyframe and caches stay), and its next capture of that monitor is taken.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/trace_client_test_hooks.h"
#include "platform/module_loader.h"
#include "sharing/controller/engine_controller.h"
#include "sharing/controller/engine_testlib.h"
#include "sharing/protocol/ds_reception.h"

namespace {

// The valid update played after the input: one monitor, one block.
constexpr int32_t kValidMonitor = 1;
constexpr VzRect kValidMonitorRect{0, 0, 256, 128};
constexpr VzRect kValidBlockRect{64, 0, 128, 64};

class QuietClient : public IDSProviderSink {
 public:
  int32_t OnDSStatusNotification(int32_t) override { return 1; }
  int32_t OnDSErrorNotification(int32_t, int32_t) override { return 1; }
  int32_t OnDSCommand(DSCommandRecord*) override { return 1; }
  int32_t OnDSWebBinary(CVZBinaryData*) override { return 1; }
  int32_t OnMonitorUnshared(MonitorInfo* monitor) override {
    if (shared_[monitor->MonitorId]-- != 1) __builtin_trap();
    return 1;
  }
  int32_t OnMonitorShared(MonitorInfo* monitor, uint8_t*) override {
    if (shared_[monitor->MonitorId]++ != 0) __builtin_trap();
    return 1;
  }
  int32_t OnMonitorUpdated(MonitorInfo* monitor, VzRect* rect) override {
    if (shared_[monitor->MonitorId] != 1) __builtin_trap();
    // A reported change lies inside its monitor.
    const int32_t width = monitor->Rect.right - monitor->Rect.left;
    const int32_t height = monitor->Rect.bottom - monitor->Rect.top;
    if (rect->left < 0 || rect->top < 0 || rect->right > width || rect->bottom > height) __builtin_trap();
    if (monitor->MonitorId == kValidMonitor && rect->left <= kValidBlockRect.left && rect->top <= kValidBlockRect.top &&
        rect->right >= kValidBlockRect.right && rect->bottom >= kValidBlockRect.bottom) {
      valid_block_drawn = true;
    }
    return 1;
  }
  int32_t OnMouseUpdated(CursorInfo*) override { return 1; }
  int32_t OnSharingInfo(SharingInfo*) override { return 1; }
  int32_t OnSharingStatus(int32_t) override { return 1; }

  bool valid_block_drawn = false;

 private:
  std::map<int32_t, int> shared_;  // frames the client was told of, by monitor id
};

// The sharing info of the valid monitor, in blocks of 64 x 64.
SharingInfo ValidMonitorInfo() {
  SharingInfo info{};
  info.BlockWidth = info.BlockHeight = 64;
  info.IsDesktopSharing = 1;
  info.SharedRect = kValidMonitorRect;
  info.MonitorCount = 1;
  info.Monitors[0].MonitorId = kValidMonitor;
  info.Monitors[0].Rect = kValidMonitorRect;
  info.Monitors[0].BitsPerPixel = 32;
  return info;
}

// A presenter's whole update of one monitor, as an attendee that has just
// joined gets it: the sharing info, a cache, a block that shows it.
void DeliverValidUpdate(IDSTpSink* sink) {
  SharingInfo info = ValidMonitorInfo();
  sink->OnDSTpSharingInfo(&info);
  VzObjectPtr<CCacheEntry> cache(new CCacheEntry(20));
  cache->PduId = 7;
  cache->SetSlot(0, 30, "png", 3);  // not a tile: not painted, still reported
  CCacheEntry* caches[] = {cache.get()};
  sink->OnDSTpCaches(caches, 1);
  VzObjectPtr<CKeyframeEntry> block(new CKeyframeEntry(0));
  block->PduId = 8;
  block->Position = 10102;
  block->CacheIndex = 20;
  block->CachePduId = 7;
  block->MonitorId = kValidMonitor;
  block->Rect = kValidBlockRect;
  CKeyframeEntry* blocks[] = {block.get()};
  sink->OnDSTpBlocks(blocks, 1);
}

// The presenter's capture of one changed box of the valid monitor.
std::vector<uint8_t> CapturedBox(VzRect box) {
  const size_t bytes = static_cast<size_t>(box.right - box.left) * static_cast<size_t>(box.bottom - box.top) * 4;
  std::vector<uint8_t> record(kCaptureScreenHeaderSize + bytes, 0x5a);
  auto* data = reinterpret_cast<CaptureScreenData*>(record.data());
  std::memset(data, 0, kCaptureScreenHeaderSize);
  data->MonitorId = kValidMonitor;
  data->MonitorRect = kValidMonitorRect;
  data->DirtyRect = box;
  data->BitsPerPixel = 32;
  data->DataSize = static_cast<int32_t>(bytes);
  data->Data = kCaptureScreenHeaderSize;
  return record;
}

// The block messages a presenter sent.
size_t BlockMessages(const engine_test::FakeDsTp& tp) {
  return static_cast<size_t>(std::count_if(tp.sent.begin(), tp.sent.end(),
                                           [](const std::string& sent) { return sent.rfind("blocks", 0) == 0; }));
}

// What the connection's helper window does with each event.
void Deliver(IDSTpSink* sink, DsReceivedEvent& event) {
  using Kind = DsReceivedEvent::Kind;
  switch (event.kind) {
    case Kind::kStatus: sink->OnTPStatusNotification(event.value); break;
    case Kind::kError: sink->OnTPErrorNotification(event.value, event.code_type); break;
    case Kind::kSharingInfo: sink->OnDSTpSharingInfo(event.sharing_info.get()); break;
    case Kind::kMouseInfo: sink->OnDSTpMouseInfo(event.mouse.get()); break;
    case Kind::kCaches:
    case Kind::kBlocks:
    case Kind::kRequestCaches: {
      std::vector<CCacheEntry*> caches;
      for (auto& cache : event.caches) caches.push_back(cache.get());
      std::vector<CKeyframeEntry*> blocks;
      for (auto& block : event.blocks) blocks.push_back(block.get());
      if (event.kind == Kind::kCaches) {
        sink->OnDSTpCaches(caches.data(), static_cast<int32_t>(caches.size()));
      } else if (event.kind == Kind::kBlocks) {
        sink->OnDSTpBlocks(blocks.data(), static_cast<int32_t>(blocks.size()));
      } else {
        sink->OnDSTpRequestCaches(blocks.data(), static_cast<int32_t>(blocks.size()));
      }
      break;
    }
    case Kind::kCommand: sink->OnDSTpCommand(event.command.get()); break;
    case Kind::kWebBinary: sink->OnDSTpWebBinary(event.web_binary.get()); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Each engine's codec binding unloads the JPEG library again; held here
  // it stays mapped, with the fuzzer's counters inside it.
  static const vz::ModuleHandle jpeg = [] {
    vz::BindTracerForTest(nullptr);
    return vz::LoadModule("jpeg9b").module;
  }();
  (void)jpeg;
  QuietClient client;
  EngineOptions options;
  options.create_tp = [](IDSTpSink*) -> IDSTp* { return nullptr; };
  options.grab_library = "vzgrabnotthere";
  CEnginController engine(&client, options);
  for (int round = 0; round < 2; ++round) {
    auto events = ReadDsReception(data, size, false);
    for (DsReceivedEvent& event : events) Deliver(&engine, event);
  }
  DeliverValidUpdate(&engine);
  if (!client.valid_block_drawn) __builtin_trap();

  QuietClient presenter_client;
  engine_test::FakeDsTp tp;  // records what the presenter sends
  EngineOptions presenter_options;
  presenter_options.create_tp = [&tp](IDSTpSink*) -> IDSTp* { return &tp; };
  presenter_options.release_tp = [](IDSTp*) {};
  presenter_options.grab_library = "vzgrabnotthere";
  CEnginController presenter(&presenter_client, presenter_options);
  DSSessionConfig config{};
  config.IsPresenter = 1;
  if (presenter.StartDS(nullptr, &config, nullptr) != 1) __builtin_trap();
  SharingInfo own = ValidMonitorInfo();
  if (presenter.OnDSKeSharingInfo(&own) != 1) __builtin_trap();
  std::vector<uint8_t> capture = CapturedBox({0, 0, 63, 63});
  if (presenter.OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(capture.data())) != 1) __builtin_trap();
  static SharingInfo kept;
  std::memcpy(&kept, &presenter.sharing_info(), sizeof kept);
  const size_t blocks_sent = BlockMessages(tp);
  for (DsReceivedEvent& event : ReadDsReception(data, size, false)) {
    // The server's answers start and end sessions by design.
    if (event.kind != DsReceivedEvent::Kind::kStatus && event.kind != DsReceivedEvent::Kind::kError) {
      Deliver(&presenter, event);
    }
  }
  if (std::memcmp(&kept, &presenter.sharing_info(), sizeof kept) != 0) __builtin_trap();
  if (presenter.OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(capture.data())) != 1) __builtin_trap();
  if (BlockMessages(tp) != blocks_sent) __builtin_trap();
  std::vector<uint8_t> next = CapturedBox({64, 0, 127, 63});
  if (presenter.OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(next.data())) != 1) __builtin_trap();
  return 0;
}
