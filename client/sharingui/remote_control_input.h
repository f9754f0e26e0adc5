#pragma once
// Remote control's input: the mouse and key events of the participant who
// holds control, turned into real input on the presenter's screen, and the
// watchdog that pauses control as soon as the local user moves the mouse.
//
// A remote point is relative to one of the presenter's monitors in device
// pixels; it is dropped when it lies outside the shared rectangle, and
// mapped onto the screen through the monitor's scale. A monitor whose scale
// is not a positive finite number is refused (such records come from the
// wire without a scale), never divided by.
//
// UI thread only. The clicks' holds (100 ms) and the double click's gap
// (20 ms) block the thread, as they must for the target to see a click.
// Remote control works where the display takes injected input (X11).
#include <cstdint>
#include <functional>
#include <optional>

#include "contracts/capture_records.h"
#include "contracts/ds_command_record.h"
#include "platform/ui/input_injector.h"

// What the input needs of the sharing UI around it.
class IRemoteControlOwner {
 public:
  // The monitor record of the current sharing info, or null.
  virtual const MonitorInfo* GetMonitorInfo(int32_t monitor_id) = 0;
  // The shared rectangle (device pixels) of the current sharing info.
  virtual VzRect GetSharedRect() = 0;
  virtual void CaptureNow() = 0;
  // Tells the controlling participant that control is paused.
  virtual void SetRemoteControlPaused() = 0;

 protected:
  ~IRemoteControlOwner() = default;
};

class CDSRemoteControlInput {
 public:
  static constexpr uintptr_t kWatchdogTimer = 275;
  static constexpr uint32_t kWatchdogMs = 1000;
  static constexpr uint32_t kClickHoldMs = 100;
  static constexpr uint32_t kDoubleClickGapMs = 20;

  using Sleeper = std::function<void(uint32_t ms)>;

  // The owner and injector must outlive this object; no sleeper: real sleeps.
  CDSRemoteControlInput(IRemoteControlOwner* owner, vz::InputInjector* injector, Sleeper sleeper = nullptr);
  ~CDSRemoteControlInput();
  CDSRemoteControlInput(const CDSRemoteControlInput&) = delete;
  CDSRemoteControlInput& operator=(const CDSRemoteControlInput&) = delete;

  void ExecuteRemoteMouseControling(const DSCommandRecord& record);
  void ExecuteRemoteKeyboardControling(const DSCommandRecord& record);
  // The watchdog's tick (also run by its timer).
  void onRemoteControlTimer();
  // Releases the left and right buttons and every allowed key that is down.
  void resetAllRosterRemoteEvent();
  // Stops the watchdog (the session's clean-up).
  void StopWatchdog();

  bool IsWatchdogArmedForTesting() const { return armed_; }
  vz::Point last_position_for_testing() const { return last_position_; }

  // The screen point of a remote point, when it is inside the shared area
  // of a usable monitor.
  static std::optional<vz::Point> MapPoint(const MonitorInfo& monitor, const VzRect& shared, int32_t x, int32_t y);

 private:
  void ArmWatchdog();

  IRemoteControlOwner* owner_;
  vz::InputInjector* injector_;
  Sleeper sleep_;
  vz::Point last_position_;
  bool armed_ = false;
};
