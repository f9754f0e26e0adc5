#include "client/uikit/gdiplus_bitmap.h"

#include <cstring>
#include <vector>

#include "common/trace_client.h"
#include "outside/vzres/vzres.h"

bool CGdiPlusBitmapResource::Load(uint32_t resource_id, const char* type, const void* /*module*/) {
  bitmap_.reset();
  resource_id_ = 0;
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
  resource_id_ = resource_id;
  return true;
}

vz::Size GetImageSize(const CGdiPlusBitmap& bitmap) {
  const vz::Image* image = bitmap.bitmap();
  return image != nullptr ? image->size() : vz::Size{0, 0};
}

void TintImagePixels(vz::Image& image, uint32_t colorref, const vz::Rect& area) {
  const vz::Rect r = area.Intersect(vz::Rect{0, 0, image.width(), image.height()});
  if (r.IsEmpty()) return;
  const unsigned tr = colorref & 0xFF, tg = (colorref >> 8) & 0xFF, tb = (colorref >> 16) & 0xFF;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const vz::Color c = image.GetPixel(x, y);
      const double brightness = ((vz::ColorR(c) + vz::ColorG(c) + vz::ColorB(c)) / 3) / 255.0;
      image.SetPixel(x, y,
                     vz::MakeColor(static_cast<uint8_t>(tr * brightness), static_cast<uint8_t>(tg * brightness),
                                   static_cast<uint8_t>(tb * brightness), vz::ColorA(c)));
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
