// The audio road on fake engines and a fake web link: joins, leaves, the
// engine's statuses, the recovery after its errors and the panels' audio
// commands, as exact sequences of reports and engine calls.
#include <gtest/gtest.h>

#include "client/controller/road_scenario_testlib.h"

namespace vz {
namespace {

class AudioRoad : public RoadScenario {
 protected:
  void Join(ACSessionConfig request = AudioRequest()) {
    controller_->OnACSessionRequestJoin(&request);
    ASSERT_NE(hub_.audio(), nullptr);
  }
  // Joined, with the journal emptied.
  void Joined() {
    Join();
    hub_.audio()->EmitStatus(2);
    hub_.Take();
  }
};

TEST_F(AudioRoad, AJoinReportsConnectingThenJoinedWithTheEnginesSsrc) {
  Connect();
  Join();
  EXPECT_EQ(hub_.Take(), (Journal{"frame ac(1,0)", "web ACStatus(1)", "audio#1 made",
                                  "audio JoinAudio(proxy=none,muted=0,invisible=0)"}));
  hub_.audio()->EmitStatus(1);
  hub_.audio()->EmitStatus(2, 1);
  EXPECT_EQ(hub_.Take(), (Journal{"web ACStatus(1)", "frame ac(1,0)", "web ACJoined(1,4660)", "frame ac(2,1)"}));
  EXPECT_EQ(hub_.link().last_ids(), "M1");
  EXPECT_EQ(controller_->GetACState(), kSessionJoined);
}

TEST_F(AudioRoad, ARepeatedJoinReportsJoinedAgainAndAppliesTheMuteWhileConnectingNothing) {
  Connect();
  Join();
  hub_.Take();
  ACSessionConfig request = AudioRequest();
  controller_->OnACSessionRequestJoin(&request);
  EXPECT_EQ(hub_.Take(), Journal{});  // connecting
  hub_.audio()->EmitStatus(2);
  hub_.Take();
  request.IsMuted = 1;
  controller_->OnACSessionRequestJoin(&request);
  request.IsMuted = 0;
  controller_->OnACSessionRequestJoin(&request);
  EXPECT_EQ(hub_.Take(), (Journal{"web ACJoined(0,4660)", "audio MuteAudio", "web ACJoined(1,4660)",
                                  "audio UnmuteAudio"}));
  EXPECT_EQ(hub_.audios_made(), 1);
}

TEST_F(AudioRoad, AFailedJoinIsReportedAsEndedAndReleasesTheEngine) {
  Connect();
  hub_.audio_join_result = 0;
  ACSessionConfig request = AudioRequest();
  controller_->OnACSessionRequestJoin(&request);
  EXPECT_EQ(hub_.Take(), (Journal{"frame ac(1,0)", "web ACStatus(1)", "audio#1 made",
                                  "audio JoinAudio(proxy=none,muted=0,invisible=0)", "audio#1 released",
                                  "frame ac(4,0)", "web ACStatus(4)"}));
  EXPECT_EQ(controller_->HasAudioEngine(), 0);
  // Without an engine object at all: the same end.
  hub_.refuse_instances = true;
  controller_->OnACSessionRequestJoin(&request);
  EXPECT_EQ(hub_.Take(), (Journal{"frame ac(1,0)", "web ACStatus(1)", "frame ac(4,0)", "web ACStatus(4)"}));
  EXPECT_EQ(controller_->GetACState(), kSessionEnded);
}

TEST_F(AudioRoad, AnInvisibleParticipantJoinsMutedAndCannotUnmute) {
  AddRoster(u"R1", 0, /*invisible=*/1);
  Connect();
  Joined();
  EXPECT_EQ(hub_.Take(), Journal{});
  EXPECT_EQ(controller_->GetAudioRequest().IsMuted, 1);
  EXPECT_EQ(controller_->GetAudioRequest().IsInvisible, 1);
  EXPECT_EQ(controller_->OnACSessionRequestUnmute(0), 0);
  EXPECT_EQ(controller_->UnmuteAudio(), 0);
  EXPECT_EQ(hub_.Take(), (Journal{"web ACNotifyMute"}));
}

TEST_F(AudioRoad, MuteAndUnmuteRequestsGoThroughTheEngine) {
  Connect();
  Joined();
  controller_->OnACSessionRequestMute(0);
  EXPECT_EQ(controller_->GetAudioRequest().IsMuted, 1);
  controller_->OnACSessionRequestUnmute(0);
  EXPECT_EQ(controller_->GetAudioRequest().IsMuted, 0);
  EXPECT_EQ(hub_.Take(), (Journal{"audio MuteAudio", "web ACMuted(1)", "audio UnmuteAudio", "web ACMuted(0)"}));
}

TEST_F(AudioRoad, ALeaveReportsFourOnceAndTheEnginesEndReleasesItAfterItsCall) {
  Connect();
  Joined();
  controller_->OnACSessionRequestLeave(nullptr);
  EXPECT_EQ(hub_.Take(), (Journal{"frame leave audio", "audio LeaveAudio", "audio#1 released", "web ACStatus(4)",
                                  "frame ac(4,0)"}));
  EXPECT_EQ(controller_->GetACState(), kSessionIdle);
  controller_->OnACSessionRequestLeave(nullptr);
  EXPECT_EQ(hub_.Take(), (Journal{"frame leave audio"}));

  // The engine ends the session: released once its own callback returned.
  Joined();
  hub_.audio()->EmitStatus(4);
  EXPECT_EQ(hub_.Take(), (Journal{"audio LeaveAudio", "web ACStatus(4)", "frame ac(4,0)"}));
  EXPECT_EQ(hub_.live_engines(), 1);
  RunPosted();
  EXPECT_EQ(hub_.Take(), (Journal{"audio#2 released"}));
}

TEST_F(AudioRoad, AnUpdateLeavesAndJoinsAgainOnlyWithAnEngine) {
  Connect();
  ACSessionConfig request = AudioRequest();
  EXPECT_EQ(controller_->OnACSessionRequestUpdate(&request), 0);
  EXPECT_EQ(controller_->OnACSessionRequestUpdate(nullptr), 0);
  EXPECT_EQ(hub_.Take(), Journal{});
  Joined();
  EXPECT_EQ(controller_->OnACSessionRequestUpdate(&request), 1);
  EXPECT_EQ(hub_.Take(), (Journal{"audio LeaveAudio", "audio#1 released", "web ACStatus(4)", "frame ac(4,0)",
                                  "frame ac(1,0)", "web ACStatus(1)", "audio#2 made",
                                  "audio JoinAudio(proxy=none,muted=0,invisible=0)"}));
}

// The recovery must release the failed engine first: in either state the
// ordinary join would otherwise refuse (connecting) or report a false
// "joined" (joined), and the next proxy would be used up for nothing.
TEST_F(AudioRoad, ErrorNineRejoinsThroughTheNextProxyFromConnectingAndFromJoined) {
  proxies_.Add(u"A", 8080);
  proxies_.Add(u"B", 8081);
  proxies_.Add(u"C", 8082);
  Connect();
  Join();
  EXPECT_EQ(hub_.Take("audio Join"), (Journal{"audio JoinAudio(proxy=A,muted=0,invisible=0)"}));

  // Connecting (state 1).
  hub_.audio()->EmitError(9, 2);
  EXPECT_EQ(hub_.Take(), (Journal{"audio LeaveAudio", "frame ac(1,0)", "web ACStatus(1)", "audio#2 made",
                                  "audio JoinAudio(proxy=B,muted=0,invisible=0)"}));
  RunPosted();
  EXPECT_EQ(hub_.Take(), (Journal{"audio#1 released"}));

  // Joined (state 2): no "joined" report, a new join through C.
  hub_.audio()->EmitStatus(2);
  hub_.Take();
  hub_.audio()->EmitError(4, 2);
  EXPECT_EQ(hub_.Take(), (Journal{"audio LeaveAudio", "frame ac(1,0)", "web ACStatus(1)", "audio#3 made",
                                  "audio JoinAudio(proxy=C,muted=0,invisible=0)"}));
  RunPosted();
  EXPECT_EQ(hub_.Take(), (Journal{"audio#2 released"}));

  // None left: reported, with status 4.
  hub_.audio()->EmitError(9, 2);
  EXPECT_EQ(hub_.Take(), (Journal{"web ACError(9,2)", "web ACStatus(4)"}));
}

TEST_F(AudioRoad, ErrorThirteenIsNeverReportedAndTheRestartAfterTheDialogJoinsAfresh) {
  proxies_.Add(u"A", 8080);
  Connect();
  Joined();
  hub_.audio()->EmitError(13, 2);
  EXPECT_EQ(hub_.Take(), (Journal{"frame ac error(13,2)"}));
  EXPECT_EQ(controller_->GetACState(), kSessionEnded);
  // The frame's restart after the proxy dialog's OK.
  controller_->JoinAudio();
  EXPECT_EQ(hub_.Take(), (Journal{"audio LeaveAudio", "audio#1 released", "frame ac(1,0)", "web ACStatus(1)",
                                  "audio#2 made", "audio JoinAudio(proxy=A,muted=0,invisible=0)"}));
}

TEST_F(AudioRoad, TheEnginesOtherEventsReachTheWebPage) {
  Connect();
  Joined();
  ACSpeakerEntry speakers[2] = {};
  ACRosterNetworkEntry networks[1] = {};
  IACProviderSink* sink = hub_.audio()->sink();
  sink->OnACActivedSpeaker(speakers, 2);
  sink->OnACRostersNetwork(networks, 1);
  sink->OnACDeviceVolumeLevel(5, 6);
  sink->OnACMicStatus(3);
  EXPECT_EQ(hub_.Take(), (Journal{"web ACSpeakers(2)", "web ACRostersNetwork(1)", "web ACDeviceLevel(5,6)",
                                  "web ACMicStatus(3)"}));
}

TEST_F(AudioRoad, ThePanelsAudioCommandsUseTheEngineOrAskTheWebPage) {
  AddRoster(u"R1");
  Connect();
  AVSessionConfig video = VideoRequest();
  controller_->OnAVSessionRequestJoin(&video);
  FakeVideoEngine* panel = hub_.video();
  ASSERT_NE(panel, nullptr);
  hub_.Take();
  // Without an audio engine: notices for the web page.
  for (int32_t status : {2, 3, 4, 7, 8, 5}) panel->EmitMyStatus(u"R1", status);
  EXPECT_EQ(hub_.Take(), (Journal{"web ACNotifyJoin", "web ACNotifyMute", "web ACNotifyUnmute", "web ACNotifyLeave",
                                  "web ACNotifyJoin"}));
  panel->EmitMyStatus(u"R2", 3);  // not mine
  EXPECT_EQ(hub_.Take(), Journal{});

  // With one: the engine's mute, unmute and leave.
  Joined();
  for (int32_t status : {3, 4, 2, 7}) panel->EmitMyStatus(u"R1", status);
  EXPECT_EQ(hub_.Take(), (Journal{"audio MuteAudio", "web ACMuted(1)", "audio UnmuteAudio", "web ACMuted(0)",
                                  "web ACNotifyJoin", "audio LeaveAudio", "web ACStatus(4)", "frame ac(4,0)"}));
  RunPosted();
  EXPECT_EQ(hub_.Take(), (Journal{"audio#1 released"}));
}

TEST_F(AudioRoad, AudioSettingsMakeAnEngineWithoutAJoin) {
  Connect();
  controller_->OnACSessionRequestConfig(0);
  controller_->OnACSessionRequestConfig(0);
  EXPECT_EQ(hub_.Take(), (Journal{"audio#1 made", "audio ConfigAudio", "audio ConfigAudio"}));
  EXPECT_EQ(controller_->GetACState(), kSessionIdle);
  // The join that follows replaces it.
  Join();
  EXPECT_EQ(hub_.Take(), (Journal{"audio LeaveAudio", "audio#1 released", "frame ac(1,0)", "web ACStatus(1)",
                                  "audio#2 made", "audio JoinAudio(proxy=none,muted=0,invisible=0)"}));
}

}  // namespace
}  // namespace vz
