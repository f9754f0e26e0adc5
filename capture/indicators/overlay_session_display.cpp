// The overlay session on X11: no overlay surfaces exist, so every device
// reports none; the rest is bookkeeping that never fails.
#include "capture/indicators/overlay_session.h"
#include "platform/text.h"
#include "platform/ui/window.h"

namespace vzgrab {

namespace {

class DisplayOverlaySession : public OverlaySession {
 public:
  bool Load() override {
    loaded_ = true;
    return true;
  }
  bool Unload() override {
    const bool was = loaded_;
    loaded_ = false;
    return was;
  }
  std::optional<std::vector<OverlayDevice>> Enumerate() override {
    std::vector<OverlayDevice> devices;
    vz::WindowSystem* system = vz::WindowSystem::Current();
    if (system != nullptr) {
      uint64_t n = 0;
      for (const vz::MonitorArea& monitor : system->Monitors()) {
        OverlayDevice device;
        device.description = vz::Utf8ToUtf16(monitor.name);
        device.monitor = ++n;
        // Every device but the first gets a GUID of its own, as secondary
        // display drivers have one.
        if (n > 1) device.guid[0] = static_cast<uint8_t>(n);
        devices.push_back(std::move(device));
      }
    }
    if (devices.empty()) {
      OverlayDevice device;
      device.description = u"display";
      device.monitor = 1;
      devices.push_back(std::move(device));
    }
    return devices;
  }
  bool CanCreateObjects() override { return true; }
  int32_t CreateObject(int, const OverlayDevice&) override { return 0; }
  int32_t SetNormalCooperation(int) override { return 0; }
  bool SupportsOverlay(int) override { return false; }
  bool CreatePrimary(int) override { return true; }
  bool IsPrimaryLost(int) override { return false; }
  void HideOverlay(int) override {}
  void ReleaseEntry(int) override {}

 private:
  bool loaded_ = false;
};

}  // namespace

std::unique_ptr<OverlaySession> CreateDisplayOverlaySession() { return std::make_unique<DisplayOverlaySession>(); }

}  // namespace vzgrab
