// The capture controller end to end over a screen double: records reach the
// sink on the creating thread only when its loop serves them, a stop while a
// hand-over waits completes, hold and backlog stop rounds, and display or
// desktop changes rebuild the screen.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/controller/capture_library.h"
#include "capture/controller/capture_messages.h"
#include "capture/controller/capture_testlib.h"
#include "capture/controller/sharing_base_controller.h"
#include "platform/desktop_switch_testlib.h"
#include "platform/screen/display_changes.h"
#include "platform/screen/screen_damage.h"
#include "platform/ui/headless.h"

namespace {

using capture_test::RecordingSink;
using capture_test::ServeUntil;
using capture_test::SharedScreen;
using capture_test::WaitUntil;

constexpr uint32_t kGrey = 0xFF808080u;
constexpr uint32_t kRed = 0xFFFF0000u;

class FakeDisplayWatch : public vz::DisplayChangeWatch {};

// What the controller did with its damage watches, shared with the fakes.
struct DamageRecord {
  std::mutex mutex;
  int opened = 0;
  int closed = 0;
  std::vector<std::vector<vz::ScreenRect>> areas;
  std::function<void()> report;
  std::vector<vz::ScreenRect> drawn;  // handed out by the next TakeDamage
};

class FakeDamageWatch : public vz::ScreenDamageWatch {
 public:
  explicit FakeDamageWatch(std::shared_ptr<DamageRecord> record) : record_(std::move(record)) {}
  ~FakeDamageWatch() override {
    std::lock_guard<std::mutex> lock(record_->mutex);
    ++record_->closed;
  }
  void SetArea(std::vector<vz::ScreenRect> area) override {
    std::lock_guard<std::mutex> lock(record_->mutex);
    record_->areas.push_back(std::move(area));
  }
  uint64_t reports() const override { return 0; }
  std::vector<vz::ScreenRect> TakeDamage() override {
    std::lock_guard<std::mutex> lock(record_->mutex);
    std::vector<vz::ScreenRect> taken;
    taken.swap(record_->drawn);
    return taken;
  }

 private:
  std::shared_ptr<DamageRecord> record_;
};

class CaptureControllerTest : public ::testing::Test {
 protected:
  CaptureControllerTest() : loop_(vz::SystemClock()), shared_(std::make_shared<SharedScreen>(640, 480)) {
    shared_->With([](vz::ScreenDouble& s) {
      s.SetMonitors({{{0, 0, 640, 480}, "screen", true}});
      // A composed screen: whole monitors are compared, so the boxes these
      // tests expect are exact (the sampled scan snaps them to blocks).
      s.SetComposition(true);
      s.Fill({0, 0, 640, 480}, kGrey);
      s.SetCursor(capture_test::SolidCursor(1, 100, 100));
      return 0;
    });
    environment_ = capture_test::DoubleEnvironment(shared_);
    environment_.watch_display_changes = [this](vz::RunLoop&, std::function<void()> on_change) {
      display_changed_ = std::move(on_change);
      return std::make_unique<FakeDisplayWatch>();
    };
  }
  ~CaptureControllerTest() override {
    if (provider_) {
      EXPECT_EQ(CaptureLibraryRelease(provider_), 1);
    }
  }

  void Create() {
    provider_ = CaptureLibraryCreate(&sink_, environment_);
    ASSERT_NE(provider_, nullptr);
    controller_ = static_cast<CSharingBaseController*>(provider_);
  }

  // Starts capture of the first monitor and serves until its first full
  // refresh and cursor record arrived.
  void StartSharingFirstMonitor() {
    Create();
    ASSERT_EQ(provider_->StartCapture(nullptr, 2), 1);
    MonitorList* list = provider_->GetMonitorList();
    ASSERT_NE(list, nullptr);
    ASSERT_GE(list->Count, 1);
    ASSERT_EQ(provider_->ShareMonitor(&list->Monitors[0], 1), 1);
    provider_->CaptureNow();
    ASSERT_TRUE(ServeUntil(loop_, [this] { return !sink_.screens.empty() && !sink_.mice.empty(); }));
  }

  // Starts capture of the first monitor and serves until its first screen
  // data arrived.
  void StartSharingFirstMonitorWithoutCursor() {
    Create();
    ASSERT_EQ(provider_->StartCapture(nullptr, 2), 1);
    MonitorList* list = provider_->GetMonitorList();
    ASSERT_EQ(provider_->ShareMonitor(&list->Monitors[0], 1), 1);
    ASSERT_TRUE(ServeUntil(loop_, [this] {
      if (provider_ != nullptr) provider_->CaptureNow();
      return !sink_.screens.empty();
    }));
  }

  int Reads() { return shared_->With([](vz::ScreenDouble& s) { return s.reads(); }); }

  // Serves the loop until the capture thread has begun `count` more rounds.
  bool ServeRounds(int count) {
    const uint64_t target = controller_->rounds_for_testing() + static_cast<uint64_t>(count);
    return ServeUntil(loop_, [&] {
      provider_->CaptureNow();
      return controller_->rounds_for_testing() >= target;
    });
  }

  vz::RunLoop loop_;
  std::shared_ptr<SharedScreen> shared_;
  CaptureEnvironment environment_;
  std::function<void()> display_changed_;
  RecordingSink sink_;
  IVzGrabProvider* provider_ = nullptr;
  CSharingBaseController* controller_ = nullptr;
};

TEST_F(CaptureControllerTest, AFullRefreshHandsSharingInfoThenTheWholeMonitorOnTheCreatingThread) {
  StartSharingFirstMonitor();
  EXPECT_FALSE(sink_.wrong_thread);
  ASSERT_FALSE(sink_.infos.empty());
  EXPECT_EQ(sink_.order[0], 'I');
  const SharingInfo& info = *sink_.infos[0];
  EXPECT_EQ(info.CaptureMode, 2);
  EXPECT_EQ(info.IsDesktopSharing, 1);
  EXPECT_EQ(info.MonitorCount, 1);
  EXPECT_EQ(info.SharedRect.right, 640);
  EXPECT_NE(info.Monitors[0].StateFlags & kMonitorStateShared, 0u);
  const capture_test::ScreenEvent& whole = sink_.screens[0];
  EXPECT_EQ(whole.monitor_id, 1);
  EXPECT_EQ(whole.dirty.right, 640);
  EXPECT_EQ(whole.dirty.bottom, 480);
  ASSERT_EQ(whole.data_size, 640 * 480 * 4);
  EXPECT_EQ(whole.pixels[0], 0x80);
  // The first cursor record after a refresh carries the shape.
  EXPECT_EQ(sink_.mice[0].header.Width, 32);
  EXPECT_EQ(sink_.mice[0].header.X, 100);
  EXPECT_EQ(sink_.mice[0].header.Y, 100);
}

TEST_F(CaptureControllerTest, TheCaptureThreadWaitsInAHandOverUntilTheLoopServesIt) {
  StartSharingFirstMonitor();
  const size_t screens = sink_.screens.size();
  const int reads = Reads();
  shared_->With([](vz::ScreenDouble& s) {
    s.Fill({200, 100, 30, 20}, kRed);
    return 0;
  });
  provider_->CaptureNow();
  // The round reads the change, then blocks in the hand-over: with the loop
  // not served, no further round begins.
  ASSERT_TRUE(WaitUntil([&] { return Reads() > reads; }));
  const uint64_t rounds = controller_->rounds_for_testing();
  provider_->CaptureNow();
  provider_->CaptureNow();
  EXPECT_FALSE(WaitUntil([&] { return controller_->rounds_for_testing() > rounds; }, 400));
  EXPECT_EQ(sink_.screens.size(), screens);
  ASSERT_TRUE(ServeUntil(loop_, [&] { return sink_.screens.size() > screens; }));
  const capture_test::ScreenEvent& change = sink_.screens.back();
  EXPECT_EQ(change.dirty.left, 200);
  EXPECT_EQ(change.dirty.top, 100);
  EXPECT_EQ(change.dirty.right, 231);  // the whole-monitor compare ends one pixel past the run
  EXPECT_EQ(change.dirty.bottom, 120);
  EXPECT_EQ(change.pixels[2], 0xFF);  // B, G, R: red
  EXPECT_FALSE(sink_.wrong_thread);
}

TEST_F(CaptureControllerTest, StopWhileAHandOverWaitsCompletesAndDeliversNothing) {
  StartSharingFirstMonitor();
  const size_t screens = sink_.screens.size();
  const int reads = Reads();
  shared_->With([](vz::ScreenDouble& s) {
    s.Fill({0, 0, 10, 10}, kRed);
    return 0;
  });
  provider_->CaptureNow();
  ASSERT_TRUE(WaitUntil([&] { return Reads() > reads; }));
  const uint64_t begin = vz::MonotonicMs();
  EXPECT_EQ(provider_->StopCapture(), 1);
  // A stop that waited for the hand-over would never return; this one
  // returns at once, however loaded the machine.
  EXPECT_LT(vz::MonotonicMs() - begin, 20000u);
  EXPECT_EQ(controller_->exit_code_for_testing(), 0);
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.screens.size(), screens);
  // After the stop the helper window answers 0 and reaches no sink.
  SharingInfo info{};
  EXPECT_EQ(controller_->HandleHelperMessage(WMDS_SHARING_INFO, reinterpret_cast<uintptr_t>(&info), sizeof info), 0);
  EXPECT_EQ(sink_.infos.size(), 1u);
}

TEST_F(CaptureControllerTest, AStopFromInsideTheSinkCallReturnsAndTheCaptureThreadEnds) {
  bool stopped = false;
  sink_.on_screen = [&] {
    if (stopped) return;
    stopped = true;
    EXPECT_EQ(provider_->StopCapture(), 1);  // the capture thread waits for this very call
  };
  StartSharingFirstMonitorWithoutCursor();
  ASSERT_TRUE(stopped);
  const size_t calls = sink_.order.size();
  EXPECT_TRUE(ServeUntil(loop_, [&] { return controller_->exit_code_for_testing() == 0; }));
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.order.size(), calls);  // nothing after the stop
  // A new start works once the stop is done.
  ASSERT_EQ(provider_->StartCapture(nullptr, 2), 1);
  MonitorList* list = provider_->GetMonitorList();
  ASSERT_EQ(provider_->ShareMonitor(&list->Monitors[0], 1), 1);
  EXPECT_TRUE(ServeUntil(loop_, [&] {
    provider_->CaptureNow();
    return sink_.order.size() > calls;
  }));
}

TEST_F(CaptureControllerTest, AReleaseFromInsideTheSinkCallFreesTheCaptureAfterTheCall) {
  bool released = false;
  sink_.on_screen = [&] {
    if (released) return;
    released = true;
    EXPECT_EQ(CaptureLibraryRelease(provider_), 1);
    // The library is free for a new capture at once.
    IVzGrabProvider* next = CaptureLibraryCreate(&sink_, environment_);
    EXPECT_NE(next, nullptr);
    provider_ = next;
  };
  StartSharingFirstMonitorWithoutCursor();
  ASSERT_TRUE(released);
  const size_t calls = sink_.order.size();
  loop_.RunUntilIdle();  // the released capture goes
  EXPECT_EQ(sink_.order.size(), calls);
  ASSERT_NE(provider_, nullptr);
  EXPECT_NE(provider_->GetMonitorList(), nullptr);
}

TEST_F(CaptureControllerTest, HoldStopsEveryRecordAndReleasingItRefreshesFromSharingInfo) {
  StartSharingFirstMonitor();
  provider_->SetCaptureHold(1);
  EXPECT_EQ(provider_->GetCaptureHold(), 1);
  ASSERT_TRUE(ServeRounds(2));  // a round under way when the hold came has ended
  const std::string before = sink_.order;
  shared_->With([](vz::ScreenDouble& s) {
    s.Fill({300, 300, 5, 5}, kRed);
    s.SetCursor(capture_test::SolidCursor(2, 150, 160));
    return 0;
  });
  ASSERT_TRUE(ServeRounds(3));
  EXPECT_EQ(sink_.order, before);
  provider_->SetCaptureHold(0);
  ASSERT_TRUE(ServeUntil(loop_, [&] {
    provider_->CaptureNow();
    return sink_.order.size() > before.size() + 2 && sink_.order.find('M', before.size()) != std::string::npos;
  }));
  EXPECT_EQ(sink_.order[before.size()], 'I');
  EXPECT_EQ(sink_.order[before.size() + 1], 'S');
  EXPECT_EQ(sink_.mice.back().header.Width, 32);  // the shape is sent again
  EXPECT_EQ(sink_.mice.back().header.X, 150);
}

TEST_F(CaptureControllerTest, BacklogBelowTheFloorCountsAsNoneAndAboveTheLimitSkipsRounds) {
  StartSharingFirstMonitor();
  provider_->SetSendBacklog(199);
  EXPECT_EQ(controller_->send_backlog_for_testing(), 0u);
  provider_->SetSendBacklog(200);
  EXPECT_EQ(controller_->send_backlog_for_testing(), 200u);
  provider_->SetSendBacklog(16001);
  ASSERT_TRUE(ServeRounds(2));
  const size_t screens = sink_.screens.size();
  shared_->With([](vz::ScreenDouble& s) {
    s.Fill({10, 400, 8, 8}, kRed);
    return 0;
  });
  ASSERT_TRUE(ServeRounds(3));
  EXPECT_EQ(sink_.screens.size(), screens);
  provider_->SetSendBacklog(16000);
  ASSERT_TRUE(ServeUntil(loop_, [&] {
    provider_->CaptureNow();
    return sink_.screens.size() > screens;
  }));
  EXPECT_EQ(sink_.screens.back().dirty.top, 400);
}

TEST_F(CaptureControllerTest, ADisplayChangeRebuildsTheScreenAndRefreshesWithANewSharingInfo) {
  StartSharingFirstMonitor();
  ASSERT_TRUE(display_changed_);
  shared_->With([](vz::ScreenDouble& s) {
    s.SetMonitors({{{0, 0, 320, 480}, "screen", true}, {{320, 0, 320, 480}, "right", false}});
    return 0;
  });
  const size_t infos = sink_.infos.size();
  const size_t screens = sink_.screens.size();
  // A flood of capture requests (one per injected input) must not hold the
  // rebuild up behind it.
  for (int i = 0; i < 20000; ++i) provider_->CaptureNow();
  display_changed_();
  ASSERT_TRUE(ServeUntil(loop_, [&] {
    provider_->CaptureNow();
    return sink_.infos.size() > infos && sink_.screens.size() > screens;
  }));
  const SharingInfo& info = *sink_.infos.back();
  // The shared mark stays with the monitor of the same name.
  ASSERT_EQ(info.MonitorCount, 1);
  EXPECT_EQ(info.Monitors[0].Rect.right, 320);
  EXPECT_EQ(sink_.screens.back().dirty.right, 320);
}

TEST_F(CaptureControllerTest, TheDamageWatchCoversTheSharedMonitorAsksForRoundsAndEndsWithTheCapture) {
  auto record = std::make_shared<DamageRecord>();
  environment_.watch_damage = [record](std::function<void()> on_damage) -> std::unique_ptr<vz::ScreenDamageWatch> {
    std::lock_guard<std::mutex> lock(record->mutex);
    ++record->opened;
    record->report = std::move(on_damage);
    return std::make_unique<FakeDamageWatch>(record);
  };
  StartSharingFirstMonitor();
  {
    std::lock_guard<std::mutex> lock(record->mutex);
    EXPECT_EQ(record->opened, 1);
    ASSERT_FALSE(record->areas.empty());
    EXPECT_EQ(record->areas.back(), (std::vector<vz::ScreenRect>{{0, 0, 640, 480}}));
  }
  // A report from the watch's own thread brings the change to the sink.
  const size_t screens = sink_.screens.size();
  shared_->With([](vz::ScreenDouble& s) {
    s.Fill({300, 200, 8, 8}, kRed);
    return 0;
  });
  std::function<void()> report;
  {
    std::lock_guard<std::mutex> lock(record->mutex);
    report = record->report;
  }
  std::thread([report] { report(); }).join();
  ASSERT_TRUE(ServeUntil(loop_, [&] { return sink_.screens.size() > screens; }));
  EXPECT_EQ(sink_.screens.back().dirty.left, 300);
  // The watch ends with the capture thread; a new capture opens a new one.
  ASSERT_EQ(provider_->StopCapture(), 1);
  {
    std::lock_guard<std::mutex> lock(record->mutex);
    EXPECT_EQ(record->closed, 1);
  }
  ASSERT_EQ(provider_->StartCapture(nullptr, 2), 1);
  {
    std::lock_guard<std::mutex> lock(record->mutex);
    EXPECT_EQ(record->opened, 2);
  }
}

// Without a compositing manager the drawing that the watch reports is probed
// first: a change far from the cursor reaches the sink in the round the
// report asks for, not after the sampled probes happen to meet it.
TEST_F(CaptureControllerTest, ReportedDrawingFarFromTheCursorIsSentByTheRoundItAsksFor) {
  auto record = std::make_shared<DamageRecord>();
  environment_.watch_damage = [record](std::function<void()> on_damage) -> std::unique_ptr<vz::ScreenDamageWatch> {
    std::lock_guard<std::mutex> lock(record->mutex);
    record->report = std::move(on_damage);
    return std::make_unique<FakeDamageWatch>(record);
  };
  shared_->With([](vz::ScreenDouble& s) {
    s.SetComposition(false);
    return 0;
  });
  StartSharingFirstMonitor();
  const size_t screens = sink_.screens.size();
  shared_->With([](vz::ScreenDouble& s) {
    s.Fill({601, 443, 6, 5}, kRed);  // the cursor is at (100, 100)
    return 0;
  });
  std::function<void()> report;
  uint64_t rounds = 0;
  {
    std::lock_guard<std::mutex> lock(record->mutex);
    record->drawn = {{598, 440, 12, 10}};
    report = record->report;
    rounds = controller_->rounds_for_testing();
  }
  std::thread([report] { report(); }).join();
  ASSERT_TRUE(ServeUntil(loop_, [&] { return sink_.screens.size() > screens; }));
  // The round under way when the report came, or the next one; a third may
  // have begun since.
  EXPECT_LE(controller_->rounds_for_testing(), rounds + 3);
  const auto& box = sink_.screens.back().dirty;
  EXPECT_LE(box.left, 601);
  EXPECT_LE(box.top, 443);
  EXPECT_GE(box.right, 607);
  EXPECT_GE(box.bottom, 448);
}

// Without a compositing manager a round samples lines and a column instead
// of reading the whole monitor, and still finds and sends a change; the
// choice is made again every round.
TEST_F(CaptureControllerTest, WithoutCompositionRoundsSampleLinesAndStillFindChanges) {
  auto pixels = [this] { return shared_->With([](vz::ScreenDouble& s) { return s.pixels_read(); }); };
  shared_->With([](vz::ScreenDouble& s) {
    s.SetComposition(false);
    return 0;
  });
  StartSharingFirstMonitor();
  ASSERT_TRUE(ServeRounds(1));
  uint64_t before = pixels();
  const uint64_t rounds_before = controller_->rounds_for_testing();
  ASSERT_TRUE(ServeRounds(6));
  const uint64_t read = pixels() - before;
  const uint64_t rounds = controller_->rounds_for_testing() - rounds_before;
  // At most the cursor row, five spread rows and a column a round, far below
  // one whole monitor. The capture thread runs on while the counters are
  // read: a round may end between the first two reads (its pixels counted,
  // not the round) and another be under way at the last two.
  EXPECT_LE(read, (rounds + 2) * (6 * 640 + 480));
  EXPECT_LT(read, 640u * 480u);

  // A change on the cursor's row is found by the cursor probe and sent.
  const size_t screens = sink_.screens.size();
  shared_->With([](vz::ScreenDouble& s) {
    s.Fill({90, 100, 20, 3}, kRed);
    return 0;
  });
  ASSERT_TRUE(ServeUntil(loop_, [&] {
    provider_->CaptureNow();
    return sink_.screens.size() > screens;
  }));
  const VzRect dirty = sink_.screens.back().dirty;
  EXPECT_LE(dirty.left, 90);
  EXPECT_GE(dirty.right, 110);
  EXPECT_LE(dirty.top, 100);
  EXPECT_GE(dirty.bottom, 103);
  EXPECT_LT(dirty.right - dirty.left, 640);

  // A compositing manager starts: the next rounds compare whole monitors.
  shared_->With([](vz::ScreenDouble& s) {
    s.SetComposition(true);
    return 0;
  });
  ASSERT_TRUE(ServeRounds(2));
  before = pixels();
  ASSERT_TRUE(ServeRounds(2));
  EXPECT_GE(pixels() - before, 640u * 480u);
}

TEST_F(CaptureControllerTest, ADesktopSwitchRebuildsTheScreen) {
  vz::ScriptedDesktopSwitchEvents* switches = nullptr;
  environment_.open_desktop_switch = [&switches]() -> std::unique_ptr<vz::DesktopSwitchEvents> {
    auto events = std::make_unique<vz::ScriptedDesktopSwitchEvents>();
    switches = events.get();
    return events;
  };
  StartSharingFirstMonitor();
  ASSERT_NE(switches, nullptr);
  const size_t infos = sink_.infos.size();
  switches->Fire();
  ASSERT_TRUE(ServeUntil(loop_, [&] {
    provider_->CaptureNow();
    return sink_.infos.size() > infos;
  }));
}

TEST_F(CaptureControllerTest, WithoutAScreenStartCaptureReturnsAndNothingIsCaptured) {
  environment_.open_screen = [] { return std::unique_ptr<vz::ScreenSource>(); };
  Create();
  EXPECT_EQ(provider_->StartCapture(nullptr, 2), 1);
  EXPECT_TRUE(WaitUntil([&] { return controller_->exit_code_for_testing() == 1; }));
  MonitorList* list = provider_->GetMonitorList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Count, 0);
  provider_->CaptureNow();
  loop_.RunUntilIdle();
  EXPECT_TRUE(sink_.order.empty());
}

TEST_F(CaptureControllerTest, TheCursorIsReportedOnlyWhenItsShapeOrPositionChanges) {
  StartSharingFirstMonitor();
  const size_t mice = sink_.mice.size();
  ASSERT_TRUE(ServeRounds(3));
  EXPECT_EQ(sink_.mice.size(), mice);  // nothing changed: nothing sent

  shared_->With([](vz::ScreenDouble& s) {
    s.SetCursor(capture_test::SolidCursor(1, 120, 90));
    return 0;
  });
  ASSERT_TRUE(ServeUntil(loop_, [&] {
    provider_->CaptureNow();
    return sink_.mice.size() > mice;
  }));
  EXPECT_EQ(sink_.mice.back().header.Width, 0);  // same shape: position only
  EXPECT_EQ(sink_.mice.back().header.X, 120);
  EXPECT_EQ(sink_.mice.back().header.Y, 90);
  EXPECT_EQ(sink_.mice.back().header.Data, 0u);

  // Hidden after visible: one record with an empty shape, then quiet.
  vz::ScreenCursor hidden = capture_test::SolidCursor(1, 120, 90);
  hidden.width = hidden.height = 0;
  hidden.argb.clear();
  shared_->With([&](vz::ScreenDouble& s) {
    s.SetCursor(hidden);
    return 0;
  });
  const size_t before_hide = sink_.mice.size();
  ASSERT_TRUE(ServeUntil(loop_, [&] {
    provider_->CaptureNow();
    return sink_.mice.size() > before_hide;
  }));
  ASSERT_TRUE(ServeRounds(3));
  EXPECT_EQ(sink_.mice.size(), before_hide + 1);
  EXPECT_EQ(sink_.mice.back().header.Width, 0);
  EXPECT_EQ(sink_.mice.back().header.DataSize, 0);

  // A shape too large to send: only its moves are reported.
  vz::ScreenCursor big = capture_test::SolidCursor(7, 130, 90);
  big.width = big.height = 256;
  big.argb.assign(256 * 256, 0xFFFFFFFFu);
  shared_->With([&](vz::ScreenDouble& s) {
    s.SetCursor(big);
    return 0;
  });
  const size_t before_big = sink_.mice.size();
  ASSERT_TRUE(ServeUntil(loop_, [&] {
    provider_->CaptureNow();
    return sink_.mice.size() > before_big;
  }));
  EXPECT_EQ(sink_.mice.back().header.Width, 0);
  EXPECT_EQ(sink_.mice.back().header.X, 130);
}

TEST_F(CaptureControllerTest, ACursorOverAMonitorThatIsNotSharedIsNotReported) {
  shared_->With([](vz::ScreenDouble& s) {
    s.SetMonitors({{{0, 0, 320, 480}, "left", true}, {{320, 0, 320, 480}, "right", false}});
    s.SetCursor(capture_test::SolidCursor(1, 400, 100));  // on the right one
    return 0;
  });
  Create();
  ASSERT_EQ(provider_->StartCapture(nullptr, 2), 1);
  MonitorList* list = provider_->GetMonitorList();
  ASSERT_EQ(list->Count, 2);
  ASSERT_EQ(provider_->ShareMonitor(&list->Monitors[0], 1), 1);
  ASSERT_TRUE(ServeUntil(loop_, [&] {
    provider_->CaptureNow();
    return !sink_.screens.empty();
  }));
  ASSERT_TRUE(ServeRounds(3));
  EXPECT_TRUE(sink_.mice.empty());
  EXPECT_EQ(sink_.screens[0].dirty.right, 320);
  shared_->With([](vz::ScreenDouble& s) {
    s.SetCursor(capture_test::SolidCursor(1, 300, 100));  // back on the shared one
    return 0;
  });
  ASSERT_TRUE(ServeUntil(loop_, [&] {
    provider_->CaptureNow();
    return !sink_.mice.empty();
  }));
  EXPECT_EQ(sink_.mice[0].header.MonitorId, 1);
  EXPECT_EQ(sink_.mice[0].header.X, 300);
}

TEST_F(CaptureControllerTest, SharingAWindowBringsItToTheFrontAndCapturesOnlyItsArea) {
  shared_->With([](vz::ScreenDouble& s) {
    s.SetWindows({{0x500, {100, 50, 200, 150}, "editor", 4242, true, 0, "Editor", false, vz::ScreenWindowKind::kNormal}});
    s.Fill({100, 50, 200, 150}, kRed);
    return 0;
  });
  Create();
  ASSERT_EQ(provider_->StartCapture(nullptr, 2), 1);
  ApplicationList* list = provider_->GetWindowList();
  ASSERT_EQ(list->Count, 1);
  ApplicationInfo unknown = list->Applications[0];
  unknown.Window = 0x999;
  EXPECT_EQ(provider_->ShareWindow(&unknown, 1), 0);
  ASSERT_EQ(provider_->ShareWindow(&list->Applications[0], 1), 1);
  EXPECT_EQ(shared_->With([](vz::ScreenDouble& s) { return s.brought_to_front(); }),
            (std::vector<uint64_t>{0x500}));
  ASSERT_TRUE(ServeUntil(loop_, [&] {
    provider_->CaptureNow();
    return !sink_.screens.empty();
  }));
  const SharingInfo& info = *sink_.infos.back();
  EXPECT_EQ(info.IsDesktopSharing, 0);
  ASSERT_EQ(info.ApplicationCount, 1);
  EXPECT_EQ(info.Applications[0].Window, 0x500u);
  const capture_test::ScreenEvent& box = sink_.screens[0];
  EXPECT_EQ(box.dirty.left, 100);
  EXPECT_EQ(box.dirty.top, 50);
  EXPECT_EQ(box.dirty.right, 300);
  EXPECT_EQ(box.dirty.bottom, 200);
  EXPECT_EQ(box.pixels[2], 0xFF);  // the window's red
}

TEST_F(CaptureControllerTest, TheDamageWatchOfASharedWindowLeavesOutItsCoveredPart) {
  auto record = std::make_shared<DamageRecord>();
  environment_.watch_damage = [record](std::function<void()> on_damage) -> std::unique_ptr<vz::ScreenDamageWatch> {
    std::lock_guard<std::mutex> lock(record->mutex);
    ++record->opened;
    record->report = std::move(on_damage);
    return std::make_unique<FakeDamageWatch>(record);
  };
  shared_->With([](vz::ScreenDouble& s) {
    s.SetWindows({{0x500, {100, 50, 200, 150}, "editor", 4242, true, 0, "Editor", false, vz::ScreenWindowKind::kNormal},
                  {0x600, {250, 100, 100, 100}, "other", 4343, true, 0, "Other", false, vz::ScreenWindowKind::kNormal}});
    return 0;
  });
  Create();
  ASSERT_EQ(provider_->StartCapture(nullptr, 2), 1);
  ApplicationList* list = provider_->GetWindowList();
  ASSERT_EQ(list->Count, 2);
  ApplicationInfo* editor = list->Applications[0].Window == 0x500u ? &list->Applications[0] : &list->Applications[1];
  ASSERT_EQ(provider_->ShareWindow(editor, 1), 1);
  ASSERT_TRUE(ServeUntil(loop_, [&] {
    provider_->CaptureNow();
    return !sink_.screens.empty();
  }));
  std::vector<vz::ScreenRect> area;
  {
    std::lock_guard<std::mutex> lock(record->mutex);
    ASSERT_FALSE(record->areas.empty());
    area = record->areas.back();
  }
  auto inside = [&area](int x, int y) {
    for (const vz::ScreenRect& r : area)
      if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height) return true;
    return false;
  };
  int64_t pixels = 0;
  for (const vz::ScreenRect& r : area) pixels += int64_t{r.width} * r.height;
  EXPECT_TRUE(inside(100, 50));
  EXPECT_TRUE(inside(249, 199));
  EXPECT_FALSE(inside(250, 100)) << "the covered part";
  EXPECT_FALSE(inside(99, 50)) << "outside the window";
  EXPECT_EQ(pixels, 200 * 150 - 50 * 100);
}

TEST_F(CaptureControllerTest, IndicatorsFollowTheHelperWindowsMessages) {
  auto system = vz::HeadlessWindowSystem::Create({640, 480});
  vz::WindowSystem::SetCurrent(system.get());
  // The capture goes before the window system, also when a check fails.
  struct Release {
    IVzGrabProvider*& provider;
    ~Release() {
      if (provider) CaptureLibraryRelease(provider);
      provider = nullptr;
      vz::WindowSystem::SetCurrent(nullptr);
    }
  } release{provider_};
  StartSharingFirstMonitor();
  // The rebuilt screen brings the frame round the shared monitor.
  ASSERT_TRUE(ServeUntil(loop_, [&] { return !system->TopLevelWindows().empty(); }));
  const size_t frames = system->TopLevelWindows().size();
  EXPECT_EQ(provider_->ShowPointerWindow(1), 1);
  EXPECT_EQ(provider_->IsPointerWindowShown(), 1);
  EXPECT_GT(system->TopLevelWindows().size(), frames);
  // Choosing what is shared hides the pointer window.
  MonitorList* list = provider_->GetMonitorList();
  EXPECT_EQ(provider_->ShareMonitor(&list->Monitors[0], 1), 1);
  EXPECT_EQ(provider_->IsPointerWindowShown(), 0);
  VzPoint at{50, 60};
  EXPECT_EQ(provider_->ShowArrowIndicator(u"Ann", 0x0000FF, &at), 1);
  const size_t with_arrow = system->TopLevelWindows().size();
  controller_->HandleHelperMessage(WMDS_ARROW_CLICKED, 0, 0);
  EXPECT_LT(system->TopLevelWindows().size(), with_arrow);
  // Stopping takes every indicator away.
  EXPECT_EQ(provider_->StopCapture(), 1);
  loop_.RunUntilIdle();
  EXPECT_TRUE(system->TopLevelWindows().empty());
}

}  // namespace
