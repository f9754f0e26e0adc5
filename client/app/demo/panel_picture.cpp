#include "client/app/demo/panel_picture.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "contracts/test_pattern.h"

namespace {

// The large view's shape and the container's inset in it.
constexpr int kLargeWidth = 642;
constexpr int kLargeHeight = 362;
// The compared part of the half-size picture, as fractions: the strip
// covers the bottom third, the full-screen button the right edge.
constexpr double kComparedWidth = 0.85;
constexpr double kComparedHeight = 0.6;
// How far from the expected place the picture is looked for.
constexpr int kSearch = 2;
// The strip's name line under each tile's picture.
constexpr int kTileLabelHeight = 13;
// The pattern's bar moves a fiftieth of the width a frame.
constexpr int kBarCycle = 50;

vz::Rect Fit(const vz::Rect& box, vz::Size shape) {
  const int width = box.Width();
  const int height = box.Height();
  if (width <= 0 || height <= 0 || shape.width <= 0 || shape.height <= 0) return box;
  // The wider of the two scale factors decides, as the panel does.
  const double s = std::max(static_cast<double>(shape.width) / width, static_cast<double>(shape.height) / height);
  const int w = std::min(width, static_cast<int>(shape.width / s + 0.5));
  const int h = std::min(height, static_cast<int>(shape.height / s + 0.5));
  const int left = box.left + (width - w) / 2;
  const int top = box.top + (height - h) / 2;
  return {left, top, left + w, top + h};
}

// Studio-range BT.601 luma of a plain colour (the renderer's conversion backwards).
uint8_t Luma(vz::Color color) {
  const double r = (color >> 16) & 0xFF;
  const double g = (color >> 8) & 0xFF;
  const double b = color & 0xFF;
  return static_cast<uint8_t>(std::clamp(16.0 + 0.257 * r + 0.504 * g + 0.098 * b + 0.5, 0.0, 255.0));
}

// Box-scales the luma of `area` in the grab to width x height (any area
// size: each output pixel averages the area pixels that map to it).
std::vector<uint8_t> HalfPlane(const vz::Image& grab, const vz::Rect& area, int width, int height) {
  std::vector<uint8_t> plane(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const int y0 = area.top + y * area.Height() / height;
    const int y1 = std::max(y0 + 1, area.top + (y + 1) * area.Height() / height);
    for (int x = 0; x < width; ++x) {
      const int x0 = area.left + x * area.Width() / width;
      const int x1 = std::max(x0 + 1, area.left + (x + 1) * area.Width() / width);
      int sum = 0;
      for (int sy = y0; sy < y1; ++sy) {
        for (int sx = x0; sx < x1; ++sx) sum += Luma(grab.GetPixel(sx, sy));
      }
      plane[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(sum / ((y1 - y0) * (x1 - x0)));
    }
  }
  return plane;
}

// The pattern's luma at `counter`, box-scaled by `factor`.
std::vector<uint8_t> ScaledPattern(vz::Size source, uint32_t counter, int factor) {
  std::vector<uint8_t> pattern(static_cast<size_t>(source.width) * source.height * 3 / 2);
  const int width = source.width / factor;
  const int height = source.height / factor;
  std::vector<uint8_t> out(static_cast<size_t>(width) * height);
  if (!FillTestPattern(pattern.data(), source.width, source.height, counter)) return {};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int sum = 0;
      for (int j = 0; j < factor; ++j) {
        for (int i = 0; i < factor; ++i) {
          sum += pattern[static_cast<size_t>(y * factor + j) * source.width + x * factor + i];
        }
      }
      out[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>((sum + factor * factor / 2) / (factor * factor));
    }
  }
  return out;
}

double ComparedPsnr(const std::vector<uint8_t>& plane, const std::vector<uint8_t>& expected, int width, int height) {
  const int w = static_cast<int>(width * kComparedWidth);
  const int h = static_cast<int>(height * kComparedHeight);
  double sum = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double d = static_cast<double>(plane[static_cast<size_t>(y) * width + x]) -
                       expected[static_cast<size_t>(y) * width + x];
      sum += d * d;
    }
  }
  const double mse = sum / (static_cast<double>(w) * h);
  return mse <= 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace

vz::Rect PanelLargeViewRect(vz::Size client) {
  return Fit({0, 0, client.width, client.height}, {kLargeWidth, kLargeHeight});
}

vz::Rect PanelLargePictureRect(vz::Size client, vz::Size source) {
  const vz::Rect large = PanelLargeViewRect(client);
  const vz::Rect container{large.left + 1, large.top + 1, large.right - 1, large.bottom - 1};
  return Fit(container, source);
}

vz::Rect PanelStripPictureRect(vz::Size client, int tiles, int index) {
  const vz::Rect large = PanelLargeViewRect(client);
  const vz::Rect fitted = Fit({0, 0, large.Width() * 3 / 9, large.Height() * 2 / 9}, {160, 90});
  vz::Size cell;
  if (fitted.Height() > 90) {
    cell = {162, 92};
  } else if (fitted.Height() >= 30) {
    cell = {fitted.Width() + 2, fitted.Height() + 2};
  } else {
    return {};
  }
  const int columns = std::max(1, std::min((large.Width() - 240) / cell.width, tiles));
  const int left = large.left + (large.Width() - cell.width * columns) / 2 + (index % columns) * cell.width;
  const int top = large.bottom - (cell.height + kTileLabelHeight) - 2;
  return {left + 1, top + 1, left + cell.width - 1, top + cell.height - 1};
}

PanelPictureReading ReadStripTile(const vz::Image& grab, const vz::Rect& expected, vz::Size source) {
  PanelPictureReading best;
  const int qw = source.width / 4;
  const int qh = source.height / 4;
  if (expected.IsEmpty() || qw < 160) return best;
  // The tile at each place near the expected one, with the counter read there.
  struct Place {
    vz::Rect area;
    std::vector<uint8_t> plane;
    int64_t counter;
  };
  std::vector<Place> places;
  for (int dy = -kSearch; dy <= kSearch; ++dy) {
    for (int dx = -kSearch; dx <= kSearch; ++dx) {
      const vz::Rect area = expected.Offset(dx, dy);
      if (area.left < 0 || area.top < 0 || area.right > grab.width() || area.bottom > grab.height()) continue;
      std::vector<uint8_t> plane = HalfPlane(grab, area, qw, qh);
      const int64_t counter = ReadTestPatternCounter(plane.data(), qw, qw, qh);
      if (counter >= 0) places.push_back({area, std::move(plane), counter});
    }
  }
  if (places.empty()) return best;
  // The counter's blocks are 4 pixels here, scaled twice on the way: a bit
  // may read wrong, and the bar's place follows the counter. The bar comes
  // back to its place every kBarCycle frames, so the best of one cycle of
  // counters around the one read is the picture's match.
  // The counters to try: one cycle around each counter read, each once.
  std::vector<int64_t> tried;
  for (const Place& read : places) {
    for (int64_t c = std::max<int64_t>(0, read.counter - kBarCycle / 2); c < read.counter + kBarCycle / 2; ++c) {
      if (std::find(tried.begin(), tried.end(), c) != tried.end()) continue;
      tried.push_back(c);
      const std::vector<uint8_t> pattern = ScaledPattern(source, static_cast<uint32_t>(c), 4);
      if (pattern.empty()) return best;
      for (const Place& place : places) {
        const double psnr = ComparedPsnr(place.plane, pattern, qw, qh);
        if (!best.found || psnr > best.psnr) best = {true, place.counter, psnr, place.area};
      }
    }
  }
  return best;
}

PanelPictureReading ReadPanelPicture(const vz::Image& grab, const vz::Rect& expected, vz::Size source) {
  PanelPictureReading best;
  const int width = source.width / 2;
  const int height = source.height / 2;
  if (width < 160 || height < 16 || expected.Width() < width || expected.Height() < height ||
      grab.width() < expected.right || grab.height() < expected.bottom) {
    return best;
  }
  // The pattern at the camera's size, box-scaled by two.
  std::vector<uint8_t> pattern(static_cast<size_t>(source.width) * source.height * 3 / 2);
  std::vector<uint8_t> half(static_cast<size_t>(width) * height);
  for (int dy = -kSearch; dy <= kSearch; ++dy) {
    for (int dx = -kSearch; dx <= kSearch; ++dx) {
      vz::Rect area{expected.left + dx, expected.top + dy, expected.right + dx, expected.bottom + dy};
      if (area.left < 0 || area.top < 0 || area.right > grab.width() || area.bottom > grab.height()) continue;
      const std::vector<uint8_t> plane = HalfPlane(grab, area, width, height);
      const int64_t counter = ReadTestPatternCounter(plane.data(), width, width, height);
      if (counter < 0) continue;
      if (!FillTestPattern(pattern.data(), source.width, source.height, static_cast<uint32_t>(counter))) return best;
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          const uint8_t* p = pattern.data() + static_cast<size_t>(2 * y) * source.width + 2 * x;
          half[static_cast<size_t>(y) * width + x] =
              static_cast<uint8_t>((p[0] + p[1] + p[source.width] + p[source.width + 1] + 2) / 4);
        }
      }
      const double psnr = ComparedPsnr(plane, half, width, height);
      if (!best.found || psnr > best.psnr) best = {true, counter, psnr, area};
    }
  }
  return best;
}
