#include "capture/indicators/indicator_controller.h"

#include <algorithm>

#include "common/trace_client.h"

namespace vzgrab {

CIndicatorController::CIndicatorController(IndicatorHost& host, vz::WindowSystem* system)
    : host_(host), system_(system) {}

CIndicatorController::~CIndicatorController() = default;

vz::WindowSystem* CIndicatorController::System() const {
  return system_ != nullptr ? system_ : vz::WindowSystem::Current();
}

void CIndicatorController::ShowMonitorFrames(const std::vector<MonitorInfo>& captured, uint32_t header_bg_color) {
  VZ_LOG("monitor frames: %zu monitors", captured.size());
  window_frames_.clear();
  vz::WindowSystem* system = System();
  if (system == nullptr) {
    monitor_frames_.clear();
    VZ_LOG_ERROR("no window system, no frames");
    return;
  }
  std::vector<std::unique_ptr<CIndicatorFrame>> kept;
  for (const MonitorInfo& monitor : captured) {
    auto it = std::find_if(monitor_frames_.begin(), monitor_frames_.end(),
                           [&](const auto& f) { return f && f->monitor_id() == monitor.MonitorId; });
    std::unique_ptr<CIndicatorFrame> frame;
    if (it != monitor_frames_.end()) {
      frame = std::move(*it);
      frame->SetRecords(monitor, nullptr, header_bg_color);
      frame->SetDim(true);
    } else {
      frame = std::make_unique<CIndicatorFrame>(*system, host_, monitor, nullptr, header_bg_color);
    }
    frame->Build();
    kept.push_back(std::move(frame));
  }
  monitor_frames_ = std::move(kept);  // frames of monitors no longer captured go here
}

void CIndicatorController::ShowWindowFrames(const std::vector<SharedWindowFrame>& shared,
                                            uint32_t header_bg_color) {
  VZ_LOG("window frames: %zu windows", shared.size());
  monitor_frames_.clear();
  vz::WindowSystem* system = System();
  if (system == nullptr) {
    window_frames_.clear();
    VZ_LOG_ERROR("no window system, no frames");
    return;
  }
  std::vector<std::unique_ptr<CIndicatorFrame>> kept;
  for (const SharedWindowFrame& entry : shared) {
    if (entry.window.Window == 0) continue;
    auto it = std::find_if(window_frames_.begin(), window_frames_.end(),
                           [&](const auto& f) { return f && f->shared_window() == entry.window.Window; });
    std::unique_ptr<CIndicatorFrame> frame;
    if (it != window_frames_.end()) {
      frame = std::move(*it);
      frame->SetRecords(entry.monitor, &entry.window, header_bg_color);
      frame->SetDim(true);
    } else {
      frame = std::make_unique<CIndicatorFrame>(*system, host_, entry.monitor, &entry.window, header_bg_color);
    }
    frame->Build();
    kept.push_back(std::move(frame));
  }
  window_frames_ = std::move(kept);  // frames of windows no longer shared go here
}

void CIndicatorController::DestroyAllIndictorFrames() {
  VZ_LOG("destroy frames: %zu monitor, %zu window", monitor_frames_.size(), window_frames_.size());
  monitor_frames_.clear();
  window_frames_.clear();
}

void CIndicatorController::OnRefreshDone(const std::vector<VzRect>& covered) {
  for (auto& frame : monitor_frames_) frame->SetDim(false);
  for (auto& frame : window_frames_) {
    frame->SetDim(false);
    frame->RebuildShadow(covered);
  }
}

}  // namespace vzgrab
