#include "client/annotation/annotation_layer.h"

#include "client/annotation/annotation_painter.h"

void CAnnotationLayer::Damage(const vz::Rect& area) {
  if (area.IsEmpty()) return;
  const vz::Rect reach = AnnotationPaintReach(area);
  damage_ = damage_.IsEmpty() ? reach : damage_.Union(reach);
}

void CAnnotationLayer::DamageAll() {
  damageAll_ = true;
  onTop_.clear();
}

void CAnnotationLayer::AddedOnTop(int32_t element_id) {
  if (!damageAll_) onTop_.push_back(element_id);
}

bool CAnnotationLayer::TailIsPending(const CDrawObjects& objects) const {
  const int32_t first = objects.count() - static_cast<int32_t>(onTop_.size());
  if (first < 0) return false;
  for (size_t i = 0; i < onTop_.size(); ++i) {
    if (objects.at(first + static_cast<int32_t>(i))->elementId != onTop_[i]) return false;
  }
  return true;
}

void CAnnotationLayer::Paint(vz::Canvas& canvas, const CDrawObjects& objects) {
  const vz::Size size = canvas.size();
  if (image_.size() != size) {
    image_ = vz::Image(size.width, size.height);
    DamageAll();
  }
  if (image_.IsEmpty()) {
    elementPaints_ += static_cast<uint64_t>(PaintAnnotationElements(canvas, objects));
    return;
  }
  const vz::Rect whole{0, 0, size.width, size.height};
  std::unique_ptr<vz::Canvas> kept = vz::CreateImageCanvas(image_);
  if (!onTop_.empty()) {
    const int32_t first = objects.count() - static_cast<int32_t>(onTop_.size());
    if (!TailIsPending(objects)) {
      damageAll_ = true;  // not on top any more: a removal came unannounced
    } else if (damageAll_ || !damage_.IsEmpty()) {
      // Something under them changed too: they are painted with it.
      for (int32_t i = first; i < objects.count(); ++i) Damage(objects.at(i)->getBounds());
    } else {
      for (int32_t i = first; i < objects.count(); ++i) {
        PaintAnnotationElement(*kept, *objects.at(i));
        ++elementPaints_;
      }
    }
    onTop_.clear();
  }
  const vz::Rect redo = damageAll_ ? whole : damage_.Intersect(whole);
  damageAll_ = false;
  damage_ = {};
  if (!redo.IsEmpty()) {
    kept->Save();
    kept->ClipRect(redo);
    elementPaints_ += static_cast<uint64_t>(PaintAnnotationElements(*kept, objects));
    kept->Restore();
  }
  const vz::Rect area = canvas.ClipBounds().Intersect(whole);
  if (area.IsEmpty()) return;
  canvas.ClearRect(area, 0x00000000);
  canvas.DrawImage(image_, 0, 0);
}
