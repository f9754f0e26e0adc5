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
}

}  // namespace
