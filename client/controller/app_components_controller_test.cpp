// The meeting components controller on fake engines and a fake link: the
// engine libraries are registered in an in-memory loader, so the real
// wrappers run without dlopen.
#include "client/controller/app_components_controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "client/controller/fake_module_loader_testlib.h"
#include "contracts/mock_engines_testlib.h"
#include "common/log_capture_testlib.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/text.h"

namespace {

using ::testing::_;
using ::testing::InSequence;
using ::testing::NiceMock;
using ::testing::Return;
using ::testing::StrictMock;

// The engines the fake libraries hand out, and what was released, in order.
struct FakeEngines {
  static inline MockACProvider* audio = nullptr;
  static inline MockAVProvider* video = nullptr;
  static inline MockDSProvider* share = nullptr;
  static inline MockVzLinkInstance* link = nullptr;
  static inline IACProviderSink* audio_sink = nullptr;
  static inline std::vector<std::string> released;
  static inline int creates = 0;

  static IACProvider* CreateAudio(IACProviderSink* sink) {
    ++creates;
    audio_sink = sink;
    return audio;
  }
  static int32_t ReleaseAudio(IACProvider*) { return Released("audio"); }
  static IAVProvider* CreateVideo(IAVProviderSink*) {
    ++creates;
    return video;
  }
  static int32_t ReleaseVideo(IAVProvider*) { return Released("video"); }
  static IDSProvider* CreateShare(IDSProviderSink*, int32_t) {
    ++creates;
    return share;
  }
  static int32_t ReleaseShare(IDSProvider*) { return Released("share"); }
  static IVzLinkInstance* CreateLink(IVzLinkInstanceSink*) { return link; }
  static int32_t ReleaseLink(IVzLinkInstance*) { return Released("link"); }

  static int32_t Released(const char* what) {
    released.push_back(what);
    return 1;
  }
};

template <typename F>
void* Export(F function) {
  return reinterpret_cast<void*>(function);
}

// A proxy module with a table of the test's.
class TableProxies : public IProxyProvider {
 public:
  const NetworkProxyEntry* VZGetNetworkProxy() override {
    ++handouts;
    return table.Count > 0 ? &table.Entries[0] : nullptr;
  }
  const NetworkProxyTable* GetNetworkProxyTable() const override { return &table; }
  bool LoadProxyCredentials(NetworkProxyEntry*) override { return false; }
  void SaveProxyCredentials(const NetworkProxyEntry*) override {}

  void Add(const char16_t* host, int32_t port, int32_t auth, int32_t https) {
    NetworkProxyEntry& entry = table.Entries[table.Count++];
    std::memcpy(entry.Host, host, (std::char_traits<char16_t>::length(host) + 1) * sizeof(char16_t));
    entry.Port = port;
    entry.Authentication = auth;
    entry.HttpsProxy = https;
    entry.HttpProxy = !https;
  }
  NetworkProxyTable table;
  int handouts = 0;
};

const char* TestVersion() { return "9.8.7.6"; }

class Controller : public ::testing::Test {
 protected:
  Controller() : loop_(clock_), factory_(loader_) {
    FakeEngines::audio = &audio_;
    FakeEngines::video = &video_;
    FakeEngines::share = &share_;
    FakeEngines::link = &link_;
    FakeEngines::released.clear();
    FakeEngines::creates = 0;
    loader_.AddLibrary("vzaudio.dll",
                       {{1, Export(&FakeEngines::CreateAudio)}, {2, Export(&FakeEngines::ReleaseAudio)}});
    loader_.AddLibrary("vzvideo.dll",
                       {{1, Export(&FakeEngines::CreateVideo)}, {2, Export(&FakeEngines::ReleaseVideo)}});
    loader_.AddLibrary("vzshare.dll",
                       {{1, Export(&FakeEngines::CreateShare)}, {2, Export(&FakeEngines::ReleaseShare)}});
    loader_.AddLibrary("vzlink.dll", {{1, Export(&FakeEngines::CreateLink)}, {2, Export(&FakeEngines::ReleaseLink)}});
    ControllerPorts ports;
    ports.engines = &factory_;
    ports.proxies = &proxies_;
    ports.application_version = &TestVersion;
    controller_ = std::make_unique<CAppComponentsController>(ports);
  }

  // The link listens for the meeting "M1" of roster "R1".
  void Listen() {
    AppPeerConfig config{};
    std::memcpy(config.MeetId, u"M1", sizeof(u"M1"));
    std::memcpy(config.RosterId, u"R1", sizeof(u"R1"));
    std::memcpy(config.PipeName, u"pipe", sizeof(u"pipe"));
    EXPECT_CALL(link_, WSStartListen(_)).WillOnce(Return(1));
    ASSERT_EQ(controller_->StartAppPeerListen(&config), 1);
  }

  static RosterRecord Roster(const std::u16string& id, int32_t audio_status = 0, int32_t invisible = 0) {
    RosterRecord record{};
    std::memcpy(record.RosterId, id.data(), id.size() * sizeof(char16_t));
    record.AudioStatus = audio_status;
    record.IsInvisible = invisible;
    return record;
  }

  vz::FakeClock clock_;
  vz::RunLoop loop_;
  vz::FakeModuleLoader loader_;
  EngineFactory factory_;
  TableProxies proxies_;
  NiceMock<MockACProvider> audio_;
  NiceMock<MockAVProvider> video_;
  NiceMock<MockDSProvider> share_;
  NiceMock<MockVzLinkInstance> link_;
  std::unique_ptr<CAppComponentsController> controller_;
};

TEST_F(Controller, AMeetingConfigWithEverySwitchOffRefusesEachStartWithErrorThirtyThenStatusZero) {
  Listen();
  MeetConfig off{};
  ASSERT_EQ(controller_->OnAppCmdMeetConfig(&off), 1);
  {
    InSequence order;
    EXPECT_CALL(link_, WSDSSessionResponseError(30, 10, _, _));
    EXPECT_CALL(link_, WSDSSessionResponseStatus(0, _, _));
    EXPECT_CALL(link_, WSACSessionResponseError(30, 10, _));
    EXPECT_CALL(link_, WSACSessionResponseStatus(0, _));
    EXPECT_CALL(link_, WSAVSessionResponseError(30, 10, _));
    EXPECT_CALL(link_, WSAVSessionResponseStatus(0, _));
  }
  EXPECT_EQ(controller_->StartDS(), 0);
  EXPECT_EQ(controller_->JoinAudio(), 0);
  EXPECT_EQ(controller_->JoinVideo(), 0);
  EXPECT_EQ(FakeEngines::creates, 0);
  EXPECT_EQ(controller_->HasAudioEngine(), 0);

  // A later config enables them again.
  MeetConfig on = kDefaultMeetConfig;
  controller_->OnAppCmdMeetConfig(&on);
  EXPECT_CALL(link_, WSACSessionResponseStatus(1, _));
  EXPECT_CALL(audio_, JoinAudio(_, _, _)).WillOnce(Return(1));
  EXPECT_EQ(controller_->JoinAudio(), 1);
}

TEST_F(Controller, BeforeAnyMeetingConfigEverythingIsEnabledAndANullConfigChangesNothing) {
  const MeetConfig& config = controller_->GetMeetConfig();
  EXPECT_EQ(std::memcmp(&config, &kDefaultMeetConfig, sizeof(MeetConfig)), 0);
  EXPECT_EQ(config.AudioEnabled, 1);
  EXPECT_EQ(config.VideoEnabled, 1);
  EXPECT_EQ(config.SharingEnabled, 1);
  EXPECT_EQ(config.RemoteControlEnabled, 1);
  EXPECT_EQ(config.HeaderBgColor, 0xFF0084FFu);
  EXPECT_EQ(controller_->OnAppCmdMeetConfig(nullptr), 0);
  EXPECT_EQ(std::memcmp(&controller_->GetMeetConfig(), &kDefaultMeetConfig, sizeof(MeetConfig)), 0);

  Listen();
  EXPECT_CALL(share_, StartDS(_, _, nullptr)).WillOnce(Return(1));
  EXPECT_CALL(video_, JoinVideo(_, _, nullptr, _)).WillOnce(Return(1));
  EXPECT_EQ(controller_->StartDS(), 1);
  EXPECT_EQ(controller_->JoinVideo(), 1);
  EXPECT_EQ(controller_->GetDSState(), kSessionConnecting);
  EXPECT_EQ(controller_->GetAVStateForTesting(), kSessionConnecting);
}

TEST_F(Controller, AConnectedPipeSendsTheVersionAndProxyCollectLinesOnce) {
  vz::LogLineCapture log_lines;
  proxies_.Add(u"proxy.one", 8080, 1, 0);
  proxies_.Add(u"10.0.0.2", 3128, 0, 1);
  Listen();
  log_lines.Clear();
  EXPECT_EQ(controller_->OnAppSocketListener(2, 0), 1);
  const std::vector<std::string> lines = log_lines.lines(vz::kCollectLines);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[0], ::testing::EndsWith(">Velzar Meet Application version [9.8.7.6] meet [M1] roster id [R1]"));
  EXPECT_THAT(lines[1], ::testing::EndsWith(
                            ">proxy info [proxy index:[0]:[proxy.one]:[8080:[Auth(1)]:[Success(0)]"
                            "proxy index:[1]:[10.0.0.2]:[3128:[Auth(0)]:[Success(0)]]"));
  EXPECT_EQ(log_lines.Count("proxy index:[1]:[10.0.0.2]:[3128:[Auth(0)]:[Success(0)]", vz::kFileLines), 1u);
  // The first entry became the proxy of the next starts.
  ASSERT_NE(controller_->GetNetworkProxyEntry(), nullptr);
  EXPECT_EQ(controller_->GetNetworkProxyEntry()->Port, 8080);

  log_lines.Clear();
  EXPECT_EQ(controller_->OnAppSocketListener(1, 0), 1);
  EXPECT_TRUE(log_lines.lines(vz::kCollectLines).empty());
  EXPECT_EQ(log_lines.Count("pipe connection disconnected!", vz::kFileLines), 1u);
  EXPECT_EQ(proxies_.handouts, 1);
}

TEST_F(Controller, WithoutProxiesTheProxyLineIsEmptyAndNoProxyIsUsed) {
  vz::LogLineCapture log_lines;
  controller_->OnAppSocketListener(2, 0);
  const std::vector<std::string> lines = log_lines.lines(vz::kCollectLines);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[0], ::testing::EndsWith("meet [] roster id []"));
  EXPECT_THAT(lines[1], ::testing::EndsWith(">proxy info []"));
  EXPECT_EQ(controller_->GetNetworkProxyEntry(), nullptr);
}

TEST_F(Controller, WithoutALinkEveryReportReturnsZero) {
  EXPECT_EQ(controller_->ReportDSSessionStatus(2), 0);
  EXPECT_EQ(controller_->ReportDSSessionError(9, 1), 0);
  EXPECT_EQ(controller_->ReportDSRemoteControl(0), 0);
  EXPECT_EQ(controller_->ReportACSessionJoined(0, 5), 0);
  EXPECT_EQ(controller_->ReportACSessionStatus(1), 0);
  EXPECT_EQ(controller_->ReportACSessionError(9, 1), 0);
  EXPECT_EQ(controller_->ReportACSessionMuted(1), 0);
  EXPECT_EQ(controller_->ReportACDeviceLevel(3, 4), 0);
  EXPECT_EQ(controller_->ReportAVSessionJoined(1, 5), 0);
  EXPECT_EQ(controller_->ReportAVSessionStatus(1), 0);
  EXPECT_EQ(controller_->ReportAVSessionError(9, 1), 0);
  EXPECT_EQ(controller_->ReportAVSessionBroadcasted(1), 0);

  // With a link, a report passes on the road's ids and the link's result.
  Listen();
  EXPECT_CALL(link_, WSACSessionResponseMuted(1, _)).WillOnce(Return(7));
  EXPECT_EQ(controller_->ReportACSessionMuted(1), 7);
  EXPECT_CALL(link_, WSDSSessionResponseRemoteControl(0, 0, _, _)).WillOnce(Return(8));
  EXPECT_EQ(controller_->ReportDSRemoteControl(0), 8);
}

TEST_F(Controller, StartListeningNeedsAMeetingOrAPipeAndGivesTheLinkItsOwnCopy) {
  vz::LogLineCapture log_lines;
  AppPeerConfig empty{};
  EXPECT_EQ(controller_->StartAppPeerListen(&empty), 0);
  EXPECT_EQ(controller_->StartAppPeerListen(nullptr), 0);
  EXPECT_EQ(log_lines.Count("Application can't start listen, meet id is empty.", vz::kFileLines), 1u);
  EXPECT_EQ(loader_.open_count("vzlink.dll"), 0);

  AppPeerConfig config{};
  std::memcpy(config.MeetId, u"M9", sizeof(u"M9"));
  config.ContainerWindow = 7;
  const AppPeerConfig* given = nullptr;
  EXPECT_CALL(link_, WSStartListen(_)).WillOnce([&given](AppPeerConfig* copy) {
    given = copy;
    return 1;
  });
  EXPECT_EQ(controller_->StartAppPeerListen(&config), 1);
  EXPECT_EQ(given, &controller_->GetPeerConfig());
  EXPECT_EQ(std::memcmp(given, &config, sizeof(config)), 0);
  EXPECT_EQ(std::u16string(controller_->GetMeetId()), u"M9");
}

TEST_F(Controller, TheRosterFollowsUtf16CodeUnitOrder) {
  for (const std::u16string& id : {std::u16string(u"\uFFFF"), std::u16string(u"a"), std::u16string(u"\U00010000"),
                                   std::u16string(u"B")}) {
    RosterRecord record = Roster(id);
    ASSERT_EQ(controller_->OnAppCmdUserJoined(&record), 1) << "roster " << vz::Utf16ToUtf8(id);
  }
  std::vector<RosterRecord*> list{nullptr};
  controller_->GetRosterList(&list);
  std::vector<std::u16string> ids;
  for (const RosterRecord* record : list) ids.push_back(record->RosterId);
  EXPECT_EQ(ids, (std::vector<std::u16string>{u"B", u"a", u"\U00010000", u"\uFFFF"}));
}

TEST_F(Controller, RosterLookupsAndTheStoredAudioStatus) {
  EXPECT_EQ(controller_->FindRoster(nullptr), nullptr);
  EXPECT_EQ(controller_->FindRoster(u""), nullptr);
  EXPECT_EQ(CAppComponentsController::IsNativeRosterIdForTesting(u"x-vzweb-1"), 0);
  EXPECT_EQ(CAppComponentsController::IsNativeRosterIdForTesting(u"R1"), 1);
  EXPECT_EQ(CAppComponentsController::IsNativeRosterIdForTesting(nullptr), 0);

  RosterRecord joined = Roster(u"R1");  // audio status 0
  controller_->OnAppCmdUserJoined(&joined);
  EXPECT_EQ(controller_->FindRoster(u"R1")->AudioStatus, 1);
  RosterRecord updated = Roster(u"R1", 0);
  controller_->OnAppCmdUserUpdated(&updated);
  EXPECT_EQ(controller_->FindRoster(u"R1")->AudioStatus, 0);
  RosterRecord hidden = Roster(u"H", 4, /*invisible=*/1);
  controller_->OnAppCmdUserJoined(&hidden);
  EXPECT_EQ(controller_->FindRoster(u"H")->AudioStatus, 7);
  RosterRecord hidden_again = Roster(u"H", 2, /*invisible=*/1);
  controller_->OnAppCmdUserJoined(&hidden_again);  // already there: an update
  EXPECT_EQ(controller_->FindRoster(u"H")->AudioStatus, 8);

  RosterRecord unknown = Roster(u"nobody");
  EXPECT_EQ(controller_->OnAppCmdUserLeft(&unknown), 0);
  EXPECT_EQ(controller_->OnAppCmdUserLeft(&joined), 1);
  EXPECT_EQ(controller_->FindRoster(u"R1"), nullptr);
  EXPECT_EQ(controller_->OnAppCmdUserJoined(nullptr), 0);

  Listen();  // my roster is R1: absent now
  EXPECT_EQ(controller_->IsMyRosterId(u"R1"), 1);
  EXPECT_EQ(controller_->IsMyRosterId(u"R10"), 0);
  EXPECT_EQ(controller_->IsMyRosterId(u""), 0);
  EXPECT_EQ(controller_->IsMyRosterInvisible(), 0);
  std::vector<uint32_t> colors;
  controller_->GetRosterColorsForTesting(&colors);
  ASSERT_EQ(colors.size(), 16u);
  EXPECT_EQ(colors[0], 0xFFC02E30u);
  EXPECT_EQ(colors[15], 0xFFAEF2FFu);
}

TEST_F(Controller, DestructionReleasesShareAudioVideoThenTheLink) {
  Listen();
  ON_CALL(share_, StartDS(_, _, _)).WillByDefault(Return(1));
  ON_CALL(audio_, JoinAudio(_, _, _)).WillByDefault(Return(1));
  ON_CALL(video_, JoinVideo(_, _, _, _)).WillByDefault(Return(1));
  // Started in another order than they are released.
  controller_->JoinVideo();
  controller_->JoinAudio();
  controller_->StartDS();
  ASSERT_TRUE(FakeEngines::released.empty());
  controller_.reset();
  EXPECT_EQ(FakeEngines::released, (std::vector<std::string>{"share", "audio", "video", "link"}));
  EXPECT_EQ(loader_.open_count("vzlink.dll"), 1);
}

TEST_F(Controller, AudioJoinsThroughTheEngineAndReportsEachStep) {
  Listen();
  ON_CALL(audio_, GetAudioSsrc()).WillByDefault(Return(0x1234));
  {
    InSequence order;
    EXPECT_CALL(link_, WSACSessionResponseStatus(1, _));
    EXPECT_CALL(audio_, JoinAudio(_, _, nullptr)).WillOnce(Return(1));
    EXPECT_CALL(link_, WSACSessionResponseStatus(1, _));
    EXPECT_CALL(link_, WSACSessionResponseJoined(0, 0x1234, _));
    EXPECT_CALL(audio_, MuteAudio()).WillOnce(Return(1));
    EXPECT_CALL(link_, WSACSessionResponseMuted(1, _));
  }
  ACSessionConfig request{};
  std::memcpy(request.MeetId, u"AC1", sizeof(u"AC1"));
  EXPECT_EQ(controller_->OnACSessionRequestJoin(&request), 1);
  ASSERT_NE(FakeEngines::audio_sink, nullptr);
  FakeEngines::audio_sink->OnACStatusNotification(1, 0);
  FakeEngines::audio_sink->OnACStatusNotification(2, 0);
  EXPECT_EQ(controller_->GetACState(), kSessionJoined);
  EXPECT_EQ(controller_->OnACSessionRequestMute(0), 1);
  EXPECT_EQ(controller_->GetAudioRequest().IsMuted, 1);
}

TEST_F(Controller, AnEngineEndingItsSessionIsReleasedOnlyAfterItsCallbackReturned) {
  Listen();
  ON_CALL(audio_, JoinAudio(_, _, _)).WillByDefault(Return(1));
  controller_->JoinAudio();
  FakeEngines::audio_sink->OnACStatusNotification(2, 0);
  EXPECT_CALL(link_, WSACSessionResponseStatus(4, _)).Times(1);
  EXPECT_CALL(audio_, LeaveAudio());
  FakeEngines::audio_sink->OnACStatusNotification(4, 0);
  EXPECT_TRUE(FakeEngines::released.empty());  // still inside the engine's call
  EXPECT_EQ(controller_->HasAudioEngine(), 0);
  EXPECT_EQ(controller_->GetACState(), kSessionEnded);
  loop_.RunUntilIdle();
  EXPECT_EQ(FakeEngines::released, (std::vector<std::string>{"audio"}));
}

TEST_F(Controller, AudioErrorsMoveToTheNextProxyOrAreReported) {
  Listen();
  ON_CALL(audio_, JoinAudio(_, _, _)).WillByDefault(Return(1));
  controller_->JoinAudio();
  // 13: the proxy settings, never reported.
  EXPECT_CALL(link_, WSACSessionResponseError(_, _, _)).Times(0);
  FakeEngines::audio_sink->OnACAudioErrorCode(13, 2);
  EXPECT_EQ(controller_->GetACState(), kSessionEnded);
  ::testing::Mock::VerifyAndClearExpectations(&link_);
  // 9 with no proxy left: reported with status 4.
  {
    InSequence order;
    EXPECT_CALL(link_, WSACSessionResponseError(9, 2, _));
    EXPECT_CALL(link_, WSACSessionResponseStatus(4, _));
  }
  FakeEngines::audio_sink->OnACAudioErrorCode(9, 2);
  ::testing::Mock::VerifyAndClearExpectations(&link_);
  // With a proxy: a new join through it.
  proxies_.Add(u"proxy", 80, 0, 0);
  EXPECT_CALL(audio_, JoinAudio(_, _, ::testing::NotNull())).WillOnce(Return(1));
  FakeEngines::audio_sink->OnACAudioErrorCode(4, 2);
}

}  // namespace
