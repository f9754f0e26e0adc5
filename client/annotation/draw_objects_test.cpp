// The drawing model: participants drawing interleaved, each with their own
// undo and redo, erasers, removals and clears, and the element in progress
// taken away under the pointer.
#include "client/annotation/draw_objects.h"

#include <gtest/gtest.h>

#include "common/log_capture_testlib.h"

namespace {

using vz::Point;
using vz::Rect;

std::vector<int32_t> Ids(const CDrawObjects& objects) {
  std::vector<int32_t> ids;
  for (int32_t i = 0; i < objects.count(); ++i) ids.push_back(objects.at(i)->elementId);
  return ids;
}

std::vector<std::string> Owners(const CDrawObjects& objects) {
  std::vector<std::string> owners;
  for (int32_t i = 0; i < objects.count(); ++i) owners.push_back(objects.at(i)->rosterId);
  return owners;
}

// A local stroke from (x, y) to (x + 50, y).
int32_t Stroke(CDrawObjects& objects, const std::string& who, int y) {
  objects.beginElement(10, y, 0xFF0000FF, 2, 4, who);
  const int32_t id = objects.current()->elementId;
  objects.addPointToCurrent({60, y});
  objects.endElement();
  return id;
}

// A remote stroke along y.
int32_t Remote(CDrawObjects& objects, const std::string& who, int y) {
  EXPECT_FALSE(objects.createElement(8, {{10, y}, {60, y}}, 0xFF00FF00, 2, who).IsEmpty()) << who << " at y " << y;
  return objects.at(objects.count() - 1)->elementId;
}

TEST(DrawObjectsTest, ThreeParticipantsInterleavedUndoAndRedoOnlyTheirOwn) {
  CDrawObjects objects;
  const int32_t a1 = Stroke(objects, "a", 10);
  const int32_t b1 = Remote(objects, "b", 20);
  const int32_t c1 = Remote(objects, "c", 30);
  const int32_t a2 = Stroke(objects, "a", 40);
  const int32_t b2 = Remote(objects, "b", 50);
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{a1, b1, c1, a2, b2}));

  objects.undo("b");
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{a1, b1, c1, a2}));
  objects.undo("a");
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{a1, b1, c1}));
  objects.undo("b");
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{a1, c1}));
  objects.undo("b");  // at the start of b's history: nothing
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{a1, c1}));
  // Redo puts b's elements back on top, oldest first, same ids.
  objects.redo("b");
  objects.redo("b");
  objects.redo("b");  // at the end: nothing
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{a1, c1, b1, b2}));
  // A new stroke by a drops a's redo tail only; b's redo state is kept.
  objects.undo("b");
  const int32_t a3 = Stroke(objects, "a", 60);
  objects.redo("a");
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{a1, c1, b1, a3}));
  objects.redo("b");
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{a1, c1, b1, a3, b2}));
  EXPECT_EQ(objects.findRosterUndoForTesting("c")->position, 1);
}

// Draw, undo, draw again: the undone stroke is gone for good. Each undo
// then takes away one visible stroke, and redo brings back only what those
// undos took, never the stroke undone before the new one was drawn.
TEST(DrawObjectsTest, DrawingAfterAnUndoForgetsTheUndoneStroke) {
  CDrawObjects objects;
  const int32_t first = Stroke(objects, "me", 10);
  Stroke(objects, "me", 20);
  objects.undo("me");
  const int32_t again = Stroke(objects, "me", 30);
  objects.undo("me");
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{first}));
  objects.undo("me");
  EXPECT_EQ(objects.count(), 0);
  for (int i = 0; i < 3; ++i) objects.redo("me");
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{first, again}));
  EXPECT_EQ(objects.getRosterUndo("me").recordCountForTesting(), 2);
}

TEST(DrawObjectsTest, UndoBySomeoneWhoNeverDrewCreatesAnEmptyHistory) {
  CDrawObjects objects;
  Remote(objects, "a", 10);
  EXPECT_EQ(objects.findRosterUndoForTesting("z"), nullptr);
  objects.undo("z");
  objects.redo("z");
  ASSERT_NE(objects.findRosterUndoForTesting("z"), nullptr);
  EXPECT_EQ(objects.findRosterUndoForTesting("z")->recordCountForTesting(), 0);
  EXPECT_EQ(objects.count(), 1);
}

TEST(DrawObjectsTest, TheLocalEraserOwnsWhatItErased) {
  CDrawObjects objects;
  const int32_t a1 = Remote(objects, "a", 10);
  const Rect damage = objects.eraseElementAt(30, 10, "me");
  EXPECT_EQ(damage, (Rect{8, 8, 64, 14}));
  EXPECT_EQ(objects.count(), 0);
  // a's undo no longer finds its element.
  objects.undo("a");
  EXPECT_EQ(objects.count(), 0);
  // The local undo brings it back, owned by the local participant.
  objects.undo("me");
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{a1}));
  EXPECT_EQ(Owners(objects), (std::vector<std::string>{"me"}));
  EXPECT_TRUE(objects.eraseElementAt(300, 300, "me").IsEmpty());
}

TEST(DrawObjectsTest, AParticipantsEraserPassesOverOthersElements) {
  CDrawObjects objects;
  const int32_t a1 = Remote(objects, "a", 10);
  const int32_t b1 = Remote(objects, "b", 10);
  EXPECT_TRUE(objects.eraseRosterElementAt(30, 10, "c").IsEmpty());
  EXPECT_FALSE(objects.eraseRosterElementAt(30, 10, "b").IsEmpty());
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{a1}));
  objects.undo("b");
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{a1, b1}));
  EXPECT_EQ(Owners(objects), (std::vector<std::string>{"a", "b"}));
}

TEST(DrawObjectsTest, RemovalsAndClearsComeBackInOrderAsOneStep) {
  CDrawObjects objects;
  const int32_t a1 = Remote(objects, "a", 10);
  const int32_t b1 = Remote(objects, "b", 20);
  const int32_t a2 = Remote(objects, "a", 30);
  const int32_t c1 = Remote(objects, "c", 40);
  const int32_t a3 = Remote(objects, "a", 50);
  objects.removeRosterElements("a");
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{b1, c1}));
  objects.undo("a");
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{b1, c1, a1, a2, a3}));
  objects.redo("a");
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{b1, c1}));
  objects.undo("a");

  // Clearing all: the clearer owns everything, and one undo restores it.
  objects.removeAllElements("me");
  EXPECT_EQ(objects.count(), 0);
  objects.undo("me");
  EXPECT_EQ(Ids(objects), (std::vector<int32_t>{b1, c1, a1, a2, a3}));
  EXPECT_EQ(Owners(objects), (std::vector<std::string>(5, "me")));
  objects.redo("me");
  EXPECT_EQ(objects.count(), 0);
  // Nothing to remove records nothing.
  const int32_t records = objects.getRosterUndo("a").recordCountForTesting();
  objects.removeRosterElements("a");
  EXPECT_EQ(objects.getRosterUndo("a").recordCountForTesting(), records);
}

TEST(DrawObjectsTest, CodesAndToolsOutsideTheTablesCreateNothing) {
  CDrawObjects objects;
  for (int32_t code : {0, 7, 11, 14, 16, -1, 1000}) {
    EXPECT_EQ(objects.createElement(code, {{0, 0}, {10, 10}}, 0xFF000000, 2, "a"), Rect{}) << code;
  }
  for (int32_t tool : {0, 1, 2, 3, 8, 9, 16}) {
    EXPECT_EQ(objects.beginElement(5, 5, 0xFF000000, 2, tool, "a"), Rect{}) << tool;
    EXPECT_EQ(objects.current(), nullptr) << tool;
  }
  // Empty remote elements cost nobody an undo step.
  EXPECT_EQ(objects.createElement(8, {}, 0xFF000000, 2, "a"), Rect{});
  EXPECT_EQ(objects.createElement(10, {{1, 1}}, 0xFF000000, 2, "a"), Rect{});
  EXPECT_EQ(objects.createElement(15, {{1, 1}}, 0xFF000000, 2, "a"), Rect{});
  EXPECT_EQ(objects.count(), 0);
  EXPECT_EQ(objects.findRosterUndoForTesting("a"), nullptr);
  // The arrow is always weight 1 and filled.
  objects.beginElement(0, 0, 0xFF000000, 9, 7, "a");
  EXPECT_EQ(objects.current()->weight, 1);
  EXPECT_TRUE(objects.current()->filled);
  objects.endElement();
  objects.beginElement(0, 0, 0xFF000000, 9, 11, "a");
  EXPECT_TRUE(objects.current()->filled);
  objects.endElement();
}

TEST(DrawObjectsTest, UndoRecordsRefuseUnknownActionsAndStepOverUpdates) {
  vz::LogLineCapture log_lines;
  CDrawObjects objects;
  CDrawPoints element({{0, 0}, {10, 0}}, 0, 1, false, "a");
  objects.pushUndo(element, 4);
  objects.pushUndo(element, 0);
  EXPECT_EQ(log_lines.Count("Undo only support ADDED/REMOVED/UPDATE!", vz::kFileLines), 2u);
  EXPECT_EQ(objects.getRosterUndo("a").recordCountForTesting(), 0);
  objects.pushUndo(element, UPDATE);
  objects.undo("a");
  EXPECT_EQ(objects.getRosterUndo("a").position, 0);
  EXPECT_EQ(objects.count(), 0);
  objects.redo("a");
  EXPECT_EQ(objects.getRosterUndo("a").position, 1);
  EXPECT_EQ(objects.count(), 0);
}

TEST(DrawObjectsTest, ClearOrEraseDuringAStrokeEndsItSafely) {
  CDrawObjects objects;
  objects.beginElement(10, 10, 0xFF000000, 2, 4, "me");
  objects.addPointToCurrent({50, 10});
  objects.removeAllElements("a");
  EXPECT_EQ(objects.current(), nullptr);
  EXPECT_EQ(objects.addPointToCurrent({60, 10}), Rect{});
  objects.endElement();
  EXPECT_EQ(objects.count(), 0);
  EXPECT_EQ(objects.getRosterUndo("me").recordCountForTesting(), 0);  // nothing committed

  objects.beginElement(10, 10, 0xFF000000, 2, 4, "me");
  objects.addPointToCurrent({50, 10});
  objects.eraseRosterElementAt(30, 10, "me");
  EXPECT_EQ(objects.current(), nullptr);
  objects.endElement();
  EXPECT_EQ(objects.count(), 0);

  objects.beginElement(10, 10, 0xFF000000, 2, 4, "me");
  objects.addPointToCurrent({50, 10});
  objects.removeRosterElements("me");
  EXPECT_EQ(objects.current(), nullptr);
  objects.endElement();
  objects.undo("me");  // restores the stroke the removal took
  EXPECT_EQ(objects.count(), 1);
}

TEST(DrawObjectsTest, OneParticipantCannotGrowTheListWithoutBound) {
  vz::LogLineCapture log_lines;
  CDrawObjects objects;
  for (int32_t i = 0; i < CDrawObjects::kMaxElementsPerRoster; ++i) {
    objects.createElement(8, {{i % 100, 0}}, 0xFF000000, 1, "flood");
  }
  EXPECT_EQ(objects.count(), CDrawObjects::kMaxElementsPerRoster);
  EXPECT_EQ(objects.createElement(8, {{0, 0}}, 0xFF000000, 1, "flood"), Rect{});
  EXPECT_EQ(objects.beginElement(0, 0, 0xFF000000, 1, 4, "flood"), Rect{});
  EXPECT_EQ(log_lines.Count("element refused", vz::kFileLines), 2u);
  // Others still draw.
  EXPECT_FALSE(objects.createElement(8, {{0, 0}}, 0xFF000000, 1, "other").IsEmpty());
}

TEST(DrawObjectsTest, AFullHistoryDropsItsOldestRecords) {
  CDrawObjects objects;
  CDrawPoints element({{0, 0}}, 0, 1, false, "a");
  for (int32_t i = 0; i < CDrawRosterUndo::kMaxUndoRecords + 10; ++i) objects.pushUndo(element, UPDATE);
  EXPECT_EQ(objects.getRosterUndo("a").recordCountForTesting(), CDrawRosterUndo::kMaxUndoRecords);
  EXPECT_EQ(objects.getRosterUndo("a").position, CDrawRosterUndo::kMaxUndoRecords);

  // Few records of many points fill it as well: a peer's add and remove,
  // again and again, keeps no more than the limit's points.
  CDrawPoints big(std::vector<Point>(5000, Point{1, 1}), 0, 1, false, "b");
  const int64_t each = static_cast<int64_t>(big.points.size());
  for (int32_t i = 0; i < 100; ++i) objects.pushUndo(big, i % 2 == 0 ? ADDED : REMOVED);
  const CDrawRosterUndo& history = objects.getRosterUndo("b");
  EXPECT_EQ(history.pointsHeld(), CDrawRosterUndo::kMaxUndoPoints / each * each);
  EXPECT_EQ(history.recordCountForTesting(), CDrawRosterUndo::kMaxUndoPoints / each);
  // What it keeps are the newest, and they still undo.
  EXPECT_EQ(history.record(history.recordCountForTesting() - 1)->undoAction, REMOVED);
}

// A zigzag of `n` points between two rows `height` apart, `step` pixels
// apart along x: every point a corner, none dropped as drawing nothing.
std::vector<Point> Zigzag(int n, int step, int height) {
  std::vector<Point> points;
  for (int i = 0; i < n; ++i) points.push_back({(i * step) % 1900, i % 2 == 0 ? 100 : 100 + height});
  return points;
}

TEST(DrawObjectsTest, APeersStrokesKeepOnlyThePointsThatDraw) {
  CDrawObjects objects;
  // Repeats, points along straight runs, and a run that turns back: only
  // the corners and the ends stay, and a turn back is a corner.
  const std::vector<Point> sent{{10, 10}, {10, 10}, {11, 10}, {12, 10}, {20, 10}, {20, 10}, {20, 14},
                                {20, 30}, {25, 35}, {30, 40}, {26, 36}, {26, 36}, {26, 36}};
  ASSERT_FALSE(objects.createElement(8, sent, 0xFF0000FF, 3, "peer").IsEmpty());
  EXPECT_EQ(objects.at(0)->points, (std::vector<Point>{{10, 10}, {20, 10}, {20, 30}, {30, 40}, {26, 36}}));
  // A point sent alone, or many times over, is still the dot.
  ASSERT_FALSE(objects.createElement(8, std::vector<Point>(500, Point{7, 7}), 0xFF0000FF, 3, "peer").IsEmpty());
  EXPECT_EQ(objects.at(1)->points, (std::vector<Point>{{7, 7}, {7, 7}}));
}

TEST(DrawObjectsTest, APeerShowsNoMoreThanItsPointsAndInkAllow) {
  vz::LogLineCapture log_lines;
  CDrawObjects objects;
  // Thin strokes of 1,000 corners: the point limit stops them.
  int64_t points = 0;
  while (!objects.createElement(8, Zigzag(1000, 2, 3), 0xFF0000FF, 1, "thin").IsEmpty()) points += 1000;
  EXPECT_EQ(points, CDrawObjects::kMaxPointsPerRoster);
  // Wide strokes across the screen: the ink stops them long before.
  int32_t wide = 0;
  while (!objects.createElement(8, Zigzag(20, 19, 1000), 0xFF0000FF, 100, "wide").IsEmpty()) ++wide;
  EXPECT_GE(wide, 1);
  EXPECT_LE(wide * 20, 100) << "corners of a 100-pixel pen across the screen cost as much as thousands of thin ones";
  // A wide stroke too large alone is refused whole; a small one still fits
  // beside what is there, and others still draw.
  EXPECT_TRUE(objects.createElement(8, Zigzag(10000, 19, 1000), 0xFF0000FF, 100, "other").IsEmpty());
  EXPECT_FALSE(objects.createElement(8, {{5, 5}, {9, 9}}, 0xFF0000FF, 2, "other").IsEmpty());
  EXPECT_GE(log_lines.Count("element refused", vz::kFileLines), 3u);

  // What was taken away and is put back counts too: "thin" clears its
  // strokes, draws as much again, and its undo cannot bring the old back.
  objects.removeRosterElements("thin");
  while (!objects.createElement(8, Zigzag(1000, 2, 3), 0xFF0000FF, 1, "thin").IsEmpty()) {
  }
  objects.undo("thin");  // the last stroke goes ...
  objects.undo("thin");  // ... and the removal's strokes would come back
  int64_t shown = 0;
  for (int32_t i = 0; i < objects.count(); ++i) {
    if (objects.at(i)->rosterId == "thin") shown += static_cast<int64_t>(objects.at(i)->points.size());
  }
  EXPECT_LE(shown, CDrawObjects::kMaxPointsPerRoster);
}

int32_t CountOf(const CDrawObjects& objects, const std::string& who) {
  int32_t n = 0;
  for (int32_t i = 0; i < objects.count(); ++i) n += objects.at(i)->rosterId == who ? 1 : 0;
  return n;
}

// Taking elements away and putting them back made the overlay paint them
// again as often as a peer liked: what a peer adds, put back included, is
// paced; the local participant's own hand is not.
TEST(DrawObjectsTest, APeerAddsInkAtAPaceButTheLocalParticipantDrawsAndUndoesFreely) {
  vz::FakeClock clock(5000);
  CDrawObjects objects(clock);
  objects.setLocalRoster("me");
  const std::vector<Point> wide = Zigzag(20, 19, 1000);  // a 100-pixel pen up and down the screen
  int32_t added = 0;
  while (!objects.createElement(8, wide, 0xFF0000FF, 100, "peer").IsEmpty()) ++added;
  ASSERT_GE(added, 1);
  objects.removeRosterElements("peer");
  objects.undo("peer");
  EXPECT_EQ(CountOf(objects, "peer"), 0) << "put back as fast as taken away";
  EXPECT_TRUE(objects.createElement(8, wide, 0xFF0000FF, 100, "peer").IsEmpty());
  clock.AdvanceMs(1000 * CDrawObjects::kMaxInkPerRoster / CDrawObjects::kInkPerSecond);
  EXPECT_EQ(objects.createElement(8, wide, 0xFF0000FF, 100, "peer").IsEmpty(), false) << "earned again";

  // The local participant draws past every peer limit, and its undo of a
  // clear puts everyone's elements back, five busy peers' included.
  for (int32_t i = 0; i < 3 * added + 3; ++i) {
    ASSERT_FALSE(objects.createElement(8, wide, 0xFF0000FF, 100, "me").IsEmpty()) << i;
  }
  for (const char* busy : {"b1", "b2", "b3", "b4", "b5"}) {
    while (!objects.createElement(8, Zigzag(1000, 2, 3), 0xFF0000FF, 1, busy).IsEmpty()) {
    }
  }
  const int32_t shown = objects.count();
  objects.removeAllElements("me");
  objects.undo("me");
  EXPECT_EQ(objects.count(), shown);
}

}  // namespace
