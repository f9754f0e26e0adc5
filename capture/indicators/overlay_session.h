#pragma once
// The port of the blank-screen mode: a session with the display driver's
// overlay facility on every display device (the driver library, its device
// list, one driver object in normal cooperation and one primary surface per
// device, and the overlay of each). Entries are addressed by their index in
// the list Enumerate gave. UI thread.
//
// The display backend answers as X11 does: the devices are the display's
// monitors, objects and primary surfaces are plain bookkeeping that is never
// lost, and no device supports overlays, because X11 has no counterpart of
// overlay surfaces.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vzgrab {

struct OverlayDevice {
  std::array<uint8_t, 16> guid{};  // all zero: the primary display driver
  std::u16string description;      // at most 31 units are kept
  uint64_t monitor = 0;
};

class OverlaySession {
 public:
  virtual ~OverlaySession() = default;
  // Loads the driver library; false when it cannot be loaded.
  virtual bool Load() = 0;
  // Unloads it; false when it was not loaded or the unload failed.
  virtual bool Unload() = 0;
  // The display devices in the driver's order; nothing when listing failed.
  virtual std::optional<std::vector<OverlayDevice>> Enumerate() = 0;
  // Whether the library offers object creation at all.
  virtual bool CanCreateObjects() = 0;
  // 0 on success, else the driver's error code.
  virtual int32_t CreateObject(int index, const OverlayDevice& device) = 0;
  virtual int32_t SetNormalCooperation(int index) = 0;
  virtual bool SupportsOverlay(int index) = 0;
  virtual bool CreatePrimary(int index) = 0;
  virtual bool IsPrimaryLost(int index) = 0;
  virtual void HideOverlay(int index) = 0;
  // Releases the entry's overlay, primary surface and object.
  virtual void ReleaseEntry(int index) = 0;
};

// The backend of this display (see above).
std::unique_ptr<OverlaySession> CreateDisplayOverlaySession();

}  // namespace vzgrab
