#pragma once
// Engines joined through the real transport stand-in (libvzwire.so) and its
// in-process meeting server, on the test thread's run loop: clients that
// record their callbacks, a presenter's connection that counts what it
// sends, and run-until helpers bounded by a deadline.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "contracts/media_transport.h"
#include "contracts/vzwire_loopback.h"
#include "platform/module_loader.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "sharing/controller/engine_controller.h"
#include "sharing/controller/engine_testlib.h"
#include "sharing/engine/codec_mgr.h"
#include "sharing/transport/ds_tp_controller.h"

namespace engine_test {

inline IVzWireLoopback* Loopback() {
  static vz::ModuleHandle module = vz::LoadModule("vzwire").module;
  auto get = reinterpret_cast<IVzWireLoopback* (*)()>(vz::GetModuleSymbol(module, "VzWireLoopback"));
  return get ? get() : nullptr;
}

inline DSSessionConfig LoopbackConfig(const char16_t* ds_id, const char16_t* roster, bool presenter) {
  DSSessionConfig config{};
  std::char_traits<char16_t>::copy(config.ServerAddr, u"loopback", 9);
  std::char_traits<char16_t>::copy(config.MeetId, u"meet-1", 7);
  std::char_traits<char16_t>::copy(config.Token, u"VDS meet-1:tok", 15);
  std::char_traits<char16_t>::copy(config.DSId, ds_id, std::char_traits<char16_t>::length(ds_id) + 1);
  std::char_traits<char16_t>::copy(config.RosterId, roster, std::char_traits<char16_t>::length(roster) + 1);
  config.IsPresenter = presenter ? 1 : 0;
  return config;
}

// The real connection, with a count of the caches and blocks messages sent.
class CountingTp : public IDSTp {
 public:
  int32_t DSConnect(const DSSessionConfig* c, const NetworkProxyEntry* p) override { return inner->DSConnect(c, p); }
  int32_t DSDisconnect() override { return inner->DSDisconnect(); }
  int32_t DSSendSharingInfo(const SharingInfo* info) override { return inner->DSSendSharingInfo(info); }
  int32_t DSSendMouseInfo(const CMouseEntry* mouse) override {
    ++mouse_messages;
    return inner->DSSendMouseInfo(mouse);
  }
  int32_t DSSendCaches(CCacheEntry* const* list, int32_t count) override {
    ++cache_messages;
    caches += count;
    return inner->DSSendCaches(list, count);
  }
  int32_t DSSendBlocks(CKeyframeEntry* const* list, int32_t count) override {
    ++block_messages;
    blocks += count;
    return inner->DSSendBlocks(list, count);
  }
  int32_t DSRequestKeyFrame() override { return inner->DSRequestKeyFrame(); }
  int32_t DSRequestCaches(CKeyframeEntry* const* list, int32_t count) override {
    ++requests;
    return inner->DSRequestCaches(list, count);
  }
  int32_t DSSendCommand(const DSCommandRecord* command) override { return inner->DSSendCommand(command); }
  int32_t DSSendWebBinary(const CVZBinaryData* data) override { return inner->DSSendWebBinary(data); }

  IDSTp* inner = nullptr;
  int cache_messages = 0, caches = 0, block_messages = 0, blocks = 0, mouse_messages = 0, requests = 0;
};

// A client: its callbacks, the frames it was handed, the thread they ran on.
class LoopbackClient : public RecordingHostSink {
 public:
  int32_t OnMonitorShared(MonitorInfo* monitor, uint8_t* pixels) override {
    frames[monitor->MonitorId] = pixels;
    return RecordingHostSink::OnMonitorShared(monitor, pixels);
  }
  int32_t OnMonitorUnshared(MonitorInfo* monitor) override {
    frames.erase(monitor->MonitorId);
    return RecordingHostSink::OnMonitorUnshared(monitor);
  }
  int32_t OnMonitorUpdated(MonitorInfo* monitor, VzRect* rect) override {
    ++updates;
    return RecordingHostSink::OnMonitorUpdated(monitor, rect);
  }
  int32_t OnMouseUpdated(CursorInfo* cursor) override {
    if (cursor != nullptr && cursor->Data != nullptr && cursor->DataSize > 0) {
      cursor_format = cursor->Format;
      cursor_image.assign(reinterpret_cast<const char*>(cursor->Data), static_cast<size_t>(cursor->DataSize));
    }
    return RecordingHostSink::OnMouseUpdated(cursor);
  }
  bool Has(const std::string& call) const {
    for (const auto& c : calls) {
      if (c == call) return true;
    }
    return false;
  }
  void Check() {
    if (std::this_thread::get_id() != owner) wrong_thread = true;
  }

  CEnginController* engine = nullptr;
  std::map<int32_t, uint8_t*> frames;
  int updates = 0;
  int32_t cursor_format = 0;
  std::string cursor_image;
  std::thread::id owner = std::this_thread::get_id();
  bool wrong_thread = false;
};

class EngineLoopbackRig : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Loopback(), nullptr) << "libvzwire.so beside the test must export VzWireLoopback";
    ASSERT_NE(FakeGrab(), nullptr);
    Loopback()->Reset();
    FakeGrab()->Reset();
  }
  // A client that lives as long as the test (its engine is deleted in
  // TearDown).
  LoopbackClient& NewClient() { return owned_.emplace_back(); }

  void TearDown() override {
    for (LoopbackClient* client : clients_) {
      if (client->engine != nullptr) client->engine->DeleteInstance();
      client->engine = nullptr;
    }
    loop_.RunUntilIdle();
    Loopback()->Reset();
  }

  // Makes the client's engine over `codec_library` and the stand-in capture,
  // and starts its session; a presenter's connection counts its sends.
  void Start(LoopbackClient& client, const DSSessionConfig& config, const char* codec_library,
             CountingTp* counting = nullptr) {
    EngineOptions options;
    options.grab_library = kFakeGrabLibrary;
    std::string library = codec_library;
    options.create_codec = [library] { return new CCodecMgrWin(library.c_str()); };
    if (counting != nullptr) {
      options.create_tp = [counting](IDSTpSink* sink) -> IDSTp* {
        counting->inner = DSCreateTpInstance(sink);
        return counting->inner != nullptr ? counting : nullptr;
      };
      options.release_tp = [counting](IDSTp*) {
        DSReleaseTpInstance(counting->inner);
        counting->inner = nullptr;
      };
    }
    client.after_call = [&client](const std::string&) { client.Check(); };
    client.engine = new CEnginController(&client, options);
    clients_.push_back(&client);
    DSSessionConfig copy = config;
    EXPECT_EQ(client.engine->StartDS(nullptr, &copy, nullptr), 1) << "roster " << vz::Utf16ToUtf8(config.RosterId);
  }

  // Runs the engines' loop until `done` (checked on a short tick); false
  // when the deadline passed first. The deadline is for a machine at a
  // load of 20 under a sanitizer: a failure, not a pass, waits it out.
  bool RunUntil(const std::function<bool()>& done, uint32_t deadline_ms = 120000) {
    if (done()) return true;
    bool late = false;
    loop_.StartTimer(this, 1, deadline_ms, [&] {
      late = true;
      loop_.Quit();
    });
    loop_.StartTimer(this, 2, 1, [&] {
      if (done()) loop_.Quit();
    });
    loop_.Run();
    loop_.KillTimers(this);
    return done() && !late;
  }
  bool Members(const char* ds_id, int count) {
    return RunUntil([&] { return Loopback()->MemberCount(kTransportSessionSharing, ds_id) == count; });
  }

  vz::RunLoop loop_{vz::SystemClock()};
  std::deque<LoopbackClient> owned_;
  std::deque<LoopbackClient*> clients_;  // every started one; each outlives TearDown
};

}  // namespace engine_test
