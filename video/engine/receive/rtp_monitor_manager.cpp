#include "video/engine/receive/rtp_monitor_manager.h"

#include <new>

#include "common/trace_client.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/rtp/rtcp_packet_tool.h"

VseResult CVseRtpMonitorManager::Create(IRtpPacketOut* out, std::unique_ptr<CVseRtpMonitorManager>* manager) {
  if (manager == nullptr) return VSE_E_INVALIDARG;
  manager->reset(new (std::nothrow) CVseRtpMonitorManager(out));
  if (*manager == nullptr) {
    VZ_LOG_ERROR("no memory for the monitor manager");
    return VSE_E_OUTOFMEMORY;
  }
  return VSE_S_OK;
}

CVseRtpMonitorManager::CVseRtpMonitorManager(IRtpPacketOut* out) : out_(out) {}

CVseRtpMonitorManager::~CVseRtpMonitorManager() {
  std::lock_guard<std::mutex> hold(lock_);
  monitors_.clear();
}

VseResult CVseRtpMonitorManager::CreateMonitor(uint32_t ssrc, CVseRtpMonitor** out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  std::lock_guard<std::mutex> hold(lock_);
  monitors_.erase(ssrc);
  std::unique_ptr<CVseRtpMonitor> monitor(new (std::nothrow) CVseRtpMonitor(ssrc, this));
  if (monitor == nullptr) {
    VZ_LOG_ERROR("no memory for the monitor of ssrc %u", ssrc);
    *out = nullptr;
    return static_cast<VseResult>(-1);
  }
  *out = monitor.get();
  monitors_[ssrc] = std::move(monitor);
  return VSE_S_OK;
}

VseResult CVseRtpMonitorManager::RemoveMonitor(uint32_t ssrc) {
  std::lock_guard<std::mutex> hold(lock_);
  return monitors_.erase(ssrc) == 1 ? VSE_S_OK : static_cast<VseResult>(-1);
}

CVseRtpMonitor* CVseRtpMonitorManager::FindMonitorForTesting(uint32_t ssrc) {
  std::lock_guard<std::mutex> hold(lock_);
  const auto it = monitors_.find(ssrc);
  return it == monitors_.end() ? nullptr : it->second.get();
}

size_t CVseRtpMonitorManager::size_for_testing() {
  std::lock_guard<std::mutex> hold(lock_);
  return monitors_.size();
}

void CVseRtpMonitorManager::SetLocalSsrcForTesting(uint32_t ssrc) {
  std::lock_guard<std::mutex> hold(lock_);
  local_ssrc_ = ssrc;
}

VseResult CVseRtpMonitorManager::OnPacket(CVseRtpMonitor* monitor, const uint8_t* packet, int32_t length,
                                          uint32_t now_ms) {
  if (monitor == nullptr || packet == nullptr || length <= 0) return VSE_E_INVALIDARG;
  std::lock_guard<std::mutex> hold(lock_);
  if (!has_last_feedback_) {
    has_last_feedback_ = true;
    last_feedback_ms_ = now_ms;
    return VSE_S_OK;
  }
  if (static_cast<int32_t>(now_ms - last_feedback_ms_) > static_cast<int32_t>(kFeedbackIntervalMs) &&
      monitor->GetNetworkClass() == 2) {
    SendFeedbackLocked();
    last_feedback_ms_ = now_ms;
  }
  return VSE_S_OK;
}

void CVseRtpMonitorManager::SendFeedbackLocked() {
  if (out_ == nullptr) return;
  const uint32_t now = VZSE_::NowMs();
  uint8_t items[kItemsPerCompound][kItemBytes];
  int sizes[kItemsPerCompound] = {};
  int count = 0;
  for (auto& [ssrc, monitor] : monitors_) {
    if (monitor->GetAnalysedCount() == 0) continue;
    uint8_t block[kItemBytes];
    int32_t block_length = 0;
    uint32_t media_ssrc = 0;
    if (monitor->GetFeedbackBlock(&media_ssrc, block, &block_length, now) != VSE_S_OK) continue;
    int size = kItemBytes;
    if (vz::rtcp::BuildFeedback(vz::rtcp::kTransportFeedback, local_ssrc_, media_ssrc, kFeedbackFormat, block,
                                block_length, items[count], &size) != 0) {
      VZ_LOG_ERROR("feedback of ssrc %u not built", media_ssrc);
      continue;
    }
    sizes[count++] = size;
    if (count == kItemsPerCompound) {
      FlushItems(items, sizes, count);
      count = 0;
    }
  }
  if (count > 0) FlushItems(items, sizes, count);
}

void CVseRtpMonitorManager::FlushItems(uint8_t items[][kItemBytes], const int* sizes, int count) {
  const uint8_t* packets[kItemsPerCompound];
  for (int i = 0; i < count; ++i) packets[i] = items[i];
  uint8_t compound[kCompoundBytes];
  int size = kCompoundBytes;
  if (vz::rtcp::Concatenate(packets, sizes, count, compound, &size) != 0) {
    VZ_LOG_ERROR("%d feedback items do not fit one compound packet", count);
    return;
  }
  out_->SendPacket(compound, size, kPacketKind);
}
