// Presenter and attendee engines joined through the real media transport
// (libvzwire.so, loaded by name as the engine loads it) and its in-process
// meeting server: the session's statuses, the sharing info, and clients
// that stop and delete their engine from inside a callback.
#include <gtest/gtest.h>

#include "sharing/controller/engine_loopback_rig_testlib.h"
#include "sharing/controller/screen_picture_testlib.h"

namespace {

using engine_test::FakeGrab;
using engine_test::Loopback;
using engine_test::LoopbackClient;
using engine_test::Desktop;
using engine_test::LoopbackConfig;
using Calls = std::vector<std::string>;

using EngineLoopbackTest = engine_test::EngineLoopbackRig;

TEST_F(EngineLoopbackTest, TheSharingInfoReachesAttendeesAndLateJoiners) {
  LoopbackClient& presenter = NewClient();
  LoopbackClient& attendee = NewClient();
  LoopbackClient& late = NewClient();
  Start(presenter, LoopbackConfig(u"ds-info", u"alice", true), "jpeg9b");
  Start(attendee, LoopbackConfig(u"ds-info", u"bob", false), "jpeg9b");
  ASSERT_TRUE(RunUntil([&] { return presenter.Has("status 2") && attendee.Has("status 2"); }));
  ASSERT_EQ(presenter.engine->StartCapture(nullptr, 3), 1);
  SharingInfo info = Desktop(1600, 900);
  ASSERT_EQ(FakeGrab()->Sink()->OnDSKeSharingInfo(&info), 1);
  ASSERT_TRUE(RunUntil([&] { return attendee.Has("sharing_info 1"); }));
  MonitorInfo* monitor = attendee.engine->GetMonitorInfo(1);
  ASSERT_NE(monitor, nullptr);
  EXPECT_EQ(monitor->Rect.right, 1600);
  EXPECT_EQ(monitor->BackgroundColor, 0xff606060u);

  Start(late, LoopbackConfig(u"ds-info", u"carol", false), "jpeg9b");
  ASSERT_TRUE(RunUntil([&] { return late.Has("sharing_info 1"); }));
  ASSERT_NE(late.engine->GetMonitorInfo(1), nullptr);

  // The presenter stops: the attendees hear that the session is over.
  presenter.engine->StopDS();
  EXPECT_EQ(FakeGrab()->Live(), nullptr);
  ASSERT_TRUE(RunUntil([&] { return attendee.Has("status 4") && late.Has("status 4"); }));
  EXPECT_FALSE(presenter.wrong_thread || attendee.wrong_thread || late.wrong_thread);
}

TEST_F(EngineLoopbackTest, StopAndDeleteInsideCallbacksOverTheRealTransport) {
  LoopbackClient& presenter = NewClient();
  LoopbackClient& attendee = NewClient();
  Start(presenter, LoopbackConfig(u"ds-stop", u"alice", true), "jpeg9b");
  Start(attendee, LoopbackConfig(u"ds-stop", u"bob", false), "jpeg9b");
  ASSERT_TRUE(RunUntil([&] { return presenter.Has("status 2") && attendee.Has("status 2"); }));
  ASSERT_EQ(presenter.engine->StartCapture(nullptr, 3), 1);
  SharingInfo info = Desktop(800, 600);
  // The attendee's client leaves the moment the picture arrives, with more
  // already on its way behind it.
  attendee.after_call = [&](const std::string& call) {
    attendee.Check();
    if (call != "sharing_info 1") return;
    attendee.engine->StopDS();
    attendee.engine->DeleteInstance();
    attendee.engine = nullptr;
  };
  for (int i = 0; i < 5; ++i) ASSERT_EQ(FakeGrab()->Sink()->OnDSKeSharingInfo(&info), 1) << "sharing info " << i;
  ASSERT_TRUE(RunUntil([&] { return attendee.engine == nullptr; }));
  ASSERT_TRUE(Members("ds-stop", 1));
  loop_.RunUntilIdle();
  EXPECT_EQ(attendee.calls.front(), "status 2");
  EXPECT_EQ(attendee.calls.back(), "sharing_info 1");

  // The presenter's client does the same inside its error callback when the
  // server ends the session.
  presenter.after_call = [&](const std::string& call) {
    presenter.Check();
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
