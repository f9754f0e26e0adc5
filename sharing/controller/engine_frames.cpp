// The engine's sharing info, monitor frames, tiles and cursor: the capture's
// and the connection's records turned into frames, messages and client
// callbacks.
#include <cstring>

#include "common/trace_client.h"
#include "platform/text.h"
#include "sharing/controller/engine_controller.h"

namespace {

constexpr uint32_t kFrameGrey = 0xff606060;
// The capture fills at most 16 of the 17 monitor slots.
constexpr int32_t kMaxSharedMonitors = kMonitorListCapacity - 1;

}  // namespace

int32_t CEnginController::OnDSKeSharingInfo(SharingInfo* info) {
  EntryScope scope(this);
  if (info == nullptr) return 0;
  VZ_LOG("\n\n------------ SHARING INFO ------------\n");
  if (info->MonitorCount < 0 || info->MonitorCount > kMaxSharedMonitors) {
    VZ_LOG_ERROR("monitor count [%d] refused", info->MonitorCount);
    return 0;
  }
  for (int32_t i = 0; i < info->MonitorCount; ++i) info->Monitors[i].BackgroundColor = kFrameGrey;
  if (OnDSTpSharingInfo(info) == 0) return 0;
  if (IDSTp* tp = Connection()) tp->DSSendSharingInfo(sharing_info_);
  return 1;
}

int32_t CEnginController::OnDSTpSharingInfo(SharingInfo* info) {
  EntryScope scope(this);
  if (info == nullptr) return 0;
  if (info->MonitorCount < 0 || info->MonitorCount > kMaxSharedMonitors || info->ApplicationCount < 0 ||
      info->ApplicationCount > kApplicationListCapacity) {
    VZ_LOG_ERROR("sharing info with [%d] monitors and [%d] applications refused", info->MonitorCount,
                 info->ApplicationCount);
    return 0;
  }
  VZ_LOG("MEM [%.02f]", 0.0);
  keyframes_.Reset();
  ResetMouse();
  std::memcpy(sharing_info_, info, sizeof(SharingInfo));
  const VzRect& rc = sharing_info_->SharedRect;
  VZ_LOG("DSKE : capture mode [%d] block [(%d, %d)] all monitors(%d) rect [{%d, %d, %d, %d}(%d, %d)] all "
         "applications(%d)",
         sharing_info_->CaptureMode, sharing_info_->BlockWidth, sharing_info_->BlockHeight,
         sharing_info_->MonitorCount, rc.left, rc.top, rc.right, rc.bottom, rc.right - rc.left, rc.bottom - rc.top,
         sharing_info_->ApplicationCount);
  SyncMonitorFrames();
  for (int32_t i = 0; i < sharing_info_->ApplicationCount; ++i) {
    const ApplicationInfo& app = sharing_info_->Applications[i];
    if (app.Shared != 0) VZ_LOG("DSKE : Window handle: [0x%08X] Name [%s]", app.Window, vz::Utf16ToUtf8(app.Title).c_str());
  }
  OnSharingInfo(sharing_info_);
  return 1;
}

// Monitor frames arrive with the frame classes; until then no frame exists.
void CEnginController::ReleaseMonitorFrames() { monitors_.RemoveAll(); }

void CEnginController::SyncMonitorFrames() {}

int32_t CEnginController::OnDSKeScreenData(CaptureScreenData* data) {
  EntryScope scope(this);
  if (data == nullptr) return 0;
  VZ_LOG_ERROR("wrong moinitor [%d]", data->MonitorId);
  return 0;
}

int32_t CEnginController::OnDSKeMouseInfo(CaptureMouseInfo* /*mouse*/) {
  EntryScope scope(this);
  return 0;
}

int32_t CEnginController::OnDSTpMouseInfo(CMouseEntry* /*mouse*/) {
  EntryScope scope(this);
  return 1;
}

int32_t CEnginController::OnDSTpBlocks(CKeyframeEntry** /*list*/, int32_t /*count*/) {
  EntryScope scope(this);
  return 1;
}

int32_t CEnginController::OnDSTpRequestCaches(CKeyframeEntry** /*list*/, int32_t /*count*/) {
  EntryScope scope(this);
  return 1;
}

int32_t CEnginController::AttendeeCheckPendingKeyframe() { return 1; }

int32_t CEnginController::DeliverCursor() { return 0; }
