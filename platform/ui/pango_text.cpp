#include "platform/ui/pango_text.h"

#include <string>

namespace vz {

void ConfigureLayout(PangoLayout* layout, std::string_view utf8, const Font& font) {
  PangoContext* context = pango_layout_get_context(layout);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_cairo_context_set_resolution(context, 96.0);
  pango_context_changed(context);
  pango_layout_context_changed(layout);

  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, font.family.c_str());
  pango_font_description_set_absolute_size(description, font.pixel_size * PANGO_SCALE);
  pango_font_description_set_weight(description, static_cast<PangoWeight>(font.weight));
  pango_font_description_set_style(description, font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  pango_layout_set_font_description(layout, description);
  pango_font_description_free(description);
  if (font.underline) {
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
  }
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
}

namespace {

class PangoMeasurer : public TextMeasurer {
 public:
  Size MeasureText(std::string_view utf8, const Font& font) override {
    if (utf8.empty()) return {0, 0};
    // One small surface per thread: pango contexts are not shared across threads.
    thread_local cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    thread_local cairo_t* cr = cairo_create(surface);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    ConfigureLayout(layout, utf8, font);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return {logical.width, logical.height};
  }
};

}  // namespace

TextMeasurer& DefaultTextMeasurer() {
  static PangoMeasurer measurer;
  return measurer;
}

}  // namespace vz
