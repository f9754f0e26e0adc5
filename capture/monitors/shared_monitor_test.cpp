#include "capture/monitors/shared_monitor.h"

#include <gtest/gtest.h>

#include "capture/monitors/capture_testlib.h"
#include "capture/monitors/multi_monitor.h"
#include "capture/monitors/spread_order.h"
#include "common/log_capture_testlib.h"

namespace {

using capture_test::RecordingSender;
using vz::ScreenReadResult;

constexpr uint32_t kHeaderColour = 0xff0084ff;
constexpr uint32_t kHeaderPixel = 0x00FF8400;  // B 0x00, G 0x84, R 0xFF
constexpr uint32_t kGreyPixel = 0x00606060;

MonitorInfo MonitorAt(int id, VzRect rect) {
  MonitorInfo info{};
  info.MonitorId = id;
  info.Rect = rect;
  info.LogicalRect = rect;
  info.BitsPerPixel = 32;
  info.StateFlags = kMonitorStateAttached;
  info.DpiScale = 1.0f;
  return info;
}

bool SameRect(const VzRect& a, const VzRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Text(const VzRect& r) { return FormatRect(&r); }

class SharedMonitorTest : public ::testing::Test {
 protected:
  SharedMonitorTest() : screen_(1920, 1080), grabber_(MonitorAt(1, {0, 0, 1920, 1080})) {
    EXPECT_TRUE(grabber_.InitMonitor(&screen_));
    // The previous image starts as the screen is (black).
    EXPECT_EQ(grabber_.ForceDumpScreenRect(whole_, CScreenRegion(), kHeaderColour, sender_), 1);
    sender_.sent_.clear();
  }
  ScanContext Cursor(int x, int y, int mode) {
    ScanContext context;
    context.capture_mode = mode;
    context.has_cursor = true;
    context.cursor_x = x;
    context.cursor_y = y;
    context.cursor_phase = &phase_;
    return context;
  }
  // A sampled round that starts with the cursor probe on the changed row:
  // the cursor is probed every other round, so at most two rounds.
  VzRect SampledRound(int cursor_x, int cursor_y, int mode) {
    phase_ = 0;
    if (grabber_.ScanScreenChanged(false, Cursor(cursor_x, cursor_y, mode)) == 0) {
      phase_ = 0;
      EXPECT_EQ(grabber_.ScanScreenChanged(false, Cursor(cursor_x, cursor_y, mode)), 1);
    }
    return grabber_.changed_box_for_testing();
  }

  vz::ScreenDouble screen_;
  CSharedMonitor grabber_;
  RecordingSender sender_;
  CScreenRegion whole_{VzRect{0, 0, 1920, 1080}};
  int32_t phase_ = 0;
};

TEST_F(SharedMonitorTest, OnePixelSnapsToItsBlockOnTheGrid) {
  screen_.SetPixel(500, 300, 0xFFFFFFFF);
  const VzRect box = SampledRound(600, 300, 2);
  EXPECT_TRUE(SameRect(box, {384, 256, 512, 384})) << Text(box);
  ASSERT_TRUE(grabber_.SendChangedBox(whole_, CScreenRegion(), kHeaderColour, sender_));
  ASSERT_EQ(sender_.sent_.size(), 1u);
  EXPECT_EQ(sender_.sent_[0].monitor_id, 1);
  EXPECT_EQ(sender_.sent_[0].At(500 - 384, 300 - 256), 0xFFFFFFFFu);
  EXPECT_EQ(sender_.sent_[0].At(0, 0), 0xFF000000u);
  // Taken into account: the next round finds nothing.
  phase_ = 0;
  EXPECT_EQ(grabber_.ScanScreenChanged(false, Cursor(600, 300, 2)), 0);
}

TEST_F(SharedMonitorTest, TheGridSnapTakesTheNextBlockOnTheRightAndStopsAtTheEdges) {
  screen_.SetPixel(127, 300, 0xFFFFFFFF);
  VzRect box = SampledRound(127, 300, 2);
  EXPECT_TRUE(SameRect(box, {0, 256, 256, 384})) << Text(box);

  screen_.SetPixel(1919, 1079, 0xFFFFFFFF);
  box = SampledRound(1919, 1079, 2);
  EXPECT_TRUE(SameRect(box, {1792, 1024, 1920, 1080})) << Text(box);

  // Without the grid the box is the change itself.
  screen_.SetPixel(700, 700, 0xFF123456);
  box = SampledRound(0, 700, 0);
  EXPECT_TRUE(SameRect(box, {700, 700, 701, 701})) << Text(box);
}

TEST_F(SharedMonitorTest, AChangeAtTheBottomRightCornerIsCopiedAndSent) {
  screen_.Fill({1917, 1077, 3, 3}, 0xFF0000FF);
  const VzRect box = SampledRound(1918, 1078, 0);
  // Inside the monitor, however far the probes' ends reach.
  EXPECT_TRUE(SameRect(box, {1917, 1077, 1920, 1080})) << Text(box);
  ASSERT_TRUE(grabber_.SendChangedBox(whole_, CScreenRegion(), kHeaderColour, sender_));
  ASSERT_EQ(sender_.sent_.size(), 1u);
  EXPECT_EQ(sender_.sent_[0].At(2, 2), 0xFF0000FFu);
  EXPECT_EQ(grabber_.previous_bits_for_testing()[1079 * 1920 + 1919], 0xFF0000FFu);
}

TEST_F(SharedMonitorTest, TheBoxGrowsOverAChangedAreaFromOneSeedRow) {
  screen_.Fill({200, 100, 50, 40}, 0xFF00FF00);  // rows 100..139, columns 200..249
  const VzRect box = SampledRound(0, 120, 0);
  // Every changed pixel is inside, with at most the one extra line beyond
  // the probes' ends.
  EXPECT_LE(box.left, 200);
  EXPECT_LE(box.top, 100);
  EXPECT_GE(box.right, 250);
  EXPECT_GE(box.bottom, 140);
  EXPECT_LE(box.right, 251);
  EXPECT_LE(box.bottom, 141);
  for (int y = 100; y < 140; ++y) {
    for (int x = 200; x < 250; ++x) {
      ASSERT_EQ(grabber_.previous_bits_for_testing()[y * 1920 + x], 0xFF00FF00u) << "pixel " << x << "," << y;
    }
  }
}

// Rows probed at random miss a short vertical line; the column probe that
// follows them finds it and seeds the box from its top row.
TEST_F(SharedMonitorTest, AChangeThatNoRowProbeMeetsIsFoundByTheColumnProbe) {
  const int column = SpreadOrder(1920)[1];  // the first column the scan takes
  screen_.Fill({column, 900, 1, 51}, 0xFF4080C0);
  ScanContext no_cursor;
  no_cursor.cursor_phase = &phase_;
  ASSERT_EQ(grabber_.ScanScreenChanged(false, no_cursor), 1);
  // The column probe's end is exclusive and the box takes one row beyond it.
  EXPECT_TRUE(SameRect(grabber_.changed_box_for_testing(), {column, 900, column + 1, 952}))
      << Text(grabber_.changed_box_for_testing());
  EXPECT_EQ(grabber_.previous_bits_for_testing()[950 * 1920 + column], 0xFF4080C0u);
}

// Drawing reported by the display server is probed before the cursor and
// the sampled rows: a small change far from the cursor, which the sampled
// probes of the first round miss, is found in that round once reported.
TEST_F(SharedMonitorTest, AReportedChangeFarFromTheCursorIsFoundInTheFirstRound) {
  screen_.Fill({1700, 1000, 8, 8}, 0xFF00FF00);
  // The first round's sampled probes meet neither its rows nor its columns.
  const std::vector<int32_t> rows = SpreadOrder(1080), columns = SpreadOrder(1920);
  for (int i = 1; i <= 5; ++i) ASSERT_TRUE(rows[i] < 1000 || rows[i] >= 1008) << rows[i];
  ASSERT_TRUE(columns[1] < 1700 || columns[1] >= 1708) << columns[1];
  {
    CSharedMonitor unreported(MonitorAt(1, {0, 0, 1920, 1080}));
    ASSERT_TRUE(unreported.InitMonitor(&screen_));
    unreported.SetPreviousImageForTesting(std::vector<uint32_t>(1920 * 1080, 0xFF000000u));
    EXPECT_EQ(unreported.ScanScreenChanged(false, Cursor(100, 100, 0)), 0) << "the old scan needs more rounds";
  }
  grabber_.AddDamage({{1690, 990, 1720, 1020}});
  ASSERT_TRUE(grabber_.has_damage());
  ASSERT_EQ(grabber_.ScanScreenChanged(false, Cursor(100, 100, 0)), 1);
  // The changed run and one column beyond it, as the sampled boxes take.
  EXPECT_TRUE(SameRect(grabber_.changed_box_for_testing(), {1700, 1000, 1709, 1008}))
      << Text(grabber_.changed_box_for_testing());
  EXPECT_EQ(grabber_.previous_bits_for_testing()[1007 * 1920 + 1707], 0xFF00FF00u);
  EXPECT_FALSE(grabber_.has_damage());
  EXPECT_EQ(grabber_.ScanScreenChanged(false, Cursor(100, 100, 0)), 0);
}

// A report that covers only part of the change seeds the box, which grows
// over the rest as a sampled seed row's box does; on the block grid it snaps.
TEST_F(SharedMonitorTest, AReportSmallerThanTheChangeGrowsToAllOfItAndSnapsToTheGrid) {
  screen_.Fill({200, 100, 50, 40}, 0xFF00FF00);
  grabber_.AddDamage({{210, 110, 220, 120}});
  ASSERT_EQ(grabber_.ScanScreenChanged(false, Cursor(1800, 1000, 0)), 1);
  VzRect box = grabber_.changed_box_for_testing();
  EXPECT_TRUE(box.left <= 200 && box.top <= 100 && box.right >= 250 && box.bottom >= 140) << Text(box);
  EXPECT_TRUE(box.right <= 251 && box.bottom <= 141) << Text(box);
  for (int y = 100; y < 140; ++y) {
    for (int x = 200; x < 250; ++x) {
      ASSERT_EQ(grabber_.previous_bits_for_testing()[y * 1920 + x], 0xFF00FF00u) << "pixel " << x << "," << y;
    }
  }

  screen_.SetPixel(1300, 700, 0xFFFFFFFF);
  grabber_.AddDamage({{1300, 700, 1301, 701}});
  ASSERT_EQ(grabber_.ScanScreenChanged(false, Cursor(0, 0, 2)), 1);
  box = grabber_.changed_box_for_testing();
  EXPECT_TRUE(SameRect(box, {1280, 640, 1408, 768})) << Text(box);
}

// Several reports: each round takes the first that shows a change and keeps
// the rest; reports that show no change are passed over, and once all are
// spent the scan samples as before.
TEST_F(SharedMonitorTest, ReportsAreProbedInTurnAndStaleOnesFallBackToSampling) {
  screen_.Fill({100, 900, 4, 4}, 0xFF0000FF);
  screen_.Fill({1800, 50, 4, 4}, 0xFFFF0000);
  grabber_.AddDamage({{600, 500, 640, 540}, {100, 900, 104, 904}, {1800, 50, 1804, 54}});
  ASSERT_EQ(grabber_.ScanScreenChanged(false, Cursor(960, 540, 0)), 1);
  EXPECT_TRUE(SameRect(grabber_.changed_box_for_testing(), {100, 900, 105, 904}))
      << Text(grabber_.changed_box_for_testing());
  EXPECT_TRUE(grabber_.has_damage());
  ASSERT_EQ(grabber_.ScanScreenChanged(false, Cursor(960, 540, 0)), 1);
  EXPECT_TRUE(SameRect(grabber_.changed_box_for_testing(), {1800, 50, 1805, 54}))
      << Text(grabber_.changed_box_for_testing());
  EXPECT_FALSE(grabber_.has_damage());
  // A stale report: the change on the cursor's row is found by the old probes.
  screen_.Fill({400, 540, 30, 1}, 0xFF123456);
  grabber_.AddDamage({{0, 0, 50, 50}});
  phase_ = 0;
  ASSERT_EQ(grabber_.ScanScreenChanged(false, Cursor(960, 540, 0)), 1);
  EXPECT_EQ(grabber_.changed_box_for_testing().top, 540);
  EXPECT_FALSE(grabber_.has_damage());
}

// Reports off the monitor are dropped; a full compare or a whole copy sees
// everything and forgets the reports; a flood of reports stays bounded.
TEST_F(SharedMonitorTest, ReportsOffTheMonitorAreDroppedAndWholeReadsForgetTheRest) {
  grabber_.AddDamage({{-500, -500, -1, -1}, {1920, 0, 4000, 1080}, {0, 1080, 1920, 2000}, {10, 10, 10, 20}});
  EXPECT_FALSE(grabber_.has_damage());
  grabber_.AddDamage({{-100, -100, 10, 10}});
  EXPECT_TRUE(grabber_.has_damage());
  EXPECT_EQ(grabber_.ScanScreenChanged(true, Cursor(0, 0, 0)), 0);
  EXPECT_FALSE(grabber_.has_damage());
  grabber_.AddDamage({{5, 5, 6, 6}});
  EXPECT_EQ(grabber_.ForceDumpScreenRect(whole_, CScreenRegion(), kHeaderColour, sender_), 1);
  EXPECT_FALSE(grabber_.has_damage());
  // A thousand reports cost at most a bounded number of empty probes.
  std::vector<VzRect> many;
  for (int i = 0; i < 1000; ++i) many.push_back({(i * 37) % 1900, (i * 53) % 1060, (i * 37) % 1900 + 3, (i * 53) % 1060 + 3});
  grabber_.AddDamage(many);
  EXPECT_EQ(grabber_.ScanScreenChanged(false, Cursor(0, 0, 0)), 0);
  EXPECT_FALSE(grabber_.has_damage());
}

TEST_F(SharedMonitorTest, ChangesWithinFourPerChannelAreNotSeen) {
  screen_.Fill({0, 300, 1920, 1}, 0xFF040404);  // every pixel of the row, by 4
  phase_ = 0;
  for (int round = 0; round < 2; ++round) {  // one of them probes the cursor's row
    phase_ = 0;
    EXPECT_EQ(grabber_.ScanScreenChanged(false, Cursor(10, 300, 0)), 0) << "round " << round;
  }
  EXPECT_EQ(grabber_.ScanScreenChanged(true, Cursor(10, 300, 0)), 0);
  screen_.SetPixel(900, 300, 0xFF000500);  // one channel by 5
  EXPECT_EQ(grabber_.ScanScreenChanged(true, Cursor(10, 300, 0)), 1);
  // The start is tolerant, the end exact: the noise to the right still ends the box.
  EXPECT_TRUE(SameRect(grabber_.changed_box_for_testing(), {900, 300, 1920, 301}))
      << Text(grabber_.changed_box_for_testing());
}

TEST_F(SharedMonitorTest, FullCompareFindsOneChangedRunOnePixelWider) {
  ScanContext none;
  EXPECT_EQ(grabber_.ScanScreenChanged(true, none), 0);
  EXPECT_FALSE(grabber_.SendChangedBox(whole_, CScreenRegion(), kHeaderColour, sender_));
  EXPECT_TRUE(sender_.sent_.empty());

  screen_.Fill({100, 50, 100, 1}, 0xFFABCDEF);  // columns 100..199 of row 50
  EXPECT_EQ(grabber_.ScanScreenChanged(true, none), 1);
  EXPECT_TRUE(SameRect(grabber_.changed_box_for_testing(), {100, 50, 201, 51}))
      << Text(grabber_.changed_box_for_testing());

  screen_.Fill({1900, 0, 20, 2}, 0xFFABCDEF);  // up to the right edge
  EXPECT_EQ(grabber_.ScanScreenChanged(true, none), 1);
  EXPECT_TRUE(SameRect(grabber_.changed_box_for_testing(), {1900, 0, 1920, 2}))
      << Text(grabber_.changed_box_for_testing());
  EXPECT_EQ(grabber_.ScanScreenChanged(true, none), 0);
}

TEST_F(SharedMonitorTest, ABandThatCannotBeReadEndsTheCopyAtOnce) {
  vz::LogLineCapture log;
  screen_.ClearBlockReads();
  screen_.ScriptReadResults({ScreenReadResult::kReadFailed});
  EXPECT_FALSE(grabber_.BitBltBox(0, 0, 100, 300));
  EXPECT_EQ(screen_.block_reads().size(), 1u);
  EXPECT_TRUE(log.Has("BitBltBlock{0,0,[100,300]} -> maxline=300, ERROR!!! err=2"));

  screen_.ClearBlockReads();
  screen_.ScriptReadResults({ScreenReadResult::kNoConnection});
  EXPECT_FALSE(grabber_.BitBltBox(0, 0, 100, 300));
  EXPECT_EQ(screen_.block_reads().size(), 1u);
}

std::vector<int> Heights(const std::vector<vz::ScreenRect>& reads) {
  std::vector<int> heights;
  for (const vz::ScreenRect& r : reads) heights.push_back(r.height);
  return heights;
}

TEST_F(SharedMonitorTest, ShortMemoryRetriesSmallerBandsThenOneDirectCopy) {
  const auto no_buffer = ScreenReadResult::kNoBuffer;
  screen_.ClearBlockReads();
  screen_.ScriptReadResults({no_buffer});  // halves work
  EXPECT_TRUE(grabber_.BitBltBox(0, 10, 100, 300));
  EXPECT_EQ(Heights(screen_.block_reads()), (std::vector<int>{300, 150, 150}));
  EXPECT_EQ(screen_.block_reads()[2].y, 160);

  screen_.ClearBlockReads();
  screen_.ScriptReadResults({no_buffer, no_buffer, no_buffer, no_buffer, no_buffer});
  EXPECT_FALSE(grabber_.BitBltBox(0, 0, 100, 300));  // the direct copy fails too
  EXPECT_EQ(Heights(screen_.block_reads()), (std::vector<int>{300, 150, 100, 75, 300}));

  screen_.ClearBlockReads();
  screen_.ScriptReadResults({no_buffer, no_buffer, no_buffer, no_buffer});
  EXPECT_TRUE(grabber_.BitBltBox(0, 0, 100, 300));  // the direct copy works
  EXPECT_EQ(Heights(screen_.block_reads()), (std::vector<int>{300, 150, 100, 75, 300}));

  // Bands never go below 64 lines: 100 lines try 100, then 64 + 36, then
  // the divisors are given up.
  screen_.ClearBlockReads();
  screen_.ScriptReadResults({no_buffer, no_buffer});
  EXPECT_TRUE(grabber_.BitBltBox(0, 0, 100, 100));
  EXPECT_EQ(Heights(screen_.block_reads()), (std::vector<int>{100, 64, 100}));

  EXPECT_FALSE(grabber_.BitBltBox(0, 0, 0, 100));
  EXPECT_FALSE(grabber_.BitBltBox(0, 0, 100, -1));
}

TEST_F(SharedMonitorTest, AFailedCopyLeavesTheChangeForTheNextRound) {
  screen_.SetPixel(500, 300, 0xFFFFFFFF);
  screen_.ScriptReadResults({ScreenReadResult::kReadFailed});
  phase_ = 0;
  EXPECT_EQ(grabber_.ScanScreenChanged(false, Cursor(500, 300, 2)), 0);
  EXPECT_EQ(grabber_.changed_box_for_testing().right, 0);
  EXPECT_EQ(SampledRound(500, 300, 2).left, 384);
}

// A monitor right of the first, sharing an L-shaped area with a covered part.
TEST(SharedMonitorPaintTest, CoveredPartsTakeTheHeaderColourAndOutsidePartsGrey) {
  vz::ScreenDouble screen(2000, 1000);
  screen.Fill({1000, 0, 1000, 1000}, 0xFF112233);
  CSharedMonitor grabber(MonitorAt(2, {1000, 0, 2000, 1000}));
  ASSERT_TRUE(grabber.InitMonitor(&screen));
  CScreenRegion shared(VzRect{1100, 100, 1500, 400});         // the shared window
  shared.Union(CScreenRegion(VzRect{1500, 100, 1600, 200}));  // and its slide window
  const CScreenRegion covered(VzRect{1300, 300, 1500, 400});  // under another window
  RecordingSender sender;
  ASSERT_EQ(grabber.ForceDumpScreenRect(shared, covered, kHeaderColour, sender), 1);
  ASSERT_EQ(sender.sent_.size(), 1u);
  const RecordingSender::Sent& sent = sender.sent_[0];
  EXPECT_EQ(sent.monitor_id, 2);
  EXPECT_TRUE(SameRect(sent.monitor_rect, {1000, 0, 2000, 1000}));
  ASSERT_TRUE(SameRect(sent.box, {100, 100, 600, 400})) << Text(sent.box);
  auto at = [&](int x, int y) { return sent.At(x - 100, y - 100); };  // monitor coordinates
  EXPECT_EQ(at(100, 100), 0xFF112233u);
  EXPECT_EQ(at(299, 399), 0xFF112233u);
  EXPECT_EQ(at(300, 300), kHeaderPixel);
  EXPECT_EQ(at(499, 399), kHeaderPixel);
  EXPECT_EQ(at(300, 299), 0xFF112233u);
  EXPECT_EQ(at(599, 199), 0xFF112233u);
  EXPECT_EQ(at(500, 200), kGreyPixel);
  EXPECT_EQ(at(599, 399), kGreyPixel);

  // The previous image keeps the screen, not the paint: no false change.
  EXPECT_EQ(grabber.previous_bits_for_testing()[300 * 1000 + 300], 0xFF112233u);
  EXPECT_EQ(grabber.ScanScreenChanged(true, ScanContext()), 0);
}

TEST(SharedMonitorPaintTest, BoxesOutsideTheSharedAreaAreNotSent) {
  vz::ScreenDouble screen(1000, 1000);
  CSharedMonitor grabber(MonitorAt(1, {0, 0, 1000, 1000}));
  ASSERT_TRUE(grabber.InitMonitor(&screen));
  RecordingSender sender;
  grabber.ForceDumpScreenRect(CScreenRegion(VzRect{0, 0, 100, 100}), CScreenRegion(), kHeaderColour, sender);
  sender.sent_.clear();
  screen.SetPixel(500, 500, 0xFFFFFFFF);
  ASSERT_EQ(grabber.ScanScreenChanged(true, ScanContext()), 1);
  EXPECT_FALSE(grabber.SendChangedBox(CScreenRegion(VzRect{0, 0, 100, 100}), CScreenRegion(), kHeaderColour, sender));
  EXPECT_TRUE(sender.sent_.empty());
  EXPECT_EQ(grabber.changed_box_for_testing().right, 0);
}

TEST(SharedMonitorInitTest, UnusableMonitorsAreRefused) {
  vz::ScreenDouble screen(100, 100);
  CSharedMonitor empty(MonitorAt(1, {0, 0, 0, 100}));
  EXPECT_FALSE(empty.InitMonitor(&screen));
  CSharedMonitor huge(MonitorAt(1, {0, 0, 100000, 100}));
  EXPECT_FALSE(huge.InitMonitor(&screen));
  CSharedMonitor no_screen(MonitorAt(1, {0, 0, 100, 100}));
  EXPECT_FALSE(no_screen.InitMonitor(nullptr));
  RecordingSender sender;
  EXPECT_EQ(no_screen.ForceDumpScreenRect(CScreenRegion(VzRect{0, 0, 100, 100}), CScreenRegion(), 0, sender), 0);
  EXPECT_EQ(no_screen.ScanScreenChanged(true, ScanContext()), 0);
}

}  // namespace
