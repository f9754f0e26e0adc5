// The canvas over cairo image surfaces, text through pango.
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>

#include "platform/text.h"
#include "platform/ui/canvas.h"
#include "platform/ui/pango_text.h"

namespace vz {

namespace {

void SetSourceColor(cairo_t* cr, Color color) {
  cairo_set_source_rgba(cr, ColorR(color) / 255.0, ColorG(color) / 255.0, ColorB(color) / 255.0,
                        ColorA(color) / 255.0);
}

cairo_line_cap_t CairoCap(LineCap cap) {
  switch (cap) {
    case LineCap::kRound:
      return CAIRO_LINE_CAP_ROUND;
    case LineCap::kSquare:
      return CAIRO_LINE_CAP_SQUARE;
    case LineCap::kButt:
      break;
  }
  return CAIRO_LINE_CAP_BUTT;
}

void RoundRectPath(cairo_t* cr, double x, double y, double w, double h, double r) {
  r = std::max(0.0, std::min(r, std::min(w, h) / 2));
  if (r <= 0) {
    cairo_rectangle(cr, x, y, w, h);
    return;
  }
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void EllipsePath(cairo_t* cr, double x, double y, double w, double h) {
  if (w <= 0 || h <= 0) return;
  cairo_save(cr);
  cairo_translate(cr, x + w / 2, y + h / 2);
  cairo_scale(cr, w / 2, h / 2);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
}

void AddPath(cairo_t* cr, const Path& path) {
  cairo_new_path(cr);
  for (const Path::Element& e : path.elements()) {
    switch (e.op) {
      case Path::Op::kMove:
        cairo_move_to(cr, e.x1, e.y1);
        break;
      case Path::Op::kLine:
        cairo_line_to(cr, e.x1, e.y1);
        break;
      case Path::Op::kCurve:
        cairo_curve_to(cr, e.x1, e.y1, e.x2, e.y2, e.x3, e.y3);
        break;
      case Path::Op::kClose:
        cairo_close_path(cr);
        break;
    }
  }
}

// A cairo surface over an image's pixels, for reading (never written).
cairo_surface_t* SourceSurface(const Image& image) {
  return cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(image.data())), CAIRO_FORMAT_ARGB32, image.width(),
      image.height(), image.width() * 4);
}

class CairoCanvas : public Canvas {
 public:
  explicit CairoCanvas(Image& target) : target_(target) {
    surface_ = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(target.data()),
                                                   CAIRO_FORMAT_ARGB32, target.width(), target.height(),
                                                   target.width() * 4);
    cr_ = cairo_create(surface_);
  }
  ~CairoCanvas() override {
    cairo_destroy(cr_);
    cairo_surface_flush(surface_);
    cairo_surface_destroy(surface_);
  }

  Size size() const override { return target_.size(); }
  void Save() override { cairo_save(cr_); }
  void Restore() override { cairo_restore(cr_); }
  Rect ClipBounds() const override {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(cr_, &x1, &y1, &x2, &y2);
    return {static_cast<int>(std::floor(x1)), static_cast<int>(std::floor(y1)), static_cast<int>(std::ceil(x2)),
            static_cast<int>(std::ceil(y2))};
  }
  void ClipRect(const Rect& rect) override {
    cairo_rectangle(cr_, rect.left, rect.top, std::max(0, rect.Width()), std::max(0, rect.Height()));
    cairo_clip(cr_);
  }
  void Translate(int dx, int dy) override { cairo_translate(cr_, dx, dy); }

  void ClearRect(const Rect& rect, Color color) override {
    if (rect.IsEmpty()) return;
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
    SetSourceColor(cr_, color);
    cairo_rectangle(cr_, rect.left, rect.top, rect.Width(), rect.Height());
    cairo_fill(cr_);
    cairo_restore(cr_);
  }
  void FillRect(const Rect& rect, Color color) override {
    if (rect.IsEmpty()) return;
    SetSourceColor(cr_, color);
    cairo_rectangle(cr_, rect.left, rect.top, rect.Width(), rect.Height());
    cairo_fill(cr_);
  }
  void StrokeRect(const Rect& rect, Color color, int width) override {
    if (rect.IsEmpty() || width <= 0) return;
    if (width * 2 >= rect.Width() || width * 2 >= rect.Height()) {
      FillRect(rect, color);
      return;
    }
    FillRect({rect.left, rect.top, rect.right, rect.top + width}, color);
    FillRect({rect.left, rect.bottom - width, rect.right, rect.bottom}, color);
    FillRect({rect.left, rect.top + width, rect.left + width, rect.bottom - width}, color);
    FillRect({rect.right - width, rect.top + width, rect.right, rect.bottom - width}, color);
  }
  void FillRoundRect(const Rect& rect, double radius, Color color) override {
    if (rect.IsEmpty()) return;
    SetSourceColor(cr_, color);
    cairo_new_path(cr_);
    RoundRectPath(cr_, rect.left, rect.top, rect.Width(), rect.Height(), radius);
    cairo_fill(cr_);
  }
  void StrokeRoundRect(const Rect& rect, double radius, const Pen& pen) override {
    if (rect.IsEmpty()) return;
    const double half = pen.width / 2;
    SetPen(pen);
    cairo_new_path(cr_);
    RoundRectPath(cr_, rect.left + half, rect.top + half, rect.Width() - pen.width, rect.Height() - pen.width,
                  radius);
    cairo_stroke(cr_);
  }
  void DrawLine(double x0, double y0, double x1, double y1, const Pen& pen) override {
    SetPen(pen);
    cairo_new_path(cr_);
    cairo_move_to(cr_, x0, y0);
    cairo_line_to(cr_, x1, y1);
    cairo_stroke(cr_);
  }
  void FillEllipse(const Rect& rect, Color color) override {
    SetSourceColor(cr_, color);
    cairo_new_path(cr_);
    EllipsePath(cr_, rect.left, rect.top, rect.Width(), rect.Height());
    cairo_fill(cr_);
  }
  void StrokeEllipse(const Rect& rect, const Pen& pen) override {
    const double half = pen.width / 2;
    SetPen(pen);
    cairo_new_path(cr_);
    EllipsePath(cr_, rect.left + half, rect.top + half, rect.Width() - pen.width, rect.Height() - pen.width);
    cairo_stroke(cr_);
  }
  void FillPath(const Path& path, Color color) override {
    SetSourceColor(cr_, color);
    AddPath(cr_, path);
    cairo_fill(cr_);
  }
  void StrokePath(const Path& path, const Pen& pen) override {
    SetPen(pen);
    AddPath(cr_, path);
    cairo_stroke(cr_);
  }

  void DrawImage(const Image& image, int x, int y, double opacity) override {
    DrawImageScaled(image, Rect::FromXYWH(x, y, image.width(), image.height()), opacity);
  }
  void DrawImageScaled(const Image& image, const Rect& dest, double opacity) override {
    DrawImagePartWithOpacity(image, Rect{0, 0, image.width(), image.height()}, dest, opacity);
  }

  void DrawText(std::string_view utf8, const Rect& box, const TextStyle& style) override {
    if (utf8.empty() || box.IsEmpty()) return;
    cairo_save(cr_);
    cairo_rectangle(cr_, box.left, box.top, box.Width(), box.Height());
    cairo_clip(cr_);
    PangoLayout* layout = pango_cairo_create_layout(cr_);
    ConfigureLayout(layout, utf8, style.font);
    if (style.wrap) {
      pango_layout_set_single_paragraph_mode(layout, FALSE);
      pango_layout_set_width(layout, box.Width() * PANGO_SCALE);
      pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
      pango_layout_set_alignment(layout, style.align == TextAlign::kCenter  ? PANGO_ALIGN_CENTER
                                         : style.align == TextAlign::kRight ? PANGO_ALIGN_RIGHT
                                                                            : PANGO_ALIGN_LEFT);
      if (style.ellipsis) {  // the last line that fits the box ends with "..."
        pango_layout_set_height(layout, box.Height() * PANGO_SCALE);
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
      }
    } else if (style.ellipsis) {
      pango_layout_set_width(layout, box.Width() * PANGO_SCALE);
      pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    }
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    double x = box.left;
    if (style.wrap) {  // pango aligns the lines inside the box's width
      logical.x = 0;
      logical.width = box.Width();
    }
    if (style.align == TextAlign::kCenter) x = box.left + (box.Width() - logical.width) / 2;
    if (style.align == TextAlign::kRight) x = box.right - logical.width;
    double y = box.top;
    if (style.valign == TextVAlign::kMiddle) y = box.top + (box.Height() - logical.height) / 2;
    if (style.valign == TextVAlign::kBottom) y = box.bottom - logical.height;
    SetSourceColor(cr_, style.color);
    cairo_move_to(cr_, std::floor(x) - logical.x, std::floor(y) - logical.y);
    pango_cairo_show_layout(cr_, layout);
    g_object_unref(layout);
    cairo_restore(cr_);
  }
  Size MeasureText(std::string_view utf8, const Font& font) override {
    return DefaultTextMeasurer().MeasureText(utf8, font);
  }

 private:
  void SetPen(const Pen& pen) {
    SetSourceColor(cr_, pen.color);
    cairo_set_line_width(cr_, pen.width);
    cairo_set_line_cap(cr_, CairoCap(pen.cap));
    cairo_set_line_join(cr_, pen.join == LineJoin::kRound   ? CAIRO_LINE_JOIN_ROUND
                             : pen.join == LineJoin::kBevel ? CAIRO_LINE_JOIN_BEVEL
                                                            : CAIRO_LINE_JOIN_MITER);
  }

  void DrawImagePartWithOpacity(const Image& image, const Rect& source, const Rect& dest, double opacity) {
    if (image.IsEmpty() || source.IsEmpty() || dest.IsEmpty()) return;
    cairo_surface_t* src = SourceSurface(image);
    cairo_save(cr_);
    cairo_rectangle(cr_, dest.left, dest.top, dest.Width(), dest.Height());
    cairo_clip(cr_);
    cairo_translate(cr_, dest.left, dest.top);
    cairo_scale(cr_, static_cast<double>(dest.Width()) / source.Width(),
                static_cast<double>(dest.Height()) / source.Height());
    cairo_set_source_surface(cr_, src, -source.left, -source.top);
    // Natural size: exact pixels; scaled: smooth, without pulling in
    // transparent pixels from beyond the edges.
    const bool natural = dest.Width() == source.Width() && dest.Height() == source.Height();
    cairo_pattern_set_filter(cairo_get_source(cr_), natural ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr_), CAIRO_EXTEND_PAD);
    if (opacity >= 1.0) {
      cairo_paint(cr_);
    } else {
      cairo_paint_with_alpha(cr_, std::max(0.0, opacity));
    }
    cairo_restore(cr_);
    cairo_surface_destroy(src);
  }

  Image& target_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
};

}  // namespace

void Canvas::DrawText(std::u16string_view text, const Rect& box, const TextStyle& style) {
  DrawText(std::string_view(Utf16ToUtf8(text)), box, style);
}

std::unique_ptr<Canvas> CreateImageCanvas(Image& target) { return std::make_unique<CairoCanvas>(target); }

}  // namespace vz
