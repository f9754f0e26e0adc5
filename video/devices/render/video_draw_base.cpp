#include "video/devices/render/video_draw_base.h"

CVideoDrawBase::~CVideoDrawBase() {
  // A derived draw has released its prepared objects in its UnInit; what is
  // left is only forgotten here (its destructor has already run).
  overlays_.clear();
}

int32_t CVideoDrawBase::SetOverlay(int32_t id, const OverlayDesc& overlay) {
  auto it = overlays_.find(id);
  if (it != overlays_.end()) {
    OverlayEntry& entry = it->second;
    const bool same_image = entry.desc.handle == overlay.handle && entry.desc.bmptype == overlay.bmptype &&
                            entry.desc.transparent == overlay.transparent;
    if (!same_image && entry.prepared != nullptr) {
      ReleasePrepared(entry.prepared);
      entry.prepared = nullptr;
      entry.width = entry.height = 0;
    }
    if ((entry.desc.flags | overlay.flags) & kOverlaySourceSide) picture_stale_ = true;
    entry.desc = overlay;
    return 1;
  }
  overlays_[id].desc = overlay;
  if (overlay.flags & kOverlaySourceSide) picture_stale_ = true;
  return 1;
}

int32_t CVideoDrawBase::RemoveOverlay(int32_t id) {
  auto it = overlays_.find(id);
  if (it == overlays_.end()) return 0;
  if (it->second.desc.flags & kOverlaySourceSide) picture_stale_ = true;
  if (it->second.prepared != nullptr) ReleasePrepared(it->second.prepared);
  overlays_.erase(it);
  return 1;
}

int32_t CVideoDrawBase::SetBackground(int32_t type, uint32_t value, const void* bitmap) {
  if (bk_.pRef != nullptr) {
    ReleasePrepared(bk_.pRef);
    bk_.pRef = nullptr;
  }
  bk_.type = type;
  bk_.value = value;
  bk_.bitmap = bitmap;
  return 1;
}

void CVideoDrawBase::SetMirror(bool mirror) {
  if (mirror) {
    effect_flags_ |= kEffectMirror;
  } else {
    effect_flags_ &= ~kEffectMirror;
  }
}

bool CVideoDrawBase::overlay_prepared_for_testing(int32_t id) const {
  auto it = overlays_.find(id);
  return it != overlays_.end() && it->second.prepared != nullptr;
}

void CVideoDrawBase::MarkPreparedForTesting(int32_t id, void* prepared) {
  auto it = overlays_.find(id);
  if (it != overlays_.end()) it->second.prepared = prepared;
}
