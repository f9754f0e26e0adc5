// The engine object against a recording client, a recording transport
// connection and the stand-in capture library: session start and stop,
// the statuses and errors that reach the client, the capture's operations
// and the sharing info.
#include "sharing/controller/engine_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/run_loop.h"
#include "sharing/controller/engine_testlib.h"
#include "sharing/controller/screen_picture_testlib.h"
#include "sharing/protocol/ds_record_owners.h"

namespace {

using engine_test::FakeDsTp;
using engine_test::FakeGrab;
using engine_test::LogCapture;
using engine_test::RecordingHostSink;
using Calls = std::vector<std::string>;

SharingInfo OneMonitorInfo(int32_t id, VzRect rect) {
  SharingInfo info{};
  info.BlockWidth = info.BlockHeight = 128;
  info.IsDesktopSharing = 1;
  info.SharedRect = rect;
  info.MonitorCount = 1;
  info.Monitors[0].MonitorId = id;
  info.Monitors[0].Rect = rect;
  info.Monitors[0].BitsPerPixel = 32;
  info.Monitors[0].BackgroundColor = 0x123456;
  return info;
}

class EngineControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(FakeGrab(), nullptr);
    FakeGrab()->Reset();
    EngineOptions options;
    options.create_tp = [this](IDSTpSink* sink) -> IDSTp* {
      ++tp_made_;
      tp_sink_ = sink;
      return refuse_tp_ ? nullptr : &tp_;
    };
    options.release_tp = [this](IDSTp* tp) {
      EXPECT_EQ(tp, &tp_);
      ++tp_released_;
    };
    options.grab_library = kFakeGrabLibrary;
    engine_.reset(new CEnginController(&host_, options));
    ASSERT_EQ(engine_->IsConstructed(), 1);
    config_.IsPresenter = 1;
  }
  void TearDown() override { engine_.reset(); }

  // A started session: connected, and the server said it is up.
  void Started() {
    ASSERT_EQ(engine_->StartDS(nullptr, &config_, nullptr), 1);
    engine_->OnTPStatusNotification(2);
  }
  // A cache the tables hold, so a clean-up shows.
  void HoldACache() {
    auto* cache = new CCacheEntry(30);
    cache->PduId = 9;
    engine_->caches().Store(cache);
    cache->Release();
    ASSERT_NE(engine_->caches().Find(30, 9), nullptr);
  }

  RecordingHostSink host_;
  FakeDsTp tp_;
  IDSTpSink* tp_sink_ = nullptr;
  bool refuse_tp_ = false;
  int tp_made_ = 0;
  int tp_released_ = 0;
  DSSessionConfig config_{};
  std::unique_ptr<CEnginController> engine_;
};

TEST_F(EngineControllerTest, StartDSCopiesTheConfigAndConnectsOnce) {
  EXPECT_EQ(engine_->StartDS(nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(tp_made_, 0);
  config_.TcpPort = 4443;
  ASSERT_EQ(engine_->StartDS(nullptr, &config_, nullptr), 1);
  EXPECT_EQ(tp_sink_, static_cast<IDSTpSink*>(engine_.get()));
  EXPECT_EQ(tp_.sent, Calls{"connect"});
  EXPECT_EQ(tp_.connected_presenter, 1);
  config_.TcpPort = 1;
  EXPECT_EQ(engine_->GetSessionConfig()->TcpPort, 4443);

  // A second start would orphan the first connection: refused.
  LogCapture log;
  EXPECT_EQ(engine_->StartDS(nullptr, &config_, nullptr), 0);
  EXPECT_EQ(tp_made_, 1);
  EXPECT_EQ(log.Count("already started"), 1u);
  EXPECT_TRUE(host_.calls.empty());
}

TEST_F(EngineControllerTest, StartDSWithoutAConnectionFails) {
  refuse_tp_ = true;
  EXPECT_EQ(engine_->StartDS(nullptr, &config_, nullptr), 0);
  EXPECT_EQ(engine_->SendCommand(nullptr), 0);
}

TEST_F(EngineControllerTest, StopDSOnAnIdleEngineCleansUpWithoutCallingTheClient) {
  HoldACache();
  EXPECT_EQ(engine_->StopDS(), 0);
  EXPECT_EQ(engine_->caches().GetCountForTesting(), 0);
  EXPECT_TRUE(host_.calls.empty());
  EXPECT_EQ(tp_released_, 0);
}

TEST_F(EngineControllerTest, StatusesReachTheClientAfterTheEngineHandledThem) {
  ASSERT_EQ(engine_->StartDS(nullptr, &config_, nullptr), 1);
  HoldACache();
  // Up: a session that has just started begins from empty tables.
  engine_->OnTPStatusNotification(2);
  EXPECT_EQ(engine_->caches().GetCountForTesting(), 0);

  // Reconnecting: the capture is released before the client hears it.
  ASSERT_EQ(engine_->StartCapture(nullptr, 3), 1);
  HoldACache();
  host_.after_call = [&](const std::string& call) {
    if (call == "status 1") {
      EXPECT_EQ(FakeGrab()->Live(), nullptr);
    }
  };
  FakeGrab()->Reset();
  engine_->OnTPStatusNotification(1);
  EXPECT_EQ(FakeGrab()->Calls(), (Calls{"StopCapture()", "DSReleaseCapture"}));
  EXPECT_NE(engine_->caches().Find(30, 9), nullptr);  // kept across a reconnect

  engine_->OnTPStatusNotification(4);
  EXPECT_EQ(engine_->caches().GetCountForTesting(), 0);
  EXPECT_EQ(host_.calls, (Calls{"status 2", "status 1", "status 4"}));
}

TEST_F(EngineControllerTest, AnErrorCleansUpAndReleasesTheCaptureBeforeTheClientHearsIt) {
  Started();
  ASSERT_EQ(engine_->StartCapture(nullptr, 3), 1);
  HoldACache();
  host_.after_call = [&](const std::string& call) {
    if (call != "error 30 50") return;
    EXPECT_EQ(FakeGrab()->Live(), nullptr);
    EXPECT_EQ(engine_->caches().GetCountForTesting(), 0);
  };
  engine_->OnTPErrorNotification(30, 50);
  EXPECT_EQ(host_.calls, (Calls{"status 2", "error 30 50"}));
  // The connection stays until StopDS.
  EXPECT_EQ(tp_released_, 0);
  engine_->StopDS();
  EXPECT_EQ(tp_released_, 1);
}

TEST_F(EngineControllerTest, AfterStopDSNothingReachesTheClient) {
  Started();
  ASSERT_EQ(engine_->StartCapture(nullptr, 3), 1);
  engine_->StopDS();
  EXPECT_EQ(tp_released_, 1);
  EXPECT_EQ(FakeGrab()->Live(), nullptr);
  // Events the connection had queued before it was released.
  engine_->OnTPStatusNotification(4);
  engine_->OnTPErrorNotification(10, 50);
  DSCommandRecord command{};
  engine_->OnDSTpCommand(&command);
  SharingInfo info = OneMonitorInfo(1, {0, 0, 800, 600});
  engine_->OnDSTpSharingInfo(&info);
  EXPECT_EQ(host_.calls, Calls{"status 2"});
}

TEST_F(EngineControllerTest, SendCommandReportsWhetherAnythingWasSent) {
  DSCommandRecord command{};
  command.Type = 100;
  EXPECT_EQ(engine_->SendCommand(&command), 0);  // no session
  ASSERT_EQ(engine_->StartDS(nullptr, &config_, nullptr), 1);
  EXPECT_EQ(engine_->SendCommand(nullptr), 0);
  EXPECT_EQ(engine_->SendCommand(&command), 1);
  tp_.send_result = 0;  // not joined: the connection dropped it
  EXPECT_EQ(engine_->SendCommand(&command), 0);
  EXPECT_EQ(tp_.sent, (Calls{"connect", "command 100", "command 100"}));

  CVZBinaryData web("abc", 3);
  EXPECT_EQ(engine_->SendWebBinary(&web), 1);
  EXPECT_EQ(engine_->SendWebBinary(nullptr), 1);
  EXPECT_EQ(tp_.sent.back(), "web 3");
}

TEST_F(EngineControllerTest, ReceivedCommandsAndWebBytesGoToTheClient) {
  Started();
  DSCommandRecord command{};
  command.Type = 30;
  CVZBinaryData web("abcd", 4);
  engine_->OnDSTpCommand(&command);
  engine_->OnDSTpWebBinary(&web);
  engine_->OnDSKeSharingStatus(1);
  EXPECT_EQ(host_.calls, (Calls{"status 2", "command 30", "web 4", "paused 1"}));
}

TEST_F(EngineControllerTest, StartCaptureMakesTheProviderOnceAndTurnsTheCursorOn) {
  ASSERT_EQ(engine_->StartCapture(nullptr, 3), 1);
  MeetConfig meet{};
  ASSERT_EQ(engine_->StartCapture(&meet, 2), 1);
  EXPECT_EQ(FakeGrab()->Calls(), (Calls{"DSCreateCapture", "StartCapture(null,3)", "SetCursorCapture(1)",
                                        "StartCapture(config,2)", "SetCursorCapture(1)"}));
  EXPECT_EQ(FakeGrab()->Sink(), static_cast<IVzGrabProviderSink*>(engine_.get()));
}

TEST_F(EngineControllerTest, ACaptureThatDoesNotStartOrCannotBeMadeFailsTheStart) {
  LogCapture log;
  FakeGrab()->SetStartResult(0);
  EXPECT_EQ(engine_->StartCapture(nullptr, 3), 0);
  EXPECT_EQ(log.Count("Start DS capture failed."), 1u);

  EngineOptions options;
  options.grab_library = "vzgrabnotthere";
  CEnginController without(&host_, options);
  EXPECT_EQ(without.StartCapture(nullptr, 3), 0);
  EXPECT_EQ(log.Count("Create capture instance failed."), 1u);
  EXPECT_EQ(without.GetMonitorList(), nullptr);
  EXPECT_EQ(without.ShareMonitor(nullptr, 1), 0);
}

TEST_F(EngineControllerTest, CaptureOperationsPassToTheProviderOnlyWhileOneExists) {
  EXPECT_EQ(engine_->GetMonitorList(), nullptr);
  EXPECT_EQ(engine_->GetCaptureHold(), 0);
  engine_->CaptureNow();
  EXPECT_TRUE(FakeGrab()->Calls().empty());

  ASSERT_EQ(engine_->StartCapture(nullptr, 3), 1);
  FakeGrab()->Reset();
  MonitorList* monitors = engine_->GetMonitorList();
  ASSERT_NE(monitors, nullptr);
  EXPECT_EQ(monitors->Count, 1);
  ASSERT_NE(engine_->GetWindowList(), nullptr);
  EXPECT_EQ(engine_->ShareMonitor(&monitors->Monitors[0], 1), 1);
  ApplicationInfo window{};
  window.Window = 77;
  EXPECT_EQ(engine_->ShareWindow(&window, 1), 1);
  engine_->CaptureNow();
  engine_->Refresh();
  engine_->SetCaptureHold(5);
  EXPECT_EQ(engine_->GetCaptureHold(), 7);
  EXPECT_EQ(engine_->ShowPointerWindow(1), 1);
  EXPECT_EQ(engine_->IsPointerWindowShown(), 1);
  VzPoint point{12, 34};
  EXPECT_EQ(engine_->ShowArrowIndicator(u"me", 0xff, &point), 1);
  EXPECT_EQ(engine_->SetArrowIndicatorText(u"me", 0xfe), 1);
  EXPECT_EQ(engine_->SetExcludedWindow1(11), 1);
  EXPECT_EQ(engine_->SetExcludedWindow2(12), 1);
  EXPECT_EQ(engine_->SetExcludedWindow3(13), 1);
  engine_->SetCursorCapture(0);
  EXPECT_EQ(engine_->SetBlankScreenMode(1), 1);
  EXPECT_EQ(engine_->IsBlankScreenActive(), 1);
  engine_->SetSendBacklog(300);
  EXPECT_EQ(engine_->StopCapture(), 1);
  EXPECT_EQ(FakeGrab()->Calls(),
            (Calls{"GetMonitorList()", "GetWindowList()", "ShareMonitor(1,1)", "ShareWindow(77,1)", "CaptureNow()",
                   "Refresh()", "SetCaptureHold(5)", "GetCaptureHold()", "ShowPointerWindow(1)",
                   "IsPointerWindowShown()", "ShowArrowIndicator(255,12)", "SetArrowIndicatorText(254)",
                   "SetExcludedWindow1(11)", "SetExcludedWindow2(12)", "SetExcludedWindow3(13)",
                   "SetCursorCapture(0)", "SetBlankScreenMode(1)", "IsBlankScreenActive()", "SetSendBacklog(300)",
                   "StopCapture()"}));
}

TEST_F(EngineControllerTest, TheTransportBacklogThrottlesTheCapture) {
  engine_->OnDSTpSendBacklog(20000);  // no capture: nothing to do
  ASSERT_EQ(engine_->StartCapture(nullptr, 3), 1);
  FakeGrab()->Reset();
  engine_->OnDSTpSendBacklog(16001);
  EXPECT_EQ(FakeGrab()->Calls(), Calls{"SetSendBacklog(16001)"});
}

TEST_F(EngineControllerTest, TheCapturesSharingInfoIsStoredGreyedSentAndReported) {
  Started();
  SharingInfo info = OneMonitorInfo(2, {1600, 0, 3520, 1080});
  EXPECT_EQ(engine_->OnDSKeSharingInfo(nullptr), 0);
  ASSERT_EQ(engine_->OnDSKeSharingInfo(&info), 1);
  EXPECT_EQ(tp_.sent, (Calls{"connect", "sharing_info 1 bg " + std::to_string(0xff606060u)}));
  EXPECT_EQ(host_.calls, (Calls{"status 2", "shared 2", "sharing_info 1"}));
  EXPECT_EQ(engine_->MonitorFrameCountForTesting(), 1);
  MonitorInfo* monitor = engine_->GetMonitorInfo(2);
  ASSERT_NE(monitor, nullptr);
  EXPECT_EQ(monitor->Rect.left, 1600);
  EXPECT_EQ(engine_->GetMonitorInfo(1), nullptr);
  EXPECT_EQ(engine_->GetMonitorInfo(0), nullptr);
}

TEST_F(EngineControllerTest, ASharingInfoWithTooManyMonitorsIsRefused) {
  config_.IsPresenter = 0;
  Started();
  LogCapture log;
  SharingInfo info = OneMonitorInfo(1, {0, 0, 800, 600});
  ASSERT_EQ(engine_->OnDSTpSharingInfo(&info), 1);
  SharingInfo bad = info;
  bad.MonitorCount = 17;
  EXPECT_EQ(engine_->OnDSTpSharingInfo(&bad), 0);
  bad.MonitorCount = -1;
  EXPECT_EQ(engine_->OnDSKeSharingInfo(&bad), 0);
  bad.MonitorCount = 1;
  bad.ApplicationCount = 66;
  EXPECT_EQ(engine_->OnDSTpSharingInfo(&bad), 0);
  EXPECT_EQ(log.Count("refused"), 3u);
  // The last good one stays.
  EXPECT_EQ(engine_->sharing_info().MonitorCount, 1);
  EXPECT_NE(engine_->GetMonitorInfo(1), nullptr);
}

// A hostile presenter's sharing info that names the shared monitor twice
// (once as it is, once with another size) is refused: otherwise the client
// hears of a second frame of monitor 1 that blocks are never drawn into, and
// when the next good sharing info drops it, hears that monitor 1 went while
// its frame stays and goes on being drawn.
TEST_F(EngineControllerTest, ASharingInfoNamingAMonitorTwiceIsRefusedWhole) {
  config_.IsPresenter = 0;
  Started();
  SharingInfo info = OneMonitorInfo(1, {0, 0, 256, 128});
  ASSERT_EQ(engine_->OnDSTpSharingInfo(&info), 1);
  host_.calls.clear();

  LogCapture log;
  SharingInfo twice = info;
  twice.MonitorCount = 2;
  twice.Monitors[1] = info.Monitors[0];
  twice.Monitors[1].Rect = {0, 0, 64, 64};
  EXPECT_EQ(engine_->OnDSTpSharingInfo(&twice), 0);
  EXPECT_EQ(engine_->OnDSKeSharingInfo(&twice), 0);
  EXPECT_EQ(log.Count("naming monitor [1] twice"), 2u);
  EXPECT_TRUE(host_.calls.empty());
  EXPECT_EQ(engine_->MonitorFrameCountForTesting(), 1);

  // The presenter's next sharing info and block: monitor 1 is there all along.
  ASSERT_EQ(engine_->OnDSTpSharingInfo(&info), 1);
  auto* cache = new CCacheEntry(25);
  cache->PduId = 7;
  cache->SetSlot(0, 30, "png", 3);
  engine_->OnDSTpCaches(&cache, 1);
  cache->Release();
  auto* block = new CKeyframeEntry(0);
  block->PduId = 10;
  block->Position = 10101;
  block->CacheIndex = 25;
  block->CachePduId = 7;
  block->MonitorId = 1;
  block->Rect = {128, 0, 256, 128};
  ASSERT_EQ(engine_->OnDSTpBlocks(&block, 1), 1);
  block->Release();
  EXPECT_EQ(host_.calls, (Calls{"updated 1 {0,0,256,128}", "sharing_info 1", "updated 1 {128,0,256,128}"}));
}

// The process's peak resident memory so far, in bytes (0 when unknown).
size_t PeakResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
  }
  return 0;
}

// A presenter announces sixteen monitors of 8192 x 8192 (256 MiB of frame
// each): the attendee makes frames only up to its budget, each refused
// monitor logged, and its peak memory grows by far less than 512 MiB.
TEST_F(EngineControllerTest, AnAttendeesFramesStayWithinTheBudgetWhateverASharingInfoAnnounces) {
  config_.IsPresenter = 0;
  Started();
  LogCapture log;
  SharingInfo info = OneMonitorInfo(1, {0, 0, 8192, 8192});
  info.MonitorCount = 16;
  for (int32_t i = 0; i < 16; ++i) {
    info.Monitors[i] = info.Monitors[0];
    info.Monitors[i].MonitorId = i + 1;
    info.Monitors[i].Rect = {i * 8192, 0, (i + 1) * 8192, 8192};
  }
  info.SharedRect = {0, 0, 16 * 8192, 8192};
  const size_t peak_before = PeakResidentBytes();
  ASSERT_EQ(engine_->OnDSTpSharingInfo(&info), 1);
  const size_t frame_bytes = size_t{8192} * 8192 * 4;
  EXPECT_GE(engine_->MonitorFrameCountForTesting(), 1);
  EXPECT_LE(static_cast<size_t>(engine_->MonitorFrameCountForTesting()) * frame_bytes,
            CMonitorFrames::kDefaultByteBudget);
  EXPECT_LT(CMonitorFrames::kDefaultByteBudget, size_t{512} << 20);
  EXPECT_EQ(log.Count("would exceed"), static_cast<size_t>(16 - engine_->MonitorFrameCountForTesting()));
  const size_t peak_after = PeakResidentBytes();
#if !defined(__SANITIZE_THREAD__)
  // (The thread checker's shadow memory is four times what it watches.)
  if (peak_before != 0 && peak_after != 0) {
    EXPECT_LT(peak_after - peak_before, size_t{512} << 20);
  }
#endif
  std::printf("attendee: %d of 16 monitors of 8192 x 8192 framed, peak grew by %zu MiB\n",
              engine_->MonitorFrameCountForTesting(), (peak_after - peak_before) >> 20);
}

TEST_F(EngineControllerTest, ReceivedCachesAreStoredAndOutOfRangeIndicesRefused) {
  LogCapture log;
  auto* good = new CCacheEntry(25);
  good->PduId = 3;
  auto* huge = new CCacheEntry(0xFFFFFFFFu);
  huge->PduId = 4;
  CCacheEntry* list[] = {good, huge};
  EXPECT_EQ(engine_->OnDSTpCaches(list, 2), 1);
  good->Release();
  huge->Release();
  EXPECT_NE(engine_->caches().Find(25, 3), nullptr);
  EXPECT_EQ(engine_->caches().GetCountForTesting(), 26);
  EXPECT_GE(log.Count("ERROR"), 1u);
}

TEST_F(EngineControllerTest, TheCursorEntryOfTheClientReachesTheCapturePath) {
  Started();
  std::vector<uint8_t> record(kCaptureMousePixelsOffset);
  auto* mouse = reinterpret_cast<CaptureMouseInfo*>(record.data());
  mouse->MonitorId = 1;
  mouse->X = 12;
  mouse->Y = 34;
  EXPECT_EQ(engine_->OnCaptureMouseInfo(mouse), 1);
  EXPECT_EQ(tp_.sent.back(), "mouse 1 12,34 cache 0");
}

// A presenter is the source of the sharing info, caches, blocks and cursor:
// the same records from the connection are another member's. Taken, a
// sharing info naming its monitor at 64 x 64 made every later capture of
// that monitor "wrong", a cache answer cleared the table of the blocks it
// had sent, and a cursor record put another cache under its pointer.
TEST_F(EngineControllerTest, APresenterKeepsItsOwnScreenWhateverTheConnectionBrings) {
  Started();
  ASSERT_EQ(engine_->StartCapture(nullptr, 3), 1);
  engine_test::Screen screen(512, 384);
  SharingInfo own = engine_test::Desktop(screen.width, screen.height);
  ASSERT_EQ(engine_->OnDSKeSharingInfo(&own), 1);
  std::vector<uint8_t> left = screen.Update({0, 0, 127, 127});  // the grid takes a box out to the next block edge
  ASSERT_EQ(engine_->OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(left.data())), 1);
  EXPECT_EQ(tp_.sent.back(), "blocks 10101");
  ASSERT_NE(engine_->caches().Find(21, 1), nullptr);
  tp_.sent.clear();
  host_.calls.clear();

  LogCapture log;
  SharingInfo forged = OneMonitorInfo(1, {0, 0, 64, 64});
  EXPECT_EQ(engine_->OnDSTpSharingInfo(&forged), 0);
  VzObjectPtr<CCacheEntry> cache(new CCacheEntry(21));
  cache->PduId = 999;
  cache->SetSlot(0, 10, "forged", 6);
  CCacheEntry* caches[] = {cache.get()};
  EXPECT_EQ(engine_->OnDSTpCaches(caches, 1), 0);
  VzObjectPtr<CKeyframeEntry> block(new CKeyframeEntry(0));
  block->PduId = 1000;
  block->Position = 10101;
  block->CacheIndex = 21;
  block->CachePduId = 999;
  block->MonitorId = 1;
  block->Rect = {0, 0, 64, 64};
  CKeyframeEntry* blocks[] = {block.get()};
  EXPECT_EQ(engine_->OnDSTpBlocks(blocks, 1), 0);
  EXPECT_EQ(engine_->OnDSTpRequestCaches(blocks, 1), 0);
  VzObjectPtr<CMouseEntry> mouse(new CMouseEntry());
  mouse->MonitorId = 1;
  mouse->CacheIndex = 5;
  mouse->CachePduId = 77;
  EXPECT_EQ(engine_->OnDSTpMouseInfo(mouse.get()), 0);
  // Logged at the first and then every thousandth, so no member floods the log.
  EXPECT_EQ(log.Count("a presenter takes no sharing info from the connection"), 1u);
  EXPECT_EQ(log.Count("a presenter takes no"), 1u);
  EXPECT_TRUE(host_.calls.empty());
  EXPECT_TRUE(tp_.sent.empty());

  // Its monitor, its caches, its keyframe and its cursor are as they were:
  // the same capture again sends nothing, the next change is taken, the
  // pointer keeps its own (empty) cache.
  const MonitorInfo* monitor = engine_->GetMonitorInfo(1);
  ASSERT_NE(monitor, nullptr);
  EXPECT_EQ(monitor->Rect.right, 512);
  EXPECT_NE(engine_->caches().Find(21, 1), nullptr);
  ASSERT_EQ(engine_->OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(left.data())), 1);
  EXPECT_TRUE(tp_.sent.empty());
  screen.Fill({128, 0, 256, 128}, 1, 2, 3);
  std::vector<uint8_t> right = screen.Update({128, 0, 255, 127});
  ASSERT_EQ(engine_->OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(right.data())), 1);
  std::vector<uint8_t> pointer(kCaptureMousePixelsOffset);
  auto* moved = reinterpret_cast<CaptureMouseInfo*>(pointer.data());
  moved->MonitorId = 1;
  moved->X = 12;
  moved->Y = 34;
  EXPECT_EQ(engine_->OnCaptureMouseInfo(moved), 1);
  EXPECT_EQ(tp_.sent, (Calls{"caches 22", "blocks 10102", "mouse 1 12,34 cache 0"}));
  EXPECT_FALSE(log.Has("wrong moinitor"));
}

// An attendee whose blocks name a cache it lacks asks for it once, draws
// nothing meanwhile, and draws when the answer came.
TEST_F(EngineControllerTest, MissingCachesAreAskedForAndDrawnWhenTheAnswerCame) {
  config_.IsPresenter = 0;
  Started();
  SharingInfo info = OneMonitorInfo(1, {0, 0, 256, 128});
  ASSERT_EQ(engine_->OnDSTpSharingInfo(&info), 1);
  auto block = [](uint32_t index, uint32_t pdu, int32_t left) {
    auto* entry = new CKeyframeEntry(index);
    entry->PduId = pdu;
    entry->Position = 10101 + index;
    entry->CacheIndex = 25;
    entry->CachePduId = 7;
    entry->MonitorId = 1;
    entry->Rect = {left, 0, left + 128, 128};
    return entry;
  };
  CKeyframeEntry* blocks[] = {block(0, 10, 0), block(1, 11, 128)};
  ASSERT_EQ(engine_->OnDSTpBlocks(blocks, 2), 1);
  EXPECT_EQ(tp_.sent.back(), "request 25");  // one entry for the two blocks
  const size_t calls_before = host_.calls.size();

  auto* cache = new CCacheEntry(25);
  cache->PduId = 7;
  cache->SetSlot(0, 30, "png", 3);  // not a tile: not painted, still reported
  engine_->OnDSTpCaches(&cache, 1);
  EXPECT_EQ(host_.calls.size(), calls_before);  // stored, nothing drawn yet
  CKeyframeEntry* answer[] = {blocks[0], blocks[1]};
  ASSERT_EQ(engine_->OnDSTpRequestCaches(answer, 2), 1);
  EXPECT_EQ(host_.calls.back(), "updated 1 {0,0,256,128}");
  cache->Release();
  blocks[0]->Release();
  blocks[1]->Release();
}

// The attendee's wait for a cache that never comes moves on the engine
// thread's run loop without any further message: asked again, then given
// up so that the block beside it draws.
TEST(EngineWaitTimerTest, AMissingCacheIsAskedAgainOnTheLoopAndGivenUpAtTheDeadline) {
  vz::FakeClock clock(5000);
  vz::RunLoop loop(clock);
  FakeDsTp tp;
  RecordingHostSink host;
  EngineOptions options;
  options.create_tp = [&tp](IDSTpSink*) -> IDSTp* { return &tp; };
  options.release_tp = [](IDSTp*) {};
  options.grab_library = kFakeGrabLibrary;
  options.clock = &clock;
  auto engine = std::make_unique<CEnginController>(&host, options);
  DSSessionConfig config{};
  ASSERT_EQ(engine->StartDS(nullptr, &config, nullptr), 1);
  engine->OnTPStatusNotification(2);
  SharingInfo info = OneMonitorInfo(1, {0, 0, 256, 128});
  ASSERT_EQ(engine->OnDSTpSharingInfo(&info), 1);

  auto* cache = new CCacheEntry(30);
  cache->PduId = 8;
  cache->SetSlot(0, 30, "png", 3);
  engine->OnDSTpCaches(&cache, 1);
  cache->Release();
  auto* never = new CKeyframeEntry(0);
  never->PduId = 10;
  never->CacheIndex = 25;
  never->CachePduId = 7;
  never->MonitorId = 1;
  never->Rect = {0, 0, 128, 128};
  auto* beside = new CKeyframeEntry(1);
  beside->PduId = 11;
  beside->CacheIndex = 30;
  beside->CachePduId = 8;
  beside->MonitorId = 1;
  beside->Rect = {128, 0, 256, 128};
  CKeyframeEntry* blocks[] = {never, beside};
  ASSERT_EQ(engine->OnDSTpBlocks(blocks, 2), 1);
  never->Release();
  beside->Release();
  auto requests = [&tp] { return std::count(tp.sent.begin(), tp.sent.end(), std::string("request 25")); };
  EXPECT_EQ(requests(), 1);
  const size_t calls_before = host.calls.size();

  for (uint64_t waited = 0; waited < CFrameRebuild::kGiveUpMs; waited += 250) {
    clock.AdvanceMs(250);
    loop.RunUntilIdle();
  }
  EXPECT_EQ(requests(), CFrameRebuild::kMaxAsks);
  ASSERT_GT(host.calls.size(), calls_before);
  EXPECT_EQ(host.calls.back(), "updated 1 {128,0,256,128}");
  // Nothing waits any more: the timer is gone.
  clock.AdvanceMs(10000);
  EXPECT_EQ(loop.RunUntilIdle(), 0u);
  engine.reset();
}

// 150 caches of 4 MiB that no block ever draws, on an attendee sharing a
// 1920 x 1080 monitor (a 4 MiB cache is within what that monitor could
// need): the engine keeps no more than its cache budget.
TEST_F(EngineControllerTest, ManyLargeCachesNeverDrawnStayWithinTheBudget) {
  SharingInfo info = OneMonitorInfo(1, {0, 0, 1920, 1080});
  ASSERT_EQ(engine_->OnDSTpSharingInfo(&info), 1);
  const std::vector<uint8_t> bytes(4u << 20, 0x3C);
  for (uint32_t i = 0; i < 150; ++i) {
    SCOPED_TRACE(testing::Message() << "cache " << 20 + i);
    auto* cache = new CCacheEntry(20 + i);
    cache->PduId = 100 + i;
    ASSERT_TRUE(cache->SetSlot(0, 10, bytes.data(), static_cast<uint32_t>(bytes.size())));
    engine_->OnDSTpCaches(&cache, 1);
    cache->Release();
    ASSERT_LE(engine_->caches().StoredBytesForTesting(), CCacheController::kDefaultByteBudget);
  }
  EXPECT_NE(engine_->caches().Find(169, 249), nullptr);  // the newest stays
  EXPECT_EQ(engine_->caches().Find(20, 100), nullptr);   // the oldest went
  std::printf("attendee: %llu bytes of caches kept after 150 of 4 MiB\n",
              static_cast<unsigned long long>(engine_->caches().StoredBytesForTesting()));
}

}  // namespace
