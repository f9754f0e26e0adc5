// Presenter and attendee engines joined through the real media transport
// (libvzwire.so, loaded by name as the engine loads it) and its in-process
// meeting server. The stand-in capture library feeds the presenter; the
// test thread's run loop is the engines' thread and runs until the awaited
// callback arrived, bounded by a deadline.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "contracts/media_transport.h"
#include "contracts/vzwire_loopback.h"
#include "platform/module_loader.h"
#include "platform/run_loop.h"
#include "sharing/controller/engine_controller.h"
#include "sharing/controller/testing/engine_test_support_testlib.h"

namespace {

using engine_test::FakeGrab;
using engine_test::RecordingHostSink;
using Calls = std::vector<std::string>;

IVzWireLoopback* Loopback() {
  static vz::ModuleHandle module = vz::LoadModule("vzwire").module;
  auto get = reinterpret_cast<IVzWireLoopback* (*)()>(vz::GetModuleSymbol(module, "VzWireLoopback"));
  return get ? get() : nullptr;
}

DSSessionConfig Config(const char16_t* ds_id, const char16_t* roster, bool presenter) {
  DSSessionConfig config{};
  std::char_traits<char16_t>::copy(config.ServerAddr, u"loopback", 9);
  std::char_traits<char16_t>::copy(config.MeetId, u"meet-1", 7);
  std::char_traits<char16_t>::copy(config.Token, u"VDS meet-1:tok", 15);
  std::char_traits<char16_t>::copy(config.DSId, ds_id, std::char_traits<char16_t>::length(ds_id) + 1);
  std::char_traits<char16_t>::copy(config.RosterId, roster, std::char_traits<char16_t>::length(roster) + 1);
  config.IsPresenter = presenter ? 1 : 0;
  return config;
}

// A client: its sink, remembering the thread each callback ran on.
struct Client {
  Client() {
    sink.after_call = [this](const std::string& call) {
      if (std::this_thread::get_id() != owner) wrong_thread = true;
      if (on_call) on_call(call);
    };
  }
  bool Has(const std::string& call) const {
    for (const auto& c : sink.calls) {
      if (c == call) return true;
    }
    return false;
  }
  RecordingHostSink sink;
  CEnginController* engine = nullptr;
  std::thread::id owner = std::this_thread::get_id();
  bool wrong_thread = false;
  std::function<void(const std::string&)> on_call;
};

SharingInfo Desktop(int32_t width, int32_t height) {
  SharingInfo info{};
  info.BlockWidth = info.BlockHeight = 128;
  info.IsDesktopSharing = 1;
  info.SharedRect = {0, 0, width, height};
  info.MonitorCount = 1;
  info.Monitors[0].MonitorId = 1;
  info.Monitors[0].Rect = {0, 0, width, height};
  info.Monitors[0].BitsPerPixel = 32;
  return info;
}

class EngineLoopbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Loopback(), nullptr) << "libvzwire.so beside the test must export VzWireLoopback";
    ASSERT_NE(FakeGrab(), nullptr);
    Loopback()->Reset();
    FakeGrab()->Reset();
  }
  void TearDown() override {
    for (Client* client : clients_) {
      if (client->engine != nullptr) client->engine->DeleteInstance();
      client->engine = nullptr;
    }
    loop_.RunUntilIdle();
    Loopback()->Reset();
  }

  // Makes the client's engine (over the stand-in capture) and starts its session.
  void Start(Client& client, const DSSessionConfig& config) {
    EngineOptions options;
    options.grab_library = kFakeGrabLibrary;
    client.engine = new CEnginController(&client.sink, options);
    clients_.push_back(&client);
    DSSessionConfig copy = config;
    EXPECT_EQ(client.engine->StartDS(nullptr, &copy, nullptr), 1);
  }
  // Runs the engines' loop until `done`, checked after every client call and
  // on a short tick; false when the deadline passed first.
  bool RunUntil(const std::function<bool()>& done, uint32_t deadline_ms = 10000) {
    if (done()) return true;
    bool late = false;
    loop_.StartTimer(this, 1, deadline_ms, [&] {
      late = true;
      loop_.Quit();
    });
    loop_.StartTimer(this, 2, 2, [&] {
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
  std::deque<Client*> clients_;
};

TEST_F(EngineLoopbackTest, TheSharingInfoReachesAttendeesAndLateJoiners) {
  Client presenter, attendee, late;
  Start(presenter, Config(u"ds-info", u"alice", true));
  Start(attendee, Config(u"ds-info", u"bob", false));
  ASSERT_TRUE(RunUntil([&] { return presenter.Has("status 2") && attendee.Has("status 2"); }));
  ASSERT_EQ(presenter.engine->StartCapture(nullptr, 3), 1);
  SharingInfo info = Desktop(1600, 900);
  ASSERT_EQ(FakeGrab()->Sink()->OnDSKeSharingInfo(&info), 1);
  ASSERT_TRUE(RunUntil([&] { return attendee.Has("sharing_info 1"); }));
  MonitorInfo* monitor = attendee.engine->GetMonitorInfo(1);
  ASSERT_NE(monitor, nullptr);
  EXPECT_EQ(monitor->Rect.right, 1600);
  EXPECT_EQ(monitor->BackgroundColor, 0xff606060u);

  Start(late, Config(u"ds-info", u"carol", false));
  ASSERT_TRUE(RunUntil([&] { return late.Has("sharing_info 1"); }));
  ASSERT_NE(late.engine->GetMonitorInfo(1), nullptr);

  // The presenter stops: the attendees hear that the session is over.
  presenter.engine->StopDS();
  EXPECT_EQ(FakeGrab()->Live(), nullptr);
  ASSERT_TRUE(RunUntil([&] { return attendee.Has("status 4") && late.Has("status 4"); }));
  EXPECT_FALSE(presenter.wrong_thread || attendee.wrong_thread || late.wrong_thread);
}

TEST_F(EngineLoopbackTest, StopAndDeleteInsideCallbacksOverTheRealTransport) {
  Client presenter, attendee;
  Start(presenter, Config(u"ds-stop", u"alice", true));
  Start(attendee, Config(u"ds-stop", u"bob", false));
  ASSERT_TRUE(RunUntil([&] { return presenter.Has("status 2") && attendee.Has("status 2"); }));
  ASSERT_EQ(presenter.engine->StartCapture(nullptr, 3), 1);
  SharingInfo info = Desktop(800, 600);
  // The attendee's client leaves the moment the picture arrives, with more
  // already on its way behind it.
  attendee.on_call = [&](const std::string& call) {
    if (call != "sharing_info 1") return;
    attendee.engine->StopDS();
    attendee.engine->DeleteInstance();
    attendee.engine = nullptr;
  };
  for (int i = 0; i < 5; ++i) ASSERT_EQ(FakeGrab()->Sink()->OnDSKeSharingInfo(&info), 1);
  ASSERT_TRUE(RunUntil([&] { return attendee.engine == nullptr; }));
  ASSERT_TRUE(Members("ds-stop", 1));
  loop_.RunUntilIdle();
  EXPECT_EQ(attendee.sink.calls, (Calls{"status 2", "sharing_info 1"}));

  // The presenter's client does the same inside its error callback when the
  // server ends the session.
  presenter.on_call = [&](const std::string& call) {
    if (call.rfind("error", 0) != 0) return;
    presenter.engine->StopDS();
    presenter.engine->DeleteInstance();
    presenter.engine = nullptr;
  };
  Loopback()->EndSession(kTransportSessionSharing, "ds-stop", 7);
  ASSERT_TRUE(RunUntil([&] { return presenter.engine == nullptr; }));
  EXPECT_EQ(FakeGrab()->Live(), nullptr);
  ASSERT_TRUE(Members("ds-stop", 0));
  EXPECT_FALSE(presenter.wrong_thread || attendee.wrong_thread);
}

}  // namespace
