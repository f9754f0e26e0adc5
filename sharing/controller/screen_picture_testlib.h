#pragma once
// A presenter's screen for end-to-end tests: a desktop-like picture, the
// capture's records of its changed boxes, and comparisons with an
// attendee's rebuilt frame.
#include <cmath>
#include <cstring>
#include <vector>

#include "contracts/capture_records.h"

namespace engine_test {

// The presenter's monitor: top-down B, G, R, X rows.
struct Screen {
  Screen(int32_t w, int32_t h) : width(w), height(h), pixels(static_cast<size_t>(w) * h * 4) {
    // Smooth gradients with a few hard-edged boxes: what a desktop holds.
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        uint8_t* p = At(x, y);
        p[0] = static_cast<uint8_t>(x * 255 / w);
        p[1] = static_cast<uint8_t>(y * 255 / h);
        p[2] = static_cast<uint8_t>(((x + y) / 4) & 0xff);
        p[3] = 0xff;
      }
    }
    Fill({100, 100, 400, 300}, 0x20, 0x80, 0xe0);
    Fill({w - 90, h - 70, w, h}, 0xf0, 0xf0, 0x10);
  }
  uint8_t* At(int32_t x, int32_t y) { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
  void Fill(VzRect box, uint8_t b, uint8_t g, uint8_t r) {
    for (int32_t y = box.top; y < box.bottom; ++y) {
      for (int32_t x = box.left; x < box.right; ++x) {
        uint8_t* p = At(x, y);
        p[0] = b;
        p[1] = g;
        p[2] = r;
      }
    }
  }
  // Copies the pixels of `from` (a box) to the box of the same size at (x, y).
  void Copy(VzRect from, int32_t x, int32_t y) {
    std::vector<uint8_t> saved;
    for (int32_t row = from.top; row < from.bottom; ++row) {
      saved.insert(saved.end(), At(from.left, row), At(from.left, row) + (from.right - from.left) * 4);
    }
    const size_t row_bytes = static_cast<size_t>(from.right - from.left) * 4;
    for (int32_t row = 0; row < from.bottom - from.top; ++row) {
      std::memcpy(At(x, y + row), &saved[row * row_bytes], row_bytes);
    }
  }
  // The capture's record of one changed box: header, then its rows.
  std::vector<uint8_t> Update(VzRect box) {
    const size_t row_bytes = static_cast<size_t>(box.right - box.left) * 4;
    std::vector<uint8_t> record(sizeof(CaptureScreenData) + row_bytes * (box.bottom - box.top));
    auto* data = reinterpret_cast<CaptureScreenData*>(record.data());
    data->MonitorId = 1;
    data->MonitorRect = {0, 0, width, height};
    data->DirtyRect = box;
    data->BitsPerPixel = 32;
    data->DataSize = static_cast<int32_t>(row_bytes * (box.bottom - box.top));
    data->Data = kCaptureScreenHeaderSize;
    for (int32_t row = box.top; row < box.bottom; ++row) {
      std::memcpy(CaptureScreenPixels(data) + (row - box.top) * row_bytes, At(box.left, row), row_bytes);
    }
    return record;
  }

  int32_t width;
  int32_t height;
  std::vector<uint8_t> pixels;
};

inline SharingInfo Desktop(int32_t width, int32_t height) {
  SharingInfo info{};
  info.BlockWidth = info.BlockHeight = 128;
  info.IsDesktopSharing = 1;
  info.SharedRect = {0, 0, width, height};
  info.MonitorCount = 1;
  info.Monitors[0].MonitorId = 1;
  info.Monitors[0].Rect = {0, 0, width, height};
  info.Monitors[0].BitsPerPixel = 32;
  return info;
}

// B, G and R of every pixel equal.
inline bool SameColours(const Screen& screen, const uint8_t* frame) {
  if (frame == nullptr) return false;
  for (size_t i = 0; i < screen.pixels.size(); i += 4) {
    if (std::memcmp(&screen.pixels[i], frame + i, 3) != 0) return false;
  }
  return true;
}

inline double Psnr(const Screen& screen, const uint8_t* frame) {
  if (frame == nullptr) return 0;
  double squares = 0;
  size_t samples = 0;
  for (size_t i = 0; i < screen.pixels.size(); i += 4) {
    for (int c = 0; c < 3; ++c) {
      const double d = static_cast<double>(screen.pixels[i + c]) - frame[i + c];
      squares += d * d;
      ++samples;
    }
  }
  if (squares == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 / (squares / static_cast<double>(samples)));
}

}  // namespace engine_test
