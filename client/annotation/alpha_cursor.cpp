#include "client/annotation/alpha_cursor.h"

#include "uikit/gdiplus_bitmap.h"
#include "common/trace_client.h"

std::optional<AlphaCursor> CreateAlphaCursor(uint32_t resource_id, vz::Point hotspot) {
  CGdiPlusBitmapResource bitmap;
  if (!bitmap.Load(resource_id) || bitmap.bitmap() == nullptr) {
    VZ_LOG_ERROR("cursor image [%u] not loaded", resource_id);
    return std::nullopt;
  }
  const vz::Size size = GetImageSize(bitmap);
  VZ_LOG("size (%d, %d)", size.width, size.height);
  return AlphaCursor{*bitmap.bitmap(), hotspot};
}
