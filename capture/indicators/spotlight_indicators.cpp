#include "capture/indicators/spotlight_indicators.h"

#include "common/trace_client.h"
#include "platform/run_loop.h"

namespace vzgrab {

namespace {
constexpr uintptr_t kPointerTimerId = 1;
}

CSpotlightIndicators::CSpotlightIndicators(IndicatorHost& host, IndicatorImages& images, vz::WindowSystem* system)
    : host_(host), images_(images), system_(system) {}

CSpotlightIndicators::~CSpotlightIndicators() {
  *alive_ = false;
  vz::RunLoop::ForCurrentThread().KillTimers(this);
}

vz::WindowSystem* CSpotlightIndicators::System() const {
  return system_ != nullptr ? system_ : vz::WindowSystem::Current();
}

int32_t CSpotlightIndicators::ShowPointerWindow(int32_t show) {
  if (show != 0 && !pointer_) {
    vz::WindowSystem* system = System();
    if (system == nullptr) {
      VZ_LOG_ERROR("no window system, no pointer window");
      return 1;
    }
    std::optional<vz::Image> picture = images_.LoadPng(kPointerImageId);
    if (picture) pointer_ = CSpotlightWindow::Create(*system, std::move(*picture), system->PointerPosition());
    if (!pointer_) return 1;
    vz::RunLoop::ForCurrentThread().StartTimer(this, kPointerTimerId, kPointerTickMs, [this] { PointerTick(); });
  } else if (show == 0 && pointer_) {
    vz::RunLoop::ForCurrentThread().KillTimer(this, kPointerTimerId);
    pointer_.reset();
  }
  return 1;
}

void CSpotlightIndicators::PointerTick() {
  vz::WindowSystem* system = System();
  if (!pointer_ || system == nullptr) return;
  const vz::Point cursor = system->PointerPosition();
  const bool inside = host_.IsPointShared(VzPoint{cursor.x, cursor.y});
  pointer_->CenterOn(cursor);
  pointer_->SetAlphaPercent(inside ? 100 : 25);
}

int32_t CSpotlightIndicators::ShowArrowIndicator(const char16_t* label, uint32_t colorref, const VzPoint* point) {
  vz::WindowSystem* system = System();
  if (system == nullptr) {
    VZ_LOG_ERROR("no window system, no arrow");
    return 1;
  }
  if (!arrow_) {
    std::shared_ptr<bool> alive = alive_;
    auto clicked = [this, alive] {
      if (arrow_clicked_) {
        arrow_clicked_();
        return;
      }
      vz::RunLoop::ForCurrentThread().Post([this, alive] {
        if (*alive) DestroyArrow();
      });
    };
    arrow_ = CArrowIndicator::Create(*system, images_, system->PointerPosition(), clicked);
    if (!arrow_) return 1;
  }
  if (point != nullptr) {
    arrow_->SetText(label != nullptr ? std::u16string(label) : std::u16string(), colorref);
    arrow_->CenterOn(vz::Point{point->x, point->y});
    arrow_->SetAlphaPercent(100);
  }
  return 1;
}

int32_t CSpotlightIndicators::SetArrowIndicatorText(const char16_t* label, uint32_t colorref) {
  if (arrow_) arrow_->SetText(label != nullptr ? std::u16string(label) : std::u16string(), colorref);
  return 1;
}

void CSpotlightIndicators::DestroyArrow() { arrow_.reset(); }

uint64_t CSpotlightIndicators::ArrowWindowId() const {
  return arrow_ && arrow_->window() ? arrow_->window()->NativeId() : 0;
}

}  // namespace vzgrab
