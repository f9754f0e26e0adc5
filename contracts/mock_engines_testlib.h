#pragma once
// GoogleMock doubles of the engine interfaces and their sinks, for the
// wrapper tests and for the controller's tests.
#include <gmock/gmock.h>

#include "contracts/ac_provider.h"
#include "contracts/ds_provider.h"
#include "contracts/av_provider.h"
#include "contracts/vz_link_instance.h"

class MockACProvider : public IACProvider {
 public:
  MOCK_METHOD(int32_t, JoinAudio, (MeetConfig*, ACSessionConfig*, NetworkProxyEntry*), (override));
  MOCK_METHOD(int32_t, LeaveAudio, (), (override));
  MOCK_METHOD(int32_t, ConfigAudio, (), (override));
  MOCK_METHOD(int32_t, MuteAudio, (), (override));
  MOCK_METHOD(int32_t, UnmuteAudio, (), (override));
  MOCK_METHOD(int32_t, IsAudioMuted, (), (override));
  MOCK_METHOD(int32_t, IsAudioConfigOpen, (), (override));
  MOCK_METHOD(int32_t, GetAudioSsrc, (), (override));
};

class MockACProviderSink : public IACProviderSink {
 public:
  MOCK_METHOD(int32_t, OnACStatusNotification, (int32_t, int32_t), (override));
  MOCK_METHOD(int32_t, OnACActivedSpeaker, (ACSpeakerEntry*, int32_t), (override));
  MOCK_METHOD(int32_t, OnACRostersNetwork, (ACRosterNetworkEntry*, int32_t), (override));
  MOCK_METHOD(int32_t, OnACDeviceVolumeLevel, (int32_t, int32_t), (override));
  MOCK_METHOD(int32_t, OnACMicStatus, (int32_t), (override));
  MOCK_METHOD(int32_t, OnACAudioErrorCode, (int32_t, int32_t), (override));
};

class MockAVProvider : public IAVProvider {
 public:
  MOCK_METHOD(int32_t, JoinVideo, (MeetConfig*, AVSessionConfig*, NetworkProxyEntry*, int32_t), (override));
  MOCK_METHOD(int32_t, LeaveVideo, (), (override));
  MOCK_METHOD(int32_t, ConfigVideo, (), (override));
  MOCK_METHOD(int32_t, PreviewCapture, (int32_t), (override));
  MOCK_METHOD(int32_t, Reserved4, (int32_t), (override));
  MOCK_METHOD(int32_t, Reserved5, (int32_t), (override));
  MOCK_METHOD(int32_t, SetVideoLayoutMode, (int32_t, int32_t*), (override));
  MOCK_METHOD(int32_t, StartMyVideo, (int32_t), (override));
  MOCK_METHOD(int32_t, StopMyVideo, (), (override));
  MOCK_METHOD(int32_t, PauseMyVideo, (), (override));
  MOCK_METHOD(int32_t, ResumeMyVideo, (), (override));
  MOCK_METHOD(int32_t, IsMyVideoStarted, (), (override));
  MOCK_METHOD(int32_t, GetCurrentCaptureDevice, (), (override));
  MOCK_METHOD(int32_t, SelectCaptureDeviceById, (int32_t), (override));
  MOCK_METHOD(void, ActivateVideoPanel, (), (override));
  MOCK_METHOD(int32_t, GetVideoStatus, (), (override));
  MOCK_METHOD(int32_t, AppRosterJoined, (RosterRecord*, int32_t), (override));
  MOCK_METHOD(int32_t, AppRosterUpdated, (RosterRecord*), (override));
  MOCK_METHOD(int32_t, AppRosterLeft, (RosterRecord*), (override));
};

class MockDSProvider : public IDSProvider {
 public:
  MOCK_METHOD(MonitorList*, GetMonitorList, (), (override));
  MOCK_METHOD(ApplicationList*, GetWindowList, (), (override));
  MOCK_METHOD(int32_t, ShareMonitor, (MonitorInfo*, int32_t), (override));
  MOCK_METHOD(int32_t, ShareWindow, (ApplicationInfo*, int32_t), (override));
  MOCK_METHOD(int32_t, StartCapture, (MeetConfig*, int32_t), (override));
  MOCK_METHOD(int32_t, StopCapture, (), (override));
  MOCK_METHOD(void, CaptureNow, (), (override));
  MOCK_METHOD(void, Refresh, (), (override));
  MOCK_METHOD(void, SetCaptureHold, (int32_t), (override));
  MOCK_METHOD(int32_t, GetCaptureHold, (), (override));
  MOCK_METHOD(int32_t, ShowPointerWindow, (int32_t), (override));
  MOCK_METHOD(int32_t, IsPointerWindowShown, (), (override));
  MOCK_METHOD(int32_t, ShowArrowIndicator, (const char16_t*, uint32_t, VzPoint*), (override));
  MOCK_METHOD(int32_t, SetArrowIndicatorText, (const char16_t*, uint32_t), (override));
  MOCK_METHOD(int32_t, SetExcludedWindow1, (VzWindowHandle), (override));
  MOCK_METHOD(int32_t, SetExcludedWindow2, (VzWindowHandle), (override));
  MOCK_METHOD(int32_t, SetExcludedWindow3, (VzWindowHandle), (override));
  MOCK_METHOD(void, SetCursorCapture, (int32_t), (override));
  MOCK_METHOD(int32_t, SetBlankScreenMode, (int32_t), (override));
  MOCK_METHOD(int32_t, IsBlankScreenActive, (), (override));
  MOCK_METHOD(void, SetSendBacklog, (uint32_t), (override));
  MOCK_METHOD(int32_t, StartDS, (MeetConfig*, DSSessionConfig*, NetworkProxyEntry*), (override));
  MOCK_METHOD(int32_t, StopDS, (), (override));
  MOCK_METHOD(MonitorInfo*, GetMonitorInfo, (int32_t), (override));
  MOCK_METHOD(DSSessionConfig*, GetSessionConfig, (), (override));
  MOCK_METHOD(int32_t, SendCommand, (DSCommandRecord*), (override));
  MOCK_METHOD(int32_t, SendWebBinary, (CVZBinaryData*), (override));
  MOCK_METHOD(int32_t, OnCaptureMouseInfo, (CaptureMouseInfo*), (override));
};

class MockVzLinkInstance : public IVzLinkInstance {
 public:
  MOCK_METHOD(int32_t, WSStartListen, (AppPeerConfig*), (override));
  MOCK_METHOD(int32_t, WSSendValue1, (int32_t), (override));
  MOCK_METHOD(int32_t, WSSendValue2, (int32_t), (override));
  MOCK_METHOD(int32_t, WSDSSessionResponseStatus, (int32_t, const char16_t*, const char16_t*), (override));
  MOCK_METHOD(int32_t, WSDSSessionResponseError, (int32_t, int32_t, const char16_t*, const char16_t*), (override));
  MOCK_METHOD(int32_t, WSDSSessionResponseRemoteControl, (int32_t, int32_t, const char16_t*, const char16_t*),
              (override));
  MOCK_METHOD(int32_t, WSDSSessionResponseBinary, (CVZBinaryData*, const char16_t*, const char16_t*), (override));
  MOCK_METHOD(int32_t, WSACSessionResponseJoined, (int32_t, int32_t, const char16_t*), (override));
  MOCK_METHOD(int32_t, WSACSessionResponseStatus, (int32_t, const char16_t*), (override));
  MOCK_METHOD(int32_t, WSACSessionResponseError, (int32_t, int32_t, const char16_t*), (override));
  MOCK_METHOD(int32_t, WSACSessionResponseMuted, (int32_t, const char16_t*), (override));
  MOCK_METHOD(int32_t, WSACSessionResponseMicStatus, (int32_t, const char16_t*), (override));
  MOCK_METHOD(int32_t, WSACSessionResponseSpeakers, (ACSpeakerEntry*, int32_t, const char16_t*), (override));
  MOCK_METHOD(int32_t, WSACSessionResponseRostersNetwork, (ACRosterNetworkEntry*, int32_t, const char16_t*),
              (override));
  MOCK_METHOD(int32_t, WSACSessionResponseDeviceLevel, (int32_t, int32_t, const char16_t*), (override));
  MOCK_METHOD(int32_t, WSACSessionNotifyJoin, (const char16_t*), (override));
  MOCK_METHOD(int32_t, WSACSessionNotifyLeave, (const char16_t*), (override));
  MOCK_METHOD(int32_t, WSACSessionNotifyMute, (const char16_t*), (override));
  MOCK_METHOD(int32_t, WSACSessionNotifyUnmute, (const char16_t*), (override));
  MOCK_METHOD(int32_t, WSAVSessionResponseJoined, (int32_t, int32_t, const char16_t*), (override));
  MOCK_METHOD(int32_t, WSAVSessionResponseStatus, (int32_t, const char16_t*), (override));
  MOCK_METHOD(int32_t, WSAVSessionResponseError, (int32_t, int32_t, const char16_t*), (override));
  MOCK_METHOD(int32_t, WSAVSessionResponseBroadcasted, (int32_t, const char16_t*), (override));
  MOCK_METHOD(int32_t, WSAVSessionNotifyJoin, (const char16_t*), (override));
  MOCK_METHOD(int32_t, WSDSSessionNotifyStart, (const char16_t*), (override));
};
