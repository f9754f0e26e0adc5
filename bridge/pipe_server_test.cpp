#include "bridge/pipe_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <new>
#include <regex>
#include <vector>

#include "bridge/raw_pipe_client_testlib.h"
#include "platform/local_socket.h"
#include "platform/pipe_name.h"
#include "platform/pipe_name_testlib.h"
#include "platform/process.h"
#include "platform/program_launch.h"
#include "platform/test_requirement_testlib.h"
#include "platform/text.h"
#include "weblink/pipe/pipe_frame.h"

namespace {

// Records every sink call; tests wait on it with a real-time limit.
class RecordingPipeSink : public IPipeCallback {
 public:
  void OnConnect() override { Add("connect"); }
  void OnDisconnect() override { Add("disconnect"); }
  void OnReceiveTextData(std::string_view text) override {
    if (text == "throw") throw std::bad_alloc();  // as when memory runs out handing it on
    Add("text:" + std::string(text));
  }
  void OnReceiveBase64Data(uint32_t kind, std::string_view text) override {
    Add("data" + std::to_string(kind) + ":" + std::string(text));
  }
  void OnReceiveLog(std::string_view text) override { Add("log:" + std::string(text)); }
  void OnReceiveReport(std::string_view text) override { Add("report:" + std::string(text)); }
  void OnWaitClient() override {
    if (on_wait_client) on_wait_client();
    std::lock_guard<std::mutex> lock(mutex_);
    ++wait_client_calls;
  }
  void OnReceiveValue1(int value) override { Add("value1:" + std::to_string(value)); }
  void OnReceiveValue2(int value) override { Add("value2:" + std::to_string(value)); }

  // Waits until `count` calls (waits for the client not counted) arrived.
  bool WaitFor(size_t count, int timeout_ms = 5000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return calls_.size() >= count; });
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  int WaitClientCalls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return wait_client_calls;
  }
  std::function<void()> on_wait_client;

 private:
  void Add(std::string call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
    changed_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> calls_;
  int wait_client_calls = 0;
};

std::string Frame(uint32_t kind, std::string_view payload) { return BuildPipeFrame(kind, payload); }

std::string HeaderOnly(uint32_t length, uint32_t kind) {
  PipeFrameHeader header{length, kind};
  std::string bytes(PipeFrameHeader::kWireSize, '\0');
  header.WriteTo(bytes.data());
  return bytes;
}

class PipeServerTest : public ::testing::Test {
 protected:
  // Starts the server and connects a client to it.
  void Connect() {
    ASSERT_EQ(server_.Start(), 1);
    ASSERT_TRUE(client_.Connect(vz::Utf16ToUtf8(server_.PipeName())));
    ASSERT_TRUE(sink_.WaitFor(1));
    ASSERT_EQ(sink_.Calls()[0], "connect");
  }

  vz::ScopedPipeTestFolder folder_;
  RecordingPipeSink sink_;
  CPipeServer server_{&sink_};
  RawPipeClient client_;
};

TEST_F(PipeServerTest, NamesAreFreshGuidPipeNames) {
  CPipeServer other(&sink_);
  ASSERT_EQ(server_.Start(), 1);
  ASSERT_EQ(other.Start(), 1);
  const std::string name = vz::Utf16ToUtf8(server_.PipeName());
  EXPECT_TRUE(std::regex_match(name, std::regex(R"(^\\\\\.\\pipe\\[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$)")))
      << name;
  EXPECT_NE(server_.PipeName(), other.PipeName());
  const uint8_t bytes[16] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0, 1, 2, 3, 4, 5, 6, 0xff};
  EXPECT_EQ(FormatPipeGuid(bytes), "01234567-89ab-cdef-0001-0203040506ff");
}

TEST_F(PipeServerTest, FramesAreCutAcrossAndWithinReadsAndRoutedByKind) {
  Connect();
  const std::string split = Frame(1000, "{\"split\":1}");
  ASSERT_TRUE(client_.WriteAll(Frame(1000, "{\"a\":1}") + Frame(1001, "log line") + split.substr(0, 3)));
  ASSERT_TRUE(sink_.WaitFor(3));
  ASSERT_TRUE(client_.WriteAll(split.substr(3, 6)));
  ASSERT_TRUE(client_.WriteAll(split.substr(9)));
  ASSERT_TRUE(client_.WriteAll(Frame(1002, "f.exception*body") + Frame(7, "QUJD") + Frame(1011, "42") +
                               Frame(1011, "-5") + Frame(1012, "x") + Frame(1012, " +17abc")));
  ASSERT_TRUE(sink_.WaitFor(10));
  EXPECT_EQ(sink_.Calls(), (std::vector<std::string>{"connect", "text:{\"a\":1}", "log:log line", "text:{\"split\":1}",
                                                     "report:f.exception*body", "data7:QUJD", "value1:42", "value1:-5",
                                                     "value2:0", "value2:17"}));
}

TEST_F(PipeServerTest, AFrameTheSinkFailsOnIsDroppedAndTheLinkGoesOn) {
  Connect();
  ASSERT_TRUE(client_.WriteAll(Frame(1000, "throw") + Frame(1000, "after")));
  ASSERT_TRUE(sink_.WaitFor(2));
  EXPECT_EQ(sink_.Calls(), (std::vector<std::string>{"connect", "text:after"}));
}

TEST_F(PipeServerTest, AnEmptyFrameIsDroppedAndTheNextOneStillArrives) {
  Connect();
  ASSERT_TRUE(client_.WriteAll(HeaderOnly(0, 1000)));
  ASSERT_TRUE(client_.WriteAll(Frame(1000, "after")));
  ASSERT_TRUE(sink_.WaitFor(2));
  EXPECT_EQ(sink_.Calls(), (std::vector<std::string>{"connect", "text:after"}));
}

TEST_F(PipeServerTest, OversizedAnnouncementsDisconnectWithoutReading) {
  for (const uint32_t length : {0xFFFFFFFFu, 0xFFFFFFF8u, 1u << 30}) {
    SCOPED_TRACE(testing::Message() << "announced length " << length);
    RecordingPipeSink sink;
    CPipeServer server(&sink);
    RawPipeClient client;
    ASSERT_EQ(server.Start(), 1);
    ASSERT_TRUE(client.Connect(vz::Utf16ToUtf8(server.PipeName())));
    ASSERT_TRUE(client.WriteAll(HeaderOnly(length, 1000) + "xyz"));
    ASSERT_TRUE(sink.WaitFor(2));
    EXPECT_EQ(sink.Calls(), (std::vector<std::string>{"connect", "disconnect"})) << length;
    EXPECT_TRUE(client.WaitEndOfStream());
  }
}

TEST_F(PipeServerTest, AMegabyteArrivesIntactBothWaysThroughSmallBuffers) {
  Connect();
  ASSERT_TRUE(client_.Socket().SetSendBufferSize(4096));
  std::string big(1 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
  ASSERT_TRUE(client_.WriteAll(Frame(1000, big)));
  ASSERT_TRUE(sink_.WaitFor(2));
  EXPECT_TRUE(sink_.Calls()[1] == "text:" + big);

  server_.Send(big.data(), static_cast<int>(big.size()));
  server_.Send("tail", 4);
  RawPipeFrame frame;
  ASSERT_TRUE(client_.ReadFrame(&frame));
  EXPECT_EQ(frame.kind, 1000u);
  EXPECT_TRUE(frame.payload == big);
  ASSERT_TRUE(client_.ReadFrame(&frame));
  EXPECT_EQ(frame.payload, "tail");
}

TEST_F(PipeServerTest, AClosingClientGivesExactlyOneDisconnect) {
  Connect();
  client_.Close();
  ASSERT_TRUE(sink_.WaitFor(2));
  const auto started = std::chrono::steady_clock::now();
  server_.Stop();  // the thread has ended: the join is immediate
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(sink_.Calls(), (std::vector<std::string>{"connect", "disconnect"}));
}

TEST_F(PipeServerTest, StopWhileConnectedCallsNothingAndClosesTheLink) {
  Connect();
  server_.Stop();
  EXPECT_TRUE(client_.WaitEndOfStream());
  EXPECT_EQ(sink_.Calls(), std::vector<std::string>{"connect"});
}

TEST_F(PipeServerTest, OnlyTheFirstClientIsServed) {
  Connect();
  RawPipeClient second;
  EXPECT_FALSE(second.Connect(vz::Utf16ToUtf8(server_.PipeName()), 100));
}

TEST_F(PipeServerTest, SendQueuesOnlyWhileAClientIsConnected) {
  ASSERT_EQ(server_.Start(), 1);
  server_.Send("before", 6);
  ASSERT_TRUE(client_.Connect(vz::Utf16ToUtf8(server_.PipeName())));
  ASSERT_TRUE(sink_.WaitFor(1));
  server_.Send("", 0);
  server_.Send("during", 6);
  RawPipeFrame frame;
  ASSERT_TRUE(client_.ReadFrame(&frame));
  EXPECT_EQ(frame.payload, "during");
  client_.Close();
  ASSERT_TRUE(sink_.WaitFor(2));
  server_.Send("after", 5);  // nothing to write it to, and nothing kept
}

// A fake clock that the server thread reads while the test's sink moves it.
class SharedFakeClock : public vz::Clock {
 public:
  explicit SharedFakeClock(uint64_t start_ms) : now_ms_(start_ms) {}
  uint64_t NowMs() const override { return now_ms_.load(); }
  void AdvanceMs(uint64_t ms) { now_ms_ += ms; }

 private:
  std::atomic<uint64_t> now_ms_;
};

TEST(PipeServerWait, TheDeadlineEndsTheWaitWithADisconnect) {
  vz::ScopedPipeTestFolder folder;
  SharedFakeClock clock(1700000000ull * 1000);
  RecordingPipeSink sink;
  // Each wait for the client lasts a second of the fake clock, once the
  // deadline is set; before that, time stands still however long the
  // thread waits.
  std::atomic<bool> deadline_set{false};
  std::atomic<int> waits_after_deadline{0};
  sink.on_wait_client = [&] {
    if (!deadline_set) return;
    ++waits_after_deadline;
    clock.AdvanceMs(1000);
  };
  CPipeServer::Options options;
  options.unix_clock = &clock;
  options.wait_client_slice_ms = 5;
  CPipeServer server(&sink, options);
  ASSERT_EQ(server.Start(), 1);
  server.SetWaitClientUntil(static_cast<uint32_t>(server.NowSeconds() + 2));
  deadline_set = true;
  ASSERT_TRUE(sink.WaitFor(1));
  EXPECT_EQ(sink.Calls(), std::vector<std::string>{"disconnect"});
  // Now, now + 1 s: two waits; a third when the thread read the deadline
  // just before it was set.
  EXPECT_GE(waits_after_deadline.load(), 1);
  EXPECT_LE(waits_after_deadline.load(), 3);
}

TEST(PipeServerWait, WithoutADeadlineItWaitsAndStopEndsThatPromptlyAndSilently) {
  vz::ScopedPipeTestFolder folder;
  RecordingPipeSink sink;
  // Each wait for the client lasts a minute: a stop that waited for the
  // wait's end would take that long.
  CPipeServer::Options options;
  options.wait_client_slice_ms = 60000;
  CPipeServer server(&sink, options);
  ASSERT_EQ(server.Start(), 1);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (sink.WaitClientCalls() < 1 && std::chrono::steady_clock::now() < until) std::this_thread::yield();
  ASSERT_EQ(sink.WaitClientCalls(), 1);
  const auto started = std::chrono::steady_clock::now();
  server.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  EXPECT_TRUE(sink.Calls().empty());
}

// The first folder from `from` up to the root that others may not pass
// through (no execute bit for others), or empty when every one lets them.
std::string FirstFolderOthersCannotPass(std::filesystem::path from) {
  namespace fs = std::filesystem;
  for (fs::path at = from;; at = at.parent_path()) {
    std::error_code ec;
    const fs::perms perms = fs::status(at, ec).permissions();
    if (ec || (perms & fs::perms::others_exec) == fs::perms::none) return at.string();
    if (at == at.parent_path()) return "";
  }
}

// A client of another user is turned away at once and the server keeps
// waiting for its own. The client runs as the unprivileged user 65534, which
// only root can switch to.
TEST(PipeServerPeers, AClientOfAnotherUserIsRefusedAndTheOwnOneStillComes) {
  if (vz::CurrentUserId() != 0) {
    VZ_SKIP_TEST_WITHOUT(vz::kNeedsRoot) << "only root runs a client as another user (uid 65534)";
  }
  vz::ScopedPipeTestFolder folder;
  ASSERT_FALSE(folder.Path().empty());
  // The other user reaches the socket only through folders it may pass; the
  // test opens its own folders, never the ones above them.
  namespace fs = std::filesystem;
  const std::string closed = FirstFolderOthersCannotPass(fs::path(folder.Path()).parent_path());
  if (!closed.empty()) {
    VZ_SKIP_TEST_WITHOUT(vz::kNeedsReachableTemp) << closed << ", above the temporary folder " << folder.Path()
                 << ", does not let another user pass (set TMPDIR to a folder that does)";
  }
  RecordingPipeSink sink;
  CPipeServer server(&sink);
  ASSERT_EQ(server.Start(), 1);
  std::string socket_path;
  ASSERT_TRUE(vz::PipeNameToSocketPath(server.PipeName(), &socket_path));
  // Let the other user reach the socket, so that only the server's own check stands in its way.
  for (fs::path at = fs::path(socket_path).parent_path(); at.string().size() >= folder.Path().size();
       at = at.parent_path()) {
    fs::permissions(at, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  }
  fs::permissions(socket_path, fs::perms::all);

  int error = 0;
  const int pid = vz::LaunchProgram(VZ_OTHER_USER_CLIENT, {VZ_OTHER_USER_CLIENT, "65534", socket_path}, &error);
  ASSERT_GT(pid, 0) << error;
  int exit_code = -1;
  if (!vz::WaitForProcess(pid, 60000, &exit_code)) {
    vz::KillProcess(pid);
    vz::WaitForProcess(pid, 60000, &exit_code);
    FAIL() << "the other user's client did not end within a minute";
  }
  if (exit_code == 2) {
    VZ_SKIP_TEST_WITHOUT(vz::kNeedsUserSwitch) << "this system does not let the test switch to uid 65534";
  }
  EXPECT_EQ(exit_code, 0) << "1: the link stayed open; 3: no connection was made";
  EXPECT_TRUE(sink.Calls().empty());

  RawPipeClient own;
  ASSERT_TRUE(own.Connect(vz::Utf16ToUtf8(server.PipeName())));
  ASSERT_TRUE(sink.WaitFor(1));
  EXPECT_EQ(sink.Calls(), std::vector<std::string>{"connect"});
}

}  // namespace
