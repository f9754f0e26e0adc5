#include "weblink/pipe/pipe_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/log_capture_testlib.h"
#include "common/scoped_lock.h"
#include "platform/clock.h"
#include "platform/pipe_name_testlib.h"
#include "weblink/pipe/pipe_frame.h"
#include "weblink/pipe/pipe_test_peer_testlib.h"

namespace {

constexpr int kWaitMs = 5000;

// Records every callback, in order, and lets the test wait for a count.
class RecordingCallback : public CWebSocketClientCallback {
 public:
  void OnConnect() override {
    Add("connect");
    if (on_connect) on_connect();
  }
  void OnDisconnect(int reason) override { Add("disconnect:" + std::to_string(reason)); }
  void OnReceiveText(const std::string& payload) override {
    if (on_text) on_text(payload);
    Add("text:" + payload);
  }
  void OnReceiveBinary(const std::string& payload) override { Add("binary:" + payload); }

  bool WaitForCount(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return events_.size() >= count; });
  }
  std::vector<std::string> Events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }

  std::function<void()> on_connect;
  std::function<void(const std::string&)> on_text;

 private:
  void Add(std::string event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
};

// A clock the test moves, safe to read from the I/O thread. Counting reads
// tells the test that the connection loop has gone round.
class SteppedClock : public vz::Clock {
 public:
  uint64_t NowMs() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++reads_;
    read_.notify_all();
    return now_ms_;
  }
  void SetMs(uint64_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    now_ms_ = ms;
  }
  uint64_t Reads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return reads_;
  }
  bool WaitForReads(uint64_t count) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return read_.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return reads_ >= count; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable read_;
  mutable uint64_t reads_ = 0;
  uint64_t now_ms_ = 0;
};

class PipeClientTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new vz::ScopedPipeTestFolder();
    log_ = new vz::LogLineCapture();  // the lines the client writes
  }
  static void TearDownTestSuite() {
    delete log_;
    log_ = nullptr;
    delete folder_;
    folder_ = nullptr;
  }
  void SetUp() override {
    ASSERT_FALSE(folder_->Path().empty());
    log_->Clear();
  }

  bool SendLocked(CPipeClient& client, std::string_view payload, uint32_t kind) {
    CScopedLock lock(client.ClientLock());
    return client.Send(payload, kind);
  }

  static vz::ScopedPipeTestFolder* folder_;
  static vz::LogLineCapture* log_;
  const std::u16string name_ = NextTestPipeName();
  RecordingCallback callback_;
  SteppedClock clock_;
};

vz::ScopedPipeTestFolder* PipeClientTest::folder_ = nullptr;
vz::LogLineCapture* PipeClientTest::log_ = nullptr;

std::string Pattern(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (char& c : bytes) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return bytes;
}

TEST_F(PipeClientTest, FramesArriveWholeWhateverTheChunkSize) {
  const std::vector<PipeTestFrame> frames = {
      {PIPE_KIND_JSON_TEXT, "{\"type\":\"ping\"}"}, {PIPE_KIND_BASE64_DATA, "QUJD"}, {PIPE_KIND_JSON_TEXT, ""},
      {PIPE_KIND_VALUE1, "42"},                       {PIPE_KIND_JSON_TEXT, ""},
  };
  const std::vector<std::string> expected = {"connect", "text:{\"type\":\"ping\"}", "binary:QUJD", "text:",
                                             "binary:42", "text:"};
  std::string stream;
  for (const PipeTestFrame& frame : frames) stream += BuildPipeFrame(frame.kind, frame.payload);

  PipeTestPeer peer(name_);
  ASSERT_TRUE(peer.BindAndListen());
  for (size_t chunk = 1; chunk <= stream.size(); ++chunk) {
    SCOPED_TRACE("chunk " + std::to_string(chunk));
    RecordingCallback callback;
    CPipeClient client(&callback);
    ASSERT_TRUE(client.Start(name_));
    ASSERT_TRUE(peer.Accept());
    for (size_t at = 0; at < stream.size(); at += chunk) {
      ASSERT_TRUE(peer.WriteAll(std::string_view(stream).substr(at, chunk))) << "piece at " << at;
      // The client reads this piece before the next one is written.
      ASSERT_TRUE(peer.WaitConsumed()) << "piece at " << at;
    }
    ASSERT_TRUE(callback.WaitForCount(expected.size()));
    client.Stop();
    EXPECT_EQ(callback.Events(), expected);
    peer.CloseConnection();
  }
}

TEST_F(PipeClientTest, MegabyteFramesBothWaysArriveByteExact) {
  PipeTestPeer peer(name_);
  ASSERT_TRUE(peer.BindAndListen());
  CPipeClient client(&callback_);
  ASSERT_TRUE(client.Start(name_));
  ASSERT_TRUE(peer.Accept());
  ASSERT_TRUE(callback_.WaitForCount(1));
  // A small socket buffer makes every write of the client and the peer short.
  ASSERT_TRUE(peer.Connection().SetSendBufferSize(4096));

  const size_t kMiB = 1024 * 1024;
  std::vector<PipeTestFrame> to_peer = {
      {PIPE_KIND_BASE64_DATA, Pattern(kMiB, 1)},
      {PIPE_KIND_CRASH_REPORT, Pattern(kMiB, 2)},
      {PIPE_KIND_BASE64_DATA, Pattern(kMiB + 3, 3)},
      {PIPE_KIND_JSON_TEXT, "{\"after\":true}"},
  };
  for (const PipeTestFrame& frame : to_peer) {
    ASSERT_TRUE(SendLocked(client, frame.payload, frame.kind))
        << "a frame of kind " << frame.kind << ", " << frame.payload.size() << " bytes";
  }
  const std::string text1 = Pattern(kMiB, 4);
  const std::string binary = Pattern(kMiB, 5);
  const std::string to_client = BuildPipeFrame(PIPE_KIND_JSON_TEXT, text1) +
                                BuildPipeFrame(PIPE_KIND_BASE64_DATA, binary) +
                                BuildPipeFrame(PIPE_KIND_JSON_TEXT, "end");

  std::vector<PipeTestFrame> received;
  ASSERT_TRUE(peer.Exchange(to_client, to_peer.size(), &received, 20000));
  ASSERT_EQ(received.size(), to_peer.size());
  for (size_t i = 0; i < to_peer.size(); ++i) {
    EXPECT_EQ(received[i].kind, to_peer[i].kind) << i;
    EXPECT_TRUE(received[i].payload == to_peer[i].payload) << "frame " << i << " differs";
  }
  ASSERT_TRUE(callback_.WaitForCount(4));
  client.Stop();
  const std::vector<std::string> events = callback_.Events();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_TRUE(events[1] == "text:" + text1);
  EXPECT_TRUE(events[2] == "binary:" + binary);
  EXPECT_EQ(events[3], "text:end");
}

TEST_F(PipeClientTest, FramesQueuedBeforeTheConnectionGoOutInOrder) {
  PipeTestPeer peer(name_);
  ASSERT_TRUE(peer.Bind());  // busy until it listens
  CPipeClient client(&callback_, clock_);
  EXPECT_FALSE(SendLocked(client, "", PIPE_KIND_JSON_TEXT));
  ASSERT_TRUE(SendLocked(client, "first", PIPE_KIND_CRASH_REPORT));
  ASSERT_TRUE(SendLocked(client, "second", PIPE_KIND_TRACE_LOG));
  ASSERT_TRUE(SendLocked(client, "third", PIPE_KIND_JSON_TEXT));
  // A frame sent from OnConnect, on the I/O thread, follows the queued ones.
  callback_.on_connect = [&] { EXPECT_TRUE(SendLocked(client, "from-connect", PIPE_KIND_VALUE1)); };
  ASSERT_TRUE(client.Start(name_));
  ASSERT_TRUE(clock_.WaitForReads(2));
  ASSERT_TRUE(peer.Listen());
  ASSERT_TRUE(peer.Accept());

  std::vector<PipeTestFrame> received;
  ASSERT_TRUE(peer.ReadFrames(4, &received));
  const std::vector<PipeTestFrame> expected = {{PIPE_KIND_CRASH_REPORT, "first"},
                                               {PIPE_KIND_TRACE_LOG, "second"},
                                               {PIPE_KIND_JSON_TEXT, "third"},
                                               {PIPE_KIND_VALUE1, "from-connect"}};
  EXPECT_EQ(received, expected);
  client.Stop();
  EXPECT_EQ(callback_.Events(), std::vector<std::string>{"connect"});
  EXPECT_FALSE(SendLocked(client, "after stop", PIPE_KIND_JSON_TEXT));
}

TEST_F(PipeClientTest, PeerCloseGivesExactlyOneDisconnect) {
  PipeTestPeer peer(name_);
  ASSERT_TRUE(peer.BindAndListen());
  {
    // Closed while the client reads.
    CPipeClient client(&callback_);
    ASSERT_TRUE(client.Start(name_));
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(callback_.WaitForCount(1));
    peer.CloseConnection();
    ASSERT_TRUE(callback_.WaitForCount(2));
    EXPECT_FALSE(SendLocked(client, "too late", PIPE_KIND_JSON_TEXT));
    client.Stop();
    EXPECT_EQ(callback_.Events(), (std::vector<std::string>{"connect", "disconnect:0"}));
  }
  {
    // Closed while the client is in the middle of writing a large frame.
    RecordingCallback callback;
    CPipeClient client(&callback);
    ASSERT_TRUE(client.Start(name_));
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(callback.WaitForCount(1));
    ASSERT_TRUE(SendLocked(client, Pattern(4 * 1024 * 1024, 9), PIPE_KIND_BASE64_DATA));
    peer.CloseConnection();
    ASSERT_TRUE(callback.WaitForCount(2));
    client.Stop();
    EXPECT_EQ(callback.Events(), (std::vector<std::string>{"connect", "disconnect:0"}));
  }
}

TEST_F(PipeClientTest, StopWhileConnectedGivesNoCallback) {
  PipeTestPeer peer(name_);
  ASSERT_TRUE(peer.BindAndListen());
  CPipeClient client(&callback_);
  ASSERT_TRUE(client.Start(name_));
  ASSERT_TRUE(peer.Accept());
  ASSERT_TRUE(callback_.WaitForCount(1));
  client.Stop();
  EXPECT_TRUE(peer.WaitEndOfStream());
  EXPECT_EQ(callback_.Events(), std::vector<std::string>{"connect"});
  EXPECT_FALSE(client.Start(name_));  // a client is not restarted
}

TEST_F(PipeClientTest, StopDuringTheBusyWaitReturnsPromptlyWithoutCallback) {
  PipeTestPeer peer(name_);
  ASSERT_TRUE(peer.Bind());
  CPipeClient client(&callback_, clock_);  // the clock never moves: the wait has no end of its own
  ASSERT_TRUE(client.Start(name_));
  ASSERT_TRUE(clock_.WaitForReads(3));
  const auto before = std::chrono::steady_clock::now();
  client.Stop();
  // The wait would never end of itself: a stop at once, however loaded
  // the machine.
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(20));
  EXPECT_TRUE(callback_.Events().empty());
}

TEST_F(PipeClientTest, BusyServerIsWaitedForTwentySeconds) {
  {
    // Listening just before the 20 s are up: connected.
    PipeTestPeer peer(name_);
    ASSERT_TRUE(peer.Bind());
    CPipeClient client(&callback_, clock_);
    ASSERT_TRUE(client.Start(name_));
    ASSERT_TRUE(clock_.WaitForReads(2));
    clock_.SetMs(CPipeClient::kBusyWaitMs - 1);
    // Two more rounds of the loop saw 19,999 ms and went on waiting.
    ASSERT_TRUE(clock_.WaitForReads(clock_.Reads() + 2));
    EXPECT_TRUE(callback_.Events().empty());
    ASSERT_TRUE(peer.Listen());
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(callback_.WaitForCount(1));
    client.Stop();
    EXPECT_EQ(callback_.Events(), std::vector<std::string>{"connect"});
  }
  {
    // Still busy after 20 s: one OnDisconnect(0), no OnConnect.
    const std::u16string name = NextTestPipeName();
    PipeTestPeer peer(name);
    ASSERT_TRUE(peer.Bind());
    SteppedClock clock;
    RecordingCallback callback;
    CPipeClient client(&callback, clock);
    ASSERT_TRUE(client.Start(name));
    ASSERT_TRUE(clock.WaitForReads(2));
    clock.SetMs(CPipeClient::kBusyWaitMs);
    ASSERT_TRUE(callback.WaitForCount(1));
    client.Stop();
    EXPECT_EQ(callback.Events(), std::vector<std::string>{"disconnect:0"});
    EXPECT_TRUE(log_->Has("*** ERROR ****** > open pipe 20 second wait time out< *************"));
  }
}

TEST_F(PipeClientTest, MissingServerOrUnsafeNameFailsAtOnce) {
  {
    CPipeClient client(&callback_, clock_);
    ASSERT_TRUE(client.Start(name_));  // nothing was ever bound there
    ASSERT_TRUE(callback_.WaitForCount(1));
    client.Stop();
    EXPECT_EQ(callback_.Events(), std::vector<std::string>{"disconnect:0"});
    EXPECT_TRUE(log_->Has("> open pipe failed error=2<"));
  }
  {
    RecordingCallback callback;
    CPipeClient client(&callback, clock_);
    ASSERT_TRUE(client.Start(u"\\\\.\\pipe\\..\\..\\etc\\passwd"));
    ASSERT_TRUE(callback.WaitForCount(1));
    client.Stop();
    EXPECT_EQ(callback.Events(), std::vector<std::string>{"disconnect:0"});
    EXPECT_TRUE(log_->Has("> open pipe failed error=22<"));
  }
}

TEST_F(PipeClientTest, OversizedLengthHeaderClosesTheLink) {
  PipeTestPeer peer(name_);
  ASSERT_TRUE(peer.BindAndListen());
  CPipeClient client(&callback_);
  ASSERT_TRUE(client.Start(name_));
  ASSERT_TRUE(peer.Accept());
  ASSERT_TRUE(callback_.WaitForCount(1));
  char header[PipeFrameHeader::kWireSize];
  PipeFrameHeader{kPipeMaxPayload + 1, PIPE_KIND_JSON_TEXT}.WriteTo(header);
  ASSERT_TRUE(peer.WriteAll(BuildPipeFrame(PIPE_KIND_JSON_TEXT, "before") + std::string(header, sizeof(header)) +
                            "garbage"));
  ASSERT_TRUE(callback_.WaitForCount(3));
  EXPECT_TRUE(peer.WaitEndOfStream());
  client.Stop();
  EXPECT_EQ(callback_.Events(), (std::vector<std::string>{"connect", "text:before", "disconnect:0"}));
  EXPECT_TRUE(log_->Has("frame length 67108865 of kind 1000 is over the limit of 67108864 bytes"));
}

// A message the process has no memory for is one failed message: logged,
// dropped, and the next one still arrives.
TEST_F(PipeClientTest, AFrameWhoseDeliveryThrowsIsDroppedAndTheLinkGoesOn) {
  callback_.on_text = [](const std::string& payload) {
    if (payload == "huge") throw std::bad_alloc();
    if (payload == "odd") throw std::runtime_error("odd payload");
  };
  PipeTestPeer peer(name_);
  ASSERT_TRUE(peer.BindAndListen());
  CPipeClient client(&callback_);
  ASSERT_TRUE(client.Start(name_));
  ASSERT_TRUE(peer.Accept());
  ASSERT_TRUE(peer.WriteAll(BuildPipeFrame(PIPE_KIND_JSON_TEXT, "huge") + BuildPipeFrame(PIPE_KIND_JSON_TEXT, "odd") +
                            BuildPipeFrame(PIPE_KIND_JSON_TEXT, "next")));
  ASSERT_TRUE(callback_.WaitForCount(2));
  EXPECT_TRUE(SendLocked(client, "still open", PIPE_KIND_JSON_TEXT));
  client.Stop();
  EXPECT_EQ(callback_.Events(), (std::vector<std::string>{"connect", "text:next"}));
  EXPECT_TRUE(log_->Has("frame of 4 bytes of kind 1000 dropped: out of memory"));
  EXPECT_TRUE(log_->Has("frame of 3 bytes of kind 1000 dropped: odd payload"));
}

// Elsewhere on the I/O thread an exception ends the link as a read error
// would, instead of terminating the process.
TEST_F(PipeClientTest, AnExceptionOnTheIoThreadEndsTheLinkWithOneDisconnect) {
  callback_.on_connect = [] { throw std::bad_alloc(); };
  PipeTestPeer peer(name_);
  ASSERT_TRUE(peer.BindAndListen());
  CPipeClient client(&callback_);
  ASSERT_TRUE(client.Start(name_));
  ASSERT_TRUE(peer.Accept());
  ASSERT_TRUE(callback_.WaitForCount(2));
  EXPECT_TRUE(peer.WaitEndOfStream());
  client.Stop();
  EXPECT_EQ(callback_.Events(), (std::vector<std::string>{"connect", "disconnect:0"}));
  EXPECT_TRUE(log_->Has("the link ends: out of memory"));
  EXPECT_FALSE(SendLocked(client, "too late", PIPE_KIND_JSON_TEXT));
}

}  // namespace
