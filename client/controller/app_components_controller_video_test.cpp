// The video road on fake engines and a fake web link: the join with the
// meeting's rosters, the engine's statuses, the web page's requests and the
// recovery after errors, as exact sequences of reports and engine calls.
#include <gtest/gtest.h>

#include "client/controller/road_scenario_testlib.h"

namespace vz {
namespace {

// The engine's join for the default request and meeting config.
const char kPlainJoin[] = "video JoinVideo(proxy=none,broadcast=1,invisible=0,quality=1,toolbar=0,container=77)";

class VideoRoad : public RoadScenario {
 protected:
  void Join(int32_t broadcast = 1) {
    AVSessionConfig request = VideoRequest(broadcast);
    controller_->OnAVSessionRequestJoin(&request);
    ASSERT_NE(hub_.video(), nullptr);
  }
  void Joined(int32_t broadcast = 1) {
    Join(broadcast);
    hub_.video()->EmitStatus(2);
    hub_.Take();
  }
};

TEST_F(VideoRoad, AJoinHandsEveryRosterInKeyOrderToTheEngineBeforeJoining) {
  AddRoster(u"b");
  AddRoster(u"R1");
  AddRoster(u"A");
  Connect();
  MeetConfig config = kDefaultMeetConfig;
  config.VideoQuality = 3;
  config.VideoToolbar = 1;
  controller_->OnAppCmdMeetConfig(&config);
  Join();
  EXPECT_EQ(hub_.Take(),
            (Journal{"frame av(1,1)", "web AVStatus(1)", "video#1 made", "video AppRosterJoined(A,0)",
                     "video AppRosterJoined(R1,0)", "video AppRosterJoined(b,1)",
                     "video JoinVideo(proxy=none,broadcast=1,invisible=0,quality=3,toolbar=1,container=77)"}));
  hub_.video()->EmitStatus(1);
  hub_.video()->EmitStatus(2, 1);
  EXPECT_EQ(hub_.Take(), (Journal{"web AVStatus(1)", "web AVJoined(1,0)"}));
  EXPECT_EQ(controller_->GetAVStateForTesting(), kSessionJoined);

  // Participants who come later reach the running engine one by one.
  AddRoster(u"C");
  RosterRecord left = Roster(u"A");
  controller_->OnAppCmdUserLeft(&left);
  EXPECT_EQ(hub_.Take(), (Journal{"roster joined C audio 1", "video AppRosterJoined(C,1)", "roster left A audio 1",
                                  "video AppRosterLeft(A)"}));
}

TEST_F(VideoRoad, WithoutMyRosterOrWhenInvisibleNoCameraIsSent) {
  Connect();
  Join();
  EXPECT_EQ(hub_.Take("video Join"),
            (Journal{"video JoinVideo(proxy=none,broadcast=0,invisible=0,quality=1,toolbar=0,container=77)"}));
  hub_.video()->EmitStatus(4);
  RunPosted();
  AddRoster(u"R1", 0, /*invisible=*/1);
  Join();
  EXPECT_EQ(hub_.Take("video Join"),
            (Journal{"video JoinVideo(proxy=none,broadcast=0,invisible=1,quality=1,toolbar=0,container=77)"}));
  // A repeated join of the invisible participant only says: no camera.
  hub_.video()->EmitStatus(2);
  hub_.Take();
  Join();
  EXPECT_EQ(hub_.Take(), (Journal{"video ActivateVideoPanel", "web AVBroadcasted(0)"}));
}

TEST_F(VideoRoad, ARepeatedJoinLetsTheCameraFollowTheBroadcastFlag) {
  AddRoster(u"R1");
  Connect();
  Join(1);
  hub_.Take();
  Join(1);
  EXPECT_EQ(hub_.Take(), Journal{});  // connecting: nothing
  hub_.video()->EmitStatus(2);
  hub_.Take();
  Join(1);
  Join(1);
  Join(0);
  EXPECT_EQ(hub_.Take(), (Journal{"video ActivateVideoPanel", "video StartMyVideo(0)", "video ActivateVideoPanel",
                                  "video ActivateVideoPanel", "video StopMyVideo"}));
  EXPECT_EQ(hub_.videos_made(), 1);
}

TEST_F(VideoRoad, AFailedJoinIsReportedAsEndedAndReleasesTheEngine) {
  AddRoster(u"R1");
  Connect();
  hub_.video_join_result = 0;
  AVSessionConfig request = VideoRequest();
  controller_->OnAVSessionRequestJoin(&request);
  EXPECT_EQ(hub_.Take(), (Journal{"frame av(1,1)", "web AVStatus(1)", "video#1 made", "video AppRosterJoined(R1,1)",
                                  kPlainJoin, "video#1 released", "frame av(4,1)", "web AVStatus(4)"}));
  EXPECT_EQ(hub_.live_engines(), 0);
}

TEST_F(VideoRoad, AnOldEngineIsReleasedBeforeANewOneIsMade) {
  AddRoster(u"R1");
  Connect();
  Joined();
  // The session counts as ended while its engine is still held.
  controller_->NotifyVideoStatusChanged(kSessionEnded, 0);
  hub_.Take();
  Join();
  EXPECT_EQ(hub_.Take("video"), (Journal{"video LeaveVideo", "video#1 released", "video#2 made",
                                         "video AppRosterJoined(R1,1)", kPlainJoin}));
}

TEST_F(VideoRoad, TheLeaveRequestStopsTheCameraReportsLeavesAndTellsTheFrame) {
  AddRoster(u"R1");
  Connect();
  Joined();
  controller_->OnAVSessionRequestLeave(nullptr);
  // The leave itself reports the end of a joined session too.
  EXPECT_EQ(hub_.Take(), (Journal{"video StopMyVideo", "web AVStatus(4)", "video LeaveVideo", "video#1 released",
                                  "web AVStatus(4)", "frame av(4,0)", "frame av(4,0)"}));
  EXPECT_EQ(controller_->GetAVStateForTesting(), kSessionEnded);
  controller_->OnAVSessionRequestLeave(nullptr);
  EXPECT_EQ(hub_.Take(), (Journal{"web AVStatus(4)", "frame av(4,0)"}));
}

TEST_F(VideoRoad, TheEnginesEndReleasesItAfterItsOwnCallback) {
  AddRoster(u"R1");
  Connect();
  Joined();
  hub_.video()->EmitStatus(4);
  EXPECT_EQ(hub_.Take(), (Journal{"video LeaveVideo", "web AVStatus(4)"}));
  EXPECT_EQ(hub_.live_engines(), 1);
  RunPosted();
  EXPECT_EQ(hub_.Take(), (Journal{"video#1 released"}));
}

TEST_F(VideoRoad, RequestsReachTheEngineOnlyWhileOneIsLoaded) {
  AddRoster(u"R1");
  Connect();
  int32_t row_column[2] = {2, 3};
  controller_->OnAVSessionRequestConfig(0);
  controller_->OnAVSessionRequestLayout(0, 4, row_column);
  controller_->OnAVSessionRequestCameraOn(0);
  controller_->OnAVSessionRequestCameraOff(0);
  AVSessionConfig request = VideoRequest();
  EXPECT_EQ(controller_->OnAVSessionRequestUpdate(&request), 0);
  EXPECT_EQ(hub_.Take(), (Journal{"web AVBroadcasted(0)"}));

  Joined();
  controller_->OnAVSessionRequestConfig(0);
  controller_->OnAVSessionRequestLayout(0, 4, row_column);
  controller_->OnAVSessionRequestCameraOn(0);
  controller_->OnAVSessionRequestCameraOff(0);
  hub_.video()->EmitBroadcasted(1);
  EXPECT_EQ(hub_.Take(), (Journal{"video ConfigVideo", "video SetVideoLayoutMode(4,2x3)", "video StartMyVideo(0)",
                                  "video StopMyVideo", "web AVBroadcasted(0)", "web AVBroadcasted(1)"}));
  // An update leaves and joins again.
  EXPECT_EQ(controller_->OnAVSessionRequestUpdate(&request), 1);
  EXPECT_EQ(hub_.Take(),
            (Journal{"video LeaveVideo", "video#1 released", "web AVStatus(4)", "frame av(4,0)", "frame av(1,1)",
                     "web AVStatus(1)", "video#2 made", "video AppRosterJoined(R1,1)", kPlainJoin}));
}

// The engine sends the network error first and its "left" after it: the
// recovery releases the failed engine and rejoins, from connecting and from
// joined, and the failed engine's "left" no longer reaches the new session.
TEST_F(VideoRoad, ErrorNineRejoinsThroughTheNextProxyFromConnectingAndFromJoined) {
  AddRoster(u"R1");
  proxies_.Add(u"A", 8080);
  proxies_.Add(u"B", 8081);
  proxies_.Add(u"C", 8082);
  Connect();
  Join();
  hub_.Take();
  FakeVideoEngine* first = hub_.video();
  first->EmitError(9, 2);
  first->EmitStatus(4);
  EXPECT_EQ(
      hub_.Take(),
      (Journal{"video LeaveVideo", "frame av(1,1)", "web AVStatus(1)", "video#2 made", "video AppRosterJoined(R1,1)",
               "video JoinVideo(proxy=B,broadcast=1,invisible=0,quality=1,toolbar=0,container=77)"}));
  EXPECT_EQ(controller_->GetAVStateForTesting(), kSessionConnecting);
  RunPosted();
  EXPECT_EQ(hub_.Take(), (Journal{"video#1 released"}));

  hub_.video()->EmitStatus(2);
  hub_.Take();
  hub_.video()->EmitError(4, 2);
  EXPECT_EQ(hub_.Take("video J"),
            (Journal{"video JoinVideo(proxy=C,broadcast=1,invisible=0,quality=1,toolbar=0,container=77)"}));
  RunPosted();
  EXPECT_EQ(hub_.Take(), (Journal{"video#2 released"}));

  // None left, or any other error: reported, and no camera.
  hub_.video()->EmitError(9, 2);
  hub_.video()->EmitError(17, 1);
  EXPECT_EQ(hub_.Take(),
            (Journal{"web AVError(9,2)", "web AVBroadcasted(0)", "web AVError(17,1)", "web AVBroadcasted(0)"}));
}

TEST_F(VideoRoad, ErrorThirteenLeavesTheStateAndOffersTheProxySettings) {
  AddRoster(u"R1");
  proxies_.Add(u"A", 8080);
  Connect();
  Joined();
  hub_.video()->EmitError(13, 4);
  EXPECT_EQ(hub_.Take(), (Journal{"frame av error(13,4)"}));
  EXPECT_EQ(controller_->GetAVStateForTesting(), kSessionJoined);
}

}  // namespace
}  // namespace vz
