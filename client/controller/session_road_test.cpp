// A session road's engine: made with a relay of its own, let go of now or
// after the engine's running callback, and never leaked by a second start.
#include "client/controller/session_road.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "client/controller/ac_engine_wrapper.h"
#include "client/controller/engine_sink_relays.h"
#include "client/controller/fake_engine_library_testlib.h"
#include "client/controller/fake_module_loader_testlib.h"
#include "contracts/mock_engines_testlib.h"
#include "platform/clock.h"
#include "platform/run_loop.h"

namespace {

using ::testing::NiceMock;
using AudioLibrary = FakeEngineLibrary<IACProvider, IACProviderSink>;
using AudioRoad = SessionRoad<CACEngineWrapper, ACProviderSinkRelay, ACSessionConfig>;

class SessionRoadTest : public ::testing::Test {
 protected:
  SessionRoadTest() : loop_(clock_), thread_(loop_) {
    AudioLibrary::Reset();
    AudioLibrary::engine = &engine_;
    loader_.AddLibrary("vzaudio.dll", AudioLibrary::Exports());
  }
  ~SessionRoadTest() override { AudioLibrary::Reset(); }

  bool Make(AudioRoad& road) { return road.Make(std::make_unique<CACEngineWrapper>(loader_), sink_, queue_, thread_); }

  vz::FakeClock clock_;
  vz::RunLoop loop_;
  UiThreadCheck thread_;
  EngineReleaseQueue queue_;
  vz::FakeModuleLoader loader_;
  NiceMock<MockACProvider> engine_;
  NiceMock<MockACProviderSink> sink_;
};

TEST_F(SessionRoadTest, TheEngineGetsARelayOfItsOwnThatIsCutOffWhenTheRoadLetsGo) {
  AudioRoad road;
  ASSERT_TRUE(Make(road));
  ASSERT_NE(road.engine(), nullptr);
  IACProviderSink* given = AudioLibrary::last_sink;
  ASSERT_NE(given, nullptr);
  EXPECT_NE(given, &sink_) << "the engine talks to a relay, not to the controller";
  EXPECT_CALL(sink_, OnACStatusNotification(2, 1)).Times(1);
  given->OnACStatusNotification(2, 1);

  // Let go of inside the engine's callback: engine and relay stay until the
  // callback has returned, but the relay no longer reaches the controller.
  {
    EngineReleaseQueue::CallbackScope in_callback(queue_);
    road.Drop(queue_);
    EXPECT_EQ(road.engine(), nullptr);
    EXPECT_EQ(AudioLibrary::release_calls, 0) << "not under the engine's own call";
    EXPECT_CALL(sink_, OnACStatusNotification(4, 0)).Times(0);
    given->OnACStatusNotification(4, 0);  // a late status of the engine let go of
  }
  loop_.RunUntilIdle();
  EXPECT_EQ(AudioLibrary::release_calls, 1);
  EXPECT_EQ(AudioLibrary::last_released, &engine_);
}

TEST_F(SessionRoadTest, ASecondStartReleasesTheEngineHeldBeforeAndTheRoadReleasesItsLast) {
  {
    AudioRoad road;
    ASSERT_TRUE(Make(road));
    ASSERT_TRUE(Make(road));
    EXPECT_EQ(AudioLibrary::create_calls, 2);
    EXPECT_EQ(AudioLibrary::release_calls, 1) << "the first engine would live on with its callbacks";
  }
  EXPECT_EQ(AudioLibrary::release_calls, 2) << "the road's end releases the engine it holds";
}

TEST_F(SessionRoadTest, AWrapperWithoutAnEngineIsKeptSoTheFailedStartIsLetGoOfLikeAnyOther) {
  AudioLibrary::engine = nullptr;  // the factory refuses
  AudioRoad road;
  EXPECT_FALSE(Make(road));
  EXPECT_NE(road.engine(), nullptr);
  road.Drop(queue_);
  EXPECT_EQ(road.engine(), nullptr);
  EXPECT_EQ(AudioLibrary::release_calls, 0) << "nothing was made, nothing goes back";

  EXPECT_FALSE(road.Make(nullptr, sink_, queue_, thread_));  // no wrapper at all
  EXPECT_EQ(road.engine(), nullptr);
}

}  // namespace
