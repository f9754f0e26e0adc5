#include "uikit/gdiplus_bitmap.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "uikit/pixel_tables.h"
#include "common/trace_client.h"
#include "outside/vzres/vzres.h"

bool CGdiPlusBitmapResource::Load(uint32_t resource_id, const char* type, const void* /*module*/) {
  bitmap_.reset();
  if (type == nullptr || std::strcmp(type, "PNG") != 0) {
    VZ_LOG_ERROR("resource type [%s] is not PNG", type != nullptr ? type : "(null)");
    return false;
  }
  const std::vector<uint8_t> bytes = vzres::LoadResPng(resource_id);
  if (bytes.empty()) {
    VZ_LOG_ERROR("PNG resource [%u] not found", resource_id);
    return false;
  }
  std::optional<vz::Image> image = vz::Image::DecodePng(bytes);
  if (!image) {
    VZ_LOG_ERROR("PNG resource [%u] cannot be decoded", resource_id);
    return false;
  }
  bitmap_ = std::move(image);
  return true;
}

vz::Size GetImageSize(const CGdiPlusBitmap& bitmap) {
  const vz::Image* image = bitmap.bitmap();
  return image != nullptr ? image->size() : vz::Size{0, 0};
}

// Works on the premultiplied pixels in place: one pass, integer arithmetic
// (t * brightness truncated is t * mean / 255 in integers, exactly).
void TintImagePixels(vz::Image& image, uint32_t colorref, const vz::Rect& area) {
  const vz::Rect r = area.Intersect(vz::Rect{0, 0, image.width(), image.height()});
  if (r.IsEmpty()) return;
  const uint32_t tr = colorref & 0xFF, tg = (colorref >> 8) & 0xFF, tb = (colorref >> 16) & 0xFF;
  const PixelTables& tables = GetPixelTables();
  for (int y = r.top; y < r.bottom; ++y) {
    uint32_t* row = image.data() + static_cast<size_t>(y) * image.width();
    for (int x = r.left; x < r.right; ++x) {
      const uint32_t pixel = row[x];
      const uint32_t a = pixel >> 24;
      if (a == 0) continue;
      uint32_t red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
      const uint8_t* plain = tables.unpremultiply[a];  // as the plain colour reads
      const uint8_t* premultiply = tables.premultiply[a];
      red = plain[red];
      green = plain[green];
      blue = plain[blue];
      const uint32_t mean = (red + green + blue) / 3;
      const uint32_t nr = premultiply[tr * mean / 255];
      const uint32_t ng = premultiply[tg * mean / 255];
      const uint32_t nb = premultiply[tb * mean / 255];
      row[x] = (a << 24) | (nr << 16) | (ng << 8) | nb;
    }
  }
}

void TintImageRect(CGdiPlusBitmap& bitmap, uint32_t colorref, const vz::Rect& area) {
  if (vz::Image* image = bitmap.bitmap()) TintImagePixels(*image, colorref, area);
}

void TintImage(CGdiPlusBitmap& bitmap, uint32_t colorref) {
  const vz::Size size = GetImageSize(bitmap);
  TintImageRect(bitmap, colorref, vz::Rect{0, 0, size.width, size.height});
}
