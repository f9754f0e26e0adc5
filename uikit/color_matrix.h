#pragma once
// 5x5 colour matrices as the buttons use them: rows for input red, green,
// blue, alpha and the constant, columns for output red, green, blue, alpha
// (and the unused fifth). Values work on 0..1 channels; the constant row is
// added as it stands.
#include "platform/ui/image.h"

struct ColorMatrix {
  float m[5][5];
};

// Grey for disabled buttons, hot for hovered ones.
extern const ColorMatrix kGreyColorMatrix;
extern const ColorMatrix kHotColorMatrix;

// One plain 0xAARRGGBB colour through the matrix, each channel clamped to
// 0..255 and rounded to the nearest.
vz::Color ApplyColorMatrix(const ColorMatrix& matrix, vz::Color color);
// A copy of the image through the matrix (on plain, not premultiplied values).
vz::Image ApplyColorMatrix(const ColorMatrix& matrix, const vz::Image& image);
