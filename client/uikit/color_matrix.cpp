#include "client/uikit/color_matrix.h"

#include <algorithm>
#include <cmath>

const ColorMatrix kGreyColorMatrix = {{
    {0.3f, 0.3f, 0.3f, 0, 0},
    {0.59f, 0.59f, 0.59f, 0, 0},
    {0.11f, 0.11f, 0.11f, 0, 0},
    {0, 0, 0, 1, 0},
    {0, 0, 0, 0, 1},
}};

const ColorMatrix kHotColorMatrix = {{
    {1.55f, 0, 0, 0, 0},
    {0, 1.55f, 0, 0, 0},
    {0, 0, 1.55f, 0, 0},
    {0, 0, 0, 1.5f, 0},
    {0.05f, 0.05f, 0.05f, 0, 1.5f},
}};

vz::Color ApplyColorMatrix(const ColorMatrix& matrix, vz::Color color) {
  const float in[4] = {vz::ColorR(color) / 255.0f, vz::ColorG(color) / 255.0f, vz::ColorB(color) / 255.0f,
                       vz::ColorA(color) / 255.0f};
  uint8_t out[4];
  for (int column = 0; column < 4; ++column) {
    float value = matrix.m[4][column];
    for (int row = 0; row < 4; ++row) value += in[row] * matrix.m[row][column];
    out[column] = static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
  }
  return vz::MakeColor(out[0], out[1], out[2], out[3]);
}

vz::Image ApplyColorMatrix(const ColorMatrix& matrix, const vz::Image& image) {
  vz::Image out(image.width(), image.height());
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) out.SetPixel(x, y, ApplyColorMatrix(matrix, image.GetPixel(x, y)));
  }
  return out;
}
