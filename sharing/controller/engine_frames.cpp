// The engine's sharing info, monitor frames, tiles and cursor: the capture's
// and the connection's records handed to the frame, tile and cursor classes
// with the engine's tables, its connection and its road to the client.
#include "common/trace_client.h"
#include "platform/run_loop.h"
#include "sharing/controller/engine_controller.h"
#include "sharing/engine/sharing_info_handler.h"

namespace {

// The capture fills at most 16 of the 17 monitor slots; more is a
// malformed record, refused whole rather than cut.
constexpr int32_t kMaxSharedMonitors = kMonitorListCapacity - 1;

// A monitor id names one frame: blocks are drawn into the frame of their
// monitor id, and the client hears of frames by it. A record naming one id
// twice would make a second frame of that id that is never drawn into, and
// whose going would tell the client the first one went; it is refused whole.
bool Acceptable(const SharingInfo& info) {
  if (info.MonitorCount < 0 || info.MonitorCount > kMaxSharedMonitors || info.ApplicationCount < 0 ||
      info.ApplicationCount > kApplicationListCapacity) {
    VZ_LOG_ERROR("sharing info with [%d] monitors and [%d] applications refused", info.MonitorCount,
                 info.ApplicationCount);
    return false;
  }
  for (int32_t i = 1; i < info.MonitorCount; ++i) {
    for (int32_t j = 0; j < i; ++j) {
      if (info.Monitors[i].MonitorId == info.Monitors[j].MonitorId) {
        VZ_LOG_ERROR("sharing info naming monitor [%d] twice (at [%d] and [%d]) refused", info.Monitors[i].MonitorId,
                     j, i);
        return false;
      }
    }
  }
  return true;
}

}  // namespace

DsScreenState CEnginController::ScreenState() {
  return DsScreenState{sharing_info_, &keyframes_, &cursor_, &frames_};
}

// A presenter's sharing info, frames, keyframe table, caches and cursor are
// what it captured and sent: taken from another member, they would replace
// its monitors (its captures then fit none and are dropped), make it forget
// which blocks it sent, or point its cursor at an image it never made.
bool CEnginController::PresenterDrops(const char* records) {
  if (session_ == nullptr || session_->IsPresenter == 0) return false;
  if (presenter_drops_++ % 1000 == 0) {
    VZ_LOG_ERROR("a presenter takes no %s from the connection; dropped (%llu so far)", records,
                 static_cast<unsigned long long>(presenter_drops_));
  }
  return true;
}

int32_t CEnginController::OnDSKeSharingInfo(SharingInfo* info) {
  EntryScope scope(this);
  if (info == nullptr || !Acceptable(*info)) return 0;
  return HandleCapturedSharingInfo(info, ScreenState(), this, Connection());
}

int32_t CEnginController::OnDSTpSharingInfo(SharingInfo* info) {
  EntryScope scope(this);
  if (info == nullptr || PresenterDrops("sharing info") || !Acceptable(*info)) return 0;
  return HandleSharingInfo(info, ScreenState(), this);
}

void CEnginController::ReleaseMonitorFrames() { frames_.RemoveAll(this); }

int32_t CEnginController::OnDSKeScreenData(CaptureScreenData* data) {
  EntryScope scope(this);
  return pipeline_.OnScreenData(data, frames_, sharing_info_->BlockWidth, sharing_info_->BlockHeight, Connection());
}

int32_t CEnginController::OnDSKeMouseInfo(CaptureMouseInfo* mouse) {
  EntryScope scope(this);
  return cursor_.OnCaptureMouse(mouse, Connection());
}

int32_t CEnginController::OnDSTpMouseInfo(CMouseEntry* mouse) {
  EntryScope scope(this);
  if (mouse == nullptr || PresenterDrops("cursor")) return 0;
  return cursor_.OnReceivedMouse(mouse, Connection(), this);
}

int32_t CEnginController::OnDSTpCaches(CCacheEntry** list, int32_t count) {
  EntryScope scope(this);
  if (PresenterDrops("caches")) return 0;
  if (list == nullptr) return 1;
  return rebuild_.OnCaches(list, count);
}

int32_t CEnginController::OnDSTpBlocks(CKeyframeEntry** list, int32_t count) {
  EntryScope scope(this);
  if (PresenterDrops("blocks")) return 0;
  const int32_t result = rebuild_.OnBlocks(list, count, Connection(), this);
  ArmWaitTimer();
  return result;
}

void CEnginController::ArmWaitTimer() {
  if (!rebuild_.IsWaiting() || wait_loop_ != nullptr || stop_pending_) return;
  // Without a run loop the wait still moves on every block message.
  vz::RunLoop* loop = vz::RunLoop::Current();
  if (loop == nullptr) return;
  if (loop->StartTimer(this, 1, kWaitTickMs, [this] { OnWaitTimer(); })) wait_loop_ = loop;
}

void CEnginController::DisarmWaitTimer() {
  if (wait_loop_ == nullptr) return;
  wait_loop_->KillTimer(this, 1);
  wait_loop_ = nullptr;
}

void CEnginController::OnWaitTimer() {
  EntryScope scope(this);
  if (stop_pending_ || !rebuild_.OnWaitTick(Connection(), this)) DisarmWaitTimer();
}

int32_t CEnginController::OnDSTpRequestCaches(CKeyframeEntry** list, int32_t count) {
  EntryScope scope(this);
  // The answer to an attendee's request: a presenter asks for no caches, and
  // drawing "pending" blocks would clear its keyframe table.
  if (PresenterDrops("answer to a cache request")) return 0;
  return rebuild_.OnRequestCaches(list, count, cursor_, this);
}
