// The overlay on the headless window system: click-through and drawing
// modes, colours and shapes at known pixels, remote events, the
// keep-on-top step and placement.
#include "client/annotation/annotation_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "client/annotation/annotation_painter.h"
#include "uikit/test_bundle_testlib.h"
#include "common/log_capture_testlib.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"

namespace {

using vz::Point;
using vz::Rect;

class RecordingOwner : public IDSAnnotationFrameOwner {
 public:
  void onMoveArrowIndicator(int x, int y) override { moves.push_back({x, y}); }
  std::vector<Point> moves;
};

// A window under the overlay that records the clicks it gets.
class Below : public vz::WindowDelegate {
 public:
  void OnPaint(vz::Canvas& canvas) override { canvas.FillRect({0, 0, 2000, 2000}, 0xFF336699); }
  void OnMouse(const vz::MouseEvent& e) override {
    if (e.action == vz::MouseAction::kPress) presses.push_back(e.position);
  }
  std::vector<Point> presses;
};

class AnnotationFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bundle_.Png(vzres::IDB_CURSOR_POINTER, 32, 32, 0xFFFF0000)
        .Png(vzres::IDB_CURSOR_ERASER, 32, 32, 0xFFFFC0CB)
        .Png(vzres::IDB_CURSOR_PEN, 32, 32, 0xFF000000)
        .Png(vzres::IDB_CURSOR_HIGHLIGHTER, 32, 32, 0xFFFFFF00)
        .Png(vzres::IDB_CURSOR_SHAPE, 32, 32, 0xFF000000)
        .Install();
    vz::WindowParams params;
    params.bounds = Rect::FromXYWH(0, 0, 800, 600);
    params.title = "below";
    below_window_ = system_->CreateWindow(params, &below_);
    below_window_->Show();
    frame_.setOwner(&owner_);
    frame_.setMyRosterId("me");
    ASSERT_NE(frame_.Create(Rect::FromXYWH(100, 50, 400, 300), system_.get()), nullptr);
  }
  const vz::Image& Render() { return system_->Render(frame_.window()); }
  // A drag on the screen from `from` to `to`, moving in steps of 2 pixels.
  void Drag(Point from, Point to) {
    system_->SendMouse(vz::MouseAction::kPress, vz::MouseButton::kLeft, from);
    const int steps = std::max({std::abs(to.x - from.x), std::abs(to.y - from.y), 2}) / 2;
    for (int i = 1; i <= steps; ++i) {
      const Point p{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps};
      system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, p);
    }
    system_->SendMouse(vz::MouseAction::kRelease, vz::MouseButton::kLeft, to);
    clock_.AdvanceMs(1000);  // no double click with the next press
  }

  TestBundle bundle_;
  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create();
  Below below_;
  std::unique_ptr<vz::Window> below_window_;
  RecordingOwner owner_;
  CDSAnnotationFrame frame_{clock_};
};

TEST_F(AnnotationFrameTest, WithoutAToolClicksReachTheWindowBelowWithAPenTheyDraw) {
  EXPECT_TRUE(frame_.IsClickThroughForTesting());
  system_->ClickForTesting({200, 100});
  ASSERT_EQ(below_.presses.size(), 1u);
  EXPECT_EQ(below_.presses[0], (Point{200, 100}));
  EXPECT_EQ(frame_.drawing().count(), 0);

  frame_.setPen(0, 0xFF0000FF);  // red as 0x..BBGGRR
  frame_.setDrawTool(4);
  EXPECT_FALSE(frame_.IsClickThroughForTesting());
  Drag({200, 100}, {300, 100});
  EXPECT_EQ(below_.presses.size(), 1u);
  ASSERT_EQ(frame_.drawing().count(), 1);
  EXPECT_EQ(frame_.drawing().at(0)->points.front(), (Point{100, 50}));
  EXPECT_EQ(frame_.drawing().at(0)->points.back(), (Point{200, 50}));
  EXPECT_EQ(frame_.drawing().at(0)->rosterId, "me");
  EXPECT_EQ(frame_.drawing().at(0)->weight, 2);
  EXPECT_EQ(Render().GetPixel(150, 50), 0xFFFF0000u);
  EXPECT_EQ(Render().GetPixel(150, 60), 0u);  // the background is fully transparent

  // The laser pointer (2) and unknown tools are click-through like 0.
  for (int32_t tool : {2, 8, 9, 16, -1}) {
    frame_.setDrawTool(4);
    frame_.setDrawTool(tool);
    EXPECT_EQ(frame_.tool(), 0) << tool;
    EXPECT_TRUE(frame_.IsClickThroughForTesting()) << tool;
    EXPECT_FALSE(frame_.HasToolCursorForTesting()) << tool;
  }
  for (int32_t tool : {1, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15}) {
    frame_.setDrawTool(tool);
    EXPECT_EQ(frame_.tool(), tool) << tool;
    EXPECT_FALSE(frame_.IsClickThroughForTesting()) << tool;
    EXPECT_TRUE(frame_.HasToolCursorForTesting()) << tool;
  }
  frame_.setDrawTool(3);
  EXPECT_EQ(frame_.toolCursorForTesting()->hotspot, (Point{12, 29}));
}

TEST_F(AnnotationFrameTest, ColoursAndWeightsOfLocalTools) {
  EXPECT_EQ(CDSAnnotationFrame::ElementColor(5, 0x120AF3FF), 0x7F0AF3FFu);
  EXPECT_EQ(CDSAnnotationFrame::ElementColor(11, 0x00112233), 0x7F112233u);
  EXPECT_EQ(CDSAnnotationFrame::ElementColor(12, 0x00112233), 0xFF112233u);
  EXPECT_EQ(CDSAnnotationFrame::ElementColor(4, 0x00112233), 0xFF112233u);
  EXPECT_EQ(CDSAnnotationFrame::ElementWeight(4, 0), 2);
  EXPECT_EQ(CDSAnnotationFrame::ElementWeight(6, 1), 5);
  EXPECT_EQ(CDSAnnotationFrame::ElementWeight(13, 7), 9);
  EXPECT_EQ(CDSAnnotationFrame::ElementWeight(5, 0), 11);
  EXPECT_EQ(CDSAnnotationFrame::ElementWeight(14, 2), 1);
  EXPECT_EQ(CDSAnnotationFrame::ElementWeight(15, 2), 1);

  // The highlighter in the palette's yellow paints half-transparent yellow.
  frame_.setPen(2, 0xFF0AF3FF);
  frame_.setDrawTool(5);
  Drag({150, 150}, {250, 150});
  const vz::Color centre = Render().GetPixel(100, 100);
  EXPECT_EQ(centre, 0x7FFFF30Au);
}

TEST_F(AnnotationFrameTest, WithoutOwnerOrCursorThePointerDoesNothing) {
  CDSAnnotationFrame lone(clock_);
  ASSERT_NE(lone.Create(Rect::FromXYWH(600, 400, 100, 100), system_.get()), nullptr);
  lone.setDrawTool(4);
  system_->SendMouse(vz::MouseAction::kPress, vz::MouseButton::kLeft, {650, 450});
  EXPECT_FALSE(lone.window()->HasCapture());
  system_->SendMouse(vz::MouseAction::kRelease, vz::MouseButton::kLeft, {650, 450});
  EXPECT_EQ(lone.drawing().count(), 0);

  // A cursor image that cannot load: the press takes the capture, no more.
  TestBundle empty;
  empty.Install();
  vz::LogLineCapture log_lines;
  frame_.setDrawTool(4);
  EXPECT_FALSE(frame_.HasToolCursorForTesting());
  EXPECT_FALSE(frame_.IsClickThroughForTesting());
  EXPECT_EQ(log_lines.Count("tool=[4]", vz::kFileLines), 1u);
  system_->SendMouse(vz::MouseAction::kPress, vz::MouseButton::kLeft, {200, 100});
  EXPECT_TRUE(frame_.window()->HasCapture());
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {260, 100});
  system_->SendMouse(vz::MouseAction::kRelease, vz::MouseButton::kLeft, {260, 100});
  EXPECT_FALSE(frame_.window()->HasCapture());
  EXPECT_EQ(frame_.drawing().count(), 0);
}

TEST_F(AnnotationFrameTest, PointerIndicatorEraserAndDoubleClick) {
  frame_.setDrawTool(1);
  Drag({200, 100}, {204, 100});
  EXPECT_EQ(owner_.moves, (std::vector<Point>{{200, 100}, {202, 100}, {204, 100}}));
  EXPECT_EQ(frame_.drawing().count(), 0);

  frame_.setDrawTool(4);
  Drag({120, 200}, {380, 200});
  Drag({120, 250}, {380, 250});
  ASSERT_EQ(frame_.drawing().count(), 2);
  // The eraser wipes everything its drag crosses.
  frame_.setDrawTool(3);
  Drag({200, 190}, {200, 260});
  EXPECT_EQ(frame_.drawing().count(), 0);
  frame_.undo(u"me");
  EXPECT_EQ(frame_.drawing().count(), 1);  // one erasure at a time

  // The second press of a double click starts nothing.
  frame_.setDrawTool(4);
  system_->ClickForTesting({150, 300});
  system_->ClickForTesting({151, 300});
  EXPECT_EQ(frame_.drawing().count(), 2);
  clock_.AdvanceMs(600);
  system_->ClickForTesting({151, 300});
  EXPECT_EQ(frame_.drawing().count(), 3);
}

TEST_F(AnnotationFrameTest, RemoteEventsApplyToTheSendersElementsInWindowCoordinates) {
  DSAnnotationEvent stroke;
  stroke.type = DSAnnotationStroke;
  stroke.color = 0xFFFF0000;  // blue
  stroke.weight = 3;
  stroke.points = {{110, 60}, {300, 60}};
  EXPECT_TRUE(frame_.applyRemoteEvent(stroke, u"peer"));
  ASSERT_EQ(frame_.drawing().count(), 1);
  EXPECT_EQ(frame_.drawing().at(0)->points, (std::vector<Point>{{10, 10}, {200, 10}}));
  EXPECT_EQ(frame_.drawing().at(0)->rosterId, "peer");
  EXPECT_EQ(Render().GetPixel(100, 10), 0xFF0000FFu);

  DSAnnotationEvent pointer;
  pointer.type = DSAnnotationPointer;
  pointer.points = {{110, 60}};
  EXPECT_FALSE(frame_.applyRemoteEvent(pointer, u"peer"));

  // The local participant draws too; the peer's undo leaves it alone.
  frame_.setDrawTool(4);
  Drag({120, 200}, {380, 200});
  DSAnnotationEvent undo;
  undo.type = DSAnnotationUndo;
  frame_.applyRemoteEvent(undo, u"peer");
  ASSERT_EQ(frame_.drawing().count(), 1);
  EXPECT_EQ(frame_.drawing().at(0)->rosterId, "me");
  DSAnnotationEvent redo;
  redo.type = DSAnnotationRedo;
  frame_.applyRemoteEvent(redo, u"peer");
  EXPECT_EQ(frame_.drawing().count(), 2);

  // The peer's eraser hits only the peer's elements.
  DSAnnotationEvent erase;
  erase.type = DSAnnotationErase;
  erase.points = {{200, 150}};  // on the local stroke (window y 150)
  frame_.applyRemoteEvent(erase, u"peer");
  EXPECT_EQ(frame_.drawing().count(), 2);
  erase.points = {{200, 60}};
  frame_.applyRemoteEvent(erase, u"peer");
  EXPECT_EQ(frame_.drawing().count(), 1);

  // A filled stroke is closed and filled; a colour with alpha 0 shows nothing.
  DSAnnotationEvent filled;
  filled.type = DSAnnotationFilledStroke;
  filled.color = 0xFF00FF00;
  filled.weight = 1;
  filled.points = {{150, 80}, {250, 80}, {250, 180}, {150, 180}};
  frame_.applyRemoteEvent(filled, u"peer");
  EXPECT_EQ(Render().GetPixel(100, 80), 0xFF00FF00u);
  DSAnnotationEvent invisible = filled;
  invisible.color = 0x00FF0000;
  invisible.points = {{310, 210}, {390, 210}, {390, 290}, {310, 290}};
  frame_.applyRemoteEvent(invisible, u"peer");
  EXPECT_EQ(frame_.drawing().count(), 3);
  EXPECT_EQ(Render().GetPixel(250, 200), 0u);

  // Removing the peer's elements, then clearing all, which the local undo restores.
  DSAnnotationEvent remove;
  remove.type = DSAnnotationRemove;
  frame_.applyRemoteEvent(remove, u"peer");
  EXPECT_EQ(frame_.drawing().count(), 1);
  frame_.clearAll();
  EXPECT_EQ(frame_.drawing().count(), 0);
  frame_.undo(u"me");
  EXPECT_EQ(frame_.drawing().count(), 1);

  // Empty or unknown remote elements change nothing.
  frame_.addElement(8, nullptr, 0, 0xFF000000, 1, u"peer");
  frame_.addElement(11, stroke.points.data(), 2, 0xFF000000, 1, u"peer");
  EXPECT_EQ(frame_.drawing().count(), 1);
  frame_.eraseRosterElementAt(nullptr, u"peer");
}

// A peer's strokes across the overlay are painted once: a new element over
// what is kept, an expose from what is kept, and after every change the
// window shows what painting every element afresh shows.
TEST_F(AnnotationFrameTest, KeptPaintingRepaintsOnlyWhatChangedAndShowsWhatAFreshPaintShows) {
  // Painting in pieces and at once may round anti-aliased edges apart
  // (as in the partial repaint below); a stale or doubled element is far off.
  auto expect_fresh_pixels = [this](const char* step) {
    const vz::Image& shown = Render();
    vz::Image fresh(shown.width(), shown.height());
    PaintAnnotationElements(*vz::CreateImageCanvas(fresh), frame_.drawing());
    int far_off = 0, differing = 0;
    for (int y = 0; y < shown.height(); ++y) {
      for (int x = 0; x < shown.width(); ++x) {
        // Premultiplied: a nearly transparent pixel's colour means nothing.
        const uint32_t p = vz::PremultiplyColor(shown.GetPixel(x, y)), q = vz::PremultiplyColor(fresh.GetPixel(x, y));
        differing += p != q ? 1 : 0;
        for (int shift : {0, 8, 16, 24}) {
          far_off += std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF)) > 8;
        }
      }
    }
    EXPECT_EQ(far_off, 0) << step;
    EXPECT_LT(differing, shown.width() * shown.height() / 100) << step;
  };
  auto paints = [this] { return frame_.layerForTesting().elementPaintsForTesting(); };
  DSAnnotationEvent stroke;
  stroke.type = DSAnnotationStroke;
  stroke.weight = 30;
  for (int i = 0; i < 4; ++i) {
    stroke.color = 0x80000000u | (0x3F << (8 * (i % 3)));  // translucent: painted twice would show
    stroke.points = {{110 + 20 * i, 60}, {480, 330 - 40 * i}, {120, 320}, {470 + i, 70}};
    frame_.applyRemoteEvent(stroke, u"peer");
  }
  expect_fresh_pixels("four strokes");
  const uint64_t at_start = paints();

  stroke.points = {{105, 55}, {495, 345}};
  frame_.applyRemoteEvent(stroke, u"peer");
  expect_fresh_pixels("a fifth over them");
  EXPECT_EQ(paints() - at_start, 1u) << "only the new stroke is painted; those under it are kept";

  frame_.window()->Invalidate();  // an expose of the whole window
  expect_fresh_pixels("exposed");
  EXPECT_EQ(paints() - at_start, 1u) << "an expose copies what is kept";

  // Changes under the top: an eraser, an undo, a local stroke beneath a
  // peer's element added while it is drawn.
  DSAnnotationEvent erase;
  erase.type = DSAnnotationErase;
  erase.points = {{300, 200}};
  frame_.applyRemoteEvent(erase, u"peer");
  expect_fresh_pixels("erased");
  DSAnnotationEvent undo;
  undo.type = DSAnnotationUndo;
  frame_.applyRemoteEvent(undo, u"peer");
  expect_fresh_pixels("undone");
  frame_.setDrawTool(4);
  system_->SendMouse(vz::MouseAction::kPress, vz::MouseButton::kLeft, {150, 250});
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {250, 260});
  frame_.applyRemoteEvent(stroke, u"peer");
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {350, 200});
  system_->SendMouse(vz::MouseAction::kRelease, vz::MouseButton::kLeft, {350, 200});
  expect_fresh_pixels("a local stroke under a peer's");
}

// A peer's undo, redo or removal paints again only where elements went or
// came back; one that changes nothing paints nothing, however often sent.
TEST_F(AnnotationFrameTest, UndoRedoAndRemovalsPaintOnlyWhereElementsWentOrCameBack) {
  auto paints = [this] { return frame_.layerForTesting().elementPaintsForTesting(); };
  DSAnnotationEvent stroke;
  stroke.type = DSAnnotationStroke;
  stroke.color = 0xFF0000FF;
  stroke.weight = 5;
  for (int x : {120, 280, 440}) {  // three columns apart
    stroke.points = {{x, 60}, {x + 30, 330}};
    frame_.applyRemoteEvent(stroke, u"peer");
  }
  Render();
  const uint64_t at_start = paints();
  DSAnnotationEvent undo;
  undo.type = DSAnnotationUndo;
  DSAnnotationEvent remove;
  remove.type = DSAnnotationRemove;
  for (int i = 0; i < 50; ++i) {
    frame_.applyRemoteEvent(undo, u"someone");  // nothing to undo
    frame_.applyRemoteEvent(remove, u"someone");
    Render();
  }
  EXPECT_EQ(paints(), at_start);
  frame_.applyRemoteEvent(undo, u"peer");  // the right column goes
  Render();
  EXPECT_EQ(paints(), at_start) << "nothing else reaches where it was";
  DSAnnotationEvent redo;
  redo.type = DSAnnotationRedo;
  frame_.applyRemoteEvent(redo, u"peer");
  EXPECT_EQ(Render().GetPixel(440 - 100 + 15, 150), 0xFFFF0000u);
  EXPECT_EQ(paints(), at_start + 1) << "only the column put back";
}

TEST_F(AnnotationFrameTest, ARecreatedWindowStillShowsTheElements) {
  DSAnnotationEvent rect;
  rect.type = DSAnnotationFilledRectangle;
  rect.color = 0xFF0000FF;
  rect.points = {{120, 70}, {200, 150}};
  frame_.applyRemoteEvent(rect, u"peer");
  frame_.DestroyWindow();
  EXPECT_FALSE(frame_.IsWindow());
  ASSERT_NE(frame_.Create(Rect::FromXYWH(100, 50, 400, 300), system_.get()), nullptr);
  EXPECT_TRUE(frame_.IsClickThroughForTesting());
  EXPECT_EQ(Render().GetPixel(50, 50), 0xFFFF0000u);
}

// The overlay stays above other programs, yet below every other window of
// this program: a question shown while a tool is chosen must get its clicks.
TEST_F(AnnotationFrameTest, KeepOnTopPutsTheOverlayUnderEveryOtherWindowOfTheProgram) {
  Below tools_d, panel_d, question_d;
  vz::WindowParams params;
  params.bounds = Rect::FromXYWH(700, 0, 50, 50);
  params.title = "panel";
  auto panel = system_->CreateWindow(params, &panel_d);
  params.title = "tools";
  auto tools = system_->CreateWindow(params, &tools_d);
  params.title = "question";
  auto question = system_->CreateWindow(params, &question_d);
  below_window_->Hide();
  panel->Show();
  tools->Show();
  using Windows = std::vector<vz::Window*>;
  // Without a panel the overlay is not raised; the tool window is.
  frame_.setToolWindow(tools.get());
  frame_.OnKeepOnTopTimer();
  EXPECT_EQ(system_->VisibleTopLevels().back(), tools.get());
  frame_.setPanelWindow(panel.get());
  question->Show();
  frame_.OnKeepOnTopTimer();
  EXPECT_EQ(system_->VisibleTopLevels(), (Windows{frame_.window(), panel.get(), tools.get(), question.get()}));
  // The timer runs the step once a second.
  frame_.window()->Raise();
  clock_.AdvanceMs(1000);
  loop_.RunUntilIdle();
  EXPECT_EQ(system_->VisibleTopLevels(), (Windows{frame_.window(), panel.get(), tools.get(), question.get()}));
  // A window that went away is passed over.
  tools.reset();
  frame_.window()->Raise();
  frame_.OnKeepOnTopTimer();
  EXPECT_EQ(system_->VisibleTopLevels(), (Windows{frame_.window(), panel.get(), question.get()}));

  // Click-through with a capture left over: only the capture goes.
  frame_.window()->SetCapture();
  frame_.window()->Raise();
  frame_.OnKeepOnTopTimer();
  EXPECT_FALSE(frame_.window()->HasCapture());
  EXPECT_EQ(system_->VisibleTopLevels().back(), frame_.window());
}

TEST(AnnotationPlacementTest, SharedRectangleIntoTheMonitorsLogicalSpace) {
  MonitorInfo monitors[2]{};
  monitors[0].MonitorId = 1;
  monitors[0].Rect = {0, 0, 1920, 1080};
  monitors[0].LogicalRect = {0, 0, 1920, 1080};
  monitors[0].DpiScale = 1.0f;
  monitors[1].MonitorId = 2;
  monitors[1].Rect = {1920, 0, 4800, 1620};
  monitors[1].LogicalRect = {1920, 0, 3840, 1080};
  monitors[1].DpiScale = 1.5f;
  EXPECT_EQ(AnnotationFramePlacement({100, 100, 500, 400}, monitors, 2), (Rect{100, 100, 500, 400}));
  // On the scaled monitor: (1921 - 1920) / 1.5 truncates to 0.
  EXPECT_EQ(AnnotationFramePlacement({1921, 10, 4801, 1621}, monitors, 2), (Rect{1920, 6, 3840, 1080}));
  // No monitor holds the centre: nothing (the overlay stays put).
  EXPECT_EQ(AnnotationFramePlacement({-900, -900, -100, -100}, monitors, 2), std::nullopt);
  monitors[1].DpiScale = 0.0f;
  EXPECT_EQ(AnnotationFramePlacement({2000, 10, 2400, 400}, monitors, 2), std::nullopt);
}

// ---------------------------------------------------------------------------
// Shapes painted onto an image, checked at known pixels.

class ShapePaintTest : public ::testing::Test {
 protected:
  const vz::Image& Paint(const CDrawElement& element) {
    image_ = vz::Image(300, 200);
    auto canvas = vz::CreateImageCanvas(image_);
    canvas->ClearRect({0, 0, 300, 200}, 0);
    PaintAnnotationElement(*canvas, element);
    return image_;
  }
  vz::Image image_;
};

TEST_F(ShapePaintTest, ArrowHeadEndsAtItsTip) {
  CDrawArrow arrow({}, 0xFF0000FF, 1, true, "a");
  arrow.addPoint({20, 100});
  arrow.addPoint({220, 100});
  const vz::Image& image = Paint(arrow);
  EXPECT_EQ(image.GetPixel(217, 100), 0xFFFF0000u);  // just behind the tip
  EXPECT_GT(vz::ColorA(image.GetPixel(219, 100)), 0xF0u);  // the tip pixel
  EXPECT_EQ(image.GetPixel(221, 100), 0u);                 // nothing beyond it
  // The head is wide behind the tip (barbs a x s = 60 behind, 30 to a side).
  EXPECT_EQ(image.GetPixel(175, 100 - 15), 0xFFFF0000u);
  EXPECT_EQ(image.GetPixel(175, 100 + 15), 0xFFFF0000u);
  // The shaft is narrow near the tail.
  EXPECT_EQ(image.GetPixel(40, 100), 0xFFFF0000u);
  EXPECT_EQ(image.GetPixel(40, 106), 0u);
}

TEST_F(ShapePaintTest, RectangleOutlineHasItsWeight) {
  CDrawRectangle rect({{50, 50}, {250, 150}}, 0xFF00FF00, 9, false, "a");
  const vz::Image& image = Paint(rect);
  // A 9-pixel pen centred on the left edge x = 50 covers 46 to 54.
  for (int x = 46; x <= 54; ++x) EXPECT_EQ(image.GetPixel(x, 100), 0xFF00FF00u) << x;
  EXPECT_EQ(image.GetPixel(45, 100), 0u);
  EXPECT_EQ(image.GetPixel(55, 100), 0u);
  EXPECT_EQ(image.GetPixel(150, 100), 0u);  // an outline is not filled
  // Mitred corners: the corner pixel outside the box is painted.
  EXPECT_EQ(image.GetPixel(46, 46), 0xFF00FF00u);
}

TEST_F(ShapePaintTest, EllipseFillsItsBoundingBox) {
  CDrawEllipse ellipse({{250, 150}, {50, 50}}, 0xFF0000FF, 1, true, "a");
  const vz::Image& image = Paint(ellipse);
  EXPECT_EQ(image.GetPixel(150, 100), 0xFFFF0000u);  // centre
  EXPECT_EQ(image.GetPixel(51, 100), 0xFFFF0000u);   // left end of the box
  EXPECT_EQ(image.GetPixel(249, 100), 0xFFFF0000u);  // right end
  EXPECT_EQ(image.GetPixel(150, 51), 0xFFFF0000u);   // top
  EXPECT_EQ(image.GetPixel(150, 149), 0xFFFF0000u);  // bottom
  EXPECT_EQ(image.GetPixel(48, 100), 0u);
  EXPECT_EQ(image.GetPixel(150, 153), 0u);
  EXPECT_EQ(image.GetPixel(55, 55), 0u);  // the box's corner is outside
}

TEST_F(ShapePaintTest, APartialRepaintSkipsOnlyElementsOutsideTheArea) {
  CDrawObjects objects;
  objects.createElement(8, {{10, 10}, {290, 190}}, 0x7F0000FF, 11, "a");
  objects.createElement(8, {{20, 180}}, 0xFF00FF00, 1, "a");  // a one-pixel dot
  objects.createElement(13, {{100, 20}, {200, 120}}, 0xFFFF0000, 9, "a");
  objects.createElement(12, {{150, 100}, {250, 160}}, 0x80FFFFFF, 1, "a");
  // A stale picture repainted in pieces, as damage comes in: once with the
  // painter (which skips what does not reach a piece), once painting every
  // element into every piece.
  vz::Image skipped(300, 200), every(300, 200), whole(300, 200);
  skipped.FillForTesting(0xFF123456);
  every.FillForTesting(0xFF654321);
  auto a = vz::CreateImageCanvas(skipped);
  auto b = vz::CreateImageCanvas(every);
  for (int y = 0; y < 200; y += 37) {
    for (int x = 0; x < 300; x += 41) {
      const Rect piece = Rect::FromXYWH(x, y, 41, 37);
      a->Save();
      a->ClipRect(piece);
      PaintAnnotationElements(*a, objects);
      a->Restore();
      b->Save();
      b->ClipRect(piece);
      b->ClearRect(piece, 0);
      for (int32_t i = 0; i < objects.count(); ++i) PaintAnnotationElement(*b, *objects.at(i));
      b->Restore();
    }
  }
  PaintAnnotationElements(*vz::CreateImageCanvas(whole), objects);
  int differing = 0;
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 300; ++x) {
      ASSERT_EQ(skipped.GetPixel(x, y), every.GetPixel(x, y)) << x << "," << y;
      // Against one whole repaint only anti-aliased edges may round apart.
      const vz::Color p = skipped.GetPixel(x, y), q = whole.GetPixel(x, y);
      if (p != q) ++differing;
      ASSERT_LE(std::abs(static_cast<int>(vz::ColorA(p)) - static_cast<int>(vz::ColorA(q))), 8) << x << "," << y;
    }
  }
  EXPECT_LT(differing, 300 * 200 / 50);
}

TEST_F(ShapePaintTest, OnePointStrokeIsADotAndShortShapesAreSkipped) {
  CDrawPoints dot({{100, 100}}, 0xFF000000, 1, false, "a");
  const vz::Image& image = Paint(dot);
  // A one-pixel diagonal from (99, 99) to (100, 100), anti-aliased.
  EXPECT_GT(vz::ColorA(image.GetPixel(100, 100)), 0x60u);
  EXPECT_GT(vz::ColorA(image.GetPixel(99, 99)), 0x60u);
  EXPECT_EQ(image.GetPixel(102, 102), 0u);
  CDrawRectangle lone({{100, 100}}, 0xFF000000, 5, true, "a");
  EXPECT_EQ(Paint(lone).GetPixel(100, 100), 0u);
  EXPECT_EQ(AnnotationColorToArgb(0x80112233), 0x80332211u);
}

}  // namespace
