#include "capture/indicators/black_screen.h"

#include <algorithm>

#include "common/trace_client.h"

namespace vzgrab {

namespace {

constexpr size_t kDescriptionUnits = 31;  // 32 with the terminator

bool IsZeroGuid(const std::array<uint8_t, 16>& guid) {
  return std::all_of(guid.begin(), guid.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace

CBlackScreen::CBlackScreen(std::unique_ptr<OverlaySession> session) : session_(std::move(session)) {}

CBlackScreen::~CBlackScreen() { Release(); }

bool CBlackScreen::HaveIntactSurfaces() {
  return count_ > 0 && entries_[0].primary && !session_->IsPrimaryLost(0);
}

int32_t CBlackScreen::InitDD() {
  if (!session_) return 0;
  // An intact set is left as it is: nothing was done, 0.
  if (HaveIntactSurfaces()) return 0;
  VZ_LOG_WARN("The overlay surface is lost. Start to reconstruct.");
  Release();
  if (!session_->Load()) {
    VZ_LOG_ERROR("Load the overlay library failed");
    return 0;
  }
  loaded_ = true;
  std::optional<std::vector<OverlayDevice>> devices = session_->Enumerate();
  if (!devices) {
    VZ_LOG_ERROR("Enumerate DD screens: %d", count_);
    return 0;
  }
  for (OverlayDevice& device : *devices) {
    if (device.description.size() > kDescriptionUnits) device.description.resize(kDescriptionUnits);
    // The primary driver's entry gives way to the first real device.
    const bool replace = count_ == 1 && IsZeroGuid(entries_[0].device.guid);
    if (!replace && count_ == kMaxOverlayScreens) break;
    Entry& entry = entries_[static_cast<size_t>(replace ? 0 : count_)];
    entry = Entry{};
    entry.device = std::move(device);
    if (!replace) ++count_;
  }
  VZ_LOG("Enumerate DD screens: %d", count_);
  if (!session_->CanCreateObjects()) {
    VZ_LOG_ERROR("Get DD interface.");
    return 0;
  }
  for (int i = 0; i < count_; ++i) {
    Entry& entry = entries_[static_cast<size_t>(i)];
    if (const int32_t error = session_->CreateObject(i, entry.device); error != 0) {
      VZ_LOG_ERROR("Create DD object:%x", static_cast<unsigned>(error));
      return 0;
    }
    entry.object = true;
    if (const int32_t error = session_->SetNormalCooperation(i); error != 0) {
      VZ_LOG_ERROR("Set coop level:%x", static_cast<unsigned>(error));
      return 0;
    }
    if (!session_->SupportsOverlay(i)) {
      VZ_LOG_ERROR("The driver doesn't support overlay");
      return 0;
    }
  }
  for (int i = 0; i < count_; ++i) {
    if (!session_->CreatePrimary(i)) {
      VZ_LOG_ERROR("Create primary surface");
      return 0;
    }
    entries_[static_cast<size_t>(i)].primary = true;
  }
  return 1;
}

void CBlackScreen::ReleaseEntries() {
  for (int i = 0; i < count_; ++i) {
    Entry& entry = entries_[static_cast<size_t>(i)];
    if (entry.overlay && entry.primary) session_->HideOverlay(i);
    if (entry.object || entry.primary || entry.overlay) session_->ReleaseEntry(i);
    entry = Entry{};
  }
  count_ = 0;
}

int32_t CBlackScreen::Release() {
  if (!session_) return 0;
  ReleaseEntries();
  if (!loaded_) return 0;
  loaded_ = false;
  return session_->Unload() ? 1 : 0;
}

CBlankScreenMode::CBlankScreenMode(SessionFactory make_session) : make_session_(std::move(make_session)) {}

CBlankScreenMode::~CBlankScreenMode() = default;

int32_t CBlankScreenMode::SetBlankScreenMode(int32_t on) {
  mode_ = on;  // the capture interface logs the call itself
  if (on != 0) {
    if (!screen_) screen_ = std::make_unique<CBlackScreen>(make_session_ ? make_session_() : nullptr);
    return screen_->InitDD();
  }
  if (!screen_) return 0;
  screen_.reset();
  return 1;
}

// On while asked for and its set exists, built or not: a failed build still
// leaves the mode on (the caller heard the failure from SetBlankScreenMode).
int32_t CBlankScreenMode::IsBlankScreenActive() { return mode_ != 0 && screen_ ? 1 : 0; }

void CBlankScreenMode::OnDesktopChanged() {
  if (mode_ != 0 && screen_) screen_->InitDD();
}

void CBlankScreenMode::Stop() { screen_.reset(); }

}  // namespace vzgrab
