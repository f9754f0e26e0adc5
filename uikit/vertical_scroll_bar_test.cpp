// The scroll bar's geometry at its edges: no bar without more to show, a
// thumb never shorter than a finger's width nor longer than the track, and
// offsets kept inside what can be scrolled.
#include "uikit/vertical_scroll_bar.h"

#include <gtest/gtest.h>

namespace {

using Part = CVerticalScrollBar::Part;

TEST(VerticalScrollBar, ShowsOnlyWhileTheContentIsTallerThanTheView) {
  const vz::Rect view{0, 0, 300, 200};
  EXPECT_FALSE(CVerticalScrollBar(view, 200, 0).visible());
  EXPECT_FALSE(CVerticalScrollBar(view, 0, 0).visible());
  EXPECT_FALSE(CVerticalScrollBar(vz::Rect{0, 0, 8, 200}, 400, 0).visible()) << "no room for it";
  EXPECT_EQ(CVerticalScrollBar(view, 201, 0).HitTest({295, 10}), Part::kThumb);
  EXPECT_EQ(CVerticalScrollBar(view, 200, 0).HitTest({295, 10}), Part::kNone);
}

TEST(VerticalScrollBar, TheThumbIsTheShownShareAtTheOffsetsPlace) {
  const vz::Rect view{10, 20, 310, 420};  // 400 high
  const CVerticalScrollBar half(view, 800, 400);
  EXPECT_EQ(half.track(), (vz::Rect{298, 20, 310, 420}));
  EXPECT_EQ(half.thumb().Height(), 200);
  EXPECT_EQ(half.thumb().bottom, 420);  // scrolled to the end
  EXPECT_EQ(half.HitTest({300, 100}), Part::kAbove);
  EXPECT_EQ(half.HitTest({300, 300}), Part::kThumb);
  EXPECT_EQ(half.HitTest({290, 300}), Part::kNone);
  // Offsets outside what can be scrolled are drawn at its ends.
  EXPECT_EQ(CVerticalScrollBar(view, 800, 5000).thumb().bottom, 420);
  EXPECT_EQ(CVerticalScrollBar(view, 800, -30).thumb().top, 20);
  // A huge content keeps a thumb one can take, and its share in 64 bits.
  const CVerticalScrollBar huge(view, 2000000000, 1000000000);
  EXPECT_EQ(huge.thumb().Height(), CVerticalScrollBar::kMinThumbLength);
  EXPECT_EQ(huge.thumb().top, 20 + (400 - CVerticalScrollBar::kMinThumbLength) / 2);
  // A view lower than the least thumb: the thumb is the whole track.
  EXPECT_EQ(CVerticalScrollBar(vz::Rect{0, 0, 100, 10}, 1000, 0).thumb().Height(), 10);
}

TEST(VerticalScrollBar, ADragMovesTheOffsetInProportionWithinItsEnds) {
  const CVerticalScrollBar bar(vz::Rect{0, 0, 100, 400}, 1200, 0);  // thumb 133, travel 267, offsets to 800
  EXPECT_EQ(bar.DragOffset(0, 267), 800);
  EXPECT_EQ(bar.DragOffset(0, 100), 100 * 800 / 267);
  EXPECT_EQ(bar.DragOffset(400, -1000), 0);
  EXPECT_EQ(bar.DragOffset(400, 1000), 800);
  // A thumb as long as its track has nowhere to go.
  EXPECT_EQ(CVerticalScrollBar(vz::Rect{0, 0, 100, 10}, 1000, 0).DragOffset(0, 5), 0);
}

}  // namespace
