#pragma once
// The overlay's painted elements, kept: an image of the drawing model that
// is painted again only where an element changed, so that a repaint of the
// window (an expose, a window moved over it, a tool's stroke elsewhere)
// copies pixels instead of stroking every element again. An element just
// added on top is painted over what is kept, and nothing under it again.
//
// The owner tells every change of the model (Damage, AddedOnTop) before the
// next Paint; Paint brings the image up to date and copies the canvas's clip
// area from it. The pixels are those PaintAnnotationElements gives.
// UI thread only.
#include <cstdint>
#include <vector>

#include "client/annotation/draw_objects.h"
#include "platform/ui/canvas.h"
#include "platform/ui/image.h"

class CAnnotationLayer {
 public:
  // The model changed within `area` (the damage rectangle it returned,
  // window coordinates; empty changes nothing).
  void Damage(const vz::Rect& area);
  // The model's last element, with this id, was just added.
  void AddedOnTop(int32_t element_id);

  // Paints the canvas's clip area (the canvas is the window's, of the
  // window's size) with the model's elements over transparent pixels.
  // Without room for the kept image (a size the image refuses) the elements
  // are painted straight onto the canvas.
  void Paint(vz::Canvas& canvas, const CDrawObjects& objects);

  // Element paints into the kept image (or straight onto a canvas) so far.
  uint64_t elementPaintsForTesting() const { return elementPaints_; }

 private:
  // Everything is to be painted again (a new size).
  void DamageAll();
  bool TailIsPending(const CDrawObjects& objects) const;

  vz::Image image_;
  vz::Rect damage_;
  bool damageAll_ = true;
  std::vector<int32_t> onTop_;  // ids, oldest first
  uint64_t elementPaints_ = 0;
};
