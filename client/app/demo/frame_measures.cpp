#include "client/app/demo/frame_measures.h"

#include <bit>
#include <cmath>
#include <cstdio>

namespace {

constexpr vz::Color kWhite = 0xFFFFFFFF;
constexpr vz::Color kBlack = 0xFF000000;

// The mean luminance of the middle of a cell, where codec ringing at the
// cell's edges does not reach.
int CellLevel(const uint8_t* bgra, int width, int left, int top) {
  constexpr int kInset = StampLayout::kCell / 3;
  int sum = 0, count = 0;
  for (int y = top + kInset; y < top + StampLayout::kCell - kInset; ++y) {
    for (int x = left + kInset; x < left + StampLayout::kCell - kInset; ++x) {
      const uint8_t* p = bgra + (static_cast<size_t>(y) * width + x) * 4;
      sum += (p[0] + 2 * p[1] + p[2]) / 4;
      ++count;
    }
  }
  return sum / count;
}

}  // namespace

void DrawStamp(vz::Canvas& canvas, int x, int y, uint32_t value) {
  auto cell = [&](int index, bool white) {
    canvas.FillRect(vz::Rect::FromXYWH(x + index * StampLayout::kCell, y, StampLayout::kCell, StampLayout::kCell),
                    white ? kWhite : kBlack);
  };
  cell(0, true);
  cell(1, false);
  for (int bit = 0; bit < 32; ++bit) cell(2 + bit, ((value >> (31 - bit)) & 1u) != 0);
  cell(34, (std::popcount(value) & 1) != 0);
}

bool ReadStamp(const uint8_t* bgra, int width, int height, int x, int y, uint32_t* value) {
  if (bgra == nullptr || x < 0 || y < 0 || x > width - StampLayout::kWidth || y > height - StampLayout::kHeight) {
    return false;
  }
  const int white = CellLevel(bgra, width, x, y);
  const int black = CellLevel(bgra, width, x + StampLayout::kCell, y);
  if (white - black < 96) return false;
  const int middle = (white + black) / 2;
  uint32_t read = 0;
  for (int bit = 0; bit < 32; ++bit) {
    const bool one = CellLevel(bgra, width, x + (2 + bit) * StampLayout::kCell, y) > middle;
    read = (read << 1) | (one ? 1u : 0u);
  }
  const bool parity = CellLevel(bgra, width, x + 34 * StampLayout::kCell, y) > middle;
  if (parity != ((std::popcount(read) & 1) != 0)) return false;
  *value = read;
  return true;
}

double FramePsnr(const uint8_t* a, const uint8_t* b, size_t pixels) {
  if (pixels == 0) return kIdenticalPsnr;
  uint64_t squares = 0;
  for (size_t i = 0; i < pixels; ++i) {
    for (int channel = 0; channel < 3; ++channel) {
      const int d = static_cast<int>(a[i * 4 + channel]) - static_cast<int>(b[i * 4 + channel]);
      squares += static_cast<uint64_t>(d * d);
    }
  }
  if (squares == 0) return kIdenticalPsnr;
  const double mse = static_cast<double>(squares) / (static_cast<double>(pixels) * 3.0);
  return std::fmin(kIdenticalPsnr, 10.0 * std::log10(255.0 * 255.0 / mse));
}

std::string PsnrText(double psnr) {
  if (std::isnan(psnr)) return "unknown";
  if (psnr >= kIdenticalPsnr) return "identical";
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f dB", psnr);
  return text;
}
