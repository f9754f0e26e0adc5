// The four engine wrappers on an in-memory loader with mock engines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "client/controller/ac_engine_wrapper.h"
#include "client/controller/av_engine_wrapper.h"
#include "client/controller/fake_engine_library_testlib.h"
#include "client/controller/fake_module_loader_testlib.h"
#include "common/log_capture_testlib.h"
#include "client/controller/vz_link_wrapper.h"
#include "client/controller/vz_share_wrapper.h"
#include "contracts/mock_engines_testlib.h"

namespace {

using ::testing::_;
using ::testing::InSequence;
using ::testing::Return;
using ::testing::StrictMock;

using AudioLibrary = FakeEngineLibrary<IACProvider, IACProviderSink>;
using VideoLibrary = FakeEngineLibrary<IAVProvider, IAVProviderSink>;
using ShareLibrary = FakeEngineLibrary<IDSProvider, IDSProviderSink>;
using LinkLibrary = FakeEngineLibrary<IVzLinkInstance, IVzLinkInstanceSink>;

// Sinks are only passed through by the wrappers; any non-null address does.
template <typename Sink>
Sink* SomeSink() {
  static char storage[16];
  return reinterpret_cast<Sink*>(storage);
}

class EngineWrappersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AudioLibrary::Reset();
    VideoLibrary::Reset();
    ShareLibrary::Reset();
    LinkLibrary::Reset();
  }
  void AddAllLibraries() {
    loader_.AddLibrary("vzaudio.dll", AudioLibrary::Exports());
    loader_.AddLibrary("vzvideo.dll", VideoLibrary::Exports());
    loader_.AddLibrary("vzshare.dll", ShareLibrary::ExportsWithMode());
    loader_.AddLibrary("vzlink.dll", LinkLibrary::Exports());
  }

  vz::LogLineCapture log_lines_;
  vz::FakeModuleLoader loader_;
};

TEST_F(EngineWrappersTest, MissingLibraryLogsOnceAndEveryOperationReturnsItsDefault) {
  {
    CACEngineWrapper audio(loader_);
    EXPECT_EQ(audio.CreateInstance(SomeSink<IACProviderSink>()), 0);
    EXPECT_EQ(audio.JoinAudio(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(audio.LeaveAudio(), 0);
    EXPECT_EQ(audio.ConfigAudio(), 0);
    EXPECT_EQ(audio.MuteAudio(), 0);
    EXPECT_EQ(audio.UnmuteAudio(), 0);
    EXPECT_EQ(audio.IsAudioMuted(), 0);
    EXPECT_EQ(audio.IsAudioConfigOpen(), 0);
    EXPECT_EQ(audio.GetAudioSsrc(), 0);
    audio.ReleaseInstance();
  }
  {
    CAVEngineWrapper video(loader_);
    EXPECT_EQ(video.CreateInstance(SomeSink<IAVProviderSink>()), 0);
    int32_t row_column[2] = {1, 2};
    EXPECT_EQ(video.JoinVideo(nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(video.LeaveVideo(), 0);
    EXPECT_EQ(video.ConfigVideo(), 0);
    EXPECT_EQ(video.PreviewCapture(1), 0);
    EXPECT_EQ(video.Reserved4(1), 0);
    EXPECT_EQ(video.Reserved5(1), 0);
    EXPECT_EQ(video.SetVideoLayoutMode(1, row_column), 0);
    EXPECT_EQ(video.StartMyVideo(0), 0);
    EXPECT_EQ(video.StopMyVideo(), 0);
    EXPECT_EQ(video.PauseMyVideo(), 0);
    EXPECT_EQ(video.ResumeMyVideo(), 0);
    EXPECT_EQ(video.IsMyVideoStarted(), 0);
    EXPECT_EQ(video.GetCurrentCaptureDevice(), -1);
    EXPECT_EQ(video.SelectCaptureDeviceById(0), 0);
    video.ActivateVideoPanel();
    EXPECT_EQ(video.GetVideoStatus(), 0);
    EXPECT_EQ(video.AppRosterJoined(nullptr, 1), 0);
    EXPECT_EQ(video.AppRosterUpdated(nullptr), 0);
    EXPECT_EQ(video.AppRosterLeft(nullptr), 0);
  }
  {
    CVzShareWrapper share(loader_);
    EXPECT_EQ(share.CreateInstance(SomeSink<IDSProviderSink>(), 1), 0);
    EXPECT_EQ(share.GetMonitorList(), nullptr);
    EXPECT_EQ(share.GetWindowList(), nullptr);
    EXPECT_EQ(share.ShareMonitor(nullptr, 1), 0);
    EXPECT_EQ(share.ShareWindow(nullptr, 1), 0);
    EXPECT_EQ(share.StartCapture(nullptr, 2), 0);
    EXPECT_EQ(share.StopCapture(), 0);
    share.CaptureNow();
    share.Refresh();
    share.SetCaptureHold(1);
    EXPECT_EQ(share.GetCaptureHold(), 0);
    EXPECT_EQ(share.ShowPointerWindow(1), 0);
    EXPECT_EQ(share.IsPointerWindowShown(), 0);
    EXPECT_EQ(share.ShowArrowIndicator(u"me", 0, nullptr), 0);
    EXPECT_EQ(share.SetArrowIndicatorText(u"me", 0), 0);
    EXPECT_EQ(share.SetExcludedWindow1(1), 0);
    EXPECT_EQ(share.SetExcludedWindow2(1), 0);
    EXPECT_EQ(share.SetExcludedWindow3(1), 0);
    share.SetCursorCapture(1);
    EXPECT_EQ(share.StartDS(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(share.StopDS(), 0);
    EXPECT_EQ(share.GetMonitorInfo(1), nullptr);
    EXPECT_EQ(share.GetSessionConfig(), nullptr);
    EXPECT_EQ(share.SendCommand(nullptr), 0);
    EXPECT_EQ(share.SendWebBinary(nullptr), 0);
  }
  {
    CVzLinkWrapper link(loader_);
    EXPECT_EQ(link.CreateInstance(SomeSink<IVzLinkInstanceSink>()), 0);
    EXPECT_EQ(link.WSStartListen(nullptr), 0);
    EXPECT_EQ(link.WSACSessionResponseJoined(1, 2, u"12"), 0);
    EXPECT_EQ(link.WSDSSessionNotifyStart(u"12"), 0);
    EXPECT_EQ(link.WSAVSessionNotifyJoin(u"12"), 0);
  }
  // No symbol was looked up in a library that never opened.
  EXPECT_EQ(loader_.ordinal_lookups(), 0);
  EXPECT_EQ(loader_.open_count("vzaudio.dll"), 1);
  EXPECT_EQ(loader_.open_count("vzvideo.dll"), 1);
  EXPECT_EQ(loader_.open_count("vzshare.dll"), 1);
  EXPECT_EQ(loader_.open_count("vzlink.dll"), 1);

  EXPECT_EQ(log_lines_.Count("Can't find", vz::kFileLines), 4u);
  EXPECT_EQ(log_lines_.Count("CACEngineWrapper::CACEngineWrapper [line# ", vz::kFileLines), 2u);  // entry and error line
  EXPECT_EQ(log_lines_.Count("*** ERROR ****** >Can't find AC engine dll!< *************", vz::kFileLines), 1u);
  EXPECT_EQ(log_lines_.Count("*** ERROR ****** >Can't find AV engine dll! error [2]<", vz::kFileLines), 1u);  // the loader's ENOENT
  EXPECT_EQ(log_lines_.Count("*** ERROR ****** >Can't find DS engine dll!<", vz::kFileLines), 1u);
  EXPECT_EQ(log_lines_.Count("*** ERROR ****** >Can't find app socket sdk dll!<", vz::kFileLines), 1u);
  // The link wrapper's destructor line is an error line naming itself.
  EXPECT_EQ(log_lines_.Count("CVzLinkWrapper::~CVzLinkWrapper [line# ", vz::kFileLines), 1u);
  EXPECT_EQ(log_lines_.Count("*** ERROR ****** >CVzLinkWrapper::~CVzLinkWrapper<", vz::kFileLines), 1u);
  EXPECT_EQ(log_lines_.Count("CAVEngineWrapper::ReleaseInstance [line# ", vz::kFileLines), 1u);  // from the destructor
}

TEST_F(EngineWrappersTest, CreateInstanceChecksTheSinkExceptForTheLink) {
  AddAllLibraries();
  StrictMock<MockACProvider> audio_engine;
  StrictMock<MockAVProvider> video_engine;
  StrictMock<MockDSProvider> share_engine;
  StrictMock<MockVzLinkInstance> link_instance;
  AudioLibrary::engine = &audio_engine;
  VideoLibrary::engine = &video_engine;
  ShareLibrary::engine = &share_engine;
  LinkLibrary::engine = &link_instance;

  CACEngineWrapper audio(loader_);
  CAVEngineWrapper video(loader_);
  CVzShareWrapper share(loader_);
  CVzLinkWrapper link(loader_);
  EXPECT_EQ(audio.CreateInstance(nullptr), 0);
  EXPECT_EQ(video.CreateInstance(nullptr), 0);
  EXPECT_EQ(share.CreateInstance(nullptr, 1), 0);
  EXPECT_EQ(AudioLibrary::create_calls + VideoLibrary::create_calls + ShareLibrary::create_calls, 0);
  EXPECT_EQ(loader_.ordinal_lookups(), 0);

  // The link passes even a null sink to its factory.
  EXPECT_EQ(link.CreateInstance(nullptr), 1);
  EXPECT_EQ(LinkLibrary::create_calls, 1);
  EXPECT_EQ(LinkLibrary::last_sink, nullptr);

  // The mode reaches the sharing factory unchanged.
  EXPECT_EQ(share.CreateInstance(SomeSink<IDSProviderSink>(), 7), 1);
  EXPECT_EQ(ShareLibrary::last_mode, 7);
  EXPECT_EQ(ShareLibrary::last_sink, SomeSink<IDSProviderSink>());
}

TEST_F(EngineWrappersTest, AFailedFactoryOrAMissingExportLeavesNoEngine) {
  // No factory export at all.
  loader_.AddLibrary("vzaudio.dll", {{2, reinterpret_cast<void*>(&AudioLibrary::Release)}});
  {
    CACEngineWrapper audio(loader_);
    EXPECT_EQ(audio.CreateInstance(SomeSink<IACProviderSink>()), 0);
    EXPECT_EQ(audio.GetAudioSsrc(), 0);
  }
  EXPECT_EQ(AudioLibrary::release_calls, 0);

  // A factory that returns null.
  loader_.AddLibrary("vzvideo.dll", VideoLibrary::Exports());
  VideoLibrary::engine = nullptr;
  CAVEngineWrapper video(loader_);
  EXPECT_EQ(video.CreateInstance(SomeSink<IAVProviderSink>()), 0);
  EXPECT_EQ(VideoLibrary::create_calls, 1);
  EXPECT_EQ(video.GetCurrentCaptureDevice(), -1);
  video.ReleaseInstance();
  EXPECT_EQ(VideoLibrary::release_calls, 0);
}

TEST_F(EngineWrappersTest, ReleaseHandsTheEngineBackOnceAndTheDestructorReleasesAHeldOne) {
  AddAllLibraries();
  StrictMock<MockACProvider> audio_engine;
  AudioLibrary::engine = &audio_engine;
  {
    CACEngineWrapper audio(loader_);
    audio.ReleaseInstance();  // nothing held yet
    EXPECT_EQ(loader_.ordinal_lookups(2), 0);
    ASSERT_EQ(audio.CreateInstance(SomeSink<IACProviderSink>()), 1);
    EXPECT_EQ(AudioLibrary::last_sink, SomeSink<IACProviderSink>());
    audio.ReleaseInstance();
    EXPECT_EQ(AudioLibrary::release_calls, 1);
    EXPECT_EQ(AudioLibrary::last_released, &audio_engine);
    audio.ReleaseInstance();
    EXPECT_EQ(AudioLibrary::release_calls, 1);
    EXPECT_EQ(audio.IsAudioMuted(), 0);  // nothing reaches the released engine
  }
  EXPECT_EQ(AudioLibrary::release_calls, 1);

  StrictMock<MockDSProvider> share_engine;
  ShareLibrary::engine = &share_engine;
  {
    CVzShareWrapper share(loader_);
    ASSERT_EQ(share.CreateInstance(SomeSink<IDSProviderSink>(), 1), 1);
  }
  EXPECT_EQ(ShareLibrary::release_calls, 1);
  EXPECT_EQ(ShareLibrary::last_released, &share_engine);
  EXPECT_EQ(log_lines_.Count("CVzShareWrapper::~CVzShareWrapper [line# ", vz::kFileLines), 1u);
}

TEST_F(EngineWrappersTest, WithoutAReleaseExportTheEngineStaysHeldAndIsOnlyForgotten) {
  loader_.AddLibrary("vzlink.dll", {{1, reinterpret_cast<void*>(&LinkLibrary::Create)}});
  StrictMock<MockVzLinkInstance> instance;
  LinkLibrary::engine = &instance;
  {
    CVzLinkWrapper link(loader_);
    ASSERT_EQ(link.CreateInstance(SomeSink<IVzLinkInstanceSink>()), 1);
    link.ReleaseInstance();
    EXPECT_CALL(instance, WSSendValue1(5)).WillOnce(Return(1));
    EXPECT_EQ(link.WSSendValue1(5), 1);  // still held
  }
  EXPECT_EQ(LinkLibrary::release_calls, 0);
  EXPECT_EQ(log_lines_.Count("no release export", vz::kFileLines), 2u);  // the release and the destructor's
}

TEST_F(EngineWrappersTest, ASecondCreateInstanceReleasesTheFirstEngine) {
  AddAllLibraries();
  StrictMock<MockAVProvider> first;
  StrictMock<MockAVProvider> second;
  CAVEngineWrapper video(loader_);
  VideoLibrary::engine = &first;
  ASSERT_EQ(video.CreateInstance(SomeSink<IAVProviderSink>()), 1);
  VideoLibrary::engine = &second;
  ASSERT_EQ(video.CreateInstance(SomeSink<IAVProviderSink>()), 1);
  EXPECT_EQ(VideoLibrary::release_calls, 1);
  EXPECT_EQ(VideoLibrary::last_released, &first);
  EXPECT_CALL(second, GetVideoStatus()).WillOnce(Return(2));
  EXPECT_EQ(video.GetVideoStatus(), 2);
}

TEST_F(EngineWrappersTest, AudioWrapperForwardsArgumentsAndResults) {
  AddAllLibraries();
  StrictMock<MockACProvider> engine;
  AudioLibrary::engine = &engine;
  CACEngineWrapper audio(loader_);
  ASSERT_EQ(audio.CreateInstance(SomeSink<IACProviderSink>()), 1);

  MeetConfig meet{};
  ACSessionConfig session{};
  NetworkProxyEntry proxy{};
  {
    InSequence order;
    EXPECT_CALL(engine, JoinAudio(&meet, &session, &proxy)).WillOnce(Return(3));
    EXPECT_CALL(engine, JoinAudio(&meet, &session, nullptr)).WillOnce(Return(0));
    EXPECT_CALL(engine, LeaveAudio()).WillOnce(Return(11));
    EXPECT_CALL(engine, ConfigAudio()).WillOnce(Return(12));
    EXPECT_CALL(engine, MuteAudio()).WillOnce(Return(13));
    EXPECT_CALL(engine, UnmuteAudio()).WillOnce(Return(14));
    EXPECT_CALL(engine, IsAudioMuted()).WillOnce(Return(1));
    EXPECT_CALL(engine, IsAudioConfigOpen()).WillOnce(Return(15));
    EXPECT_CALL(engine, GetAudioSsrc()).WillOnce(Return(-123456));
  }
  EXPECT_EQ(audio.JoinAudio(&meet, &session, &proxy), 3);
  EXPECT_EQ(audio.JoinAudio(&meet, &session, nullptr), 0);
  EXPECT_EQ(audio.LeaveAudio(), 11);
  EXPECT_EQ(audio.ConfigAudio(), 12);
  EXPECT_EQ(audio.MuteAudio(), 13);
  EXPECT_EQ(audio.UnmuteAudio(), 14);
  EXPECT_EQ(audio.IsAudioMuted(), 1);
  EXPECT_EQ(audio.IsAudioConfigOpen(), 15);
  EXPECT_EQ(audio.GetAudioSsrc(), -123456);
}

TEST_F(EngineWrappersTest, VideoWrapperForwardsEveryOperation) {
  AddAllLibraries();
  StrictMock<MockAVProvider> engine;
  VideoLibrary::engine = &engine;
  CAVEngineWrapper video(loader_);
  ASSERT_EQ(video.CreateInstance(SomeSink<IAVProviderSink>()), 1);

  MeetConfig meet{};
  AVSessionConfig session{};
  RosterRecord roster{};
  int32_t row_column[2] = {2, 3};
  EXPECT_CALL(engine, JoinVideo(&meet, &session, nullptr, 77)).WillOnce(Return(1));
  EXPECT_CALL(engine, LeaveVideo()).WillOnce(Return(2));
  EXPECT_CALL(engine, ConfigVideo()).WillOnce(Return(3));
  EXPECT_CALL(engine, PreviewCapture(9)).WillOnce(Return(4));
  EXPECT_CALL(engine, Reserved4(8)).WillOnce(Return(0));
  EXPECT_CALL(engine, Reserved5(7)).WillOnce(Return(0));
  EXPECT_CALL(engine, SetVideoLayoutMode(5, row_column)).WillOnce(Return(5));
  EXPECT_CALL(engine, StartMyVideo(0)).WillOnce(Return(6));
  EXPECT_CALL(engine, StopMyVideo()).WillOnce(Return(7));
  EXPECT_CALL(engine, PauseMyVideo()).WillOnce(Return(8));
  EXPECT_CALL(engine, ResumeMyVideo()).WillOnce(Return(9));
  EXPECT_CALL(engine, IsMyVideoStarted()).WillOnce(Return(10));
  EXPECT_CALL(engine, GetCurrentCaptureDevice()).WillOnce(Return(0));
  EXPECT_CALL(engine, SelectCaptureDeviceById(4)).WillOnce(Return(12));
  EXPECT_CALL(engine, ActivateVideoPanel());
  EXPECT_CALL(engine, GetVideoStatus()).WillOnce(Return(4));
  EXPECT_CALL(engine, AppRosterJoined(&roster, 1)).WillOnce(Return(13));
  EXPECT_CALL(engine, AppRosterUpdated(&roster)).WillOnce(Return(14));
  EXPECT_CALL(engine, AppRosterLeft(&roster)).WillOnce(Return(15));

  EXPECT_EQ(video.JoinVideo(&meet, &session, nullptr, 77), 1);
  EXPECT_EQ(video.LeaveVideo(), 2);
  EXPECT_EQ(video.ConfigVideo(), 3);
  EXPECT_EQ(video.PreviewCapture(9), 4);
  EXPECT_EQ(video.Reserved4(8), 0);
  EXPECT_EQ(video.Reserved5(7), 0);
  EXPECT_EQ(video.SetVideoLayoutMode(5, row_column), 5);
  EXPECT_EQ(video.StartMyVideo(0), 6);
  EXPECT_EQ(video.StopMyVideo(), 7);
  EXPECT_EQ(video.PauseMyVideo(), 8);
  EXPECT_EQ(video.ResumeMyVideo(), 9);
  EXPECT_EQ(video.IsMyVideoStarted(), 10);
  EXPECT_EQ(video.GetCurrentCaptureDevice(), 0);  // the engine's 0, not the default -1
  EXPECT_EQ(video.SelectCaptureDeviceById(4), 12);
  video.ActivateVideoPanel();
  EXPECT_EQ(video.GetVideoStatus(), 4);
  EXPECT_EQ(video.AppRosterJoined(&roster, 1), 13);
  EXPECT_EQ(video.AppRosterUpdated(&roster), 14);
  EXPECT_EQ(video.AppRosterLeft(&roster), 15);
}

TEST_F(EngineWrappersTest, ShareWrapperKeepsFourOperationsFromTheEngine) {
  AddAllLibraries();
  StrictMock<MockDSProvider> engine;  // any call not expected fails
  ShareLibrary::engine = &engine;
  CVzShareWrapper share(loader_);
  ASSERT_EQ(share.CreateInstance(SomeSink<IDSProviderSink>(), 1), 1);

  EXPECT_EQ(share.SetBlankScreenMode(1), 0);
  EXPECT_EQ(share.IsBlankScreenActive(), 0);
  share.SetSendBacklog(20000);
  CaptureMouseInfo mouse{};
  EXPECT_EQ(share.OnCaptureMouseInfo(&mouse), 0);

  MonitorList monitors{};
  ApplicationList windows{};
  MonitorInfo monitor{};
  ApplicationInfo window{};
  MeetConfig meet{};
  DSSessionConfig session{};
  NetworkProxyEntry proxy{};
  DSCommandRecord command{};
  VzPoint point{4, 5};
  EXPECT_CALL(engine, GetMonitorList()).WillOnce(Return(&monitors));
  EXPECT_CALL(engine, GetWindowList()).WillOnce(Return(&windows));
  EXPECT_CALL(engine, ShareMonitor(&monitor, 1)).WillOnce(Return(1));
  EXPECT_CALL(engine, ShareWindow(&window, 0)).WillOnce(Return(0));
  EXPECT_CALL(engine, StartCapture(&meet, 2)).WillOnce(Return(1));
  EXPECT_CALL(engine, StopCapture()).WillOnce(Return(1));
  EXPECT_CALL(engine, CaptureNow());
  EXPECT_CALL(engine, Refresh());
  EXPECT_CALL(engine, SetCaptureHold(3));
  EXPECT_CALL(engine, GetCaptureHold()).WillOnce(Return(3));
  EXPECT_CALL(engine, ShowPointerWindow(1)).WillOnce(Return(1));
  EXPECT_CALL(engine, IsPointerWindowShown()).WillOnce(Return(1));
  EXPECT_CALL(engine, ShowArrowIndicator(_, 0xFF0000u, &point)).WillOnce(Return(1));
  EXPECT_CALL(engine, SetArrowIndicatorText(_, 0xFFu)).WillOnce(Return(1));
  EXPECT_CALL(engine, SetExcludedWindow1(11u)).WillOnce(Return(1));
  EXPECT_CALL(engine, SetExcludedWindow2(12u)).WillOnce(Return(1));
  EXPECT_CALL(engine, SetExcludedWindow3(0u)).WillOnce(Return(1));
  EXPECT_CALL(engine, SetCursorCapture(1));
  EXPECT_CALL(engine, StartDS(&meet, &session, &proxy)).WillOnce(Return(1));
  EXPECT_CALL(engine, StopDS()).WillOnce(Return(0));
  EXPECT_CALL(engine, GetMonitorInfo(2)).WillOnce(Return(&monitor));
  EXPECT_CALL(engine, GetSessionConfig()).WillOnce(Return(&session));
  EXPECT_CALL(engine, SendCommand(&command)).WillOnce(Return(1));
  EXPECT_CALL(engine, SendWebBinary(nullptr)).WillOnce(Return(1));

  EXPECT_EQ(share.GetMonitorList(), &monitors);
  EXPECT_EQ(share.GetWindowList(), &windows);
  EXPECT_EQ(share.ShareMonitor(&monitor, 1), 1);
  EXPECT_EQ(share.ShareWindow(&window, 0), 0);
  EXPECT_EQ(share.StartCapture(&meet, 2), 1);
  EXPECT_EQ(share.StopCapture(), 1);
  share.CaptureNow();
  share.Refresh();
  share.SetCaptureHold(3);
  EXPECT_EQ(share.GetCaptureHold(), 3);
  EXPECT_EQ(share.ShowPointerWindow(1), 1);
  EXPECT_EQ(share.IsPointerWindowShown(), 1);
  EXPECT_EQ(share.ShowArrowIndicator(u"Ann", 0xFF0000, &point), 1);
  EXPECT_EQ(share.SetArrowIndicatorText(u"Ann", 0xFF), 1);
  EXPECT_EQ(share.SetExcludedWindow1(11), 1);
  EXPECT_EQ(share.SetExcludedWindow2(12), 1);
  EXPECT_EQ(share.SetExcludedWindow3(0), 1);
  share.SetCursorCapture(1);
  EXPECT_EQ(share.StartDS(&meet, &session, &proxy), 1);
  EXPECT_EQ(share.StopDS(), 0);
  EXPECT_EQ(share.GetMonitorInfo(2), &monitor);
  EXPECT_EQ(share.GetSessionConfig(), &session);
  EXPECT_EQ(share.SendCommand(&command), 1);
  EXPECT_EQ(share.SendWebBinary(nullptr), 1);
}

TEST_F(EngineWrappersTest, LinkWrapperForwardsByNameIncludingTheSwappedPair) {
  AddAllLibraries();
  StrictMock<MockVzLinkInstance> instance;
  LinkLibrary::engine = &instance;
  CVzLinkWrapper link(loader_);
  ASSERT_EQ(link.CreateInstance(SomeSink<IVzLinkInstanceSink>()), 1);

  AppPeerConfig peer{};
  ACSpeakerEntry speakers[2]{};
  ACRosterNetworkEntry rosters[1]{};
  const char16_t* conf = u"conf-12";
  const char16_t* ds = u"ds-7";
  {
    InSequence order;
    EXPECT_CALL(instance, WSStartListen(&peer)).WillOnce(Return(1));
    EXPECT_CALL(instance, WSSendValue1(1)).WillOnce(Return(1));
    EXPECT_CALL(instance, WSSendValue2(2)).WillOnce(Return(1));
    EXPECT_CALL(instance, WSDSSessionResponseStatus(2, conf, ds)).WillOnce(Return(21));
    EXPECT_CALL(instance, WSDSSessionResponseError(30, 10, conf, ds)).WillOnce(Return(22));
    EXPECT_CALL(instance, WSDSSessionResponseRemoteControl(0, 1, conf, ds)).WillOnce(Return(23));
    EXPECT_CALL(instance, WSDSSessionResponseBinary(nullptr, conf, ds)).WillOnce(Return(24));
    EXPECT_CALL(instance, WSACSessionResponseJoined(1, 99, conf)).WillOnce(Return(25));
    EXPECT_CALL(instance, WSACSessionResponseStatus(1, conf)).WillOnce(Return(26));
    EXPECT_CALL(instance, WSACSessionResponseError(9, 50, conf)).WillOnce(Return(27));
    EXPECT_CALL(instance, WSACSessionResponseMuted(1, conf)).WillOnce(Return(28));
    EXPECT_CALL(instance, WSACSessionResponseMicStatus(3, conf)).WillOnce(Return(29));
    EXPECT_CALL(instance, WSACSessionResponseSpeakers(speakers, 2, conf)).WillOnce(Return(30));
    EXPECT_CALL(instance, WSACSessionResponseRostersNetwork(rosters, 1, conf)).WillOnce(Return(31));
    EXPECT_CALL(instance, WSACSessionResponseDeviceLevel(40, 50, conf)).WillOnce(Return(32));
    EXPECT_CALL(instance, WSACSessionNotifyJoin(conf)).WillOnce(Return(33));
    EXPECT_CALL(instance, WSACSessionNotifyLeave(conf)).WillOnce(Return(34));
    EXPECT_CALL(instance, WSACSessionNotifyMute(conf)).WillOnce(Return(35));
    EXPECT_CALL(instance, WSACSessionNotifyUnmute(conf)).WillOnce(Return(36));
    EXPECT_CALL(instance, WSAVSessionResponseJoined(1, 0, conf)).WillOnce(Return(37));
    EXPECT_CALL(instance, WSAVSessionResponseStatus(4, conf)).WillOnce(Return(38));
    EXPECT_CALL(instance, WSAVSessionResponseError(31, 10, conf)).WillOnce(Return(39));
    EXPECT_CALL(instance, WSAVSessionResponseBroadcasted(0, conf)).WillOnce(Return(40));
    EXPECT_CALL(instance, WSDSSessionNotifyStart(conf)).WillOnce(Return(41));
    EXPECT_CALL(instance, WSAVSessionNotifyJoin(conf)).WillOnce(Return(42));
  }
  EXPECT_EQ(link.WSStartListen(&peer), 1);
  EXPECT_EQ(link.WSSendValue1(1), 1);
  EXPECT_EQ(link.WSSendValue2(2), 1);
  EXPECT_EQ(link.WSDSSessionResponseStatus(2, conf, ds), 21);
  EXPECT_EQ(link.WSDSSessionResponseError(30, 10, conf, ds), 22);
  EXPECT_EQ(link.WSDSSessionResponseRemoteControl(0, 1, conf, ds), 23);
  EXPECT_EQ(link.WSDSSessionResponseBinary(nullptr, conf, ds), 24);
  EXPECT_EQ(link.WSACSessionResponseJoined(1, 99, conf), 25);
  EXPECT_EQ(link.WSACSessionResponseStatus(1, conf), 26);
  EXPECT_EQ(link.WSACSessionResponseError(9, 50, conf), 27);
  EXPECT_EQ(link.WSACSessionResponseMuted(1, conf), 28);
  EXPECT_EQ(link.WSACSessionResponseMicStatus(3, conf), 29);
  EXPECT_EQ(link.WSACSessionResponseSpeakers(speakers, 2, conf), 30);
  EXPECT_EQ(link.WSACSessionResponseRostersNetwork(rosters, 1, conf), 31);
  EXPECT_EQ(link.WSACSessionResponseDeviceLevel(40, 50, conf), 32);
  EXPECT_EQ(link.WSACSessionNotifyJoin(conf), 33);
  EXPECT_EQ(link.WSACSessionNotifyLeave(conf), 34);
  EXPECT_EQ(link.WSACSessionNotifyMute(conf), 35);
  EXPECT_EQ(link.WSACSessionNotifyUnmute(conf), 36);
  EXPECT_EQ(link.WSAVSessionResponseJoined(1, 0, conf), 37);
  EXPECT_EQ(link.WSAVSessionResponseStatus(4, conf), 38);
  EXPECT_EQ(link.WSAVSessionResponseError(31, 10, conf), 39);
  EXPECT_EQ(link.WSAVSessionResponseBroadcasted(0, conf), 40);
  EXPECT_EQ(link.WSDSSessionNotifyStart(conf), 41);
  EXPECT_EQ(link.WSAVSessionNotifyJoin(conf), 42);
}

}  // namespace
