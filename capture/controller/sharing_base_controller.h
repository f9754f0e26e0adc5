#pragma once
// CSharingBaseController: the capture controller behind IVzGrabProvider. It
// owns the capture thread (its CDsThread base), which finds what changed on
// the shared monitors or window and hands every record to the sink through
// the helper window, so that sink calls run on the thread that created the
// controller while the capture thread waits.
//
// Threading: every IVzGrabProvider operation, the helper window procedure and
// therefore every sink call run on the creating thread. The capture thread
// runs ThreadRun, the rounds and ResetScreen. The controller lock guards the
// grabbers, the send buffer and the excluded windows; no thread sends to the
// helper window while it holds that lock.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/controller/capture_environment.h"
#include "capture/controller/ds_thread.h"
#include "capture/controller/screen_set.h"
#include "common/critical_section_lock.h"
#include "contracts/session_records.h"
#include "contracts/vz_grab_provider.h"
#include "platform/screen/screen_source.h"

class CDsHelperWindow;

class CSharingBaseController : public CDsThread, public IVzGrabProvider, private IScreenDataHandOver {
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
  // ends and the screen is given up.
  void StopSharing();
  // True for the excluded windows (the monitor set passes over them).
  bool IsOwnWindow(VzWindowHandle window);

  // The stored backlog (0 below 200).
  uint32_t send_backlog() const { return send_backlog_.load(std::memory_order_acquire); }
  const MeetConfig& meet_config() const { return meet_config_; }
  int32_t cursor_capture_enabled() const { return cursor_capture_enabled_.load(); }

  // Records (capture thread). Public for the tests of their bytes.
  bool SendSharingInfo();
  bool SendScreenData(int32_t monitor_id, const VzRect* monitor_rect, int32_t bits_per_pixel, const VzRect* box,
                      const CaptureMonitorImage& source) override;
  bool SendMouseInfo();
  // Fills the shape part of `record` from `cursor` (null: hidden cursor).
  static bool GetCursorBmpInfo(CaptureMouseInfo* record, const vz::ScreenCursor* cursor);
  // Allocates the send buffer for monitors up to the given size; false when
  // there is nothing to capture or no memory.
  bool AllocateSendBuffer(int32_t max_width, int32_t max_height);
  size_t send_buffer_size() const { return send_buffer_.size(); }
  // Capture rounds begun so far (also those that a hold or the backlog ends).
  uint64_t rounds() const { return rounds_.load(std::memory_order_acquire); }

 protected:
  int ThreadRun() override;

 private:
  bool IsStopping() const override { return CDsThread::IsStopping(); }
  int32_t PostToCaptureThread(uint32_t message);
  int32_t StartSharing();
  void CaptureRound();
  bool ResetScreen();
  bool InitScreen();
  void EndScreen();
  bool CheckSharedScreenData();
  bool FullRefresh();
  void ReopenScreen();
  vz::ScreenSource* CallerScreen();
  bool WindowExists(VzWindowHandle window);
  void SignalStarted();

  IVzGrabProviderSink* sink_;  // creating thread; null after StopSharing
  CDsHelperWindow* helper_;
  CaptureEnvironment environment_;
  MeetConfig meet_config_{};
  std::atomic<int32_t> capture_mode_{0};
  const int32_t block_width_ = 128;
  const int32_t block_height_ = 128;
  std::unique_ptr<IScreenSet> screens_;
  std::unique_ptr<vz::ScreenSource> caller_screen_;   // the creating thread's connection
  std::unique_ptr<vz::ScreenSource> capture_screen_;  // the capture thread's ("input desktop")
  std::vector<uint8_t> send_buffer_;                  // under lock_; empty: no screen
  std::atomic<uint32_t> send_backlog_{0};
  std::atomic<uint64_t> rounds_{0};
  uint64_t last_cursor_shape_ = 0;  // capture thread: serial of the shape last sent
  bool last_shape_hidden_ = true;   // capture thread: the shape last sent was none
  std::atomic<int32_t> last_cursor_x_{-1};  // capture thread, and Refresh
  std::atomic<int32_t> last_cursor_y_{-1};
  std::atomic<int32_t> refresh_pending_{0};
  std::atomic<int32_t> capture_hold_{0};
  std::atomic<int32_t> cursor_resend_pending_{0};
  std::atomic<int32_t> cursor_capture_enabled_{1};
  VzWindowHandle excluded_windows_[3] = {0, 0, 0};  // under lock_
  int32_t blank_screen_mode_ = 0;
  uint64_t last_cursor_send_ms_ = 0;  // capture thread
  // The started event of StartCapture.
  std::mutex started_mutex_;
  std::condition_variable started_cv_;
  bool started_ = false;
  CriticalSectionLock lock_;
};
