#pragma once
// What every draw shares: the effect flags, the aspect mode, the
// background and the overlay table. Overlays are only kept (the renderer
// sets none); no draw paints them yet. Fixed answers for operations a
// simple draw does not need. Under the renderer's lock like every draw.
#include <map>

#include "video/devices/render/video_draw.h"

class CVideoDrawBase : public IVideoDraw {
 public:
  ~CVideoDrawBase() override;

  int32_t IsFourCCSupported(uint32_t fourcc) override { return fourcc == kFourCCRgb ? 1 : 0; }
  int32_t GetVAType() override { return 0; }
  int32_t VADraw(int32_t, const VASurfaceDesc*, const Rect&, const Rect&) override { return 0; }
  int32_t SetOverlay(int32_t id, const OverlayDesc& overlay) override;
  int32_t RemoveOverlay(int32_t id) override;
  int32_t SetBackground(int32_t type, uint32_t value, const void* bitmap) override;
  void SetEffectFlags(uint32_t flags) override { effect_flags_ = flags; }
  int32_t UpdateDrawTargetRectangle(const Rect&) override { return 1; }
  void WindowThreadAction() override {}
  int32_t NeedsWindowThread() override { return 0; }
  void SetMirror(bool mirror) override;

  uint32_t effect_flags() const { return effect_flags_; }
  int32_t aspect_mode() const { return aspect_mode_; }
  uint32_t background_colour() const { return bk_.value; }  // COLORREF
  // True while a source-side overlay change has not been drawn.
  bool picture_stale_for_testing() const { return picture_stale_; }
  size_t overlay_count_for_testing() const { return overlays_.size(); }
  // Whether the overlay under `id` still has its prepared image.
  bool overlay_prepared_for_testing(int32_t id) const;

 protected:
  struct Background {
    int32_t type = 0;      // 0 solid colour, 1 bitmap
    uint32_t value = 0;    // COLORREF for type 0
    const void* bitmap = nullptr;
    void* pRef = nullptr;  // prepared object of a derived draw
  };
  struct OverlayEntry {
    OverlayDesc desc;
    void* prepared = nullptr;  // prepared image of a derived draw
    int32_t width = 0;
    int32_t height = 0;
  };

  // A derived draw frees what it prepared (background object, overlay
  // image); the base only forgets the pointer.
  virtual void ReleasePrepared(void* /*prepared*/) {}
  void ClearPictureStale() { picture_stale_ = false; }
  void MarkPreparedForTesting(int32_t id, void* prepared);
  Background& background() { return bk_; }

  uint32_t effect_flags_ = 0;
  int32_t aspect_mode_ = 1;  // keep the picture's aspect ratio (the only mode)

 private:
  Background bk_;
  std::map<int32_t, OverlayEntry> overlays_;
  bool picture_stale_ = false;
};
