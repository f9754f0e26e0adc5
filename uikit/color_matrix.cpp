#include "uikit/color_matrix.h"

#include "uikit/pixel_tables.h"

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
    out[column] = static_cast<uint8_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f);
  }
  return vz::MakeColor(out[0], out[1], out[2], out[3]);
}

vz::Image ApplyColorMatrix(const ColorMatrix& matrix, const vz::Image& image) {
  vz::Image out(image.width(), image.height());
  const size_t count = static_cast<size_t>(image.width()) * static_cast<size_t>(image.height());
  const uint32_t* in = image.data();
  uint32_t* target = out.data();
  const PixelTables& tables = GetPixelTables();
  // Every pixel goes through the matrix, transparent ones too (a matrix may
  // add alpha). Channels are scaled to 0..255 once, outside the loop.
  float m[5][4];
  for (int row = 0; row < 5; ++row) {
    for (int column = 0; column < 4; ++column) m[row][column] = matrix.m[row][column] * (row == 4 ? 255.0f : 1.0f);
  }
  for (size_t i = 0; i < count; ++i) {
    const uint32_t pixel = in[i];
    const uint32_t a = pixel >> 24;
    const uint8_t* plain = tables.unpremultiply[a];
    const float c[4] = {static_cast<float>(plain[(pixel >> 16) & 0xFF]), static_cast<float>(plain[(pixel >> 8) & 0xFF]),
                        static_cast<float>(plain[pixel & 0xFF]), static_cast<float>(a)};
    uint32_t o[4];
    for (int column = 0; column < 4; ++column) {
      const float v = m[4][column] + c[0] * m[0][column] + c[1] * m[1][column] + c[2] * m[2][column] + c[3] * m[3][column];
      o[column] = static_cast<uint32_t>(std::clamp(v, 0.0f, 255.0f) + 0.5f);
    }
    const uint8_t* premultiply = tables.premultiply[o[3]];
    target[i] = (o[3] << 24) | (uint32_t{premultiply[o[0]]} << 16) | (uint32_t{premultiply[o[1]]} << 8) | premultiply[o[2]];
  }
  return out;
}
