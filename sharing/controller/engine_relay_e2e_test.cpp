// A presenter's screen rebuilt on attendees through the local meeting
// server as its own process (vzrelay, started on a free loopback port and
// stopped by the test): the same road as the in-process server, over TCP.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>

#include "platform/piped_child_testlib.h"
#include "sharing/controller/testing/engine_loopback_rig_testlib.h"
#include "sharing/controller/testing/screen_picture_testlib.h"

namespace {

using engine_test::CountingTp;
using engine_test::FakeGrab;
using engine_test::LoopbackClient;
using engine_test::SameColours;
using engine_test::Screen;

// vzrelay on a free port of 127.0.0.1; killed when the test ends.
class Relay {
 public:
  bool Start() {
    child_ = std::make_unique<vz::PipedChild>();
    if (!child_->Start(VZ_RELAY_BINARY, {"vzrelay", "--port", "0"}, {})) return false;
    std::string line;
    char c = 0;
    while (line.size() < 200 && child_->ReadExactly(&c, 1, 10000) && c != '\n') line.push_back(c);
    const std::string prefix = "vzrelay listening on 127.0.0.1:";
    if (line.compare(0, prefix.size(), prefix) != 0) return false;
    port_ = std::stoi(line.substr(prefix.size()));
    return true;
  }
  int32_t Port() const { return port_; }
  ~Relay() {
    if (!child_) return;
    ::kill(child_->Pid(), SIGTERM);
    int code = 0;
    if (!child_->Wait(10000, &code)) ::kill(child_->Pid(), SIGKILL);
  }

 private:
  std::unique_ptr<vz::PipedChild> child_;
  int32_t port_ = 0;
};

DSSessionConfig RelayConfig(int32_t port, const char16_t* roster, bool presenter) {
  DSSessionConfig config = engine_test::LoopbackConfig(u"ds-relay", roster, presenter);
  std::char_traits<char16_t>::copy(config.ServerAddr, u"127.0.0.1", 10);
  config.TcpPort = port;
  return config;
}

using EngineRelayTest = engine_test::EngineLoopbackRig;

TEST_F(EngineRelayTest, AScreenIsRebuiltThroughTheRelayProcess) {
  Relay relay;
  ASSERT_TRUE(relay.Start());
  LoopbackClient& presenter = NewClient();
  LoopbackClient& attendee = NewClient();
  CountingTp sent;
  Start(presenter, RelayConfig(relay.Port(), u"alice", true), "vzrawcodec", &sent);
  Start(attendee, RelayConfig(relay.Port(), u"bob", false), "vzrawcodec");
  ASSERT_TRUE(RunUntil([&] { return presenter.Has("status 2") && attendee.Has("status 2"); }));
  ASSERT_EQ(presenter.engine->StartCapture(nullptr, 3), 1);
  Screen screen(1600, 900);
  SharingInfo info = engine_test::Desktop(screen.width, screen.height);
  ASSERT_EQ(FakeGrab()->Sink()->OnDSKeSharingInfo(&info), 1);
  ASSERT_TRUE(RunUntil([&] { return attendee.frames.count(1) == 1; }));

  std::vector<uint8_t> full = screen.Update({0, 0, 1600, 900});
  ASSERT_EQ(FakeGrab()->Sink()->OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(full.data())), 1);
  ASSERT_TRUE(RunUntil([&] { return SameColours(screen, attendee.frames[1]); }));
  screen.Fill({1200, 600, 1600, 900}, 7, 77, 177);
  std::vector<uint8_t> part = screen.Update({1200, 600, 1600, 900});
  ASSERT_EQ(FakeGrab()->Sink()->OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(part.data())), 1);
  ASSERT_TRUE(RunUntil([&] { return SameColours(screen, attendee.frames[1]); }));
  EXPECT_EQ(sent.cache_messages, 2);
  EXPECT_EQ(sent.block_messages, 2);

  LoopbackClient& late = NewClient();
  Start(late, RelayConfig(relay.Port(), u"carol", false), "vzrawcodec");
  ASSERT_TRUE(RunUntil([&] { return late.frames.count(1) == 1 && SameColours(screen, late.frames[1]); }));
  EXPECT_FALSE(presenter.wrong_thread || attendee.wrong_thread || late.wrong_thread);
}

}  // namespace
