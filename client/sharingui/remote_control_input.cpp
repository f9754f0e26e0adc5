#include "client/sharingui/remote_control_input.h"

#include <cmath>

#include "client/sharingui/remote_keys.h"
#include "common/trace_client.h"
#include "platform/clock.h"
#include "platform/run_loop.h"

namespace {

enum RemoteMouseType : int32_t {
  kMove = 1,
  kWheel = 2,
  kLeftDown = 10,
  kLeftUp = 11,
  kDoubleClick = 12,
  kRightClick = 13,
  kRightUp = 14,
  kLeftClick = 20,
  kDoubleClick2 = 21,
  kRightClickHeld = 22,
};

enum RemoteKeyType : int32_t { kKeyDown = 1, kKeyUp = 2 };

bool IsKnownMouseType(int32_t type) {
  switch (type) {
    case kMove:
    case kWheel:
    case kLeftDown:
    case kLeftUp:
    case kDoubleClick:
    case kDoubleClick2:
    case kRightClick:
    case kRightUp:
    case kLeftClick:
    case kRightClickHeld:
      return true;
    default:
      return false;
  }
}

}  // namespace

CDSRemoteControlInput::CDSRemoteControlInput(IRemoteControlOwner* owner, vz::InputInjector* injector,
                                             Sleeper sleeper)
    : owner_(owner), injector_(injector), sleep_(std::move(sleeper)) {
  if (!sleep_) sleep_ = [](uint32_t ms) { vz::SleepMs(ms); };
}

CDSRemoteControlInput::~CDSRemoteControlInput() { StopWatchdog(); }

std::optional<vz::Point> CDSRemoteControlInput::MapPoint(const MonitorInfo& monitor, const VzRect& shared, int32_t x,
                                                         int32_t y) {
  const float scale = monitor.DpiScale;
  if (!std::isfinite(scale) || scale <= 0.0f) {
    VZ_LOG_ERROR("monitor [%d] has no usable scale", monitor.MonitorId);
    return std::nullopt;
  }
  const int64_t device_x = int64_t{x} + monitor.Rect.left;
  const int64_t device_y = int64_t{y} + monitor.Rect.top;
  if (device_x < shared.left || device_x >= shared.right || device_y < shared.top || device_y >= shared.bottom) {
    return std::nullopt;
  }
  const float screen_x = static_cast<float>(x) / scale + static_cast<float>(monitor.LogicalRect.left);
  const float screen_y = static_cast<float>(y) / scale + static_cast<float>(monitor.LogicalRect.top);
  return vz::Point{static_cast<int>(screen_x), static_cast<int>(screen_y)};
}

void CDSRemoteControlInput::ExecuteRemoteMouseControling(const DSCommandRecord& record) {
  if (owner_ == nullptr || injector_ == nullptr) return;
  const MonitorInfo* monitor = owner_->GetMonitorInfo(record.MouseMonitorId);
  if (monitor == nullptr) return;
  const std::optional<vz::Point> point = MapPoint(*monitor, owner_->GetSharedRect(), record.MouseX, record.MouseY);
  if (!point) return;
  const int32_t type = record.MouseType;
  if (IsKnownMouseType(type)) {
    injector_->MoveTo(*point);
    using vz::MouseButton;
    switch (type) {
      case kWheel:
        injector_->Wheel(record.MouseWParam);
        break;
      case kLeftDown:
        injector_->Button(MouseButton::kLeft, true);
        break;
      case kLeftUp:
        injector_->Button(MouseButton::kLeft, false);
        break;
      case kDoubleClick:
      case kDoubleClick2:
        injector_->Button(MouseButton::kLeft, true);
        injector_->Button(MouseButton::kLeft, false);
        sleep_(kDoubleClickGapMs);
        injector_->Button(MouseButton::kLeft, true);
        injector_->Button(MouseButton::kLeft, false);
        break;
      case kRightClick:
        injector_->Button(MouseButton::kRight, true);
        injector_->Button(MouseButton::kRight, false);
        break;
      case kRightUp:
        injector_->Button(MouseButton::kRight, false);
        break;
      case kLeftClick:
        injector_->Button(MouseButton::kLeft, true);
        sleep_(kClickHoldMs);
        injector_->Button(MouseButton::kLeft, false);
        break;
      case kRightClickHeld:
        injector_->Button(MouseButton::kRight, true);
        sleep_(kClickHoldMs);
        injector_->Button(MouseButton::kRight, false);
        break;
      default:
        break;  // a move only
    }
  }
  // Read back after the display took the events, or the watchdog would see a
  // stale position and pause control at once.
  last_position_ = injector_->PointerPosition();
  ArmWatchdog();
  owner_->CaptureNow();
}

void CDSRemoteControlInput::ExecuteRemoteKeyboardControling(const DSCommandRecord& record) {
  if (owner_ == nullptr || injector_ == nullptr) return;
  const uint8_t received = record.KeyWParam;
  VZ_LOG_ERROR("Receive key [%u]", static_cast<unsigned>(received));
  if (!remote_keys::IsAllowed(received)) return;
  const uint8_t key = remote_keys::Translate(received);
  const std::optional<uint32_t> keysym = remote_keys::KeysymOf(key);
  if (keysym && (record.KeyType == kKeyDown || record.KeyType == kKeyUp)) {
    injector_->Key(*keysym, record.KeyType == kKeyDown);
  }
  owner_->CaptureNow();
}

void CDSRemoteControlInput::ArmWatchdog() {
  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  loop.KillTimer(this, kWatchdogTimer);
  armed_ = loop.StartTimer(this, kWatchdogTimer, kWatchdogMs, [this] { onRemoteControlTimer(); });
}

void CDSRemoteControlInput::StopWatchdog() {
  if (vz::RunLoop* loop = vz::RunLoop::Current(); loop != nullptr) loop->KillTimer(this, kWatchdogTimer);
  armed_ = false;
}

void CDSRemoteControlInput::onRemoteControlTimer() {
  if (injector_ == nullptr) return;
  const vz::Point now = injector_->PointerPosition();
  if (now == last_position_) return;
  VZ_LOG_ERROR("[%d,%d]==[%d, %d] Set to Pause", now.x, now.y, last_position_.x, last_position_.y);
  if (owner_ != nullptr) owner_->SetRemoteControlPaused();
  StopWatchdog();
  resetAllRosterRemoteEvent();
}

void CDSRemoteControlInput::resetAllRosterRemoteEvent() {
  if (injector_ == nullptr) return;
  if (injector_->IsButtonDown(vz::MouseButton::kLeft)) injector_->Button(vz::MouseButton::kLeft, false);
  if (injector_->IsButtonDown(vz::MouseButton::kRight)) injector_->Button(vz::MouseButton::kRight, false);
  for (uint8_t key : remote_keys::kAllowedKeys) {
    const std::optional<uint32_t> keysym = remote_keys::KeysymOf(remote_keys::Translate(key));
    if (!keysym || !injector_->IsKeyDown(*keysym)) continue;
    VZ_LOG_ERROR("this key [%d] is down.", key);
    injector_->Key(*keysym, false);
    VZ_LOG_ERROR("this key [%d] is down. set to up!- > [0x%04X]", key, injector_->IsKeyDown(*keysym) ? 0x8000u : 0u);
  }
}
