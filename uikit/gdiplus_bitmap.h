#pragma once
// Images of the UI kit: a PNG of the resource library decoded into a bitmap,
// its size, and the recolouring the buttons and menus use.
//
// UI thread only, as every part of the kit.
#include <cstdint>
#include <optional>

#include "platform/ui/image.h"

// Owns one bitmap, or none.
class CGdiPlusBitmap {
 public:
  CGdiPlusBitmap() = default;
  explicit CGdiPlusBitmap(vz::Image image) : bitmap_(std::move(image)) {}
  virtual ~CGdiPlusBitmap() = default;
  CGdiPlusBitmap(CGdiPlusBitmap&&) = default;
  CGdiPlusBitmap& operator=(CGdiPlusBitmap&&) = default;

  bool HasBitmap() const { return bitmap_.has_value(); }
  const vz::Image* bitmap() const { return bitmap_ ? &*bitmap_ : nullptr; }
  vz::Image* bitmap() { return bitmap_ ? &*bitmap_ : nullptr; }
  void Reset() { bitmap_.reset(); }

 protected:
  std::optional<vz::Image> bitmap_;
};

// A bitmap loaded from a PNG resource of the resource library.
class CGdiPlusBitmapResource : public CGdiPlusBitmap {
 public:
  CGdiPlusBitmapResource() = default;
  // Releases what is held, then loads the PNG with that id. The type must
  // be "PNG" (the only image type of the bundle); the module is the open
  // resource library whatever is passed. False, logged, when the resource
  // is missing, empty or not a PNG (nothing is held then).
  bool Load(uint32_t resource_id, const char* type = "PNG", const void* module = nullptr);
};

// Width and height in pixels; 0 by 0 without a bitmap.
vz::Size GetImageSize(const CGdiPlusBitmap& bitmap);

// Recolours the whole image with a COLORREF (0x00BBGGRR): each pixel keeps
// its alpha and takes the colour's red, green and blue times its brightness
// ((red + green + blue) / 3, an integer division, then / 255.0), truncated.
// White becomes exactly the colour; transparent pixels stay transparent.
void TintImage(CGdiPlusBitmap& bitmap, uint32_t colorref);
// The same over a part of the image (clipped to it; nothing outside it).
void TintImageRect(CGdiPlusBitmap& bitmap, uint32_t colorref, const vz::Rect& area);
void TintImagePixels(vz::Image& image, uint32_t colorref, const vz::Rect& area);
