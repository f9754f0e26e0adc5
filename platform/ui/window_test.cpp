// The window tree, input routing and modal loops on the headless backend.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"
#include "platform/ui/modal_loop.h"

namespace vz {
namespace {

// Paints one colour and records what it is told.
class Recorder : public WindowDelegate {
 public:
  explicit Recorder(Color color, std::vector<std::string>* log = nullptr, std::string name = "")
      : color_(color), log_(log), name_(std::move(name)) {}
  void OnPaint(Canvas& canvas) override {
    ++paints;
    canvas.FillRect({0, 0, canvas.size().width, canvas.size().height}, color_);
  }
  void OnMouse(const MouseEvent& event) override {
    events.push_back(event);
    if (log_ != nullptr) log_->push_back(name_ + ":" + std::to_string(static_cast<int>(event.action)));
    if (on_mouse) on_mouse(event);
  }
  bool OnKey(const KeyEvent& event) override {
    keys.push_back(event);
    return takes_keys;
  }
  void OnFocus(bool focused) override { focus.push_back(focused); }
  std::vector<MouseEvent> events;
  std::vector<KeyEvent> keys;
  std::vector<bool> focus;
  std::function<void(const MouseEvent&)> on_mouse;
  bool takes_keys = false;
  int paints = 0;

 private:
  Color color_;
  std::vector<std::string>* log_;
  std::string name_;
};

class WindowTest : public ::testing::Test {
 protected:
  FakeClock clock_;
  RunLoop loop_{clock_};
  std::unique_ptr<HeadlessWindowSystem> system_ = HeadlessWindowSystem::Create();

  std::unique_ptr<Window> Make(WindowDelegate* d, Rect bounds, Window* parent = nullptr, uint32_t flags = 0) {
    WindowParams params;
    params.bounds = bounds;
    params.parent = parent;
    params.flags = flags;
    params.title = "w";
    return system_->CreateWindow(params, d);
  }
};

TEST_F(WindowTest, ChildrenPaintOverTheirParentIntoOneBuffer) {
  Recorder top_paint(0xFF000000), child_paint(0xFFFF0000), hidden_paint(0xFF00FF00);
  auto top = Make(&top_paint, {100, 100, 140, 130});
  auto child = Make(&child_paint, {10, 10, 20, 20}, top.get());
  auto hidden = Make(&hidden_paint, {0, 0, 5, 5}, top.get());
  child->Show();
  top->Show();
  const Image& image = system_->Render(top.get());
  EXPECT_EQ(image.size(), (Size{40, 30}));
  EXPECT_EQ(image.GetPixel(15, 15), 0xFFFF0000u);
  EXPECT_EQ(image.GetPixel(20, 15), 0xFF000000u);
  EXPECT_EQ(image.GetPixel(2, 2), 0xFF000000u);  // hidden child paints nothing
  EXPECT_EQ(hidden_paint.paints, 0);
  EXPECT_EQ(child->ToScreen({0, 0}), (Point{110, 110}));
}

TEST_F(WindowTest, InvalidationPaintsOnTheNextTurnOnce) {
  Recorder paint(0xFF000000);
  auto top = Make(&paint, {0, 0, 10, 10});
  top->Show();
  loop_.RunUntilIdle();
  const int after_show = paint.paints;
  EXPECT_EQ(after_show, 1);
  top->Invalidate({0, 0, 2, 2});
  top->Invalidate({5, 5, 6, 6});
  EXPECT_EQ(paint.paints, after_show);
  loop_.RunUntilIdle();
  EXPECT_EQ(paint.paints, after_show + 1);
  top->Hide();
  top->Invalidate();
  loop_.RunUntilIdle();
  EXPECT_EQ(paint.paints, after_show + 1);  // hidden windows are not painted
}

TEST_F(WindowTest, MouseGoesToTheChildUnderThePointerWithEnterAndLeave) {
  std::vector<std::string> log;
  Recorder top_d(0xFF000000, &log, "top"), a_d(0xFF111111, &log, "a"), b_d(0xFF222222, &log, "b");
  auto top = Make(&top_d, {0, 0, 100, 100});
  auto a = Make(&a_d, {0, 0, 50, 50}, top.get());
  auto b = Make(&b_d, {40, 40, 90, 90}, top.get());  // over a where they meet
  a->Show();
  b->Show();
  top->Show();
  system_->SendMouse(MouseAction::kMove, MouseButton::kNone, {10, 10});
  system_->SendMouse(MouseAction::kMove, MouseButton::kNone, {45, 45});
  system_->SendMouse(MouseAction::kPress, MouseButton::kLeft, {46, 47});
  const std::vector<std::string> expected = {"a:5", "a:3", "a:6", "b:5", "b:3", "b:0"};
  EXPECT_EQ(log, expected);
  EXPECT_EQ(b_d.events.back().position, (Point{6, 7}));
  EXPECT_EQ(b_d.events.back().screen_position, (Point{46, 47}));
}

TEST_F(WindowTest, CaptureTakesEveryMouseEventUntilReleased) {
  Recorder top_d(0xFF000000), a_d(0xFF111111), other_d(0xFF333333);
  auto top = Make(&top_d, {0, 0, 100, 100});
  auto a = Make(&a_d, {0, 0, 10, 10}, top.get());
  auto other = Make(&other_d, {200, 0, 300, 100});
  a->Show();
  top->Show();
  other->Show();
  a->SetCapture();
  system_->SendMouse(MouseAction::kMove, MouseButton::kNone, {250, 50});
  ASSERT_FALSE(a_d.events.empty());
  EXPECT_EQ(a_d.events.back().position, (Point{250, 50}));
  EXPECT_TRUE(other_d.events.empty());
  a->ReleaseCapture();
  system_->SendMouse(MouseAction::kMove, MouseButton::kNone, {250, 50});
  EXPECT_FALSE(other_d.events.empty());
}

TEST_F(WindowTest, AnEmptyInputShapeLetsClicksThroughToTheWindowBelow) {
  Recorder below_d(0xFF000000), overlay_d(0x00000000);
  auto below = Make(&below_d, {0, 0, 100, 100});
  auto overlay = Make(&overlay_d, {0, 0, 100, 100}, nullptr, kWindowTopmost | kWindowNoActivate);
  below->Show();
  overlay->Show(false);
  system_->ClickForTesting({50, 50});
  EXPECT_FALSE(overlay_d.events.empty());
  overlay_d.events.clear();
  below_d.events.clear();
  overlay->SetInputShape({});
  system_->ClickForTesting({50, 50});
  for (const MouseEvent& e : overlay_d.events) EXPECT_EQ(e.action, MouseAction::kLeave);
  EXPECT_FALSE(below_d.events.empty());
  overlay->SetInputShape({{0, 0, 10, 10}});
  system_->ClickForTesting({5, 5});
  EXPECT_FALSE(overlay_d.events.empty());
}

TEST_F(WindowTest, VisiblePixelsAreCutToTheShapeAndScaledByTheOpacity) {
  Recorder d(0xFF804020);
  auto w = Make(&d, {10, 10, 30, 20});
  w->Show(false);
  w->SetShape({{0, 0, 5, 10}, {15, 0, 20, 10}});
  w->SetOpacity(128);
  const Image seen = system_->RenderVisible(w.get());
  ASSERT_EQ(seen.size(), (Size{20, 10}));
  // Premultiplied 0xFF804020 times 128/255, channel by channel.
  const uint32_t expected = (128u << 24) | ((0x80u * 128 / 255) << 16) | ((0x40u * 128 / 255) << 8) | (0x20u * 128 / 255);
  EXPECT_EQ(seen.data()[0], expected);
  EXPECT_EQ(seen.data()[9 * 20 + 19], expected);
  EXPECT_EQ(seen.data()[5], 0u);   // between the two parts
  EXPECT_EQ(seen.data()[14], 0u);
  EXPECT_EQ(system_->Render(w.get()).data()[5], 0xFF804020u);  // the buffer keeps everything
  w->ClearShape();
  w->SetOpacity(255);
  EXPECT_EQ(system_->RenderVisible(w.get()).GetPixel(5, 5), 0xFF804020u);
}

// Whether a region (disjoint rectangles) holds a point, and its area.
bool RegionHas(const WindowRegion& region, Point p) {
  int hits = 0;
  for (const Rect& r : region) hits += r.Contains(p) ? 1 : 0;
  EXPECT_LE(hits, 1) << "rectangles overlap at " << p.x << "," << p.y;
  return hits == 1;
}
int RegionArea(const WindowRegion& region) {
  int area = 0;
  for (const Rect& r : region) area += r.Width() * r.Height();
  return area;
}

TEST_F(WindowTest, UncoveredAreaLeavesOutWhatIsPaintedLaterAndWhatLiesOutsideTheAncestors) {
  Recorder p0(0xFF000000), p1(0xFF111111), p2(0xFF222222), p3(0xFF333333), p4(0xFF444444), p5(0xFF555555),
      p6(0xFF666666), p7(0xFF777777);
  auto top = Make(&p0, {0, 0, 300, 300});
  auto host = Make(&p1, {10, 10, 190, 190}, top.get());
  auto before = Make(&p2, {0, 0, 30, 30}, host.get());       // painted before the video: no cut
  auto video = Make(&p3, {0, 0, 200, 100}, host.get());      // wider than its host: clipped at 180
  auto label = Make(&p4, {5, 80, 55, 95}, video.get());      // its own child
  auto button = Make(&p5, {90, 0, 120, 20}, host.get());     // a later sibling
  auto hidden = Make(&p6, {0, 40, 180, 60}, host.get());     // later, but hidden
  auto toolbar = Make(&p7, {0, 100, 50, 130}, top.get());    // the host's later sibling
  for (Window* w : {host.get(), before.get(), video.get(), label.get(), button.get(), toolbar.get()}) w->Show();
  top->Show();

  const WindowRegion area = video->UncoveredArea();
  // Label 50x15, button 30x20, toolbar 40x10 over the video, label and toolbar sharing 35x5.
  EXPECT_EQ(RegionArea(area), 180 * 100 - 50 * 15 - 30 * 20 - 40 * 10 + 35 * 5);
  EXPECT_TRUE(RegionHas(area, {1, 1}));         // under the earlier sibling: still video
  EXPECT_TRUE(RegionHas(area, {60, 50}));       // under the hidden sibling
  EXPECT_FALSE(RegionHas(area, {10, 85}));      // the label
  EXPECT_FALSE(RegionHas(area, {100, 10}));     // the button
  EXPECT_FALSE(RegionHas(area, {5, 95}));       // the toolbar (top-level (10..50, 100..130))
  EXPECT_TRUE(RegionHas(area, {45, 95}));
  EXPECT_FALSE(RegionHas(area, {185, 50}));     // outside the host
  // Nothing painted later covers the top-most control; a hidden window has none.
  EXPECT_EQ(RegionArea(toolbar->UncoveredArea()), 50 * 30);
  EXPECT_TRUE(hidden->UncoveredArea().empty());
  // A top-level window is covered by its children alone (the toolbar sticks out of the host by 10x30).
  EXPECT_EQ(RegionArea(top->UncoveredArea()), 300 * 300 - 180 * 180 - 10 * 30);
}

TEST_F(WindowTest, UncoveredAreaWatcherHearsOfEachChangeAfterThePaint) {
  Recorder p0(0xFF000000), p1(0xFF111111), p2(0xFF222222), p3(0xFF333333);
  auto top = Make(&p0, {0, 0, 200, 200});
  auto video = Make(&p1, {0, 0, 200, 200}, top.get());
  auto button = Make(&p2, {10, 10, 30, 30}, top.get());
  auto label = std::make_unique<Recorder>(0xFF444444);
  auto label_window = Make(label.get(), {0, 180, 100, 200}, video.get());
  for (Window* w : {video.get(), button.get(), label_window.get()}) w->Show();
  top->Show();
  system_->Render(top.get());

  std::vector<int> told;
  video->WatchUncoveredArea([&](const WindowRegion& region) { told.push_back(RegionArea(region)); });
  ASSERT_EQ(told, (std::vector<int>{40000 - 400 - 2000}));  // at once

  button->Hide();  // the overlay hides: the video takes its place back at the next paint
  EXPECT_EQ(told.size(), 1u);
  system_->Render(top.get());
  EXPECT_EQ(told.back(), 40000 - 2000);
  system_->Render(top.get());  // nothing changed, nothing told
  EXPECT_EQ(told.size(), 2u);

  button->Show();
  button->Move(190, 190);  // half outside
  system_->Render(top.get());
  EXPECT_EQ(told.back(), 40000 - 100 - 2000);
  button->Lower();  // now painted before the video
  system_->Render(top.get());
  EXPECT_EQ(told.back(), 40000 - 2000);
  label_window.reset();
  system_->Render(top.get());
  EXPECT_EQ(told.back(), 40000);
  video->Hide();
  system_->Render(top.get());
  EXPECT_EQ(told.back(), 0);

  const size_t count = told.size();
  video->WatchUncoveredArea(nullptr);
  video->Show();
  system_->Render(top.get());
  EXPECT_EQ(told.size(), count);
  // A watched window destroyed before the next paint is forgotten.
  video->WatchUncoveredArea([&](const WindowRegion& region) { told.push_back(RegionArea(region)); });
  video.reset();
  button->Move(0, 0);
  system_->Render(top.get());
  EXPECT_EQ(told.size(), count + 1);
}

TEST_F(WindowTest, StackingBelowAnUnknownDisplayWindowFailsHeadless) {
  Recorder a_d(0xFF000000), b_d(0xFFFFFFFF);
  auto a = Make(&a_d, {0, 0, 10, 10});
  auto b = Make(&b_d, {0, 0, 10, 10});
  a->Show(false);
  b->Show(false);
  EXPECT_FALSE(a->StackBelowNative(0x1234));
  EXPECT_FALSE(a->StackBelowNative(0));
  EXPECT_EQ(system_->TopLevelWindows().back(), b.get());  // nothing moved
}

TEST_F(WindowTest, KeysGoToTheFocusedChildThenUpToItsParents) {
  Recorder top_d(0xFF000000), edit_d(0xFF111111);
  auto top = Make(&top_d, {0, 0, 100, 100});
  auto edit = Make(&edit_d, {0, 0, 10, 10}, top.get());
  edit->Show();
  top->Show();
  edit->Focus();
  EXPECT_TRUE(edit->HasFocus());
  system_->SendKey(keys::kReturn);
  ASSERT_EQ(edit_d.keys.size(), 1u);
  ASSERT_EQ(top_d.keys.size(), 1u);  // not taken by the child: the parent sees it
  edit_d.takes_keys = true;
  system_->TypeTextForTesting("hé");
  ASSERT_EQ(edit_d.keys.size(), 3u);
  EXPECT_EQ(edit_d.keys[2].text, "é");
  EXPECT_EQ(top_d.keys.size(), 1u);
  // A destroyed focused child hands the keys back to its window.
  edit.reset();
  system_->SendKey(keys::kEscape);
  EXPECT_EQ(top_d.keys.size(), 2u);
}

TEST_F(WindowTest, AWindowDestroyedByItsOwnClickIsNotTouchedAgain) {
  Recorder top_d(0xFF000000);
  std::unique_ptr<Window> child;
  Recorder child_d(0xFF111111);
  auto top = Make(&top_d, {0, 0, 100, 100});
  child = Make(&child_d, {0, 0, 50, 50}, top.get());
  child->Show();
  top->Show();
  child_d.on_mouse = [&](const MouseEvent& e) {
    if (e.action == MouseAction::kEnter) child.reset();
  };
  system_->SendMouse(MouseAction::kPress, MouseButton::kLeft, {5, 5});
  EXPECT_EQ(child, nullptr);
  system_->SendMouse(MouseAction::kMove, MouseButton::kNone, {6, 6});
  EXPECT_FALSE(top_d.events.empty());
}

TEST_F(WindowTest, TheTopWindowUnderThePointerTakesTheClickAndStackingChangesIt) {
  Recorder a_d(0xFF000000), b_d(0xFF111111);
  auto a = Make(&a_d, {0, 0, 100, 100});
  auto b = Make(&b_d, {50, 50, 150, 150});
  a->Show();
  b->Show();
  system_->ClickForTesting({75, 75});
  EXPECT_FALSE(b_d.events.empty());
  EXPECT_TRUE(a_d.events.empty());
  b->StackBelow(a.get());
  EXPECT_EQ(system_->TopLevelWindows(), (std::vector<Window*>{b.get(), a.get()}));
  b_d.events.clear();
  system_->ClickForTesting({75, 75});
  EXPECT_FALSE(a_d.events.empty());
  a->Lower();
  a_d.events.clear();
  system_->ClickForTesting({75, 75});
  for (const MouseEvent& e : a_d.events) EXPECT_EQ(e.action, MouseAction::kLeave);
  b->Hide();
  system_->ClickForTesting({75, 75});
  EXPECT_FALSE(a_d.events.empty());  // hidden windows take nothing
}

TEST_F(WindowTest, FocusFollowsShowingAndHidingButNotForNoActivateWindows) {
  Recorder a_d(0xFF000000), tool_d(0xFF111111);
  auto a = Make(&a_d, {0, 0, 100, 100});
  auto tool = Make(&tool_d, {200, 0, 300, 100}, nullptr, kWindowNoActivate);
  a->Show();
  EXPECT_EQ(system_->ActiveWindow(), a.get());
  EXPECT_EQ(a_d.focus, (std::vector<bool>{true}));
  tool->Show();
  system_->ClickForTesting({250, 50});
  EXPECT_EQ(system_->ActiveWindow(), a.get());
  EXPECT_TRUE(tool_d.focus.empty());
  a->Hide();
  EXPECT_EQ(system_->ActiveWindow(), nullptr);
  EXPECT_EQ(a_d.focus, (std::vector<bool>{true, false}));
}

TEST_F(WindowTest, QuickSecondPressesAreDoubleClicksAndWheelsCarryTheirDirection) {
  Recorder d(0xFF000000);
  auto top = Make(&d, {0, 0, 100, 100});
  top->Show();
  system_->ClickForTesting({10, 10});
  system_->ClickForTesting({11, 10});
  system_->ClickForTesting({60, 60});  // far away: a plain press again
  system_->SendMouse(MouseAction::kWheel, MouseButton::kNone, {60, 60}, -1);
  std::vector<MouseAction> presses;
  for (const MouseEvent& e : d.events) {
    if (e.action == MouseAction::kPress || e.action == MouseAction::kDoubleClick) presses.push_back(e.action);
  }
  EXPECT_EQ(presses, (std::vector<MouseAction>{MouseAction::kPress, MouseAction::kPress, MouseAction::kDoubleClick,
                                               MouseAction::kPress}));
  EXPECT_EQ(d.events.back().action, MouseAction::kWheel);
  EXPECT_EQ(d.events.back().wheel_delta, -1);
}

TEST_F(WindowTest, ResizingATopLevelWindowResizesItsBuffer) {
  Recorder d(0xFF00FF00);
  auto top = Make(&d, {0, 0, 10, 10});
  top->Show();
  top->SetBounds({5, 5, 45, 25});
  const Image& image = system_->Render(top.get());
  EXPECT_EQ(image.size(), (Size{40, 20}));
  EXPECT_EQ(image.GetPixel(39, 19), 0xFF00FF00u);
}

// The monitor a window is on: most overlap, the first of equals, else the
// nearest (a window pushed off every monitor still has one).
TEST(MonitorOfRectTest, MostOverlapThenTheFirstOfEqualsThenTheNearest) {
  const std::vector<MonitorArea> monitors = {{Rect{0, 0, 1920, 1080}, {}, true, "left"},
                                             {Rect{1920, 0, 3200, 1024}, {}, false, "right"}};
  auto name = [&](const Rect& r) {
    const MonitorArea* m = MonitorOfRect(monitors, r);
    return m != nullptr ? m->name : std::string("none");
  };
  EXPECT_EQ(name(Rect::FromXYWH(1800, 100, 400, 300)), "right");  // 120 wide on the left, 280 on the right
  EXPECT_EQ(name(Rect::FromXYWH(1700, 100, 400, 300)), "left");
  EXPECT_EQ(name(Rect::FromXYWH(1720, 100, 400, 300)), "left");  // 200 and 200: the first
  EXPECT_EQ(name(Rect::FromXYWH(3000, 1010, 400, 300)), "right");  // 200 x 14 against nothing
  EXPECT_EQ(name(Rect::FromXYWH(3300, 1100, 100, 100)), "right");  // on none: the nearest
  EXPECT_EQ(name(Rect::FromXYWH(-500, 2000, 100, 100)), "left");
  EXPECT_EQ(name(Rect::FromXYWH(2500, 40, 0, 0)), "right");  // a point
  EXPECT_EQ(MonitorOfRect({}, Rect::FromXYWH(0, 0, 10, 10)), nullptr);
}

// Full screen covers the monitor the window is on and gives it back its
// bounds; asked twice it still goes back to the bounds before the first.
TEST_F(WindowTest, FullScreenCoversTheWindowsMonitorAndLeavingRestoresItsBounds) {
  system_->SetMonitors({{Rect{0, 0, 1920, 1080}, {}, true, "left"}, {Rect{1920, 0, 3200, 1024}, {}, false, "right"}});
  struct Sizes : Recorder {
    Sizes() : Recorder(0xFF336699) {}
    void OnResize(Size size) override { sizes.push_back(size); }
    std::vector<Size> sizes;
  } d;
  const Rect placed = Rect::FromXYWH(1800, 100, 400, 300);
  auto top = Make(&d, placed);
  EXPECT_FALSE(top->IsFullScreen());
  ASSERT_TRUE(top->SetFullScreen(true));
  top->Show();
  EXPECT_TRUE(top->IsFullScreen());
  EXPECT_EQ(top->bounds(), (Rect{1920, 0, 3200, 1024}));
  EXPECT_EQ(d.sizes, (std::vector<Size>{{1280, 1024}}));
  const Image& image = system_->Render(top.get());
  EXPECT_EQ(image.size(), (Size{1280, 1024}));
  EXPECT_EQ(image.GetPixel(1279, 1023), 0xFF336699u);
  ASSERT_TRUE(top->SetFullScreen(true));
  EXPECT_EQ(d.sizes.size(), 1u);

  ASSERT_TRUE(top->SetFullScreen(false));
  EXPECT_FALSE(top->IsFullScreen());
  EXPECT_EQ(top->bounds(), placed);
  EXPECT_EQ(d.sizes.back(), (Size{400, 300}));
  EXPECT_TRUE(top->IsVisible());

  // A child is no screen's window.
  Recorder child_d(0);
  auto child = Make(&child_d, {0, 0, 10, 10}, top.get());
  EXPECT_FALSE(child->SetFullScreen(true));
  EXPECT_FALSE(child->IsFullScreen());
  EXPECT_EQ(child->bounds(), (Rect{0, 0, 10, 10}));
}

TEST_F(WindowTest, ADisabledWindowsChildrenTakeNoClicks) {
  Recorder top_d(0xFF000000), child_d(0xFF111111);
  auto top = Make(&top_d, {0, 0, 100, 100});
  auto child = Make(&child_d, {0, 0, 50, 50}, top.get());
  child->Show();
  top->Show();
  top->SetEnabled(false);  // as while a modal dialog of it runs
  system_->ClickForTesting({10, 10});
  system_->ClickForTesting({80, 80});
  EXPECT_TRUE(child_d.events.empty());
  EXPECT_TRUE(top_d.events.empty());
  top->SetEnabled(true);
  system_->ClickForTesting({10, 10});
  EXPECT_FALSE(child_d.events.empty());
}

TEST_F(WindowTest, BadParametersGiveNoWindow) {
  Recorder d(0);
  EXPECT_EQ(Make(nullptr, {0, 0, 10, 10}), nullptr);
  EXPECT_EQ(Make(&d, {0, 0, -1, 10}), nullptr);
  EXPECT_EQ(Make(&d, {0, 0, 20000, 10}), nullptr);
}

TEST_F(WindowTest, ModalLoopRunsTasksUntilEnded) {
  ModalLoop modal(loop_);
  int ran = 0;
  loop_.Post([&] { ++ran; });
  loop_.Post([&] { modal.End(7); });
  EXPECT_EQ(modal.Run(), 7);
  EXPECT_EQ(ran, 1);
  EXPECT_FALSE(modal.IsRunningForTesting());
  EXPECT_EQ(ModalLoop::Innermost(), nullptr);
}

TEST_F(WindowTest, EndingAnOuterModalLoopUnwindsTheInnerOne) {
  ModalLoop outer(loop_);
  int inner_result = 0;
  bool outer_seen_inner_end = false;
  loop_.Post([&] {
    ModalLoop inner(loop_);
    loop_.Post([&] { outer.End(3); });  // e.g. the owner is torn down from a menu's loop
    inner_result = inner.Run();
    outer_seen_inner_end = true;
  });
  EXPECT_EQ(outer.Run(), 3);
  EXPECT_EQ(inner_result, ModalLoop::kEndedByOuter);
  EXPECT_TRUE(outer_seen_inner_end);
}

TEST_F(WindowTest, OwnerTornDownDuringAModalLoopIsSeenAfterItReturns) {
  struct Owner {
    AliveFlag alive;
    ModalLoop* running = nullptr;
  };
  auto owner = std::make_unique<Owner>();
  ModalLoop modal(loop_);
  owner->running = &modal;
  std::shared_ptr<const bool> watch = owner->alive.Watch();
  loop_.Post([&] {
    ModalLoop* loop_of_owner = owner->running;
    DeleteSoon(loop_, std::move(owner));  // deferred: not destroyed under this task
    loop_of_owner->End(0);
  });
  modal.Run();
  loop_.RunUntilIdle();
  EXPECT_FALSE(*watch);
}

TEST_F(WindowTest, TheProgramQuittingDuringAModalLoopEndsItAndTheProgramsLoop) {
  int modal_result = 0;
  bool after_modal = false;
  loop_.Post([&] {
    ModalLoop dialog(loop_);
    loop_.Post([&] { loop_.Quit(); });  // e.g. the pipe is lost while a dialog is open
    modal_result = dialog.Run();
    after_modal = true;
  });
  // A lost quit would leave Run waiting: a watchdog thread ends it then.
  std::promise<void> returned;
  std::atomic<bool> timed_out{false};
  std::thread watchdog([&, done = returned.get_future()] {
    if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready) return;
    timed_out = true;
    for (int i = 0; i < 4; ++i) loop_.Quit();
  });
  loop_.Run();
  returned.set_value();
  watchdog.join();
  EXPECT_TRUE(after_modal);
  EXPECT_EQ(modal_result, ModalLoop::kEndedByOuter);
  EXPECT_FALSE(timed_out);
}

TEST_F(WindowTest, ModalLoopEndedBeforeRunReturnsAtOnce) {
  ModalLoop modal(loop_);
  modal.End(5);
  EXPECT_EQ(modal.Run(), 5);
}

}  // namespace
}  // namespace vz
