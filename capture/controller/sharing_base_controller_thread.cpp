// The capture thread: its loop, the capture round and the screen reset.
#include "capture/controller/capture_messages.h"
#include "capture/controller/ds_helper_window.h"
#include "capture/controller/sharing_base_controller.h"
#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/screen/screen_source.h"

namespace {
constexpr int kRoundIntervalMs = 200;
constexpr uint64_t kCursorReportMs = 50;
constexpr int kSettleMs = 200;
}  // namespace

int CSharingBaseController::ThreadRun() {
  VZ_LOG("entering capture thread...");
  normal_priority_ = vz::SetCurrentThreadNormalPriority();
  // The screen connection stands where the input desktop stood: without it
  // nothing can be captured, and StartCapture must not wait for ever.
  capture_screen_ = environment_.open_screen ? environment_.open_screen() : nullptr;
  if (!capture_screen_) {
    VZ_LOG_ERROR("OpenInputDesktop ____FAILED___ :%d", 0);
    SignalStarted();
    return 1;
  }
  last_cursor_send_ms_ = vz::MonotonicMs();
  // Drawing on a shared monitor asks for a round at once instead of waiting
  // for the time-out; CaptureNow keeps one request queued at most.
  damage_watch_ = environment_.watch_damage ? environment_.watch_damage([this] { CaptureNow(); }) : nullptr;
  VZ_LOG("change-driven capture %s", damage_watch_ ? "on" : "off: rounds every 200 ms");
  SignalStarted();
  for (;;) {
    uint32_t message = 0;
    const Wake wake = WaitForWork(kRoundIntervalMs, &message);
    if (wake == Wake::kStop) break;
    if (wake == Wake::kTimeout) {
      CaptureRound();
      continue;
    }
    if (message == TMDS_CAPTURE_NOW) {
      capture_now_queued_.store(false);
      CaptureRound();
    } else if (message == TMDS_REOPEN_DESKTOP) {
      ReopenScreen();
    }
  }
  // Its reports post to this thread; it ends before the thread does.
  damage_watch_.reset();
  // Grabbers read through this connection; they go first.
  EndScreen();
  capture_screen_.reset();
  VZ_LOG("exit capture thread...");
  return 0;
}

void CSharingBaseController::ReopenScreen() {
  std::unique_ptr<vz::ScreenSource> fresh = environment_.open_screen ? environment_.open_screen() : nullptr;
  if (!fresh) {
    VZ_LOG_ERROR("the screen cannot be opened again; the old connection stays");
    return;
  }
  // The grabbers hold no reference to the old connection across rounds, but
  // EndScreen in ResetScreen drops them before it goes.
  bool closed = false;
  {
    CScopedLock lock(lock_);
    EndScreen();
    closed = capture_screen_ != nullptr;
    capture_screen_ = std::move(fresh);
  }
  // The new connection is in use; the old one, when there was one, is closed.
  VZ_LOG("Set current thread desktop: %d,%d", capture_screen_ ? 1 : 0, closed ? 1 : 0);
  ResetScreen();
}

void CSharingBaseController::CaptureRound() {
  rounds_.fetch_add(1, std::memory_order_acq_rel);
  if (capture_screen_ && monitors_.SharedWindowMoved(*capture_screen_)) {
    helper_->Send(WMDS_RESET_INDICATORS);
    return;
  }
  if (capture_hold_.load() != 0 || !capture_screen_) return;
  if (send_backlog_.load() > kBacklogLimit) {
    // What changed meanwhile is captured once the backlog falls (SetSendBacklog),
    // not at the next time-out: a slow attendee holds the presenter back
    // often, and the screen it then gets is to be the latest.
    backlog_skipped_.store(true);
    if (send_backlog_.load() <= kBacklogLimit && backlog_skipped_.exchange(false)) CaptureNow();
    return;
  }
  bool changed = false;
  if (refresh_pending_.load() != 0) {
    VZ_LOG("Start to refresh screen");
    refresh_pending_.exchange(0);
    changed = FullRefresh();
    VZ_LOG("refresh screen ends.");
    helper_->Send(WMDS_REFRESH_DONE);
  } else {
    changed = CheckSharedScreenData();
  }
  const uint64_t now = vz::MonotonicMs();
  if (!changed && now - last_cursor_send_ms_ <= kCursorReportMs) return;
  if (SendMouseInfo()) last_cursor_send_ms_ = now;
}

bool CSharingBaseController::CheckSharedScreenData() {
  CaptureRoundSettings settings;
  // A composed screen is read whole and compared; without a compositing
  // manager a few sampled lines and columns find the change and grow a box
  // round it.
  settings.full_compare = capture_screen_->CompositionEnabled();
  const int composed = settings.full_compare ? 1 : 0;
  if (composed != last_composed_) {
    VZ_LOG("change detection: %s", composed ? "whole monitors compared (the screen is composed)"
                                            : "sampled lines and columns (no compositing manager)");
    last_composed_ = composed;
  }
  settings.capture_mode = capture_mode_.load();
  settings.block_width = block_width_;
  settings.block_height = block_height_;
  settings.header_colour = meet_config_.HeaderBgColor;
  vz::ScreenCursor cursor;
  if (capture_screen_->ReadCursor(&cursor)) {
    settings.has_cursor = true;
    settings.cursor_x = cursor.x;
    settings.cursor_y = cursor.y;
  }
  if (damage_watch_)
    for (const vz::ScreenRect& r : damage_watch_->TakeDamage())
      settings.damage.push_back({r.x, r.y, r.x + r.width, r.y + r.height});
  const CaptureRoundResult result = screens_.CheckSharedScreenData(*capture_screen_, OwnWindowTest(), settings, *this);
  // Reported drawing not yet probed asks for the next round at once.
  if (result != CaptureRoundResult::kVisualChange && screens_.DamageLeft()) CaptureNow();
  if (result == CaptureRoundResult::kVisualChange) {
    PostToCaptureThread(TMDS_REOPEN_DESKTOP);
    WaitForStop(kSettleMs);
    return false;
  }
  return result == CaptureRoundResult::kChanged;
}

bool CSharingBaseController::FullRefresh() {
  if (!screens_.RegionsUnchanged(*capture_screen_, OwnWindowTest())) {
    PostToCaptureThread(TMDS_REOPEN_DESKTOP);
    return false;
  }
  if (IsStopping()) return true;
  // The whole copy takes in everything drawn until now.
  if (damage_watch_) damage_watch_->TakeDamage();
  SendSharingInfo();
  const bool copied = screens_.DumpAllScreens(meet_config_.HeaderBgColor, *this);
  WaitForStop(kSettleMs);
  return copied;
}

bool CSharingBaseController::ResetScreen() {
  VZ_LOG("-- BEGIN --");
  bool ok = false;
  {
    CScopedLock lock(lock_);
    EndScreen();
    monitors_.RefreshMonitors(*capture_screen_);
    Refresh();
    ok = InitScreen();
    if (ok) {
      helper_->Post(WMDS_DESKTOP_CHANGED);
      VZ_LOG("- END --");
    }
  }
  // Sent only once the controller lock is left: the creating thread may be
  // waiting for that lock.
  if (ok) helper_->Send(WMDS_RESET_INDICATORS);
  return ok;
}

bool CSharingBaseController::InitScreen() {
  VZ_LOG("main thread [%d] call thread [%d]", main_thread_id_, vz::ThreadId());
  VZ_LOG("2. Lock Before ...");
  CScopedLock lock(lock_);
  if (!capture_screen_) return false;
  int max_width = 0;
  int max_height = 0;
  if (!screens_.InitScreen(*capture_screen_, OwnWindowTest(), &max_width, &max_height)) return false;
  if (!AllocateSendBuffer(max_width, max_height)) {
    EndScreen();
    return false;
  }
  monitors_.SharedWindowMoved(*capture_screen_);
  if (damage_watch_) {
    std::vector<vz::ScreenRect> area;
    for (const VzRect& r : screens_.WatchedArea()) area.push_back({r.left, r.top, r.right - r.left, r.bottom - r.top});
    damage_watch_->SetArea(std::move(area));
  }
  return true;
}

void CSharingBaseController::EndScreen() {
  VZ_LOG("main thread [%d] call thread [%d]", main_thread_id_, vz::ThreadId());
  VZ_LOG("Lock Before ...");
  CScopedLock lock(lock_);
  VZ_LOG("... Locked End");
  screens_.EndScreen();
  send_buffer_.clear();
  send_buffer_.shrink_to_fit();
}
