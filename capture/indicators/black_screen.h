#pragma once
// The blank-screen mode: while it is on, a session with a primary surface
// is held on every display device that supports overlays; it is rebuilt
// when its surfaces are lost (after a desktop change) and everything is
// released, overlays hidden, when the mode ends. The capture itself goes
// on unchanged. UI thread.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "capture/indicators/overlay_session.h"

namespace vzgrab {

inline constexpr int kMaxOverlayScreens = 16;

class CBlackScreen {
 public:
  explicit CBlackScreen(std::unique_ptr<OverlaySession> session);
  ~CBlackScreen();
  CBlackScreen(const CBlackScreen&) = delete;
  CBlackScreen& operator=(const CBlackScreen&) = delete;

  // Builds the set: 1 when it is built now; 0 when an intact set is already
  // there (nothing is done) or building failed (logged).
  int32_t InitDD();
  // Hides the overlays (where an entry has both an overlay and a primary
  // surface), releases every entry and unloads the library; 1 when the
  // library was unloaded, 0 when it was not loaded.
  int32_t Release();

  int entry_count_for_testing() const { return count_; }
  const OverlayDevice& device_for_testing(int index) const { return entries_[static_cast<size_t>(index)].device; }

 private:
  struct Entry {
    OverlayDevice device;
    bool object = false;
    bool primary = false;
    bool overlay = false;
  };
  bool HaveIntactSurfaces();
  void ReleaseEntries();

  std::unique_ptr<OverlaySession> session_;
  std::array<Entry, kMaxOverlayScreens> entries_{};
  int count_ = 0;
  bool loaded_ = false;
};

// The mode as the capture interface offers it.
class CBlankScreenMode {
 public:
  using SessionFactory = std::function<std::unique_ptr<OverlaySession>()>;
  explicit CBlankScreenMode(SessionFactory make_session = CreateDisplayOverlaySession);
  ~CBlankScreenMode();

  // On: makes the set when absent and returns InitDD's result. Off: frees
  // it; 1 when one existed, else 0.
  int32_t SetBlankScreenMode(int32_t on);
  // 1 while the mode is on and its set exists, also when building it failed.
  int32_t IsBlankScreenActive();
  // The desktop changed: a lost set is rebuilt while the mode is on.
  void OnDesktopChanged();
  // Sharing stopped: the set is freed (the mode value stays as it was given).
  void Stop();
  CBlackScreen* screen_for_testing() const { return screen_.get(); }

 private:
  SessionFactory make_session_;
  int32_t mode_ = 0;
  std::unique_ptr<CBlackScreen> screen_;
};

}  // namespace vzgrab
