// The stand-in audio engine on a manually stepped run loop.
#include "outside/vzaudio/audio_stand_in_engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "contracts/mock_engines_testlib.h"
#include "platform/clock.h"
#include "platform/run_loop.h"

namespace {

using ::testing::InSequence;
using ::testing::StrictMock;
using ::testing::Truly;

class AudioStandInEngineTest : public ::testing::Test {
 protected:
  // Made the way the library's first export makes it.
  CAudioStandInEngine* Make(const AudioScript& script = AudioScript()) {
    engine_ = new CAudioStandInEngine(&sink_, script);
    EXPECT_TRUE(engine_->Start());
    return engine_;
  }
  void TearDown() override {
    if (engine_) {
      engine_->Stop();
      engine_->Release();
    }
  }

  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  StrictMock<MockACProviderSink> sink_;
  CAudioStandInEngine* engine_ = nullptr;
  ACSessionConfig session_{};
};

TEST_F(AudioStandInEngineTest, JoinReportsConnectingThenJoinedLaterOnTheLoop) {
  CAudioStandInEngine* engine = Make();
  session_.IsMuted = 1;
  // Nothing reaches the sink inside JoinAudio (the strict mock would fail).
  EXPECT_EQ(engine->JoinAudio(nullptr, &session_, nullptr), 1);
  {
    InSequence order;
    EXPECT_CALL(sink_, OnACStatusNotification(1, 1));
    EXPECT_CALL(sink_, OnACStatusNotification(2, 1));
  }
  loop_.RunUntilIdle();
  EXPECT_EQ(engine->IsAudioMuted(), 1);
  EXPECT_EQ(engine->GetAudioSsrc(), kStandInAudioSsrc);
  // A second join while in session starts nothing new.
  EXPECT_EQ(engine->JoinAudio(nullptr, &session_, nullptr), 1);
  loop_.RunUntilIdle();
}

TEST_F(AudioStandInEngineTest, MuteUnmuteAndSettingsWorkWithoutAJoin) {
  CAudioStandInEngine* engine = Make();
  EXPECT_EQ(engine->IsAudioConfigOpen(), 0);
  EXPECT_EQ(engine->ConfigAudio(), 1);
  EXPECT_EQ(engine->IsAudioConfigOpen(), 1);
  EXPECT_EQ(engine->IsAudioMuted(), 0);
  EXPECT_NE(engine->MuteAudio(), 0);
  EXPECT_EQ(engine->IsAudioMuted(), 1);
  EXPECT_NE(engine->UnmuteAudio(), 0);
  EXPECT_EQ(engine->IsAudioMuted(), 0);
  EXPECT_EQ(engine->LeaveAudio(), 1);  // not in a session: no report
  loop_.RunUntilIdle();
}

TEST_F(AudioStandInEngineTest, TheJoinedReportCarriesTheMuteStateOfItsDelivery) {
  CAudioStandInEngine* engine = Make();
  ASSERT_EQ(engine->JoinAudio(nullptr, &session_, nullptr), 1);
  engine->MuteAudio();
  EXPECT_CALL(sink_, OnACStatusNotification(1, 1));
  EXPECT_CALL(sink_, OnACStatusNotification(2, 1));
  loop_.RunUntilIdle();
}

TEST_F(AudioStandInEngineTest, LeaveReportsLeftAndDropsTheReportsOfTheJoinItEnds) {
  CAudioStandInEngine* engine = Make();
  ASSERT_EQ(engine->JoinAudio(nullptr, &session_, nullptr), 1);
  EXPECT_EQ(engine->LeaveAudio(), 1);
  EXPECT_CALL(sink_, OnACStatusNotification(4, 0));  // and neither 1 nor 2
  loop_.RunUntilIdle();

  // A new join after the leave reports again.
  ASSERT_EQ(engine->JoinAudio(nullptr, &session_, nullptr), 1);
  {
    InSequence order;
    EXPECT_CALL(sink_, OnACStatusNotification(1, 0));
    EXPECT_CALL(sink_, OnACStatusNotification(2, 0));
    EXPECT_CALL(sink_, OnACStatusNotification(4, 0));
  }
  loop_.RunUntilIdle();
  engine->LeaveAudio();
  loop_.RunUntilIdle();
}

TEST_F(AudioStandInEngineTest, ScriptedErrorEndsTheJoinAfterConnecting) {
  AudioScript script;
  script.join_error = std::make_pair(9, 50);
  CAudioStandInEngine* engine = Make(script);
  ASSERT_EQ(engine->JoinAudio(nullptr, &session_, nullptr), 1);
  {
    InSequence order;
    EXPECT_CALL(sink_, OnACStatusNotification(1, 0));
    EXPECT_CALL(sink_, OnACAudioErrorCode(9, 50));
  }
  loop_.RunUntilIdle();
  // The failed join left the session: a leave has nothing to report.
  engine->LeaveAudio();
  loop_.RunUntilIdle();
}

TEST_F(AudioStandInEngineTest, ScriptedListsAndLevelsFollowTheJoinedReport) {
  AudioScript script;
  std::string error;
  ASSERT_TRUE(ParseAudioScript("speakers=5,9,12;networks=100:2:40:3:1;levels=30,40;mic=2", &script, &error));
  CAudioStandInEngine* engine = Make(script);
  ASSERT_EQ(engine->JoinAudio(nullptr, &session_, nullptr), 1);
  auto speakers = [](ACSpeakerEntry* list) {
    return list[0].Speaker == 5 && list[1].Speaker == 9 && list[2].Speaker == 12;
  };
  auto networks = [](ACRosterNetworkEntry* list) {
    return list[0].Ssrc == 100 && list[0].LossRate == 2 && list[0].Latency == 40 && list[0].Jitter == 3 &&
           list[0].Quality == 1;
  };
  {
    InSequence order;
    EXPECT_CALL(sink_, OnACStatusNotification(1, 0));
    EXPECT_CALL(sink_, OnACStatusNotification(2, 0));
    EXPECT_CALL(sink_, OnACActivedSpeaker(Truly(speakers), 3));
    EXPECT_CALL(sink_, OnACRostersNetwork(Truly(networks), 1));
    EXPECT_CALL(sink_, OnACDeviceVolumeLevel(30, 40));
    EXPECT_CALL(sink_, OnACMicStatus(2));
  }
  loop_.RunUntilIdle();
}

TEST_F(AudioStandInEngineTest, RefusedJoinsReportNothing) {
  AudioScript script;
  script.join_accepted = false;
  CAudioStandInEngine* engine = Make(script);
  EXPECT_EQ(engine->JoinAudio(nullptr, &session_, nullptr), 0);
  EXPECT_EQ(engine->JoinAudio(nullptr, nullptr, nullptr), 0);
  loop_.RunUntilIdle();
}

TEST_F(AudioStandInEngineTest, StoppedEngineDeliversNothingStillQueued) {
  CAudioStandInEngine* engine = Make();
  ASSERT_EQ(engine->JoinAudio(nullptr, &session_, nullptr), 1);
  engine->Stop();  // the queued reports are freed undelivered
  engine->Release();
  engine_ = nullptr;
  loop_.RunUntilIdle();
}

}  // namespace
