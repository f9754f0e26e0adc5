// The sharing target selection on the headless backend, filled from a fake
// capture provider's lists with a fake thumbnail source.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "client/sharingui/ds_sharing_select_window.h"
#include "client/sharingui/panel_messages.h"
#include "client/sharingui/program_icon.h"
#include "client/sharingui/sharing_thumbnail.h"
#include "contracts/vz_grab_provider.h"
#include "outside/vzres/vzres_ids.h"
#include "uikit/gdiplus_bitmap.h"
#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "platform/ui/headless.h"

namespace {

// The capture side's lists, as the provider hands them out.
class FakeGrabProvider : public IVzGrabProvider {
 public:
  FakeGrabProvider() {
    std::memset(&monitors, 0, sizeof(monitors));
    std::memset(&windows, 0, sizeof(windows));
  }
  void AddMonitor(int id, VzRect rect, uint32_t flags = 2) {
    MonitorInfo& m = monitors.Monitors[monitors.Count++];
    m.MonitorId = id;
    m.Rect = rect;
    m.LogicalRect = rect;
    m.StateFlags = flags;
    m.DpiScale = 1.0f;
    vz::CopyUtf16(m.Name, 128, u"Screen");
  }
  void SetWindows(std::vector<std::tuple<VzWindowHandle, std::u16string, int32_t>> list) {
    std::memset(&windows, 0, sizeof(windows));
    for (const auto& [handle, title, shared] : list) {
      ApplicationInfo& a = windows.Applications[windows.Count++];
      a.Window = handle;
      vz::CopyUtf16(a.Title, 128, title.c_str());
      a.ProcessId = static_cast<int32_t>(handle);
      a.Rect = {100, 100, 500, 400};
      a.Shared = shared;
    }
  }
  MonitorList* GetMonitorList() override { return &monitors; }
  ApplicationList* GetWindowList() override { return &windows; }
  int32_t ShareMonitor(MonitorInfo*, int32_t) override { return 0; }
  int32_t ShareWindow(ApplicationInfo*, int32_t) override { return 0; }
  int32_t StartCapture(MeetConfig*, int32_t) override { return 1; }
  int32_t StopCapture() override { return 1; }
  void CaptureNow() override {}
  void Refresh() override {}
  void SetCaptureHold(int32_t) override {}
  int32_t GetCaptureHold() override { return 0; }
  int32_t ShowPointerWindow(int32_t) override { return 1; }
  int32_t IsPointerWindowShown() override { return 0; }
  int32_t ShowArrowIndicator(const char16_t*, uint32_t, VzPoint*) override { return 1; }
  int32_t SetArrowIndicatorText(const char16_t*, uint32_t) override { return 1; }
  int32_t SetExcludedWindow1(VzWindowHandle) override { return 1; }
  int32_t SetExcludedWindow2(VzWindowHandle) override { return 1; }
  int32_t SetExcludedWindow3(VzWindowHandle) override { return 1; }
  void SetCursorCapture(int32_t) override {}
  int32_t SetBlankScreenMode(int32_t) override { return 0; }
  int32_t IsBlankScreenActive() override { return 0; }
  void SetSendBacklog(uint32_t) override {}

  MonitorList monitors;
  ApplicationList windows;
};

class FakeThumbnails : public IThumbnailSource {
 public:
  vz::Image GrabScreen(const VzRect& rect) override {
    ++grabs;
    vz::Image image(rect.right - rect.left, rect.bottom - rect.top);
    image.FillForTesting(colour);
    return image;
  }
  std::u16string ProcessName(int32_t pid) override { return pid == known_pid ? u"editor" : u""; }
  std::vector<vz::ScreenIcon> WindowIcons(VzWindowHandle window) override {
    auto it = icons.find(window);
    return it != icons.end() ? it->second : std::vector<vz::ScreenIcon>{};
  }
  int grabs = 0;
  int32_t known_pid = 77;
  std::map<VzWindowHandle, std::vector<vz::ScreenIcon>> icons;
  vz::Color colour = 0xFF336699;
};

class SelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
    vzres::SetResourceLanguage(vzres::kLanguageEnglish);
    provider_.AddMonitor(1, {0, 0, 1920, 1080});
    provider_.AddMonitor(2, {1920, 0, 3200, 1024});
    provider_.SetWindows({{0x101, u"First", 0}, {0x102, u"Second", 0}, {0x103, u"Third", 0}});
    window_ = std::make_unique<CDSSharingSelectWindow>(&source_, [this](uint32_t m) { posted_.push_back(m); });
    ASSERT_TRUE(window_->CreateWindow(system_.get()));
  }
  void TearDown() override {
    window_.reset();
    vzres::UnloadResourceLibrary();
  }
  // What the sharing UI does on every showing: clean and fill.
  void Fill() {
    window_->Clean();
    window_->setMonitorsInfo(provider_.GetMonitorList());
    window_->setWindowsInfo(provider_.GetWindowList());
  }
  std::vector<std::u16string> Texts() {
    std::vector<std::u16string> texts;
    for (int i = 0; i < window_->list()->GetItemCount(); ++i) texts.push_back(window_->list()->GetItem(i).text);
    return texts;
  }
  bool ShareEnabled() { return window_->GetDlgItem(1021)->IsWindowEnabled(); }
  void Select(int index) { ASSERT_TRUE(window_->list()->SetSelectedIndex(index)) << "row " << index; }

  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create({1920, 1080});
  FakeGrabProvider provider_;
  FakeThumbnails source_;
  std::vector<uint32_t> posted_;
  std::unique_ptr<CDSSharingSelectWindow> window_;
};

TEST(SharingThumbnail, TheTargetFitsCentredInItsFrameOnTheRings) {
  EXPECT_EQ(sharing_thumbnail::Fit(1920, 1080), vz::Rect::FromXYWH(6, 45, 180, 101));
  EXPECT_EQ(sharing_thumbnail::Fit(100, 400), vz::Rect::FromXYWH(73, 6, 45, 180));
  EXPECT_EQ(sharing_thumbnail::Fit(0, 400), std::nullopt);  // never divided by zero
  EXPECT_EQ(sharing_thumbnail::Fit(400, -3), std::nullopt);
  vz::Image pixels(1920, 1080);
  pixels.FillForTesting(0xFF112233);
  const vz::Image t = sharing_thumbnail::Compose(pixels, 1920, 1080, false, 0xFF0084FF);
  EXPECT_EQ(t.width(), 192);
  EXPECT_EQ(t.GetPixel(0, 0), 0xFFF4F4F4u);
  EXPECT_EQ(t.GetPixel(191, 191), 0xFFF4F4F4u);
  EXPECT_EQ(t.GetPixel(1, 1), 0xFFDEDEDEu);
  EXPECT_EQ(t.GetPixel(2, 100), 0xFFC7C7C7u);
  EXPECT_EQ(t.GetPixel(3, 3), 0xFFFFFFFFu);
  EXPECT_EQ(t.GetPixel(5, 44), 0xFF808080u);    // frame, one pixel outside
  EXPECT_EQ(t.GetPixel(186, 146), 0xFF808080u);
  EXPECT_EQ(t.GetPixel(96, 95), 0xFF112233u);   // the target's pixels
  EXPECT_EQ(t.GetPixel(4, 43), 0xFFFFFFFFu);
  // Shared: the inner colour is the header colour (a COLORREF: orange).
  const vz::Image shared = sharing_thumbnail::Compose(pixels, 1920, 1080, true, 0xFF0084FF);
  EXPECT_EQ(shared.GetPixel(3, 3), vz::MakeColor(0xFF, 0x84, 0x00));
  // An empty window gets the base alone.
  const vz::Image empty = sharing_thumbnail::Compose(vz::Image(), 0, 0, false, 0);
  EXPECT_EQ(empty.GetPixel(96, 96), 0xFFFFFFFFu);
}

TEST_F(SelectTest, MonitorsComeFirstThenWindowsInReverseListOrder) {
  Fill();
  EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"Screen 1", u"Screen 2", u"Third", u"Second", u"First"}));
  EXPECT_EQ(source_.grabs, 5);
  EXPECT_EQ(window_->monitor_count_for_testing(), 2);
  // The monitor's badge sits at the bottom centre of its thumbnail.
  EXPECT_NE(window_->list()->GetItem(0).image.GetPixel(96, 176), 0xFFFFFFFFu);
  EXPECT_EQ(window_->list()->GetItem(2).image.GetPixel(96, 176), 0xFFFFFFFFu);
}

vz::ScreenIcon Square(int side, uint32_t argb) {
  return {side, side, std::vector<uint32_t>(static_cast<size_t>(side) * side, argb)};
}

TEST(ProgramIcon, TheSizeNearest32WinsAndTheLargerOfTwoAsNear) {
  const std::vector<vz::ScreenIcon> icons{Square(16, 1), Square(48, 2), Square(24, 3), Square(256, 4)};
  EXPECT_EQ(program_icon::Nearest(icons)->argb[0], 3u);
  EXPECT_EQ(program_icon::Nearest({Square(16, 1), Square(48, 2)})->argb[0], 2u);
  EXPECT_EQ(program_icon::Nearest({Square(48, 2), Square(16, 1)})->argb[0], 2u);
  EXPECT_EQ(program_icon::Nearest({Square(128, 1), Square(32, 2), Square(33, 3)})->argb[0], 2u);
  // A wide icon is measured by its longer side.
  EXPECT_EQ(program_icon::Nearest({{64, 16, std::vector<uint32_t>(1024, 5)}, Square(40, 6)})->argb[0], 6u);
  EXPECT_EQ(program_icon::Nearest({}), nullptr);
}

TEST(ProgramIcon, TheChosenIconIsScaledInto32PixelsWithItsShapeKept) {
  const vz::Image large = program_icon::FromWindowIcons({Square(64, 0xFF00FF00)});
  ASSERT_EQ(large.size(), (vz::Size{32, 32}));
  EXPECT_EQ(large.GetPixel(0, 0), 0xFF00FF00u);
  EXPECT_EQ(large.GetPixel(31, 31), 0xFF00FF00u);
  const vz::Image small = program_icon::FromWindowIcons({Square(16, 0x80FF0000)});
  EXPECT_EQ(small.GetPixel(0, 0), small.GetPixel(31, 31));  // grown to the whole cell
  EXPECT_EQ(vz::ColorA(small.GetPixel(16, 16)), 0x80);      // its transparency kept
  // Twice as wide as high: 32 x 16, centred, nothing above or below.
  const vz::Image wide = program_icon::FromWindowIcons({{8, 4, std::vector<uint32_t>(32, 0xFFFF0000)}});
  EXPECT_EQ(wide.GetPixel(16, 16), 0xFFFF0000u);
  EXPECT_EQ(wide.GetPixel(16, 4), 0u);
  EXPECT_EQ(wide.GetPixel(16, 28), 0u);
  // No icon, or one whose pixels do not match its size: nothing.
  EXPECT_TRUE(program_icon::FromWindowIcons({}).IsEmpty());
  EXPECT_TRUE(program_icon::FromWindowIcons({{4, 4, std::vector<uint32_t>(15, 1)}}).IsEmpty());
}

TEST_F(SelectTest, AWindowCarriesItsOwnIconElseTheGenericOneWhenItsProgramIsKnown) {
  source_.icons[0x101] = {Square(16, 0xFF0000FF), Square(48, 0xFF00FF00)};
  source_.known_pid = 0x102;  // 0x102 sets no icon, but its program is found
  Fill();                     // Screen 1, Screen 2, Third, Second, First
  const vz::Image& first = window_->list()->GetItem(4).image;
  EXPECT_EQ(first.GetPixel(0, 160), 0xFF00FF00u);  // the cell at the bottom left
  EXPECT_EQ(first.GetPixel(31, 191), 0xFF00FF00u);
  EXPECT_EQ(first.GetPixel(32, 191), 0xFFF4F4F4u);  // the outer ring beside it
  CGdiPlusBitmapResource generic;
  ASSERT_TRUE(generic.Load(vzres::IDB_PROGRAM_ICON));
  const vz::Image& second = window_->list()->GetItem(3).image;
  EXPECT_EQ(second.GetPixel(16, 167), generic.bitmap()->GetPixel(16, 7));
  EXPECT_NE(second.GetPixel(16, 167), 0xFFFFFFFFu);
  // Neither an icon nor a known program: the thumbnail alone.
  const vz::Image& third = window_->list()->GetItem(2).image;
  EXPECT_EQ(third.GetPixel(16, 167), 0xFFFFFFFFu);
  EXPECT_EQ(third.GetPixel(0, 191), 0xFFF4F4F4u);
}

TEST_F(SelectTest, ARefreshDeletesTheGoneAppendsTheNewAndKeepsTheRest) {
  Fill();
  const vz::Image first_before = window_->list()->GetItem(4).image;
  source_.colour = 0xFFFF0000;  // the screen changed: only new windows are grabbed again
  provider_.SetWindows({{0x101, u"First", 0}, {0x103, u"Third", 0}, {0x104, u"Fourth", 0}, {0x105, u"Fifth", 0}});
  window_->setWindowsInfo(provider_.GetWindowList());
  EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"Screen 1", u"Screen 2", u"Third", u"First", u"Fifth",
                                                  u"Fourth"}));
  EXPECT_EQ(source_.grabs, 7);
  EXPECT_EQ(window_->list()->GetItem(3).image.GetPixel(96, 96), first_before.GetPixel(96, 96));
  EXPECT_EQ(window_->list()->GetItem(4).image.GetPixel(96, 96), 0xFFFF0000u);
  // The same list again changes nothing and grabs nothing.
  window_->setWindowsInfo(provider_.GetWindowList());
  EXPECT_EQ(window_->list()->GetItemCount(), 6);
  EXPECT_EQ(source_.grabs, 7);
  window_->setWindowsInfo(nullptr);
  EXPECT_EQ(window_->list()->GetItemCount(), 6);
}

TEST_F(SelectTest, TheShareButtonFollowsWhatIsSelectedAndWhatIsShared) {
  provider_.monitors.Monitors[1].StateFlags |= 4;  // monitor 2 is shared
  provider_.SetWindows({{0x101, u"First", 0}, {0x102, u"Second", 1}});
  Fill();  // Monitor 1, Monitor 2, Second, First
  EXPECT_FALSE(ShareEnabled());
  Select(0);
  EXPECT_TRUE(ShareEnabled());
  Select(1);
  EXPECT_FALSE(ShareEnabled());
  Select(2);
  EXPECT_FALSE(ShareEnabled());
  Select(3);
  EXPECT_TRUE(ShareEnabled());
  Select(-1);
  EXPECT_FALSE(ShareEnabled());
}

TEST_F(SelectTest, AnEnabledShareButtonWearsTheHeaderColour) {
  Fill();
  window_->Show(true);
  vz::Window* share = window_->GetDlgItem(1021)->window();
  const vz::Point inside = share->ToScreen({4, 4});
  const vz::Point origin = window_->window()->ToScreen({0, 0});
  auto pixel = [&] { return system_->Render(window_->window()).GetPixel(inside.x - origin.x, inside.y - origin.y); };
  EXPECT_NE(pixel(), vz::MakeColor(0xFF, 0x84, 0x00));  // disabled: the plain look
  Select(0);
  EXPECT_EQ(pixel(), vz::MakeColor(0xFF, 0x84, 0x00));  // COLORREF 0x0084FF
  MeetConfig config{};
  config.HeaderBgColor = 0xFF00FF00;
  window_->updateMeetConfig(&config);
  EXPECT_EQ(pixel(), vz::MakeColor(0x00, 0xFF, 0x00));
}

TEST_F(SelectTest, TheSelectedRecordsAreThoseOfTheCopies) {
  provider_.SetWindows({{0x101, u"First", 0}, {0x102, u"Second", 0}, {0x101, u"First again", 0}});
  Fill();  // Monitor 1, Monitor 2, First again, Second (0x101 listed once)
  EXPECT_EQ(window_->list()->GetItemCount(), 4);
  EXPECT_EQ(window_->getCurrentSelectedMonitor(), nullptr);
  EXPECT_EQ(window_->getCurrentSelectedWindow(), nullptr);
  Select(1);
  ASSERT_NE(window_->getCurrentSelectedMonitor(), nullptr);
  EXPECT_EQ(window_->getCurrentSelectedMonitor()->MonitorId, 2);
  EXPECT_NE(window_->getCurrentSelectedMonitor(), &provider_.monitors.Monitors[1]);  // the window's copy
  EXPECT_EQ(window_->getCurrentSelectedWindow(), nullptr);
  Select(2);
  ASSERT_NE(window_->getCurrentSelectedWindow(), nullptr);
  EXPECT_EQ(std::u16string(window_->getCurrentSelectedWindow()->Title), u"First again");  // the last record
  EXPECT_EQ(window_->getCurrentSelectedMonitor(), nullptr);
  // The window is gone from the capture side's list: the selection finds no record.
  provider_.SetWindows({{0x102, u"Second", 0}});
  window_->setWindowsInfo(provider_.GetWindowList());
  EXPECT_EQ(window_->list()->GetSelectedIndex(), -1);
  EXPECT_FALSE(ShareEnabled());
}

TEST_F(SelectTest, FocusingTheListSelectsTheFirstItemWhenNothingIsSelected) {
  Fill();
  window_->Show(true);
  window_->focusList();
  EXPECT_EQ(window_->list()->GetSelectedIndex(), 0);
  EXPECT_TRUE(window_->list()->window()->HasFocus());
  Select(3);
  window_->focusList();
  EXPECT_EQ(window_->list()->GetSelectedIndex(), 3);
  system_->SendKey(vz::keys::kLeft);
  EXPECT_EQ(window_->list()->GetSelectedIndex(), 2);
}

TEST_F(SelectTest, TheStatusLabelCoversTheListUntilItIsRemoved) {
  Fill();
  window_->showStatusLabel(u"Waiting for the meeting");
  ASSERT_TRUE(window_->HasStatusLabelForTesting());
  EXPECT_EQ(window_->status_label_for_testing()->window()->bounds(),
            vz::Rect::FromXYWH((648 - 420) / 2, (442 - 68) / 2, 420, 68));
  EXPECT_FALSE(window_->list()->IsWindowEnabled());
  EXPECT_FALSE(window_->GetDlgItem(1021)->window()->IsVisible());
  EXPECT_TRUE(window_->GetDlgItem(2)->window()->IsVisible());
  window_->showStatusLabel(nullptr);
  EXPECT_FALSE(window_->HasStatusLabelForTesting());
  EXPECT_TRUE(window_->list()->IsWindowEnabled());
  EXPECT_TRUE(window_->GetDlgItem(1021)->window()->IsVisible());
}

TEST_F(SelectTest, ItPostsConfirmCancelAndRefreshOnlyWhileVisible) {
  Fill();
  clock_.AdvanceMs(2500);
  loop_.RunPending();
  EXPECT_TRUE(posted_.empty());  // hidden: no refresh
  window_->Show(true);
  clock_.AdvanceMs(2500);
  loop_.RunPending();
  EXPECT_EQ(posted_, (std::vector<uint32_t>{kPanelWindowListRefresh}));
  posted_.clear();
  Select(0);
  auto centre = [this](uint32_t id) {
    vz::Window* w = window_->GetDlgItem(id)->window();
    return w->ToScreen({w->bounds().Width() / 2, w->bounds().Height() / 2});
  };
  system_->ClickForTesting(centre(1021));
  system_->ClickForTesting(centre(2));
  const vz::Rect cell = window_->list()->ItemRect(1);
  const vz::Point on_item = window_->list()->window()->ToScreen({cell.left + 20, cell.top + 20});
  system_->ClickForTesting(on_item);
  system_->ClickForTesting(on_item);  // a double click
  EXPECT_EQ(posted_, (std::vector<uint32_t>{kPanelSelectionConfirmed, kPanelSelectionClosed, kPanelSelectionConfirmed}));
}

TEST_F(SelectTest, TheLogoShowsOnlyWhenTheMeetingWantsIt) {
  EXPECT_FALSE(window_->GetDlgItem(3)->window()->IsVisible());
  MeetConfig config{};
  config.ShowPoweredBy = 1;
  window_->updateMeetConfig(&config);
  EXPECT_TRUE(window_->GetDlgItem(3)->window()->IsVisible());
}

// Seven targets in rows of three: the third row lies below the list, and a
// scroll bar on the list's right says so. A press below its thumb scrolls a
// page (to the last row), dragging the thumb back up scrolls back, and
// neither selects anything. With one row there is no bar.
TEST_F(SelectTest, ItemsBelowTheListShowAsAScrollBarThatScrollsTheList) {
  provider_.SetWindows({{0x101, u"First", 0}, {0x102, u"Second", 0}, {0x103, u"Third", 0}, {0x104, u"Fourth", 0},
                        {0x105, u"Fifth", 0}});
  Fill();
  window_->Show(true);
  CThumbnailList* list = window_->list();
  ASSERT_EQ(list->GetItemCount(), 7);
  const vz::Rect area = list->window()->bounds();  // in the window's client area
  ASSERT_EQ(area.Height(), 442);
  const int bar_x = area.right - CVerticalScrollBar::kWidth / 2;
  auto pixel = [&](int x, int y) {
    window_->window()->Update();
    return system_->Render(window_->window()).GetPixel(x, area.top + y);
  };
  constexpr vz::Color kTrack = 0xFFF0F0F0, kThumb = 0xFFC1C1C1, kDragged = 0xFF8C8C8C;
  // 674 pixels of rows in 442: a thumb of 289 over a track of 442.
  EXPECT_EQ(pixel(bar_x, 10), kThumb);
  EXPECT_EQ(pixel(bar_x, 280), kThumb);
  EXPECT_EQ(pixel(bar_x, 300), kTrack);
  EXPECT_EQ(pixel(bar_x, 435), kTrack);
  EXPECT_EQ(pixel(area.right - CVerticalScrollBar::kWidth - 4, 300), 0xFFFFFFFFu) << "the items keep clear of it";
  EXPECT_GE(list->ItemRect(6).top, area.Height());

  auto on_list = [&](int y) { return list->window()->ToScreen({area.Width() - CVerticalScrollBar::kWidth / 2, y}); };
  system_->ClickForTesting(on_list(400));
  EXPECT_EQ(list->scroll_y_for_testing(), 674 - 442);
  EXPECT_LT(list->ItemRect(6).bottom, area.Height());
  EXPECT_EQ(pixel(bar_x, 100), kTrack);
  EXPECT_EQ(pixel(bar_x, 435), kThumb);
  EXPECT_EQ(list->GetSelectedIndex(), -1);

  // The thumb (now at 153 to 442) dragged up by its whole travel.
  system_->SendMouse(vz::MouseAction::kPress, vz::MouseButton::kLeft, on_list(300));
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, on_list(220));
  EXPECT_EQ(list->scroll_y_for_testing(), (674 - 442) - 80 * (674 - 442) / (442 - 289));
  EXPECT_EQ(pixel(bar_x, 300), kDragged);
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, on_list(100));
  system_->SendMouse(vz::MouseAction::kRelease, vz::MouseButton::kLeft, on_list(100));
  EXPECT_EQ(list->scroll_y_for_testing(), 0);
  EXPECT_EQ(pixel(bar_x, 10), kThumb);
  EXPECT_EQ(list->GetSelectedIndex(), -1);

  provider_.SetWindows({{0x101, u"First", 0}});
  Fill();
  ASSERT_EQ(list->GetItemCount(), 3);
  EXPECT_EQ(pixel(bar_x, 10), 0xFFFFFFFFu);
  EXPECT_EQ(pixel(bar_x, 435), 0xFFFFFFFFu);
}

}  // namespace
