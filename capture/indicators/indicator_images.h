#pragma once
// The pictures of the pointer window and the arrow label: PNG images of the
// resource library by id. UI thread.
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/ui/image.h"

namespace vzgrab {

inline constexpr uint32_t kArrowImageId = 124;
inline constexpr uint32_t kPointerImageId = 125;
inline constexpr uint32_t kCloseImageId = 358;

class IndicatorImages {
 public:
  virtual ~IndicatorImages() = default;
  // The image of that id; nothing (logged) when it cannot be had.
  virtual std::optional<vz::Image> LoadPng(uint32_t id) = 0;
};

// The images of the resource library "vzres", loaded by name on first use
// (its bundle is opened when the program has not opened it). An image the
// library lacks, or every image when the library cannot be loaded, is
// drawn here instead, so the indicators always have their pictures.
std::unique_ptr<IndicatorImages> CreateResourceImages();

// The drawn stand-in of an indicator image; empty for other ids.
vz::Image DrawIndicatorImage(uint32_t id);

// Recolours an image: every pixel keeps its alpha and takes the colour's
// red, green and blue (a COLORREF), each times the pixel's brightness
// ((R + G + B) / 3 as an integer, then / 255), truncated.
void TintIndicatorImage(vz::Image& image, uint32_t colorref);

}  // namespace vzgrab
