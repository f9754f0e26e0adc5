// The library's release while pictures flow: two controllers on the
// transport's in-process server are released, round after round, with a
// picture held on a send channel's data thread before its encode (until
// that channel is stopped), the cameras' frames on their way to the data
// threads and the other's pictures in the listen channels. When
// VideoDeleteInstance has returned, nothing of the engine may run any more:
// its threads have ended, the paced senders' tick has stopped, and no engine
// object, timer or waiting task is left (a task left on a data thread would
// run after the meeting client let go, and at exit after the thread loops
// were freed).
#include <gtest/gtest.h>

#include <string>

#include "platform/run_loop.h"
#include "video/devices/capture/test_camera.h"
#include "video/engine/core/com_task_thread.h"
#include "video/engine/core/engine_object.h"
#include "video/engine/core/video_factories.h"
#include "video/engine/core/vz_timer.h"
#include "video/engine/send/multimedia_tick.h"
#include "video/engine/send/picture_hold.h"
#include "video/library/loopback_conference_testlib.h"

namespace {

using vz_test::JoinAliceAndBob;
using vz_test::SeenBy;
using vz_test::StatusSink;
using vz_test::TurnUntil;

constexpr int kRounds = 8;
constexpr int kSeconds = 90;  // for each wait: a sanitized build beside busy loops is slow

TEST(VideoLibraryReleaseTest, ReleasedWhileFramesAreInFlightLeavesNothingOfTheEngineRunning) {
  const VideoDeviceFactories* previous = SetVideoDeviceFactories(TestCameraFactories(true));
  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  const int objects_before = CEngineObject::LiveCountForTesting();
  const int timers_before = CVzTimer::LiveCountForTesting();
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
    StatusSink alice_sink, bob_sink;
    // A meeting of its own: the last round's may still be ending on the server.
    const std::u16string meet = u"meet-release-" + std::u16string(1, static_cast<char16_t>(u'a' + round));
    const auto [alice, bob, alice_join, bob_join] = JoinAliceAndBob(&alice_sink, &bob_sink, u"loopback", 0, meet);
    ASSERT_NE(alice, nullptr);
    ASSERT_NE(bob, nullptr);
    EXPECT_EQ(alice_join, 1);
    EXPECT_EQ(bob_join, 1);
    // Released at different depths of the flow: just joined (the cameras
    // starting, frames waiting for the send channels), at the first
    // pictures, and with pictures flowing both ways.
    EXPECT_TRUE(TurnUntil(loop, [&] { return alice_sink.last_status == 2 && bob_sink.last_status == 2; }, kSeconds));
    const int64_t wanted = round % 3;
    EXPECT_TRUE(TurnUntil(loop, [&] {
      return SeenBy(alice, "bob").pictures >= wanted && SeenBy(bob, "alice").pictures >= wanted;
    }, kSeconds));
    // A picture in flight: it waits on its data thread until its channel is
    // stopped, so a channel let go unstopped leaves that thread running.
    picture_hold::HoldNext();
    EXPECT_TRUE(TurnUntil(loop, [] { return picture_hold::Held(); }, kSeconds));
    const bool alice_first = round % 2 == 0;
    VideoDeleteInstance(alice_first ? alice : bob);
    VideoDeleteInstance(alice_first ? bob : alice);
    // Looked at once, at once: the release itself must have ended everything.
    EXPECT_FALSE(picture_hold::Held()) << "a send channel was let go unstopped with a picture in flight";
    EXPECT_EQ(VZSE_::BaseThread::RunningCountForTesting(), 0);
    EXPECT_FALSE(VZSE_::MultimediaTickThreadRunning());
    EXPECT_EQ(CVzTimer::LiveCountForTesting(), timers_before);
    EXPECT_EQ(CEngineObject::LiveCountForTesting(), objects_before);
    picture_hold::LetGo();  // a picture the release left waiting, or a hold never taken
    loop.RunUntilIdle();
  }
  SetVideoDeviceFactories(previous);
}

}  // namespace
