#pragma once
// CEnginController: the sharing engine, one per sharing session, on both
// sides. As presenter it starts the screen capture, turns its sharing info,
// screen changes and cursor into sharing messages and sends them through the
// session's transport connection; as attendee it rebuilds each shared
// monitor from the messages received and reports the changes to the client.
//
// Threads: no thread and no lock of its own. The client calls it on its UI
// thread; the capture and the transport connection call it back on that same
// thread (the one that called StartCapture and StartDS), and every client
// callback is made there.
//
// Lifetime and re-entry: the client may call StopDS, and delete the engine
// (DSDeleteInstance), from inside any callback. Both take effect at once as
// far as the client can see (no further callback arrives), while the
// capture release, the transport release, the clean-up and the deletion
// itself wait until the engine's outermost frame on the stack returns.
#include <cstdint>
#include <functional>

#include "contracts/ds_provider.h"
#include "contracts/vz_grab_provider.h"
#include "sharing/controller/ds_provider_sink_forwarder.h"
#include "sharing/controller/vz_grab_wrapper.h"
#include "sharing/engine/cache_controller.h"
#include "sharing/engine/cursor_channel.h"
#include "sharing/engine/frame_rebuild.h"
#include "sharing/engine/keyframe_controller.h"
#include "sharing/engine/monitor_frames.h"
#include "sharing/engine/tile_pipeline.h"
#include "sharing/records/mouse_entry.h"
#include "sharing/transport/ds_tp.h"

class CCodecMgrWin;
struct DsScreenState;
namespace vz {
class Clock;
class RunLoop;
}  // namespace vz

// Where the engine's outside pieces come from; tests give their own.
struct EngineOptions {
  // Makes the session's transport connection for the engine's sink, and
  // releases it. Empty: DSCreateTpInstance and DSReleaseTpInstance.
  std::function<IDSTp*(IDSTpSink*)> create_tp;
  std::function<void(IDSTp*)> release_tp;
  // The capture library's plain name.
  const char* grab_library = CVzGrabWrapper::kLibraryName;
  // Makes the JPEG codec binding. Empty: CreateCodecMgr (jpeg9b).
  std::function<CCodecMgrWin*()> create_codec;
  // The clock of the attendee's wait for missing caches; null: the
  // monotonic clock. (The timer that moves the wait runs on the engine
  // thread's run loop, on that loop's clock.)
  const vz::Clock* clock = nullptr;
};

class CEnginController : public IDSProvider,
                         public CDSProviderSinkForwarder,
                         public IVzGrabProviderSink,
                         public IDSTpSink {
 public:
  CEnginController(IDSProviderSink* host, const EngineOptions& options = {});
  ~CEnginController() override;
  CEnginController(const CEnginController&) = delete;
  CEnginController& operator=(const CEnginController&) = delete;

  // 1 once construction completed; the export hands out only such engines.
  int32_t IsConstructed() const { return constructed_; }
  // DSDeleteInstance: deletes now, or, inside a callback, stops now and
  // deletes when the outermost engine frame returns.
  void DeleteInstance();

  // IDSProvider 0-20: the capture's operations, forwarded to the provider
  // (0, or nothing, without one); StartCapture makes the provider.
  MonitorList* GetMonitorList() override;
  ApplicationList* GetWindowList() override;
  int32_t ShareMonitor(MonitorInfo* monitor, int32_t share) override;
  int32_t ShareWindow(ApplicationInfo* window, int32_t share) override;
  // Loads the capture and makes its provider on first use, starts it and
  // turns cursor capture on. 0 (logged) when the capture could not be made
  // or did not start.
  int32_t StartCapture(MeetConfig* meet_config, int32_t mode) override;
  int32_t StopCapture() override;
  void CaptureNow() override;
  void Refresh() override;
  void SetCaptureHold(int32_t value) override;
  int32_t GetCaptureHold() override;
  int32_t ShowPointerWindow(int32_t show) override;
  int32_t IsPointerWindowShown() override;
  int32_t ShowArrowIndicator(const char16_t* label, uint32_t color, VzPoint* point) override;
  int32_t SetArrowIndicatorText(const char16_t* label, uint32_t color) override;
  int32_t SetExcludedWindow1(VzWindowHandle window) override;
  int32_t SetExcludedWindow2(VzWindowHandle window) override;
  int32_t SetExcludedWindow3(VzWindowHandle window) override;
  void SetCursorCapture(int32_t enable) override;
  int32_t SetBlankScreenMode(int32_t on) override;
  int32_t IsBlankScreenActive() override;
  void SetSendBacklog(uint32_t value) override;

  // IDSProvider 21-27.
  // Copies the session config and starts joining; the outcome arrives as
  // OnDSStatusNotification(2) or OnDSErrorNotification. 0 for a null
  // config, when no connection could be made or the join did not start, and
  // while a session is already running (one session per engine).
  int32_t StartDS(MeetConfig* meet_config, DSSessionConfig* session, NetworkProxyEntry* proxy) override;
  // Releases the capture and the connection and empties the tables; no
  // client callback follows. Returns 0.
  int32_t StopDS() override;
  // The sharing info's monitor with this id, or null.
  MonitorInfo* GetMonitorInfo(int32_t monitor_id) override;
  DSSessionConfig* GetSessionConfig() override;
  // 1 when the command was handed to the transport; 0 when nothing was sent
  // (no session, a null record, or not joined).
  int32_t SendCommand(DSCommandRecord* command) override;
  int32_t SendWebBinary(CVZBinaryData* data) override;
  int32_t OnCaptureMouseInfo(CaptureMouseInfo* mouse) override;

  // IVzGrabProviderSink (the capture, on the engine's thread).
  int32_t OnDSKeSharingInfo(SharingInfo* info) override;
  int32_t OnDSKeMouseInfo(CaptureMouseInfo* mouse) override;
  int32_t OnDSKeScreenData(CaptureScreenData* data) override;
  int32_t OnDSKeSharingStatus(int32_t paused) override;

  // IDSTpSink (the transport connection, on the engine's thread).
  // A sharing info (received, or the capture's) is refused whole, 0 with a
  // log line, when it holds more than 16 monitors or 65 applications or
  // names one monitor id twice; the last one taken stays.
  // A presenter's session is the source of sharing infos, caches, blocks
  // and the cursor: the same records from the connection are another
  // member's, and are dropped (0, logged) so that its screen, tables and
  // cursor stay its own.
  int32_t OnTPStatusNotification(int32_t status) override;
  int32_t OnTPErrorNotification(int32_t code, int32_t code_type) override;
  int32_t OnDSTpSharingInfo(SharingInfo* info) override;
  int32_t OnDSTpMouseInfo(CMouseEntry* mouse) override;
  int32_t OnDSTpCaches(CCacheEntry** list, int32_t count) override;
  int32_t OnDSTpBlocks(CKeyframeEntry** list, int32_t count) override;
  int32_t OnDSTpRequestCaches(CKeyframeEntry** list, int32_t count) override;
  int32_t OnDSTpSendBacklog(int32_t value) override;
  int32_t OnDSTpCommand(DSCommandRecord* command) override;
  int32_t OnDSTpWebBinary(CVZBinaryData* data) override;

  // For the engine's own tests: the tables and the stored sharing info.
  const SharingInfo& sharing_info() const { return *sharing_info_; }
  CCacheController& caches() { return caches_; }
  int32_t MonitorFrameCountForTesting() const { return frames_.GetCount(); }

 private:
  // Marks an entry from outside (a callback of the capture or the
  // connection, or a client call that may call back); the outermost one
  // finishes a stop or deletion asked for meanwhile.
  class EntryScope {
   public:
    explicit EntryScope(CEnginController* engine) : engine_(engine) { ++engine_->depth_; }
    ~EntryScope() { engine_->LeaveEntry(); }
    EntryScope(const EntryScope&) = delete;
    EntryScope& operator=(const EntryScope&) = delete;

   private:
    CEnginController* engine_;
  };
  void LeaveEntry();

  IVzGrabProvider* Capture() const { return grab_ != nullptr ? grab_->provider() : nullptr; }
  // The session's connection; none once StopDS was asked for, even while
  // its release waits for the callback to return.
  IDSTp* Connection() const { return stop_pending_ ? nullptr : tp_; }
  // Stops the capture, releases its provider and unbinds it.
  void ReleaseCapture();
  void ReleaseConnection();
  // The capture release, the connection release and the clean-up of StopDS.
  void FinishStop();
  // Empties the sharing info, the cursor, both tables and the monitor
  // frames (each reported unshared while a client is set).
  void CleanEngineInfo();

  // Drops every monitor frame, each reported unshared (engine_frames.cpp).
  void ReleaseMonitorFrames();
  // The timer that moves the attendee's wait for missing caches while
  // blocks wait (engine_frames.cpp): on the engine thread's run loop, when
  // it has one.
  static constexpr uint32_t kWaitTickMs = 250;
  void ArmWaitTimer();
  void DisarmWaitTimer();
  void OnWaitTimer();
  // What the sharing-info handler changes.
  DsScreenState ScreenState();
  // True (logged) when this is a presenter's session, which takes `records`
  // from no one: they are dropped.
  bool PresenterDrops(const char* records);

  EngineOptions options_;
  CCodecMgrWin* codec_ = nullptr;  // made first: the tile classes below borrow it
  CVzGrabWrapper* grab_ = nullptr;
  IDSTp* tp_ = nullptr;
  DSSessionConfig* session_ = nullptr;   // 7,892 bytes
  SharingInfo* sharing_info_ = nullptr;  // 28,156 bytes
  CCacheController caches_;
  CKeyframeController keyframes_;
  CMonitorFrames frames_;  // one per shared monitor
  CCursorChannel cursor_;  // the cursor state and its images
  CTilePipeline pipeline_;  // presenter
  CFrameRebuild rebuild_;   // attendee
  int32_t constructed_ = 0;

  uint64_t presenter_drops_ = 0;  // records from the connection a presenter dropped
  vz::RunLoop* wait_loop_ = nullptr;  // set while the wait timer runs
  int depth_ = 0;
  bool stop_pending_ = false;
  bool delete_pending_ = false;
};
