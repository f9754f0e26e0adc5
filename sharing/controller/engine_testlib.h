#pragma once
// What the engine's tests stand in for: the client's sink (recording every
// callback in order), the transport connection (recording every send), the
// capture library (libvzgrabfake.so) and the log writer (capturing lines).
#include <functional>
#include <string>
#include <vector>

#include "common/log_capture_testlib.h"
#include "contracts/ds_provider.h"
#include "platform/module_loader.h"
#include "sharing/controller/fake_grab_control_testlib.h"
#include "sharing/transport/ds_tp.h"

namespace engine_test {

inline IFakeGrabControl* FakeGrab() {
  static vz::ModuleHandle module = vz::LoadModule(kFakeGrabLibrary).module;
  auto get = reinterpret_cast<FakeGrabControlFn>(vz::GetModuleSymbol(module, kFakeGrabControlExport));
  return get ? get() : nullptr;
}

// The client: every callback as a line, and a hook after each.
class RecordingHostSink : public IDSProviderSink {
 public:
  int32_t OnDSStatusNotification(int32_t status) override { return Note("status " + std::to_string(status)); }
  int32_t OnDSErrorNotification(int32_t code, int32_t code_type) override {
    return Note("error " + std::to_string(code) + " " + std::to_string(code_type));
  }
  int32_t OnDSCommand(DSCommandRecord* command) override { return Note("command " + std::to_string(command->Type)); }
  int32_t OnDSWebBinary(CVZBinaryData* data) override { return Note("web " + std::to_string(data->length())); }
  int32_t OnMonitorUnshared(MonitorInfo* monitor) override {
    return Note("unshared " + std::to_string(monitor->MonitorId));
  }
  int32_t OnMonitorShared(MonitorInfo* monitor, uint8_t*) override {
    return Note("shared " + std::to_string(monitor->MonitorId));
  }
  int32_t OnMonitorUpdated(MonitorInfo* monitor, VzRect* rect) override {
    return Note("updated " + std::to_string(monitor->MonitorId) + " {" + std::to_string(rect->left) + "," +
                std::to_string(rect->top) + "," + std::to_string(rect->right) + "," + std::to_string(rect->bottom) +
                "}");
  }
  int32_t OnMouseUpdated(CursorInfo* cursor) override {
    return Note(cursor == nullptr ? "mouse null" : "mouse " + std::to_string(cursor->X) + "," + std::to_string(cursor->Y));
  }
  int32_t OnSharingInfo(SharingInfo* info) override {
    return Note("sharing_info " + std::to_string(info->MonitorCount));
  }
  int32_t OnSharingStatus(int32_t paused) override { return Note("paused " + std::to_string(paused)); }

  int32_t Note(const std::string& call) {
    calls.push_back(call);
    if (after_call) after_call(call);
    return 1;
  }

  std::vector<std::string> calls;
  std::function<void(const std::string&)> after_call;
};

// The transport connection: the messages the engine hands it.
class FakeDsTp : public IDSTp {
 public:
  int32_t DSConnect(const DSSessionConfig* config, const NetworkProxyEntry*) override {
    connected_presenter = config ? config->IsPresenter : -1;
    return Note("connect");
  }
  int32_t DSDisconnect() override { return Note("disconnect"); }
  int32_t DSSendSharingInfo(const SharingInfo* info) override {
    return Note("sharing_info " + std::to_string(info->MonitorCount) + " bg " +
                std::to_string(info->Monitors[0].BackgroundColor));
  }
  int32_t DSSendMouseInfo(const CMouseEntry* mouse) override {
    return Note("mouse " + std::to_string(mouse->MonitorId) + " " + std::to_string(mouse->X) + "," +
                std::to_string(mouse->Y) + " cache " + std::to_string(mouse->CacheIndex));
  }
  int32_t DSSendCaches(CCacheEntry* const* list, int32_t count) override {
    std::string text = "caches";
    for (int32_t i = 0; i < count; ++i) text += " " + std::to_string(list[i]->Index);
    return Note(text);
  }
  int32_t DSSendBlocks(CKeyframeEntry* const* list, int32_t count) override {
    std::string text = "blocks";
    for (int32_t i = 0; i < count; ++i) text += " " + std::to_string(list[i]->Position);
    return Note(text);
  }
  int32_t DSRequestKeyFrame() override { return Note("keyframe"); }
  int32_t DSRequestCaches(CKeyframeEntry* const* list, int32_t count) override {
    std::string text = "request";
    for (int32_t i = 0; i < count; ++i) text += " " + std::to_string(list[i]->CacheIndex);
    return Note(text);
  }
  int32_t DSSendCommand(const DSCommandRecord* command) override {
    Note("command " + std::to_string(command->Type));
    return send_result;
  }
  int32_t DSSendWebBinary(const CVZBinaryData* data) override { return Note("web " + std::to_string(data->length())); }

  int32_t Note(const std::string& call) {
    sent.push_back(call);
    return 1;
  }

  std::vector<std::string> sent;
  int32_t connected_presenter = -1;
  int32_t send_result = 1;
};

// Captures the log lines of the code under test while alive.
using LogCapture = vz::LogLineCapture;

}  // namespace engine_test
