#pragma once
// CSharingBaseController: the capture controller behind IVzGrabProvider. It
// owns the capture thread (its CDsThread base), which finds what changed on
// the shared monitors or window and hands every record to the sink through
// the helper window, so that sink calls run on the thread that created the
// controller while the capture thread waits.
//
// Threading: every IVzGrabProvider operation, the helper window procedure and
// therefore every sink call and every indicator window run on the creating
// thread. The capture thread runs ThreadRun, the rounds and ResetScreen. The
// controller lock guards the grabbers, the send buffer, the excluded windows
// and the pointer and arrow windows; no thread sends to the helper window
// while it holds that lock.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/controller/capture_environment.h"
#include "capture/controller/ds_thread.h"
#include "capture/indicators/black_screen.h"
#include "capture/indicators/indicator_controller.h"
#include "capture/indicators/indicator_host.h"
#include "capture/indicators/indicator_images.h"
#include "capture/indicators/spotlight_indicators.h"
#include "capture/monitors/capture_screens.h"
#include "capture/monitors/changed_box_sender.h"
#include "capture/monitors/multi_monitor.h"
#include "capture/monitors/sharing_rgn_controller.h"
#include "common/critical_section_lock.h"
#include "contracts/session_records.h"
#include "contracts/vz_grab_provider.h"
#include "platform/screen/screen_damage.h"
#include "platform/screen/screen_source.h"

class CDsHelperWindow;

// The whole-monitor image a changed box is cut from: 32-bit pixels (B, G, R,
// X), `stride` bytes a row, top row first unless `bottom_up`.
struct CaptureMonitorImage {
  const uint8_t* bits = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;
  bool bottom_up = false;
};

class CSharingBaseController : public CDsThread,
                               public IVzGrabProvider,
                               private IChangedBoxSender,
                               private vzgrab::IndicatorHost {
 public:
  // The helper window delivers the records; it must outlive the controller's
  // capture thread (the library stops the thread first).
  CSharingBaseController(IVzGrabProviderSink* sink, CDsHelperWindow* helper, const CaptureEnvironment& environment);
  ~CSharingBaseController() override;

  // IVzGrabProvider.
  MonitorList* GetMonitorList() override;
  ApplicationList* GetWindowList() override;
  int32_t ShareMonitor(MonitorInfo* monitor, int32_t share) override;
  int32_t ShareWindow(ApplicationInfo* window, int32_t share) override;
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

  // The helper window's procedure (creating thread).
  intptr_t HandleHelperMessage(uint32_t message, uintptr_t wparam, intptr_t lparam);
  // stopSharing: no record reaches the sink from here on; the capture thread
  // ends, the screen is given up and the indicators go. Called from inside a
  // sink call (the capture thread then waits for that very call), the stop
  // is signalled at once and finished on the loop's next turn.
  void StopSharing();
  // True while a sink call runs (creating thread): the capture thread waits
  // for it, so it cannot be joined, nor its record freed, until it returns.
  bool InHandOver() const { return hand_over_depth_ > 0; }
  // Finishes a stop that began inside a sink call (after it returned).
  void FinishStop();
  // True for the excluded windows and the arrow label (the region walk
  // passes over them). Any thread.
  bool IsOwnWindow(VzWindowHandle window);

  // A send backlog above this many bytes stops capture rounds.
  static constexpr uint32_t kBacklogLimit = 16000;
  // The stored backlog (0 below 200).
  uint32_t send_backlog_for_testing() const { return send_backlog_.load(std::memory_order_acquire); }

  // Records (capture thread). Public for the tests of their bytes.
  bool SendSharingInfo();
  // Hands the pixels of `box` (monitor coordinates) to the sink as one
  // CaptureScreenData; true when the sink took it. A box or image that does
  // not fit the monitor is refused (logged) and nothing is sent.
  bool SendScreenData(int32_t monitor_id, const VzRect* monitor_rect, int32_t bits_per_pixel, const VzRect* box,
                      const CaptureMonitorImage& source);
  bool SendMouseInfo();
  // Fills the shape part of `record` (which has room for a 128 x 128 shape
  // at offset 1,600) from `cursor`; null: a hidden cursor.
  static bool GetCursorBmpInfo(CaptureMouseInfo* record, const vz::ScreenCursor* cursor);
  // The same for a monochrome shape (an AND and an XOR mask).
  static bool GetMonochromeCursor(CaptureMouseInfo* record, const vz::ScreenCursor& cursor);
  // Allocates the send buffer for monitors up to the given size; false when
  // there is nothing to capture or no memory.
  bool AllocateSendBuffer(int32_t max_width, int32_t max_height);
  size_t send_buffer_size_for_testing() const { return send_buffer_.size(); }
  // Capture rounds begun so far (also those that a hold or the backlog ends).
  uint64_t rounds_for_testing() const { return rounds_.load(std::memory_order_acquire); }

 protected:
  int ThreadRun() override;

 private:
  // IChangedBoxSender: a grabber's box out of its top-down image.
  bool SendScreenData(int32_t monitor_id, const VzRect& monitor_rect, int32_t bits_per_pixel, const VzRect& box,
                      const uint8_t* pixels, int32_t stride) override;
  // IndicatorHost (creating thread).
  VzRect WindowRect(VzWindowHandle window) override;
  bool IsPointShared(VzPoint logical) override;

  intptr_t CallSink(uint32_t message, uintptr_t record);
  int32_t PostToCaptureThread(uint32_t message);
  int32_t StartSharing();
  void CaptureRound();
  bool ResetScreen();
  bool InitScreen();
  void EndScreen();
  bool CheckSharedScreenData();
  bool FullRefresh();
  void ReopenScreen();
  void ResetIndicatorFrame();
  void RefreshDone();
  void DestroyArrow();
  vz::ScreenSource* CallerScreen();
  bool WindowExists(VzWindowHandle window);
  void SignalStarted();
  // The monitor whose LogicalRect holds a window-manager point; false when none.
  bool MonitorAtLogicalPoint(int32_t x, int32_t y, MonitorInfo* out);
  IsOwnWindowFn OwnWindowTest();

  const int main_thread_id_;  // the creating thread's, for the screen set-up's log lines
  IVzGrabProviderSink* const creation_sink_;  // the sink given at creation
  IVzGrabProviderSink* sink_;  // creating thread; null from StopSharing to the next start
  int hand_over_depth_ = 0;    // creating thread: sink calls in progress
  bool stop_pending_ = false;  // creating thread: a stop waits to be finished
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for tasks posted to the loop
  CDsHelperWindow* helper_;
  CaptureEnvironment environment_;
  MeetConfig meet_config_{};
  std::atomic<int32_t> capture_mode_{0};
  const int32_t block_width_ = 128;
  const int32_t block_height_ = 128;
  std::unique_ptr<vz::ScreenSource> caller_screen_;   // the creating thread's connection
  // What GetMonitorList / GetWindowList hand out: copies taken under the set's
  // lock, so the capture thread's refreshes never write what the caller reads.
  MonitorList caller_monitors_{};
  ApplicationList caller_windows_{};
  std::unique_ptr<vz::ScreenSource> capture_screen_;  // the capture thread's ("input desktop")
  // The capture thread's: drawing on the shared monitors asks for a round at once.
  std::unique_ptr<vz::ScreenDamageWatch> damage_watch_;
  int last_composed_ = -1;
  // Set by the capture thread before it signals that it started; read after.
  bool normal_priority_ = false;  // the last change detection logged (capture thread)
  CMultiMonitor monitors_;
  CSharingRgnController regions_;
  CCaptureScreens screens_;
  std::unique_ptr<vzgrab::IndicatorImages> images_;
  vzgrab::CIndicatorController indicators_;
  vzgrab::CSpotlightIndicators spotlight_;
  vzgrab::CBlankScreenMode blank_screen_;
  std::atomic<uint64_t> arrow_window_{0};
  std::vector<uint8_t> send_buffer_;  // under lock_; empty: no screen
  std::atomic<uint32_t> send_backlog_{0};
  std::atomic<uint64_t> rounds_{0};
  uint64_t last_cursor_shape_ = 0;  // capture thread: serial of the shape last sent
  bool last_shape_hidden_ = true;   // capture thread: the shape last sent was none
  std::atomic<int32_t> last_cursor_x_{-1};  // capture thread, and Refresh
  std::atomic<int32_t> last_cursor_y_{-1};
  std::atomic<int32_t> refresh_pending_{0};
  std::atomic<bool> capture_now_queued_{false};  // a TMDS_CAPTURE_NOW waits in the queue
  // A round found the send backlog too long: the next starts when it falls.
  std::atomic<bool> backlog_skipped_{false};
  std::atomic<int32_t> capture_hold_{0};
  std::atomic<int32_t> cursor_resend_pending_{0};
  std::atomic<int32_t> cursor_capture_enabled_{1};
  VzWindowHandle excluded_windows_[3] = {0, 0, 0};  // under lock_
  uint64_t last_cursor_send_ms_ = 0;                // capture thread
  // The started event of StartCapture.
  std::mutex started_mutex_;
  std::condition_variable started_cv_;
  bool started_ = false;
  CriticalSectionLock lock_;
};
