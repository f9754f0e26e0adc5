// The pattern painted for pictures of the panel: fitted at the camera's
// shape on black, mirrored on request, and only where the view is not
// covered by what the window layer paints after it.
#include "video/devices/ui/pattern_picture_renderers.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"

namespace vzpanel {
namespace {

constexpr vz::Color kUntouched = 0xFF123456;

class Flat : public vz::WindowDelegate {
 public:
  explicit Flat(vz::Color colour) : colour_(colour) {}
  void OnPaint(vz::Canvas& canvas) override {
    canvas.FillRect({0, 0, canvas.size().width, canvas.size().height}, colour_);
  }

 private:
  vz::Color colour_;
};

TEST(PatternPictureTest, TheFrameIsFittedOnBlackMirroredOnRequestAndKeptToTheVisibleArea) {
  vz::Image plain(200, 100), mirrored(200, 100);
  for (vz::Image* image : {&plain, &mirrored})
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 200; ++x) image->SetPixel(x, y, kUntouched);
  // The view is wider than 16:9: the 178x100 picture is centred, black beside it.
  const vz::Rect view{0, 0, 200, 100};
  const vz::WindowRegion visible{{0, 0, 200, 50}, {0, 50, 120, 100}};
  PaintPatternFrame(plain, view, visible, 5, false);
  PaintPatternFrame(mirrored, view, visible, 5, true);
  EXPECT_EQ(plain.GetPixel(5, 10), 0xFF000000u);
  EXPECT_EQ(plain.GetPixel(195, 10), 0xFF000000u);
  EXPECT_NE(plain.GetPixel(100, 30), 0xFF000000u);
  EXPECT_EQ(plain.GetPixel(150, 80), kUntouched);  // covered: left as the window layer painted it
  for (int x = 11; x < 189; x += 17) {
    EXPECT_EQ(mirrored.GetPixel(x, 20), plain.GetPixel(11 + 177 - (x - 11), 20)) << x;
  }
}

TEST(PatternPictureTest, RenderersPaintTheirViewsButNotWhatLiesAboveThemNorViewsGone) {
  vz::FakeClock clock(1000);
  vz::RunLoop loop(clock);
  auto system = vz::HeadlessWindowSystem::Create();
  Flat grey(0xFF2D2D2D), red(0xFFFF0000);
  vz::WindowParams params;
  params.bounds = vz::Rect::FromXYWH(0, 0, 340, 200);
  auto top = system->CreateWindow(params, &grey);
  params.parent = top.get();
  params.bounds = vz::Rect::FromXYWH(10, 10, 320, 180);
  auto view = system->CreateWindow(params, &grey);
  params.bounds = vz::Rect::FromXYWH(20, 20, 30, 30);
  auto button = system->CreateWindow(params, &red);
  params.bounds = vz::Rect::FromXYWH(0, 0, 100, 50);
  auto gone = system->CreateWindow(params, &grey);
  for (vz::Window* w : {view.get(), button.get(), gone.get(), top.get()}) w->Show(false);

  PatternPictureRenderers renderers;
  IVideoRenderer* on_view = nullptr;
  IVideoRenderer* on_gone = nullptr;
  ASSERT_EQ(renderers.CreateVideoRenderer(&on_view, view.get()), 0);
  ASSERT_EQ(renderers.CreateVideoRenderer(&on_gone, gone.get()), 0);
  IVideoRenderer* none = nullptr;
  EXPECT_NE(renderers.CreateVideoRenderer(&none, nullptr), 0);
  EXPECT_EQ(none, nullptr);
  gone.reset();

  vz::Image picture = system->Render(top.get());
  renderers.PaintViews(top.get(), picture);
  EXPECT_EQ(picture.GetPixel(30, 30), 0xFFFF0000u);  // the button stays above the video
  EXPECT_NE(picture.GetPixel(200, 100), 0xFF2D2D2Du);
  EXPECT_EQ(picture.GetPixel(5, 5), 0xFF2D2D2Du);  // outside the view (and the gone view's place)
  EXPECT_EQ(renderers.DestroyVideoRenderer(on_view), 0);
  EXPECT_EQ(renderers.DestroyVideoRenderer(on_gone), 0);
  EXPECT_NE(renderers.DestroyVideoRenderer(on_view), 0);
}

}  // namespace
}  // namespace vzpanel
