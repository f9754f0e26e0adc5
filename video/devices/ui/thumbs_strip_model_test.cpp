// The thumbnail strip's pager and tile layout, and the large view's button
// and label, without windows.
#include "video/devices/ui/thumbs_strip_model.h"

#include <gtest/gtest.h>

#include "outside/vzres/vzres_ids.h"
#include "video/devices/ui/active_view_model.h"
#include "video/devices/ui/panel_testlib.h"

namespace vzpanel {
namespace {

using testing::Participant;

class ThumbsStripTest : public ::testing::Test {
 protected:
  ThumbsStripModel strip{"me", [this](const std::vector<ThumbTile*>& page) { pages.push_back(Ids(page)); }};
  std::vector<std::vector<std::string>> pages;

  static std::vector<std::string> Ids(const std::vector<ThumbTile*>& page) {
    std::vector<std::string> ids;
    for (ThumbTile* tile : page) ids.push_back(tile->record.rosterId);
    return ids;
  }
  void AddTiles(int count) {
    for (int i = 1; i <= count; ++i) strip.addVideoRoster(Participant("p" + std::to_string(i)));
  }
};

TEST_F(ThumbsStripTest, PagesAreCutInOrderAndTheLastPageIsBackFilled) {
  AddTiles(5);
  strip.pagerForTesting().setPageSize(2, nullptr);
  EXPECT_EQ(strip.pagerForTesting().pageCount(), 3);
  EXPECT_EQ(pages.back(), (std::vector<std::string>{"p1", "p2"}));
  EXPECT_TRUE(strip.pagerForTesting().isFirstPage());
  strip.onNextSlide();
  strip.onNextSlide();
  EXPECT_EQ(pages.back(), (std::vector<std::string>{"p4", "p5"}));
  EXPECT_TRUE(strip.pagerForTesting().isLastPage());
  strip.onNextSlide();  // clamped
  EXPECT_EQ(strip.pagerForTesting().currentPageForTesting(), 2);

  strip.pagerForTesting().setPageSize(3, nullptr);  // page 2 is clamped to page 1
  EXPECT_EQ(pages.back(), (std::vector<std::string>{"p3", "p4", "p5"}));
  strip.onPrevSlide();
  strip.onPrevSlide();
  EXPECT_EQ(pages.back(), (std::vector<std::string>{"p1", "p2", "p3"}));
}

TEST_F(ThumbsStripTest, APinnedTileIsShownAloneWithBothPageButtons) {
  AddTiles(4);
  ThumbTile* pinned = strip.itemOf("p3");
  strip.setSpecifiedItem(pinned);
  strip.layoutItems({0, 0, 200, 100}, 160, 90, 1, 3, true);
  EXPECT_EQ(pages.back(), (std::vector<std::string>{"p3"}));
  strip.onNextSlide();
  EXPECT_EQ(pages.back(), (std::vector<std::string>{"p3"}));
  strip.updatePageButtons(true);
  EXPECT_TRUE(strip.prevButtonShown());
  EXPECT_TRUE(strip.nextButtonShown());
  strip.updatePageButtons(false);
  EXPECT_FALSE(strip.prevButtonShown());
  // Removing the pinned tile frees the pager from it.
  strip.removeVideoRoster(Participant("p3"));
  EXPECT_EQ(strip.pagerForTesting().pinnedForTesting(), nullptr);
  EXPECT_EQ(strip.itemCount(), 3);
}

TEST_F(ThumbsStripTest, AnEmptyStripShowsNoPreviousButton) {
  strip.pagerForTesting().setPageSize(3, nullptr);
  strip.updatePageButtons(true);
  EXPECT_EQ(strip.pagerForTesting().currentPageForTesting(), 0);
  EXPECT_FALSE(strip.prevButtonShown());
  EXPECT_FALSE(strip.nextButtonShown());
  EXPECT_TRUE(pages.back().empty());
}

TEST_F(ThumbsStripTest, TilesArePlacedByColumnAndACellOfZeroPlacesNothing) {
  AddTiles(5);
  strip.layoutItems({0, 0, 500, 300}, 162, 105, 2, 2, true);
  strip.showThumbItems({strip.itemOf("p1"), strip.itemOf("p2"), strip.itemOf("p3")});
  EXPECT_EQ(strip.itemOf("p1")->rect, (vz::Rect{0, 0, 162, 105}));
  EXPECT_EQ(strip.itemOf("p2")->rect, (vz::Rect{162, 0, 324, 105}));
  EXPECT_EQ(strip.itemOf("p3")->rect, (vz::Rect{0, 105, 162, 210}));
  EXPECT_FALSE(strip.itemOf("p4")->shown);
  EXPECT_EQ(strip.leftMostShownCorner(), (vz::Point{0, 0}));

  const size_t issued = pages.size();
  strip.layoutItems({0, 0, 500, 300}, 0, 105, 2, 2, true);
  EXPECT_EQ(pages.size(), issued);  // the page size stays 4, nothing re-issued
  EXPECT_EQ(strip.pagerForTesting().pageSizeForTesting(), 4);
  for (ThumbTile* tile : strip.shownItems()) EXPECT_TRUE(tile->rect.IsEmpty()) << tile->record.rosterId;
}

TEST_F(ThumbsStripTest, RosterChangesGoByRosterIdAndTheActiveRecordFollowsItsOrder) {
  strip.addVideoRoster(Participant("a"));
  strip.addVideoRoster(Participant("me"));
  EXPECT_EQ(strip.activeRecord()->rosterId, "me");
  strip.addVideoRoster(Participant("h", true, true));
  EXPECT_EQ(strip.activeRecord()->rosterId, "h");
  ThumbTile* first = strip.itemOf("a");
  EXPECT_EQ(strip.addVideoRoster(Participant("a", true, false, true)), first);  // a duplicate
  EXPECT_EQ(strip.itemCount(), 3);
  EXPECT_FALSE(first->record.head.IsPresenter);
  strip.updateVideoRoster(Participant("a", true, false, true));
  EXPECT_EQ(strip.activeRecord()->rosterId, "a");
  strip.updateVideoRoster(Participant("zz", true, true, true));  // nobody's tile
  EXPECT_EQ(strip.itemOf("zz"), nullptr);

  const VideoRosterInfo h = Participant("h");
  strip.setHighlight(&h, 0xFF112233);
  EXPECT_TRUE(strip.itemOf("h")->highlighted);
  EXPECT_FALSE(strip.itemOf("a")->highlighted);
  strip.setHighlight(nullptr, 0xFF112233);
  EXPECT_FALSE(strip.itemOf("h")->highlighted);
}

}  // namespace
}  // namespace vzpanel

namespace vzpanel {
namespace {

TEST(ActiveViewModelTest, TheButtonFollowsTheSelectionAndMyPresenterFlag) {
  struct Row {
    int32_t mode;
    bool presenter;
    ActiveButtonLook look;
  };
  const Row rows[] = {
      {kSelectionLocal, false, {true, true, 0, vzres::IDS_VIDEO_FOLLOW_SPEAKER}},
      {kSelectionLocal, true, {true, true, 0, vzres::IDS_VIDEO_FOLLOW_SPEAKER}},
      {kSelectionSpeaker, true, {false, true, 0, 0}},
      {kSelectionSpotlight, true, {true, true, 0, vzres::IDS_VIDEO_CANCEL_SPOTLIGHT}},
      {kSelectionSpotlight, false, {true, false, vzres::IDB_VIDEO_SPOTLIGHT_MARK, 0}},
  };
  ActiveViewModel view;
  for (const Row& row : rows) {
    view.setButtonMode(row.mode, row.presenter);
    const ActiveButtonLook& look = view.button();
    EXPECT_EQ(look.shown, row.look.shown) << row.mode << row.presenter;
    EXPECT_EQ(look.enabled, row.look.enabled) << row.mode << row.presenter;
    EXPECT_EQ(look.image, row.look.image) << row.mode << row.presenter;
    EXPECT_EQ(look.text_id, row.look.text_id) << row.mode << row.presenter;
  }
  view.setButtonMode(7, true);  // another mode changes nothing
  EXPECT_EQ(view.buttonMode(), kSelectionSpotlight);
}

TEST(ActiveViewModelTest, TheNameLabelIsAsWideAsItsTextUpToHalfTheView) {
  EXPECT_EQ(ActiveViewModel::LabelRect({642, 362}, 100), (vz::Rect{2, 339, 104, 359}));
  EXPECT_EQ(ActiveViewModel::LabelRect({642, 362}, 400), (vz::Rect{2, 339, 320, 359}));
  EXPECT_EQ(ActiveViewModel::ContainerRect({642, 362}), (vz::Rect{1, 1, 641, 361}));
  EXPECT_EQ(ActiveViewModel::ButtonRect(16, 0), vz::Rect::FromXYWH(3, 3, 22, 16));
  EXPECT_EQ(ActiveViewModel::ButtonRect(0, 100), vz::Rect::FromXYWH(3, 3, 108, 16));
}

TEST(ActiveViewModelTest, AnEmptyViewHasNoParticipantAndOnlyItsOwnRecordUpdatesIt) {
  ActiveViewModel view;
  EXPECT_TRUE(view.isActiveRecord(nullptr));
  const VideoRosterInfo ann = testing::Participant("ann");
  view.setActiveRecord(&ann);
  EXPECT_TRUE(view.labelShown());
  EXPECT_FALSE(view.isActiveRecord(nullptr));
  view.updateActiveRecord(testing::Participant("bob", true, true));
  EXPECT_EQ(view.record().rosterId, "ann");
  view.updateActiveRecord(testing::Participant("ann", true, true));
  EXPECT_TRUE(view.record().head.IsHost);
  view.refreshOverlay();
  EXPECT_FALSE(view.labelShown());
  view.setActiveRecord(nullptr);
  EXPECT_TRUE(view.isActiveRecord(nullptr));
  EXPECT_FALSE(view.labelShown());
}

}  // namespace
}  // namespace vzpanel
