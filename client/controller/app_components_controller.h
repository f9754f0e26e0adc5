#pragma once
// CAppComponentsController: the hub of the meeting client. It is the sink of
// the web link (the web page's requests) and of the three engines (sharing,
// audio, video); it keeps the last session requests, the proxy, the peer
// config and the meeting config, the session states and the meeting's
// roster, turns requests into engine calls and engine events into reports
// to the web page.
//
// Lives on the UI thread: vzlink and the engines call their sinks there, and
// every operation is called there. Nothing locks. The entry points (the web
// link's and the engines' callbacks, start-up and the roads' starts and
// stops) check the thread: a call from another thread is logged as an error
// line and goes on.
//
// This class is platform-neutral: it keeps the session states itself (the
// Notify* operations write them), and a subclass adds what needs windows
// (CAppWinComponentsController: the main frame's delegate, the sharing UI).
// Its records and states are its own: others read them through the getters.
//
// The sharing, audio and video roads live in their own files beside this one
// (app_components_controller_{sharing,audio,video,rosters}.cpp), and each
// road's engine, request and status in a member of its own (SessionRoad).
// Each engine instance is given a relay of its own as its sink
// (engine_sink_relays.h): an engine let go of inside its own callback is
// released after it, and what it still delivers before its release no
// longer reaches the road.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "client/controller/ac_engine_wrapper.h"
#include "client/controller/av_engine_wrapper.h"
#include "client/controller/engine_factory.h"
#include "client/controller/engine_release_queue.h"
#include "client/controller/engine_sink_relays.h"
#include "client/controller/session_road.h"
#include "client/controller/session_status.h"
#include "client/controller/ui_thread_check.h"
#include "client/controller/vz_link_wrapper.h"
#include "client/controller/vz_share_wrapper.h"
#include "client/proxy/proxy_provider.h"
#include "contracts/app_peer_config.h"
#include "contracts/network_proxy_entry.h"
#include "contracts/session_records.h"
#include "contracts/vz_link_instance.h"
#include "platform/run_loop.h"

// The 16 annotation colours (0xAABBGGRR), in the colour menu's order.
inline constexpr uint32_t kAnnotationPalette[16] = {
    0xFFC02E30, 0xFFA3359F, 0xFF0AF3FF, 0xFF1F69FC, 0xFFE28F12, 0xFF3BA623, 0xFF1C00E5, 0xFF10BFFE,
    0xFFB07E5E, 0xFFE1AFBC, 0xFF4566A9, 0xFF110073, 0xFF18E5A8, 0xFFFFE899, 0xFFBD9BFD, 0xFFAEF2FF};

// What the controller is built on. Everything stays the caller's.
struct ControllerPorts {
  EngineFactory* engines = nullptr;   // null: wrappers over the system loader
  IProxyProvider* proxies = nullptr;  // null: no proxies are ever found
  // The program's version text for the web page's log, or null when unknown.
  const char* (*application_version)() = nullptr;
  // The UI thread's loop, whose thread every call must come from; it must
  // outlive the controller. Null: the constructing thread's loop.
  const vz::RunLoop* ui_loop = nullptr;
};

class CAppComponentsController : public IDSProviderSink,
                                 public IACProviderSink,
                                 public IAVProviderSink,
                                 public IVzLinkInstanceSink {
 public:
  explicit CAppComponentsController(const ControllerPorts& ports = ControllerPorts());
  // Releases share, audio, video and link in that order, then the roster map.
  virtual ~CAppComponentsController();
  CAppComponentsController(const CAppComponentsController&) = delete;
  CAppComponentsController& operator=(const CAppComponentsController&) = delete;

  // Start-up: copies the peer config and has the web link listen on its pipe.
  // 1 when the link was asked to listen; 0 for a null record, or when both the
  // meeting id and the pipe name are empty.
  virtual int32_t StartAppPeerListen(const AppPeerConfig* config);

  // IDSProviderSink (the sharing engine, on the UI thread).
  int32_t OnDSStatusNotification(int32_t status) override;
  int32_t OnDSErrorNotification(int32_t code, int32_t code_type) override;
  int32_t OnDSCommand(DSCommandRecord* command) override;
  int32_t OnDSWebBinary(CVZBinaryData* data) override;
  int32_t OnMonitorUnshared(MonitorInfo* monitor) override;
  int32_t OnMonitorShared(MonitorInfo* monitor, uint8_t* frame_pixels) override;
  int32_t OnMonitorUpdated(MonitorInfo* monitor, VzRect* rect) override;
  int32_t OnMouseUpdated(CursorInfo* cursor) override;
  int32_t OnSharingInfo(SharingInfo* info) override;
  int32_t OnSharingStatus(int32_t paused) override;

  virtual int32_t OnDSSessionRequestJoin(DSSessionConfig* session);

  // Reports to the web page; each returns the link's result, 0 without a link.
  virtual int32_t ReportDSSessionStatus(int32_t status);
  virtual int32_t ReportDSSessionError(int32_t code, int32_t code_type);
  // A control request approved (non-zero) or denied.
  virtual int32_t ReportDSRemoteControl(int32_t approved);
  virtual int32_t ReportACSessionJoined(int32_t muted, int32_t ssrc);
  virtual int32_t ReportACSessionStatus(int32_t status);
  virtual int32_t ReportACSessionError(int32_t code, int32_t code_type);
  virtual int32_t ReportACSessionMuted(int32_t muted);
  virtual int32_t ReportACDeviceLevel(int32_t speaker_level, int32_t microphone_level);
  virtual int32_t ReportAVSessionJoined(int32_t broadcasted, int32_t ssrc);
  virtual int32_t ReportAVSessionStatus(int32_t status);
  virtual int32_t ReportAVSessionError(int32_t code, int32_t code_type);
  virtual int32_t ReportAVSessionBroadcasted(int32_t broadcasted);

  // The web page asks for the proxy settings; 0 here, the subclass says 1.
  virtual int32_t ConfigNetworkProxy();

  // The roads' starts (JoinAudio, JoinVideo, StartDS) answer a LaunchResult.
  // Audio road.
  virtual int32_t JoinAudio();
  virtual int32_t LeaveAudio();
  virtual int32_t MuteAudio();
  virtual int32_t UnmuteAudio();
  virtual int32_t IsAudioMuted();
  virtual int32_t ConfigAudio();
  virtual int32_t IsAudioConfigOpen();

  // Video road.
  virtual int32_t JoinVideo();
  virtual int32_t LeaveVideo();
  // The engine's join with the peer config's container window; 1 when it
  // was accepted.
  virtual int32_t JoinVideoWithContainer();

  // Sharing road.
  virtual int32_t StartDS();
  virtual int32_t StopDs();

  // Sharing engine operations for the sharing UI: the engine's result, or 0
  // (null) without a sharing engine.
  virtual MonitorList* GetMonitorList();
  virtual ApplicationList* GetWindowList();
  virtual MonitorInfo* GetMonitorInfo(int32_t monitor_id);
  virtual int32_t ShareMonitor(MonitorInfo* monitor, int32_t share);
  virtual int32_t ShareWindow(ApplicationInfo* window, int32_t share);
  virtual int32_t SendCommand(DSCommandRecord* command);
  virtual void CaptureNow();
  virtual int32_t ShowPointerWindow(int32_t show);
  virtual int32_t IsPointerWindowShown();
  virtual int32_t ShowArrowIndicator(const char16_t* label, uint32_t color, VzPoint* point);
  virtual int32_t SetArrowIndicatorText(const char16_t* label, uint32_t color);
  virtual int32_t SetExcludedWindow1(VzWindowHandle window);
  virtual int32_t SetExcludedWindow2(VzWindowHandle window);
  virtual int32_t SetExcludedWindow3(VzWindowHandle window);

  // Remote control: stops it for the current holder, then gives it to `id`
  // unless that is null or empty (kept as at most 127 units).
  virtual void SetRemoteControlRosterId(const char16_t* roster_id);
  // Stops remote control for `id`; null does nothing.
  void StopRemoteControlTo(const char16_t* roster_id);
  // The presenter took the mouse back: the holder's control is paused.
  void SetRemoteControlPaused();

  // Audio commands of the local participant (the video panel, the sharing
  // panel), only while the web link exists: through the audio engine when
  // one is loaded, else as a notice to the web page, which answers with the
  // matching request. Joining is always a notice.
  void CommandAudioJoin();
  void CommandAudioMute();
  void CommandAudioUnmute();
  void CommandAudioLeave();

  // State changes of the roads. Here they keep the states; the subclass
  // adds the main frame and the sharing UI.
  virtual void NotifyRosterStatusChanged(int32_t kind, RosterRecord* roster);
  virtual void NotifySharingStatusChanged(int32_t status);
  virtual void NotifySharingError(int32_t code, int32_t code_type);
  virtual void NotifyAudioStatusChanged(int32_t status, int32_t muted);
  virtual void NotifyAudioMuted(int32_t muted);
  virtual void NotifyAudioError(int32_t code, int32_t code_type);
  virtual void NotifyVideoStatusChanged(int32_t status, int32_t broadcasted);
  virtual void NotifyVideoError(int32_t code, int32_t code_type);

  // IACProviderSink (the audio engine, on the UI thread).
  int32_t OnACStatusNotification(int32_t status, int32_t muted) override;
  int32_t OnACActivedSpeaker(ACSpeakerEntry* speakers, int32_t count) override;
  int32_t OnACRostersNetwork(ACRosterNetworkEntry* rosters, int32_t count) override;
  int32_t OnACDeviceVolumeLevel(int32_t speaker_level, int32_t microphone_level) override;
  int32_t OnACMicStatus(int32_t status) override;
  int32_t OnACAudioErrorCode(int32_t code, int32_t code_type) override;

  // IAVProviderSink (the video engine, on the UI thread).
  int32_t OnAVStatusNotification(int32_t status, int32_t broadcasted) override;
  int32_t OnAVVideoBroadcasted(int32_t broadcasted, const char* roster_id) override;
  int32_t OnAVVideoErrorCode(int32_t code, int32_t code_type) override;
  int32_t OnAVMyStatusChanged(const char16_t* roster_id, int32_t status) override;

  // IVzLinkInstanceSink (the web page's requests, on the UI thread).
  int32_t OnPluginWindowEvent(int32_t type, WindowEventRecord* record) override;
  int32_t OnPluginMouseEvent(MouseEventRecord* record) override;
  int32_t OnAppSocketListener(int32_t status, int32_t code) override;
  int32_t OnAppRequestConfigProxy(int32_t unused) override;
  int32_t OnAppCmdUserJoined(RosterRecord* roster) override;
  int32_t OnAppCmdUserLeft(RosterRecord* roster) override;
  int32_t OnAppCmdUserUpdated(RosterRecord* roster) override;
  int32_t OnAppCmdMeetConfig(MeetConfig* config) override;
  int32_t OnDSSessionRequestStart(DSSessionConfig* session) override;
  int32_t OnDSSessionRequestWebJoin(DSSessionConfig* session) override;
  int32_t OnDSSessionRequestUpdate(DSSessionConfig* session) override;
  int32_t OnDSSessionRequestStop(const char16_t* session_id) override;
  int32_t OnDSSessionRequestQuickStart(DSSessionConfig* session) override;
  int32_t OnDSDataCommand(CVZBinaryData* data) override;
  int32_t OnACSessionRequestJoin(ACSessionConfig* session) override;
  int32_t OnACSessionRequestUpdate(ACSessionConfig* session) override;
  int32_t OnACSessionRequestLeave(const char16_t* conf_id) override;
  int32_t OnACSessionRequestConfig(int32_t unused) override;
  int32_t OnACSessionRequestMute(int32_t unused) override;
  int32_t OnACSessionRequestUnmute(int32_t unused) override;
  int32_t OnAppAudioStatusJoined(int32_t muted) override;
  int32_t OnAppAudioStatusLeft() override;
  int32_t OnAppAudioStatusMuted() override;
  int32_t OnAppAudioStatusUnmuted() override;
  int32_t OnAVSessionRequestJoin(AVSessionConfig* session) override;
  int32_t OnAVSessionRequestUpdate(AVSessionConfig* session) override;
  int32_t OnAVSessionRequestLeave(const char16_t* conf_id) override;
  int32_t OnAVSessionRequestConfig(int32_t unused) override;
  int32_t OnAVSessionRequestLayout(int32_t unused, int32_t layout, int32_t* row_column) override;
  int32_t OnAVSessionRequestCameraOn(int32_t unused) override;
  int32_t OnAVSessionRequestCameraOff(int32_t unused) override;

  // Lookups.
  const char16_t* GetMeetId() const { return peer_config_.MeetId; }
  // The stored record of exactly this id; null for null, "" or an unknown id.
  RosterRecord* FindRoster(const char16_t* roster_id);
  RosterRecord* FindRemoteControlRoster();
  int32_t IsMyRosterInvisible();
  int32_t IsMyRosterPresenter();
  int32_t IsMyRosterId(const char16_t* roster_id) const;
  int32_t IsRemoteControlRoster(const char16_t* roster_id) const;
  // 1 unless the id contains "vzweb-" (a participant in the web page); 0 for null.
  static int32_t IsNativeRosterIdForTesting(const char16_t* roster_id);
  int32_t HasAudioEngine() const { return audio_.engine() ? 1 : 0; }
  // Every stored roster in key order (UTF-16 code units); the list is cleared first.
  void GetRosterList(std::vector<RosterRecord*>* list);
  // The proxy when it is in use (either scheme flag set), else null.
  virtual NetworkProxyEntry* GetNetworkProxyEntry();
  // Copies the 796 bytes; null zero-fills the proxy.
  virtual void SetNetworkProxyEntry(const NetworkProxyEntry* entry);
  void GetRosterColorsForTesting(std::vector<uint32_t>* colors) const;

  // The records and states, for the subclass, the frame and tests.
  int32_t GetDSState() const { return sharing_.status(); }
  int32_t GetACState() const { return audio_.status(); }
  int32_t GetAVStateForTesting() const { return video_.status(); }
  int32_t GetQuickStartFlag() const { return quick_start_; }
  const MeetConfig& GetMeetConfig() const { return meet_config_; }
  const AppPeerConfig& GetPeerConfig() const { return peer_config_; }
  const DSSessionConfig& GetSharingRequestForTesting() const { return sharing_.request(); }
  const ACSessionConfig& GetAudioRequest() const { return audio_.request(); }
  const char16_t* GetRemoteControlRosterIdForTesting() const { return remote_control_roster_; }

 private:
  using SharingRoad = SessionRoad<CVzShareWrapper, DSProviderSinkRelay, DSSessionConfig>;
  using AudioRoad = SessionRoad<CACEngineWrapper, ACProviderSinkRelay, ACSessionConfig>;
  using VideoRoad = SessionRoad<CAVEngineWrapper, AVProviderSinkRelay, AVSessionConfig>;

  // A new engine of each road, with a relay of its own as its sink: true
  // when the engine object was made.
  bool MakeShareEngine();
  bool MakeAudioEngine();
  bool MakeVideoEngine();
  // Before a rejoin through the next proxy: the engine leaves and is let go
  // of, and the road's state goes back to idle without a report (the rejoin
  // reports for itself).
  void DropAudioForRejoin();
  void DropVideoForRejoin();

  // The proxies of the network (discovery on the first connected pipe).
  void InitNetworkProxies();
  // The proxy module's next entry, or null (for the roads' error recovery).
  const NetworkProxyEntry* NextNetworkProxy();

  // Remote-control commands through the sharing engine.
  void GiveRemoteControl(const char16_t* roster_id);
  void StopRemoteControl(const char16_t* roster_id);
  void PauseRemoteControl(const char16_t* roster_id);
  void SendRemoteControlCommand(int32_t type, const char16_t* roster_id);

  // What the controller was built on.
  std::unique_ptr<EngineFactory> own_engines_;  // when the ports gave none
  EngineFactory* engines_;
  IProxyProvider* proxies_;
  const char* (*application_version_)();
  UiThreadCheck ui_thread_;
  // Engines let go of inside their own callbacks, until those have returned.
  EngineReleaseQueue release_queue_;

  // The three roads, each with its engine, last request and status.
  SharingRoad sharing_;
  AudioRoad audio_;
  VideoRoad video_;
  // Made once by StartAppPeerListen, released with the controller.
  std::unique_ptr<CVzLinkWrapper> link_;
  NetworkProxyEntry proxy_{};
  AppPeerConfig peer_config_{};
  MeetConfig meet_config_ = kDefaultMeetConfig;
  // std::u16string compares unsigned 16-bit units: exactly the roster order.
  std::map<std::u16string, RosterRecord> rosters_;
  int32_t quick_start_ = 0;
  char16_t remote_control_roster_[128] = {};
};
