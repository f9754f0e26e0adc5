#include "video/devices/render/video_draw_base.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A draw that "prepares" overlay images and backgrounds, and records what
// the base tells it to release.
class PreparingDraw : public CVideoDrawBase {
 public:
  int32_t Init(IVideoWindowPort*, IDrawHost*) override { return 1; }
  void UnInit() override {}
  int32_t Draw(const uint8_t*, uint32_t, const BitmapHeader*, const Rect&, const Rect&) override { return 1; }
  int32_t DrawBkgnd(const Rect&) override { return 1; }
  void DiscardStream() override {}

  void Prepare(int32_t id, void* image) { MarkPreparedForTesting(id, image); }
  void PrepareBackground(void* object) { background().pRef = object; }
  void Clean() { ClearPictureStale(); }
  std::vector<void*> released;

 protected:
  void ReleasePrepared(void* prepared) override { released.push_back(prepared); }
};

TEST(VideoDrawBaseTest, OverlayTableKeepsOrReleasesPreparedImagesAndMarksThePictureStale) {
  PreparingDraw draw;
  int handle = 0, other = 0, image = 0;
  OverlayDesc overlay;
  overlay.handle = &handle;
  EXPECT_EQ(draw.SetOverlay(7, overlay), 1);
  EXPECT_FALSE(draw.picture_stale_for_testing());  // destination side
  draw.Prepare(7, &image);
  overlay.values[0] = 5;  // moved only: the prepared image stays
  draw.SetOverlay(7, overlay);
  EXPECT_TRUE(draw.overlay_prepared_for_testing(7));
  EXPECT_TRUE(draw.released.empty());
  overlay.transparent = 0x00FF00;  // another colour key: made anew
  draw.SetOverlay(7, overlay);
  EXPECT_FALSE(draw.overlay_prepared_for_testing(7));
  ASSERT_EQ(draw.released.size(), 1u);
  EXPECT_EQ(draw.released[0], &image);

  OverlayDesc source_side;
  source_side.handle = &other;
  source_side.flags = kOverlaySourceSide;
  draw.SetOverlay(8, source_side);
  EXPECT_TRUE(draw.picture_stale_for_testing());
  draw.Clean();
  EXPECT_EQ(draw.RemoveOverlay(8), 1);
  EXPECT_TRUE(draw.picture_stale_for_testing());
  EXPECT_EQ(draw.RemoveOverlay(8), 0);
  EXPECT_EQ(draw.overlay_count_for_testing(), 1u);
}

TEST(VideoDrawBaseTest, BackgroundChangeReleasesThePreparedObjectAndMirrorIsBitZero) {
  PreparingDraw draw;
  int prepared = 0;
  draw.SetBackground(0, 0x123456, nullptr);
  draw.PrepareBackground(&prepared);
  draw.SetBackground(0, 0x654321, nullptr);
  ASSERT_EQ(draw.released.size(), 1u);
  EXPECT_EQ(draw.released[0], &prepared);
  EXPECT_EQ(draw.background_colour(), 0x654321u);
  draw.SetEffectFlags(kEffectFlip);
  draw.SetMirror(true);
  EXPECT_EQ(draw.effect_flags(), kEffectFlip | kEffectMirror);
  draw.SetMirror(false);
  EXPECT_EQ(draw.effect_flags(), kEffectFlip);
  EXPECT_EQ(draw.IsFourCCSupported(0), 1);
  EXPECT_EQ(draw.IsFourCCSupported(MakeFourCC('I', '4', '2', '0')), 0);
  EXPECT_EQ(draw.aspect_mode(), 1);
}

}  // namespace
