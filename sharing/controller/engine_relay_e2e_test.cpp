// A presenter's screen rebuilt on attendees through the local meeting
// server as its own process (vzrelay, started on a free loopback port and
// stopped by the test): the same road as the in-process server, over TCP.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/piped_child_testlib.h"
#include "sharing/controller/engine_loopback_rig_testlib.h"
#include "sharing/controller/screen_picture_testlib.h"

namespace {

using engine_test::CountingTp;
using engine_test::FakeGrab;
using engine_test::LoopbackClient;
using engine_test::SameColours;
using engine_test::Screen;

// vzrelay on a free port of 127.0.0.1; killed when the test ends, and by
// the kernel when the test process dies first (a crash must not leave it
// running, holding the test's standard error open).
class Relay {
 public:
  bool Start() {
    child_ = std::make_unique<vz::PipedChild>();
    if (!child_->Start("/usr/bin/setpriv", {"setpriv", "--pdeathsig", "KILL", "--", VZ_RELAY_BINARY, "--port", "0"},
                       {})) {
      return false;
    }
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

int Count(const LoopbackClient& client, const std::string& call) {
  int n = 0;
  for (const std::string& c : client.calls) n += c == call ? 1 : 0;
  return n;
}

bool Joined(const LoopbackClient& client) {
  for (auto it = client.calls.rbegin(); it != client.calls.rend(); ++it) {
    if (it->rfind("status ", 0) == 0) return *it == "status 2";
  }
  return false;
}

bool Shows(const Screen& screen, const LoopbackClient& client) {
  auto frame = client.frames.find(1);
  return frame != client.frames.end() && SameColours(screen, frame->second);
}

class EngineRelayTest : public engine_test::EngineLoopbackRig {
 protected:
  // Hands the presenter's capture the changed `box` and waits until every
  // attendee shows the screen. On a loaded machine a connection may be
  // lost and rejoined (its silence limit passes while the relay is slow):
  // the presenter's capture is then gone and its tables empty, so, as its
  // client does when the session comes back, the capture is started again
  // and the sharing info and the whole screen are given again.
  bool Show(LoopbackClient& presenter, Screen& screen, VzRect box, std::vector<const LoopbackClient*> attendees) {
    for (int attempt = 0; attempt < 4; ++attempt) {
      if (!RunUntil([&] { return Joined(presenter); })) return false;
      const int losses = Count(presenter, "status 1");
      if (FakeGrab()->Sink() == nullptr || attempt > 0) {
        if (FakeGrab()->Sink() == nullptr && presenter.engine->StartCapture(nullptr, 3) != 1) return false;
        IVzGrabProviderSink* sink = FakeGrab()->Sink();
        SharingInfo info = engine_test::Desktop(screen.width, screen.height);
        if (sink == nullptr || sink->OnDSKeSharingInfo(&info) != 1) return false;
        box = {0, 0, screen.width, screen.height};
      }
      std::vector<uint8_t> record = screen.Update(box);
      IVzGrabProviderSink* sink = FakeGrab()->Sink();
      if (sink == nullptr) continue;  // lost just now
      sink->OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(record.data()));
      const bool shown = RunUntil([&] {
        if (Count(presenter, "status 1") != losses) return true;
        for (const LoopbackClient* a : attendees) {
          if (!Shows(screen, *a)) return false;
        }
        return true;
      });
      if (shown && Count(presenter, "status 1") == losses) return true;
      ++reconnects_;
    }
    return false;
  }
  int reconnects_ = 0;
};

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
  IVzGrabProviderSink* sink = FakeGrab()->Sink();
  ASSERT_NE(sink, nullptr);
  ASSERT_EQ(sink->OnDSKeSharingInfo(&info), 1);
  ASSERT_TRUE(RunUntil([&] { return attendee.frames.count(1) == 1 || Count(presenter, "status 1") > 0; }));

  ASSERT_TRUE(Show(presenter, screen, {0, 0, 1600, 900}, {&attendee}));
  screen.Fill({1200, 600, 1600, 900}, 7, 77, 177);
  ASSERT_TRUE(Show(presenter, screen, {1200, 600, 1600, 900}, {&attendee}));
  if (reconnects_ == 0 && Count(attendee, "status 1") == 0) {
    // One caches and one blocks message per update, nothing asked again.
    EXPECT_EQ(sent.cache_messages, 2);
    EXPECT_EQ(sent.block_messages, 2);
  }

  LoopbackClient& late = NewClient();
  Start(late, RelayConfig(relay.Port(), u"carol", false), "vzrawcodec");
  ASSERT_TRUE(RunUntil([&] { return Shows(screen, late) || Count(presenter, "status 1") > 0; }));
  if (!Shows(screen, late)) {
    ASSERT_TRUE(Show(presenter, screen, {0, 0, 1600, 900}, {&attendee, &late}));
  }
  EXPECT_FALSE(presenter.wrong_thread || attendee.wrong_thread || late.wrong_thread);
}

}  // namespace
