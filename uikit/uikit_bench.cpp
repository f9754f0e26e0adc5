// The per-pixel work of the UI kit on every hover repaint, beside a peer:
// cairo (pixman) compositing the same image, the best-tuned pass over these
// pixels that the machine has.
#include <benchmark/benchmark.h>

#include "uikit/color_matrix.h"
#include "uikit/gdiplus_bitmap.h"
#include "platform/ui/canvas.h"

namespace {

vz::Image Gradient(int width, int height) {
  vz::Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.SetPixel(x, y, vz::MakeColor(static_cast<uint8_t>(x), static_cast<uint8_t>(y * 2),
                                         static_cast<uint8_t>(x + y), static_cast<uint8_t>(128 + x % 128)));
    }
  }
  return image;
}

// Times `paint(source, canvas)` on a width x height gradient, the canvas
// drawing into a target image of that size; the items are one pass's pixels.
template <typename Paint>
void TimePixelPasses(benchmark::State& state, int width, int height, Paint paint) {
  const vz::Image source = Gradient(width, height);
  vz::Image target(width, height);
  auto canvas = vz::CreateImageCanvas(target);
  for (auto _ : state) {
    paint(source, *canvas);
    benchmark::DoNotOptimize(target.data());
  }
  state.SetItemsProcessed(state.iterations() * width * height);
}

// Tinting the panel's background image (430x120) with the header colour.
void BM_TintImage_430x120(benchmark::State& state) {
  TimePixelPasses(state, 430, 120, [](const vz::Image& source, vz::Canvas&) {
    vz::Image image = source;
    TintImagePixels(image, 0x0084FF, {0, 0, 430, 120});
    benchmark::DoNotOptimize(image.data());
  });
}
BENCHMARK(BM_TintImage_430x120);

// A hovered 60x70 button: its image through the hot matrix, then drawn.
void BM_HotButtonPaint_60x70(benchmark::State& state) {
  TimePixelPasses(state, 60, 70, [](const vz::Image& source, vz::Canvas& canvas) {
    canvas.DrawImageScaled(ApplyColorMatrix(kHotColorMatrix, source), {0, 0, 60, 70});
  });
}
BENCHMARK(BM_HotButtonPaint_60x70);

// Peer: cairo compositing the same pixels (430x120 copy + blend).
void BM_Peer_CairoComposite_430x120(benchmark::State& state) {
  TimePixelPasses(state, 430, 120, [](const vz::Image& source, vz::Canvas& canvas) {
    vz::Image copy = source;
    canvas.DrawImage(copy, 0, 0);
  });
}
BENCHMARK(BM_Peer_CairoComposite_430x120);

void BM_Peer_CairoComposite_60x70(benchmark::State& state) {
  TimePixelPasses(state, 60, 70,
                  [](const vz::Image& source, vz::Canvas& canvas) { canvas.DrawImageScaled(source, {0, 0, 60, 70}); });
}
BENCHMARK(BM_Peer_CairoComposite_60x70);

}  // namespace

BENCHMARK_MAIN();
