// The video container on the headless window system with the shipped
// resource bundle: the placeholder it shows without a renderer, and black
// once the placeholder is dropped.
#include "video/devices/ui/video_container_view.h"

#include <gtest/gtest.h>

#include <memory>

#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"

namespace vzpanel {
namespace {

struct BlankTopLevel : vz::WindowDelegate {
  void OnPaint(vz::Canvas&) override {}
};

// Pixels of `area` that are not black.
int LitPixels(const vz::Image& image, const vz::Rect& area) {
  int lit = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if ((image.GetPixel(x, y) & 0x00FFFFFF) != 0) ++lit;
    }
  }
  return lit;
}

TEST(VideoContainerView, ShowsItsPlaceholderCentredUntilItIsDropped) {
  ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
  {
    vz::FakeClock clock{1000};
    vz::RunLoop loop{clock};
    std::unique_ptr<vz::HeadlessWindowSystem> system = vz::HeadlessWindowSystem::Create({1920, 1080});
    BlankTopLevel top_delegate;
    vz::WindowParams params;
    params.bounds = vz::Rect::FromXYWH(100, 100, 400, 300);
    std::unique_ptr<vz::Window> top = system->CreateWindow(params, &top_delegate);
    ASSERT_NE(top, nullptr);
    top->Show(false);
    VideoContainerState state;
    CVzOpenGLContainerView container(&state, /*small=*/false);
    ASSERT_TRUE(container.Create(top.get(), {0, 0, 400, 300}));

    const vz::Rect whole{0, 0, 400, 300};
    const vz::Rect image = CVzOpenGLContainerView::PlaceholderRect({400, 300}, {160, 90});
    EXPECT_GT(LitPixels(system->Render(top.get()), image), 0) << "the placeholder is drawn in the centre";
    EXPECT_EQ(LitPixels(system->Render(top.get()), whole), LitPixels(system->Render(top.get()), image))
        << "nothing but the placeholder is lit";

    container.dropPlaceholderForTesting();
    container.Sync();
    EXPECT_EQ(LitPixels(system->Render(top.get()), whole), 0) << "after the drop the container is black";
    container.Destroy();
  }
  vzres::UnloadResourceLibrary();
}

}  // namespace
}  // namespace vzpanel
