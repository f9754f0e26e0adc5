// Reading other participants' annotation events: malformed records are
// refused with a log line, good ones become the same element as the local
// drawing of the same points.
#include "client/annotation/annotation_event.h"

#include <gtest/gtest.h>

#include <limits>

#include "client/annotation/draw_objects.h"
#include "common/log_capture_testlib.h"

namespace {

DSCommandRecord Record(int32_t type, std::vector<VzPoint>& points, uint32_t color = 0xFF0000FF, int32_t weight = 5) {
  DSCommandRecord record{};
  record.Type = DSCommandAnnotation;
  record.AnnotationType = type;
  record.AnnotationMonitorId = 1;
  record.AnnotationColor = color;
  record.AnnotationWeight = weight;
  record.PointCount = static_cast<uint32_t>(points.size());
  record.Points = points.empty() ? nullptr : points.data();
  return record;
}

TEST(AnnotationEventTest, MalformedRecordsAreRefusedWithALogLine) {
  vz::LogLineCapture log_lines;
  std::vector<VzPoint> points{{1, 2}, {3, 4}};
  DSAnnotationEvent event;

  DSCommandRecord longer = Record(DSAnnotationStroke, points);
  EXPECT_FALSE(ReadAnnotationEvent(longer, std::span<const VzPoint>(points.data(), 1), &event));
  EXPECT_EQ(log_lines.Count("point count [2] above its array [1]", vz::kFileLines), 1u);

  DSCommandRecord no_array = Record(DSAnnotationStroke, points);
  no_array.Points = nullptr;
  EXPECT_FALSE(ReadAnnotationEvent(no_array, &event));
  EXPECT_EQ(log_lines.Count("point count [2] above its array [0]", vz::kFileLines), 1u);

  // A huge count, even with an array that claims to hold it, is not walked.
  std::vector<VzPoint> many(kMaxAnnotationPoints + 1);
  DSCommandRecord huge = Record(DSAnnotationStroke, many);
  EXPECT_FALSE(ReadAnnotationEvent(huge, &event));
  EXPECT_EQ(log_lines.Count("above [65536]: event refused", vz::kFileLines), 1u);
  DSCommandRecord wild = Record(DSAnnotationStroke, points);
  wild.PointCount = 0xFFFFFFFF;
  EXPECT_FALSE(ReadAnnotationEvent(wild, std::span<const VzPoint>(points), &event));

  for (int32_t type : {0, 6, 7, 8, 9, 10, 17, -1, std::numeric_limits<int32_t>::max()}) {
    DSCommandRecord unknown = Record(type, points);
    EXPECT_FALSE(ReadAnnotationEvent(unknown, &event)) << type;
  }
  EXPECT_EQ(log_lines.Count("unknown: event refused", vz::kFileLines), 9u);
}

TEST(AnnotationEventTest, GoodRecordsAreReadWithTheWeightClamped) {
  std::vector<VzPoint> points{{10, 20}, {30, 40}};
  DSAnnotationEvent event;
  DSCommandRecord record = Record(DSAnnotationFilledEllipse, points, 0x7F112233, 1000000000);
  ASSERT_TRUE(ReadAnnotationEvent(record, &event));
  EXPECT_EQ(event.type, DSAnnotationFilledEllipse);
  EXPECT_EQ(event.color, 0x7F112233u);
  EXPECT_EQ(event.weight, kMaxAnnotationWeight);
  EXPECT_EQ(event.points, (std::vector<vz::Point>{{10, 20}, {30, 40}}));
  record.AnnotationWeight = -7;
  ASSERT_TRUE(ReadAnnotationEvent(record, &event));
  EXPECT_EQ(event.weight, 1);
  // Undo and redo carry no points.
  std::vector<VzPoint> none;
  DSCommandRecord undo = Record(DSAnnotationUndo, none);
  ASSERT_TRUE(ReadAnnotationEvent(undo, &event));
  EXPECT_TRUE(event.points.empty());
}

TEST(AnnotationEventTest, ShapeTypesMapToElementCodes) {
  const int32_t expected[][2] = {{11, 8}, {12, 9}, {13, 10}, {14, 12}, {15, 13}, {16, 15}, {1, 0}, {5, 0}, {17, 0}};
  for (const auto& [type, code] : expected) EXPECT_EQ(AnnotationElementCode(type), code) << type;
}

TEST(AnnotationEventTest, MonitorPointsBecomeScreenPoints) {
  MonitorInfo monitor{};
  monitor.MonitorId = 2;
  monitor.LogicalRect = {1920, 0, 3200, 720};
  monitor.DpiScale = 1.5f;
  std::vector<vz::Point> points{{0, 0}, {100, 301}, {-3, 2}, {std::numeric_limits<int32_t>::max(), 0}};
  vz::LogBudget point_log(kPointLogBurst, kPointLogRefillMs);
  ASSERT_TRUE(MonitorPointsToScreen(monitor, &points, point_log, 0));
  EXPECT_EQ(points[0], (vz::Point{1920, 0}));
  EXPECT_EQ(points[1], (vz::Point{1986, 200}));  // 66.67 and 200.67 truncated
  EXPECT_EQ(points[2], (vz::Point{1918, 1}));
  EXPECT_EQ(points[3].x, kMaxAnnotationCoordinate);  // clamped, never wrapped
  monitor.DpiScale = 0.0f;
  std::vector<vz::Point> kept{{5, 5}};
  EXPECT_FALSE(MonitorPointsToScreen(monitor, &kept, point_log, 0));
  EXPECT_EQ(kept[0], (vz::Point{5, 5}));
}

TEST(AnnotationEventTest, ARemoteStrokeIsTheSameElementAsTheLocalDrawingOfItsPoints) {
  const std::vector<vz::Point> path{{10, 10}, {20, 15}, {35, 40}, {36, 41}};
  CDrawObjects local;
  local.beginElement(path[0].x, path[0].y, 0xFF0000FF, 5, 4, "me");
  for (size_t i = 1; i < path.size(); ++i) local.addPointToCurrent(path[i]);
  local.endElement();

  std::vector<VzPoint> wire;
  for (const vz::Point& p : path) wire.push_back({p.x, p.y});
  DSCommandRecord record = Record(DSAnnotationStroke, wire, 0xFF0000FF, 5);
  DSAnnotationEvent event;
  ASSERT_TRUE(ReadAnnotationEvent(record, &event));
  CDrawObjects remote;
  remote.createElement(AnnotationElementCode(event.type), event.points, event.color, event.weight, "me");

  ASSERT_EQ(local.count(), 1);
  ASSERT_EQ(remote.count(), 1);
  const CDrawElement& a = *local.at(0);
  const CDrawElement& b = *remote.at(0);
  EXPECT_EQ(a.points, b.points);
  EXPECT_EQ(a.color, b.color);
  EXPECT_EQ(a.weight, b.weight);
  EXPECT_EQ(a.filled, b.filled);
  EXPECT_EQ(a.kind(), b.kind());
  EXPECT_EQ(a.getBounds(), b.getBounds());
  // And both are one undo step.
  local.undo("me");
  remote.undo("me");
  EXPECT_EQ(local.count(), 0);
  EXPECT_EQ(remote.count(), 0);

  // A rectangle from the wire equals the local drag to the same corner.
  CDrawObjects local_rect;
  local_rect.beginElement(5, 5, 0xFF00FF00, 1, 12, "me");
  local_rect.addPointToCurrent({40, 30});
  local_rect.endElement();
  CDrawObjects remote_rect;
  remote_rect.createElement(AnnotationElementCode(DSAnnotationFilledRectangle), {{5, 5}, {40, 30}}, 0xFF00FF00, 1,
                            "me");
  EXPECT_EQ(local_rect.at(0)->points, remote_rect.at(0)->points);
  EXPECT_EQ(local_rect.at(0)->kind(), remote_rect.at(0)->kind());
  EXPECT_EQ(local_rect.at(0)->filled, remote_rect.at(0)->filled);
}

TEST(AnnotationEventTest, RosterIdsAreNarrowedAndBounded) {
  EXPECT_EQ(NarrowRosterId(u"vzweb-\u00e9t\u00e9"), "vzweb-\xc3\xa9t\xc3\xa9");
  EXPECT_EQ(NarrowRosterId(nullptr), "");
  std::u16string long_id(200, u'x');
  EXPECT_EQ(NarrowRosterId(long_id.c_str()).size(), 127u);
}

}  // namespace
