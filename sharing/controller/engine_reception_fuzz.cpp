// Received sharing messages from a hostile peer, all the way into an
// attendee's engine: whatever the bytes, the engine must neither crash nor
// write outside its frames. Each input is delivered twice to one fresh
// engine, so the second delivery meets the state the first one left.
#include <cstddef>
#include <cstdint>

#include "common/trace_client_test_hooks.h"
#include "platform/module_loader.h"
#include "sharing/controller/engine_controller.h"
#include "sharing/protocol/ds_reception.h"

namespace {

class QuietClient : public IDSProviderSink {
 public:
  int32_t OnDSStatusNotification(int32_t) override { return 1; }
  int32_t OnDSErrorNotification(int32_t, int32_t) override { return 1; }
  int32_t OnDSCommand(DSCommandRecord*) override { return 1; }
  int32_t OnDSWebBinary(CVZBinaryData*) override { return 1; }
  int32_t OnMonitorUnshared(MonitorInfo*) override { return 1; }
  int32_t OnMonitorShared(MonitorInfo*, uint8_t*) override { return 1; }
  int32_t OnMonitorUpdated(MonitorInfo* monitor, VzRect* rect) override {
    // A reported change lies inside its monitor.
    const int32_t width = monitor->Rect.right - monitor->Rect.left;
    const int32_t height = monitor->Rect.bottom - monitor->Rect.top;
    if (rect->left < 0 || rect->top < 0 || rect->right > width || rect->bottom > height) __builtin_trap();
    return 1;
  }
  int32_t OnMouseUpdated(CursorInfo*) override { return 1; }
  int32_t OnSharingInfo(SharingInfo*) override { return 1; }
  int32_t OnSharingStatus(int32_t) override { return 1; }
};

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
  return 0;
}
