// A received annotation command carried out through a recording host: the
// monitor lookup, the conversion to screen points, the pointer indicator,
// the overlay's operations and the capture that follows.
#include "client/annotation/annotation_command.h"

#include <gtest/gtest.h>

#include <string>

#include "client/controller/testing/recording_tracer.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"

namespace {

class RecordingHost : public IDSAnnotationCommandHost {
 public:
  const MonitorInfo* GetMonitorInfo(int32_t id) override {
    calls.push_back("monitor " + std::to_string(id));
    return id == monitor.MonitorId ? &monitor : nullptr;
  }
  void ShowArrowIndicator(const char16_t* sender, uint32_t color, vz::Point p) override {
    calls.push_back("arrow " + std::to_string(sender[0]) + " " + std::to_string(color) + " " + std::to_string(p.x) +
                    "," + std::to_string(p.y));
  }
  void CaptureNow() override { calls.push_back("capture"); }
  MonitorInfo monitor{};
  std::vector<std::string> calls;
};

class AnnotationCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.monitor.MonitorId = 2;
    host_.monitor.LogicalRect = {1000, 0, 2280, 720};
    host_.monitor.DpiScale = 2.0f;
    ASSERT_NE(frame_.Create(vz::Rect::FromXYWH(1000, 0, 1280, 720), system_.get()), nullptr);
  }
  DSCommandRecord Record(int32_t type, std::vector<VzPoint>& points) {
    DSCommandRecord record{};
    record.SrcRosterId[0] = u'p';
    record.Type = DSCommandAnnotation;
    record.AnnotationType = type;
    record.AnnotationMonitorId = 2;
    record.AnnotationColor = 0xFF0000FF;
    record.AnnotationWeight = 4;
    record.PointCount = static_cast<uint32_t>(points.size());
    record.Points = points.empty() ? nullptr : points.data();
    return record;
  }

  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create();
  CDSAnnotationFrame frame_{clock_};
  RecordingHost host_;
};

TEST_F(AnnotationCommandTest, ShapesLandOnTheOverlayAtScreenPointsAndACaptureFollows) {
  vz::RecordingTracer tracer;
  std::vector<VzPoint> points{{200, 100}, {600, 300}};
  DSCommandRecord record = Record(DSAnnotationRectangle, points);
  ExecuteAnnotationControl(record, frame_, host_);
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"monitor 2", "capture"}));
  EXPECT_EQ(tracer.CountLines("type [13], color [0xFF0000FF], weight [4] count [2]"), 1);
  ASSERT_EQ(frame_.drawing().count(), 1);
  // Device (200, 100) at scale 2 is screen (1100, 50), window (100, 50).
  EXPECT_EQ(frame_.drawing().at(0)->points, (std::vector<vz::Point>{{100, 50}, {300, 150}}));
  EXPECT_EQ(frame_.drawing().at(0)->rosterId, "p");
  EXPECT_EQ(frame_.drawing().at(0)->weight, 4);
  // The sender's undo takes it away again.
  std::vector<VzPoint> none;
  DSCommandRecord undo = Record(DSAnnotationUndo, none);
  ExecuteAnnotationControl(undo, frame_, host_);
  EXPECT_EQ(frame_.drawing().count(), 0);
}

TEST_F(AnnotationCommandTest, ThePointerIndicatorGoesToTheHost) {
  std::vector<VzPoint> points{{20, 40}};
  DSCommandRecord record = Record(DSAnnotationPointer, points);
  ExecuteAnnotationControl(record, frame_, host_);
  EXPECT_EQ(host_.calls,
            (std::vector<std::string>{"monitor 2", "arrow 112 " + std::to_string(0xFF0000FFu) + " 1010,20", "capture"}));
  EXPECT_EQ(frame_.drawing().count(), 0);
  // Without points: nothing, but the capture still follows.
  host_.calls.clear();
  std::vector<VzPoint> none;
  DSCommandRecord empty = Record(DSAnnotationPointer, none);
  ExecuteAnnotationControl(empty, frame_, host_);
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"monitor 2", "capture"}));
}

TEST_F(AnnotationCommandTest, UnknownMonitorsAndMalformedCommandsChangeNothing) {
  std::vector<VzPoint> points{{200, 100}, {600, 300}};
  DSCommandRecord elsewhere = Record(DSAnnotationEllipse, points);
  elsewhere.AnnotationMonitorId = 9;
  ExecuteAnnotationControl(elsewhere, frame_, host_);
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"monitor 9"}));  // no capture either

  host_.calls.clear();
  vz::RecordingTracer tracer;
  DSCommandRecord lying = Record(DSAnnotationEllipse, points);
  lying.Points = nullptr;
  ExecuteAnnotationControl(lying, frame_, host_);
  DSCommandRecord unknown = Record(9, points);
  ExecuteAnnotationControl(unknown, frame_, host_);
  EXPECT_EQ(frame_.drawing().count(), 0);
  EXPECT_EQ(tracer.CountLines("event refused"), 2);
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"monitor 2", "capture", "monitor 2", "capture"}));
}

}  // namespace
