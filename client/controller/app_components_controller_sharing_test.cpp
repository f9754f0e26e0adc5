// The sharing road on fake engines and a fake web link: the exact reports to
// the web page, the engine calls, and the releases, in order.
#include <gtest/gtest.h>

#include "client/controller/road_scenario_testlib.h"
#include "common/vz_binary_data.h"

namespace vz {
namespace {

class SharingRoad : public RoadScenario {
 protected:
  // A start request; the engine is left connecting (state 1).
  void Start(DSSessionConfig request = SharingRequest()) {
    controller_->OnDSSessionRequestStart(&request);
    ASSERT_NE(hub_.share(), nullptr);
  }
};

TEST_F(SharingRoad, AStartReachesTheEngineWithPort443AndEachStatusIsReported) {
  AddRoster(u"R1", 0, 0, /*presenter=*/1);
  Connect();
  Start();
  EXPECT_EQ(hub_.Take(), (Journal{"frame ds(1)", "web DSStatus(1)", "share#1 made(mode=1)",
                                  "share StartDS(proxy=none,port=443,presenter=1,web=0)"}));
  EXPECT_EQ(hub_.link().last_ids(), "M1/DS1");
  EXPECT_EQ(controller_->GetDSState(), kSessionConnecting);

  hub_.share()->EmitStatus(1);
  EXPECT_EQ(hub_.Take("web "), (Journal{"web DSStatus(1)"}));
  // Joined on the presenter's side: the capture of the screen starts first.
  hub_.share()->EmitStatus(2);
  EXPECT_EQ(hub_.Take(), (Journal{"share StartCapture(config,2)", "web DSStatus(2)", "frame ds(2)"}));
  EXPECT_EQ(controller_->GetDSState(), kSessionJoined);

  // An attendee's start captures nothing.
  RosterRecord attendee = Roster(u"R1");
  controller_->OnAppCmdUserUpdated(&attendee);
  DSSessionConfig join = SharingRequest(u"DS2", 1);
  join.TcpPort = 8443;
  controller_->OnDSSessionRequestJoin(&join);
  EXPECT_EQ(hub_.Take("share StartDS"), (Journal{"share StartDS(proxy=none,port=8443,presenter=0,web=0)"}));
  hub_.share()->EmitStatus(2);
  EXPECT_EQ(hub_.Take(), (Journal{"web DSStatus(2)", "frame ds(2)"}));
}

TEST_F(SharingRoad, RefusalsReportErrorThirtyThenStatusZeroAndMakeNoEngine) {
  Connect();
  MeetConfig config = kDefaultMeetConfig;
  config.SharingEnabled = 0;
  controller_->OnAppCmdMeetConfig(&config);
  DSSessionConfig request = SharingRequest();
  controller_->OnDSSessionRequestStart(&request);
  EXPECT_EQ(hub_.Take(), (Journal{"web DSError(30,10)", "web DSStatus(0)"}));

  // An invisible participant may not share either.
  config.SharingEnabled = 1;
  controller_->OnAppCmdMeetConfig(&config);
  AddRoster(u"R1", 0, /*invisible=*/1);
  hub_.Take();
  controller_->OnDSSessionRequestStart(&request);
  EXPECT_EQ(hub_.Take(), (Journal{"web DSError(30,10)", "web DSStatus(0)"}));
  EXPECT_EQ(hub_.shares_made(), 0);
}

TEST_F(SharingRoad, ARefusingEngineOrAMissingLibraryEndsTheStartWithStatusFour) {
  Connect();
  hub_.share_start_result = 0;
  DSSessionConfig request = SharingRequest();
  EXPECT_EQ(controller_->OnDSSessionRequestStart(&request), 1);  // the program's controller always says 1
  EXPECT_EQ(hub_.Take(), (Journal{"frame ds(1)", "web DSStatus(1)", "share#1 made(mode=1)",
                                  "share StartDS(proxy=none,port=443,presenter=1,web=0)", "share#1 released",
                                  "frame ds(4)", "web DSStatus(4)"}));
  EXPECT_EQ(controller_->GetDSState(), kSessionEnded);

  // The factory gives no engine.
  hub_.refuse_instances = true;
  controller_->OnDSSessionRequestStart(&request);
  EXPECT_EQ(hub_.Take(), (Journal{"frame ds(1)", "web DSStatus(1)", "frame ds(4)", "web DSStatus(4)"}));

  // No library at all: the same reports.
  FakeModuleLoader empty_loader;
  EngineFactory empty_factory(empty_loader);
  ControllerPorts ports;
  ports.engines = &empty_factory;
  CAppWinComponentsController bare(ports);
  hub_.AddLinkLibrary(empty_loader);
  AppPeerConfig peer{};
  Copy(peer.MeetId, u"M1");
  bare.StartAppPeerListen(&peer);
  bare.OnDSSessionRequestStart(&request);
  EXPECT_EQ(hub_.Take(), (Journal{"web DSStatus(1)", "web DSStatus(4)"}));
  EXPECT_EQ(bare.GetDSState(), kSessionEnded);
}

TEST_F(SharingRoad, ARepeatedStartReportsTwoWhenStartedAndNothingWhileConnecting) {
  Connect();
  Start();
  hub_.Take();
  DSSessionConfig again = SharingRequest();
  controller_->OnDSSessionRequestStart(&again);
  EXPECT_EQ(hub_.Take(), Journal{});  // connecting: nothing at all
  hub_.share()->EmitStatus(2);
  hub_.Take();
  controller_->OnDSSessionRequestStart(&again);
  EXPECT_EQ(hub_.Take(), (Journal{"web DSStatus(2)"}));
  EXPECT_EQ(hub_.shares_made(), 1);

  // Another sharing id is a new session: the running one stops first.
  DSSessionConfig other = SharingRequest(u"DS9");
  controller_->OnDSSessionRequestStart(&other);
  EXPECT_EQ(hub_.Take(), (Journal{"share StopDS", "share#1 released", "frame ds(1)", "web DSStatus(1)",
                                  "share#2 made(mode=1)", "share StartDS(proxy=none,port=443,presenter=1,web=0)"}));
}

TEST_F(SharingRoad, AnEngineEndingItsSessionIsReleasedAfterItsOwnCallback) {
  Connect();
  Start();
  hub_.share()->EmitStatus(2);
  hub_.Take();
  FakeShareEngine* engine = hub_.share();
  engine->EmitStatus(4);  // the engine touches itself after the call: released later
  EXPECT_EQ(hub_.Take(), (Journal{"share StopDS", "web DSStatus(4)", "frame ds(4)"}));
  EXPECT_EQ(hub_.live_engines(), 1);
  EXPECT_EQ(controller_->GetDSState(), kSessionEnded);
  RunPosted();
  EXPECT_EQ(hub_.Take(), (Journal{"share#1 released"}));
  EXPECT_EQ(hub_.live_engines(), 0);
}

TEST_F(SharingRoad, WhatAReleasedEngineStillDeliversIsDropped) {
  proxies_.Add(u"A", 8080);
  proxies_.Add(u"B", 8081);
  Connect();
  Start();
  FakeShareEngine* failed = hub_.share();
  failed->EmitError(9, 2);
  hub_.Take();
  // The failed engine's queued "ended" arrives before its release: the new
  // session through the next proxy is not touched.
  failed->EmitStatus(4);
  EXPECT_EQ(hub_.Take(), Journal{});
  EXPECT_EQ(controller_->GetDSState(), kSessionConnecting);
  RunPosted();
  EXPECT_EQ(hub_.Take(), (Journal{"share#1 released"}));
  EXPECT_NE(hub_.share(), nullptr);
}

TEST_F(SharingRoad, ErrorNineMovesToTheNextProxyUntilNoneIsLeft) {
  proxies_.Add(u"A", 8080);
  proxies_.Add(u"B", 8081);
  Connect();
  Start();
  EXPECT_EQ(hub_.Take("share StartDS"), (Journal{"share StartDS(proxy=A,port=443,presenter=1,web=0)"}));
  hub_.share()->EmitError(9, 2);
  // The failed engine stops; a new one starts through B; the page only hears
  // "connecting" again.
  EXPECT_EQ(hub_.Take(), (Journal{"share StopDS", "frame ds(1)", "web DSStatus(1)", "share#2 made(mode=1)",
                                  "share StartDS(proxy=B,port=443,presenter=1,web=0)"}));
  RunPosted();
  EXPECT_EQ(hub_.Take(), (Journal{"share#1 released"}));

  hub_.share()->EmitError(4, 3);
  EXPECT_EQ(hub_.Take(), (Journal{"share StopDS", "web DSError(4,3)", "web DSStatus(4)"}));
  RunPosted();
  EXPECT_EQ(hub_.live_engines(), 0);
}

TEST_F(SharingRoad, ErrorThirteenIsNeverReportedAndOffersTheProxySettingsOnce) {
  proxies_.Add(u"A", 8080);
  Connect();
  Start();
  hub_.Take();
  hub_.share()->EmitError(13, 5);
  EXPECT_EQ(hub_.Take(), (Journal{"share StopDS", "frame ds error(13,5)"}));
  EXPECT_EQ(controller_->GetDSState(), kSessionEnded);
  RunPosted();
  EXPECT_EQ(hub_.Take(), (Journal{"share#1 released"}));

  // Any other error is reported with status 4.
  Start();
  hub_.Take();
  hub_.share()->EmitError(21, 1);
  EXPECT_EQ(hub_.Take(), (Journal{"share StopDS", "web DSError(21,1)", "web DSStatus(4)"}));
}

TEST_F(SharingRoad, RemoteControlStopsTheOldHolderBeforeGivingItToTheNew) {
  AddRoster(u"R1", 0, 0, 1);
  AddRoster(u"R2");
  AddRoster(u"R3");
  Connect();
  Start();
  hub_.Take();
  controller_->SetRemoteControlRosterId(u"R2");
  controller_->SetRemoteControlRosterId(u"R3");
  controller_->SetRemoteControlPaused();
  controller_->SetRemoteControlRosterId(nullptr);
  controller_->SetRemoteControlPaused();  // nobody holds it: nothing
  controller_->StopRemoteControlTo(nullptr);
  EXPECT_EQ(hub_.Take(), (Journal{"share SendCommand(1,R1->R2)", "share SendCommand(0,R1->R2)",
                                  "share SendCommand(1,R1->R3)", "share SendCommand(2,R1->R3)",
                                  "share SendCommand(0,R1->R3)"}));

  // The stop of a session clears the holder; its stop command finds no engine.
  controller_->SetRemoteControlRosterId(u"R2");
  hub_.Take();
  controller_->StopDs();
  EXPECT_EQ(hub_.Take(), (Journal{"share StopDS", "share#1 released"}));
  EXPECT_EQ(controller_->GetRemoteControlRosterIdForTesting()[0], u'\0');
}

TEST_F(SharingRoad, ACommandCutsRosterIdsTo127UnitsAndTerminatesThem) {
  const std::u16string long_id(200, u'x');
  AddRoster(u"R1", 0, 0, 1);
  AddRoster(long_id);
  Connect();
  Start();
  controller_->SetRemoteControlRosterId(long_id.c_str());
  const DSCommandRecord& sent = hub_.share()->last_command();
  EXPECT_EQ(std::u16string(sent.DstRosterId), std::u16string(127, u'x'));
  EXPECT_EQ(std::u16string(sent.SrcRosterId), u"R1");
  EXPECT_EQ(std::u16string(controller_->GetRemoteControlRosterIdForTesting()).size(), 127u);
}

TEST_F(SharingRoad, UpdateAndStopWithoutAnEngine) {
  Connect();
  DSSessionConfig request = SharingRequest();
  EXPECT_EQ(controller_->OnDSSessionRequestUpdate(&request), 0);
  EXPECT_EQ(hub_.Take(), Journal{});
  EXPECT_EQ(controller_->GetDSState(), kSessionIdle);
  EXPECT_EQ(controller_->OnDSSessionRequestStop(nullptr), 1);
  EXPECT_EQ(hub_.Take(), (Journal{"frame ds(4)", "web DSStatus(4)"}));

  // With an engine the update is a stop and a new start.
  Start();
  hub_.Take();
  DSSessionConfig update = SharingRequest(u"DS1");
  update.TcpPort = 9000;
  EXPECT_EQ(controller_->OnDSSessionRequestUpdate(&update), 1);
  EXPECT_EQ(hub_.Take(), (Journal{"share StopDS", "share#1 released", "frame ds(1)", "web DSStatus(1)",
                                  "share#2 made(mode=1)", "share StartDS(proxy=none,port=9000,presenter=1,web=0)"}));
}

TEST_F(SharingRoad, QuickStartSetsTheFlagAndAStopRequestClearsIt) {
  Connect();
  DSSessionConfig request = SharingRequest();
  EXPECT_EQ(controller_->OnDSSessionRequestQuickStart(nullptr), 0);
  EXPECT_EQ(controller_->GetQuickStartFlag(), 0);
  controller_->OnDSSessionRequestQuickStart(&request);
  EXPECT_EQ(controller_->GetQuickStartFlag(), 1);
  hub_.Take();
  controller_->OnDSSessionRequestStop(nullptr);
  EXPECT_EQ(controller_->GetQuickStartFlag(), 0);
  EXPECT_EQ(hub_.Take(), (Journal{"share StopDS", "share#1 released", "frame ds(4)", "web DSStatus(4)"}));
}

TEST_F(SharingRoad, AWebJoinIsAnAttendeeWhoseDataReachesTheEngine) {
  Connect();
  CVZBinaryData data(5);
  DSSessionConfig request = SharingRequest(u"DS1", /*presenter=*/1);
  controller_->OnDSSessionRequestStart(&request);
  controller_->OnDSDataCommand(&data);  // a presenter's session: not sent
  EXPECT_EQ(hub_.Take("share Send"), Journal{});

  EXPECT_EQ(controller_->OnDSSessionRequestWebJoin(nullptr), 0);
  DSSessionConfig watch = SharingRequest(u"DS2", /*presenter=*/1);
  controller_->OnDSSessionRequestWebJoin(&watch);
  EXPECT_EQ(controller_->GetSharingRequestForTesting().IsWebAttendee, 1);
  EXPECT_EQ(controller_->GetSharingRequestForTesting().IsPresenter, 0);
  controller_->OnDSDataCommand(&data);
  EXPECT_EQ(hub_.Take("share S"), (Journal{"share StopDS", "share StartDS(proxy=none,port=443,presenter=0,web=1)",
                                          "share SendWebBinary(5)"}));
  // What the engine sends back goes to the web page with the session's ids.
  hub_.share()->EmitWebBinary(&data);
  EXPECT_EQ(hub_.Take("web "), (Journal{"web DSBinary(5)"}));
  EXPECT_EQ(hub_.link().last_ids(), "M1/DS2");
}

TEST_F(SharingRoad, TheUIsEngineOperationsNeedAnEngine) {
  Connect();
  MonitorInfo monitor{};
  EXPECT_EQ(controller_->GetMonitorList(), nullptr);
  EXPECT_EQ(controller_->GetWindowList(), nullptr);
  EXPECT_EQ(controller_->GetMonitorInfo(1), nullptr);
  EXPECT_EQ(controller_->ShareMonitor(&monitor, 1), 0);
  EXPECT_EQ(controller_->SendCommand(nullptr), 0);
  Start();
  hub_.Take();
  EXPECT_NE(controller_->GetMonitorList(), nullptr);
  EXPECT_NE(controller_->GetMonitorInfo(3), nullptr);
  EXPECT_EQ(controller_->ShareMonitor(&monitor, 1), 1);
  EXPECT_EQ(controller_->ShareWindow(nullptr, 0), 1);
  EXPECT_EQ(hub_.Take(), (Journal{"share GetMonitorList", "share GetMonitorInfo(3)", "share ShareMonitor(1)",
                                  "share ShareWindow(0)"}));
}

}  // namespace
}  // namespace vz
