// The selection window's thumbnail of a 4K screen beside libyuv's box
// scaling of the same pixels (the peer: what a thumbnail's scaling alone
// costs in a tuned library), and one slide step of the floating panel.
#include <benchmark/benchmark.h>
#include <libyuv/scale_argb.h>

#include "client/sharingui/ds_floating_panel_window.h"
#include "client/sharingui/sharing_thumbnail.h"
#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"

namespace {

vz::Image Screen4K() {
  vz::Image screen(3840, 2160);
  for (int y = 0; y < screen.height(); ++y) {
    uint32_t* row = screen.data() + static_cast<size_t>(y) * screen.width();
    for (int x = 0; x < screen.width(); ++x) row[x] = 0xFF000000u | static_cast<uint32_t>(x * 7 + y * 13);
  }
  return screen;
}

void BM_Thumbnail4K(benchmark::State& state) {
  const vz::Image screen = Screen4K();
  for (auto _ : state) {
    vz::Image thumbnail = sharing_thumbnail::Compose(screen, 3840, 2160, false, 0xFF0084FF);
    benchmark::DoNotOptimize(thumbnail.data());
  }
}
BENCHMARK(BM_Thumbnail4K)->Unit(benchmark::kMillisecond);

void BM_LibyuvBoxScale4K(benchmark::State& state) {
  const vz::Image screen = Screen4K();
  const std::optional<vz::Rect> fit = sharing_thumbnail::Fit(3840, 2160);
  std::vector<uint32_t> out(static_cast<size_t>(fit->Width()) * fit->Height());
  for (auto _ : state) {
    libyuv::ARGBScale(reinterpret_cast<const uint8_t*>(screen.data()), screen.width() * 4, screen.width(),
                      screen.height(), reinterpret_cast<uint8_t*>(out.data()), fit->Width() * 4, fit->Width(),
                      fit->Height(), libyuv::kFilterBox);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_LibyuvBoxScale4K)->Unit(benchmark::kMillisecond);

class BenchPanel : public CDSFloatingPanelWindow {
 public:
  void OnPopupMenuCommandClicked(int, uint32_t) override {}
};

void BM_PanelSlideTick(benchmark::State& state) {
  if (!vzres::LoadResourceLibrary("vzres")) {
    state.SkipWithError("no resource bundle beside the program");
    return;
  }
  vz::FakeClock clock;
  vz::RunLoop loop(clock);
  auto system = vz::HeadlessWindowSystem::Create({1920, 1080});
  system->SetPointerPosition({10, 900});
  BenchPanel panel;
  panel.CreatePanel(system.get());
  panel.ShowPanel(true);
  panel.OnTimer(CDSFloatingPanelWindow::kHideTimer);
  for (auto _ : state) {
    if (!panel.IsSlidingForTesting()) {
      panel.ShowPanel(true);
      panel.OnTimer(CDSFloatingPanelWindow::kHideTimer);
    }
    panel.OnTimer(CDSFloatingPanelWindow::kSlideTimer);
  }
  state.counters["background renders"] = panel.background_window_for_testing().render_count_for_testing();
  vzres::UnloadResourceLibrary();
}
BENCHMARK(BM_PanelSlideTick);

}  // namespace

BENCHMARK_MAIN();
