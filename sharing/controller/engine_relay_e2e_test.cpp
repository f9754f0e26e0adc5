// A presenter's screen rebuilt on attendees through the local meeting
// server as its own process (vzrelay, started on a free loopback port and
// stopped by the test): the same road as the in-process server, over TCP.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "contracts/vz_transport_wrapper.h"
#include "dsdef.pb.h"
#include "platform/clock.h"
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
    child_->ReadLine(&line, 200, 10000);
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

// A member that speaks through the transport library as a modified client
// would: any bytes it likes, as sharing messages.
class HostileMember : public IMediaTransportSink {
 public:
  bool Join(const DSSessionConfig& config) {
    return wrapper_.CreateInstance(this, kTransportSessionSharing) && wrapper_.Join(&config, nullptr, nullptr) != 0;
  }
  bool Send(const DsData& message) { return wrapper_.SendDataBinary(message.SerializeAsString()) == 1; }
  void OnJoinSessionConfirm(uint32_t) override { joined = true; }

  std::atomic<bool> joined{false};

 private:
  CVzTransportWrapper wrapper_;  // released first: the sink outlives it
};

DsData Header(DsDataType type) {
  DsData message;
  message.set_type(type);
  message.set_ds_id("ds-relay");
  return message;
}

// The attendee's connection events, counted on their way to its engine.
class CountingSink : public IDSTpSink {
 public:
  int32_t OnTPStatusNotification(int32_t status) override { return inner->OnTPStatusNotification(status); }
  int32_t OnTPErrorNotification(int32_t code, int32_t type) override {
    return inner->OnTPErrorNotification(code, type);
  }
  int32_t OnDSTpSharingInfo(SharingInfo* info) override { return inner->OnDSTpSharingInfo(info); }
  int32_t OnDSTpMouseInfo(CMouseEntry* mouse) override { return inner->OnDSTpMouseInfo(mouse); }
  int32_t OnDSTpCaches(CCacheEntry** list, int32_t count) override {
    ++cache_messages;
    return inner->OnDSTpCaches(list, count);
  }
  int32_t OnDSTpBlocks(CKeyframeEntry** list, int32_t count) override {
    ++block_messages;
    return inner->OnDSTpBlocks(list, count);
  }
  int32_t OnDSTpRequestCaches(CKeyframeEntry** list, int32_t count) override {
    return inner->OnDSTpRequestCaches(list, count);
  }
  int32_t OnDSTpSendBacklog(int32_t value) override { return inner->OnDSTpSendBacklog(value); }
  int32_t OnDSTpCommand(DSCommandRecord* command) override { return inner->OnDSTpCommand(command); }
  int32_t OnDSTpWebBinary(CVZBinaryData* data) override { return inner->OnDSTpWebBinary(data); }

  IDSTpSink* inner = nullptr;
  int cache_messages = 0, block_messages = 0;
};

TEST_F(EngineRelayTest, AnAttendeesMessageLeavesThePresentersScreenItsOwn) {
  Relay relay;
  ASSERT_TRUE(relay.Start());
  LoopbackClient& presenter = NewClient();
  LoopbackClient& attendee = NewClient();
  Start(presenter, RelayConfig(relay.Port(), u"alice", true), "vzrawcodec");
  // The attendee's engine, with its received tile messages counted.
  CountingSink tiles;
  EngineOptions options;
  options.grab_library = kFakeGrabLibrary;
  options.create_codec = [] { return new CCodecMgrWin("vzrawcodec"); };
  options.create_tp = [&tiles](IDSTpSink* sink) -> IDSTp* {
    tiles.inner = sink;
    return DSCreateTpInstance(&tiles);
  };
  // Its calls are checked for their thread as the rig checks the presenter's.
  attendee.after_call = [&attendee](const std::string&) { attendee.Check(); };
  attendee.engine = new CEnginController(&attendee, options);
  clients_.push_back(&attendee);
  DSSessionConfig attendee_config = RelayConfig(relay.Port(), u"bob", false);
  ASSERT_EQ(attendee.engine->StartDS(nullptr, &attendee_config, nullptr), 1);
  ASSERT_TRUE(RunUntil([&] { return presenter.Has("status 2") && attendee.Has("status 2"); }));
  ASSERT_EQ(presenter.engine->StartCapture(nullptr, 3), 1);
  Screen screen(640, 384);
  SharingInfo own_info = engine_test::Desktop(screen.width, screen.height);
  ASSERT_NE(FakeGrab()->Sink(), nullptr);
  ASSERT_EQ(FakeGrab()->Sink()->OnDSKeSharingInfo(&own_info), 1);
  ASSERT_TRUE(Show(presenter, screen, {0, 0, 640, 384}, {&attendee}));

  // The capture's pace: one changed block every 100 ms, each a new picture.
  int changes = 0, refused = 0;
  const auto capture_for = [&](uint64_t ms) {
    const uint64_t end = vz::MonotonicMs() + ms;
    uint64_t next = 0;
    RunUntil([&] {
      const uint64_t now = vz::MonotonicMs();
      if (now >= end) return true;
      if (now < next) return false;
      next = now + 100;
      ++changes;
      const VzRect box{(changes % 5) * 128, (changes / 5 % 3) * 128, (changes % 5) * 128 + 128,
                       (changes / 5 % 3) * 128 + 128};
      screen.Fill(box, static_cast<uint8_t>(changes * 7), static_cast<uint8_t>(changes * 13), 0x40);
      std::vector<uint8_t> record = screen.Update(box);
      IVzGrabProviderSink* sink = FakeGrab()->Sink();
      if (sink == nullptr || sink->OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(record.data())) != 1) {
        ++refused;
      }
      return false;
    });
  };
  const int losses = Count(presenter, "status 1") + Count(attendee, "status 1");
  const int blocks_at_start = tiles.block_messages, caches_at_start = tiles.cache_messages;
  capture_for(5000);
  const int blocks_before = tiles.block_messages - blocks_at_start;
  const int caches_before = tiles.cache_messages - caches_at_start;

  // One GET_CACHES naming a cache nobody has, with the presenter's monitor
  // as 64 x 64 and a cursor; behind it a command to the presenter, so that
  // once the presenter heard the command it has had the rest.
  HostileMember mallory;
  ASSERT_TRUE(mallory.Join(RelayConfig(relay.Port(), u"mallory", false)));
  ASSERT_TRUE(RunUntil([&] { return mallory.joined.load(); }));
  ASSERT_TRUE(mallory.Send(Header(DS_DATA_JOIN)));
  DsData forged = Header(DS_DATA_GET_CACHES);
  DsBlock* block = forged.add_blocks();
  block->set_cache_index(4000);
  block->set_cache_pdu_id(999999);
  DsSharingInfo* info = forged.mutable_sharing_info();
  info->mutable_rect()->set_width(64);
  info->mutable_rect()->set_height(64);
  DsMonitor* monitor = info->add_monitors();
  monitor->set_monitor_id(1);
  monitor->mutable_rect()->set_width(64);
  monitor->mutable_rect()->set_height(64);
  monitor->set_bits_pixel(32);
  forged.mutable_mouse_info()->set_monitor_id(1);
  forged.mutable_mouse_info()->set_cache_index(5);
  forged.mutable_mouse_info()->set_cache_pdu_id(77);
  ASSERT_TRUE(mallory.Send(forged));
  DsData marker = Header(DS_DATA_COMMAND);
  marker.mutable_command()->set_type(77);
  marker.mutable_command()->set_dst_roster_id("alice");
  ASSERT_TRUE(mallory.Send(marker));
  ASSERT_TRUE(RunUntil([&] { return presenter.Has("command 77"); }));

  const int refused_before = refused;
  const int blocks_at_hostile = tiles.block_messages, caches_at_hostile = tiles.cache_messages;
  capture_for(5000);
  const int blocks_after = tiles.block_messages - blocks_at_hostile;
  const int caches_after = tiles.cache_messages - caches_at_hostile;
  std::printf("tile messages the attendee got in 5 s: before %d blocks, %d caches; after %d blocks, %d caches "
              "(%d changes captured, %d refused)\n",
              blocks_before, caches_before, blocks_after, caches_after, changes, refused);

  // The presenter's monitor is still its own, and every change after the
  // message was taken and reaches the attendee.
  const MonitorInfo* own = presenter.engine->GetMonitorInfo(1);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->Rect.right, 640);
  EXPECT_EQ(own->Rect.bottom, 384);
  if (Count(presenter, "status 1") + Count(attendee, "status 1") == losses) {
    EXPECT_EQ(refused, refused_before) << "the presenter refused its own captures";
    EXPECT_GT(blocks_after, 0);
    EXPECT_TRUE(RunUntil([&] { return Shows(screen, attendee); }));
  } else {
    // A connection lost on a loaded machine: the screen is given again.
    EXPECT_TRUE(Show(presenter, screen, {0, 0, 640, 384}, {&attendee}));
  }
  EXPECT_FALSE(presenter.wrong_thread || attendee.wrong_thread);
}

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
