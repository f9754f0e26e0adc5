// The connection against the real media transport (libvzwire.so, loaded as
// the engine loads it) joined to the library's in-process meeting server.
// Everything the transport reports arrives on its own threads; the test
// thread's run loop is the engine's thread and runs until the awaited call
// arrived, bounded by a deadline timer.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "contracts/vzwire_loopback.h"
#include "dsdef.pb.h"
#include "platform/module_loader.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "sharing/protocol/ds_bytes_testlib.h"
#include "sharing/transport/ds_tp_controller.h"

namespace {

using ds_test::Header;
using ds_test::Hex;

IVzWireLoopback* Loopback() {
  static vz::ModuleHandle module = vz::LoadModule("vzwire").module;
  auto get = reinterpret_cast<IVzWireLoopback* (*)()>(vz::GetModuleSymbol(module, "VzWireLoopback"));
  return get ? get() : nullptr;
}

class Sink : public IDSTpSink {
 public:
  int32_t OnTPStatusNotification(int32_t status) override {
    Note("status " + std::to_string(status));
    if (on_status) on_status(status);
    return 1;
  }
  int32_t OnTPErrorNotification(int32_t code, int32_t type) override {
    return Note("error " + std::to_string(code) + " " + std::to_string(type));
  }
  int32_t OnDSTpSharingInfo(SharingInfo* info) override {
    return Note("sharing_info " + std::to_string(info->MonitorCount) + " " + std::to_string(info->SharedRect.left));
  }
  int32_t OnDSTpMouseInfo(CMouseEntry* mouse) override { return Note("mouse " + std::to_string(mouse->X)); }
  int32_t OnDSTpCaches(CCacheEntry** list, int32_t count) override {
    std::string text = "caches";
    for (int32_t i = 0; i < count; ++i) {
      text += " " + std::to_string(list[i]->Index) + ":" +
              std::string(reinterpret_cast<const char*>(list[i]->Slots[0].Data), list[i]->Slots[0].Size);
    }
    Note(text);
    if (on_caches) on_caches();
    return 1;
  }
  int32_t OnDSTpBlocks(CKeyframeEntry** list, int32_t count) override {
    return Note("blocks " + std::to_string(count) + " " + std::to_string(list[0]->Position));
  }
  int32_t OnDSTpRequestCaches(CKeyframeEntry**, int32_t count) override {
    return Note("request " + std::to_string(count));
  }
  int32_t OnDSTpSendBacklog(int32_t) override { return 1; }  // timing-dependent; not recorded
  int32_t OnDSTpCommand(DSCommandRecord* command) override {
    return Note("command " + std::to_string(command->MouseX));
  }
  int32_t OnDSTpWebBinary(CVZBinaryData* data) override { return Note("web " + std::to_string(data->length())); }

  int32_t Note(const std::string& call) {
    calls.push_back(call);
    if (std::this_thread::get_id() != owner) wrong_thread = true;
    if (after_call) after_call();
    return 1;
  }
  bool Has(const std::string& call) const { return std::find(calls.begin(), calls.end(), call) != calls.end(); }
  size_t Count(const std::string& prefix) const {
    return std::count_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
  }
  std::thread::id owner = std::this_thread::get_id();
  bool wrong_thread = false;
  std::vector<std::string> calls;
  std::function<void()> after_call;
  std::function<void(int32_t)> on_status;
  std::function<void()> on_caches;
};

DSSessionConfig Config(const char16_t* ds_id, const char16_t* roster, bool presenter) {
  DSSessionConfig config{};
  std::char_traits<char16_t>::copy(config.ServerAddr, u"loopback", 9);
  std::char_traits<char16_t>::copy(config.MeetId, u"meet-1", 7);
  std::char_traits<char16_t>::copy(config.Token, u"VDS meet-1:tok", 15);
  std::char_traits<char16_t>::copy(config.DSId, ds_id, std::char_traits<char16_t>::length(ds_id) + 1);
  std::char_traits<char16_t>::copy(config.RosterId, roster, std::char_traits<char16_t>::length(roster) + 1);
  config.IsPresenter = presenter ? 1 : 0;
  return config;
}

std::string Answer(unsigned char code, unsigned char type) {
  DsData message;
  message.set_type(static_cast<DsDataType>(type));
  message.set_code(static_cast<DsDataCode>(code));
  return message.SerializeAsString();
}

class DsTpLoopbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Loopback(), nullptr) << "libvzwire.so beside the test must export VzWireLoopback";
    Loopback()->Reset();
  }
  void TearDown() override {
    for (IDSTp* tp : connections_) {
      if (tp != nullptr) DSReleaseTpInstance(tp);
    }
    loop_.RunUntilIdle();
    Loopback()->Reset();
  }

  IDSTp*& Connect(Sink* sink, const DSSessionConfig& config) {
    SCOPED_TRACE("roster " + vz::Utf16ToUtf8(config.RosterId));
    connections_.push_back(DSCreateTpInstance(sink));
    IDSTp*& tp = connections_.back();
    EXPECT_NE(tp, nullptr);
    if (tp != nullptr) {
      EXPECT_EQ(tp->DSConnect(&config, nullptr), 1);
    }
    return tp;
  }
  void ServerSends(const char* ds_id, const std::string& bytes) {
    Loopback()->SendToSession(kTransportSessionSharing, ds_id, reinterpret_cast<const uint8_t*>(bytes.data()),
                              static_cast<uint32_t>(bytes.size()));
  }
  // Runs the engine thread's loop until `done`, checked after every sink
  // call and on a short tick (for states outside the sink); false when the
  // deadline passed first.
  bool RunUntil(const std::function<bool()>& done, std::vector<Sink*> sinks, uint32_t deadline_ms = 10000) {
    if (done()) return true;
    for (Sink* sink : sinks) {
      sink->after_call = [&] {
        if (done()) loop_.Quit();
      };
    }
    bool late = false;
    loop_.StartTimer(this, 1, deadline_ms, [&] {
      late = true;
      loop_.Quit();
    });
    loop_.StartTimer(this, 2, 2, [&] {
      if (done()) loop_.Quit();
    });
    loop_.Run();
    loop_.KillTimers(this);
    for (Sink* sink : sinks) sink->after_call = nullptr;
    return done() && !late;
  }
  bool Members(const char* ds_id, int count, std::vector<Sink*> sinks) {
    return RunUntil([&] { return Loopback()->MemberCount(kTransportSessionSharing, ds_id) == count; },
                    std::move(sinks));
  }

  vz::RunLoop loop_{vz::SystemClock()};
  std::deque<IDSTp*> connections_;  // references into it stay valid
};

TEST_F(DsTpLoopbackTest, ServerAnswersReachTheEngineThreadAsStatusAndError) {
  Sink sink;
  IDSTp*& tp = Connect(&sink, Config(u"ds-answers", u"alice", true));
  ASSERT_NE(tp, nullptr);
  // Join confirm, START, the server's code 0: the session is up.
  ASSERT_TRUE(RunUntil([&] { return sink.Has("status 2"); }, {&sink}));
  ServerSends("ds-answers", Answer(80, DS_DATA_SERVER_DISCONNECT));
  ASSERT_TRUE(RunUntil([&] { return sink.Has("status 4"); }, {&sink}));
  EXPECT_EQ(sink.calls, (std::vector<std::string>{"status 2", "status 4"}));

  // Any other code is an error; the connection has left the session by then.
  ServerSends("ds-answers", Answer(30, DS_DATA_SERVER_DISCONNECT));
  ASSERT_TRUE(RunUntil([&] { return sink.Has("error 30 50"); }, {&sink}));
  EXPECT_EQ(sink.calls, (std::vector<std::string>{"status 2", "status 4", "error 30 50"}));
  EXPECT_TRUE(Members("ds-answers", 0, {&sink}));
  EXPECT_FALSE(sink.wrong_thread);
}

TEST_F(DsTpLoopbackTest, ASecondPresenterIsRefused) {
  Sink first, second;
  Connect(&first, Config(u"ds-two", u"alice", true));
  ASSERT_TRUE(RunUntil([&] { return first.Has("status 2"); }, {&first}));
  Connect(&second, Config(u"ds-two", u"carol", true));
  ASSERT_TRUE(RunUntil([&] { return second.Has("error 40 50"); }, {&first, &second}));
  EXPECT_EQ(second.calls, std::vector<std::string>{"error 40 50"});
}

TEST_F(DsTpLoopbackTest, PresenterMessagesReachAttendeesInOrderAndLateJoinersCatchUp) {
  Sink presenter_sink, attendee_sink, late_sink;
  IDSTp*& presenter = Connect(&presenter_sink, Config(u"ds-relay", u"alice", true));
  IDSTp*& attendee = Connect(&attendee_sink, Config(u"ds-relay", u"bob", false));
  ASSERT_TRUE(RunUntil([&] { return presenter_sink.Has("status 2") && attendee_sink.Has("status 2"); },
                       {&presenter_sink, &attendee_sink}));

  SharingInfo info{};
  info.SharedRect = {-1920, 0, 1920, 1080};
  info.MonitorCount = 2;
  auto cache = std::make_unique<CCacheEntry>(21);
  cache->PduId = 7;
  cache->SetSlot(0, DS_CACHE_JPEG, "tile", 4);
  CCacheEntry* caches[] = {cache.get()};
  auto block = std::make_unique<CKeyframeEntry>(0);
  block->PduId = 8;
  block->Position = 20304;
  block->CacheIndex = 21;
  block->CachePduId = 7;
  CKeyframeEntry* blocks[] = {block.get()};
  DSCommandRecord command{};
  command.Type = 100;
  command.MouseType = 0x201;
  command.MouseX = -3;
  ASSERT_EQ(presenter->DSSendSharingInfo(&info), 1);
  ASSERT_EQ(presenter->DSSendCaches(caches, 1), 1);
  ASSERT_EQ(presenter->DSSendBlocks(blocks, 1), 1);
  ASSERT_EQ(attendee->DSSendCommand(&command), 1);
  ASSERT_TRUE(RunUntil([&] { return attendee_sink.Has("blocks 1 20304") && presenter_sink.Has("command -3"); },
                       {&presenter_sink, &attendee_sink}));
  const std::vector<std::string> picture = {"status 2", "sharing_info 2 -1920", "caches 21:tile", "blocks 1 20304"};
  EXPECT_EQ(attendee_sink.calls, picture);

  // A late joiner is given what was kept.
  Connect(&late_sink, Config(u"ds-relay", u"dave", false));
  ASSERT_TRUE(RunUntil([&] { return late_sink.Has("blocks 1 20304"); }, {&late_sink}));
  EXPECT_EQ(late_sink.calls, picture);

  // The presenter stops: the others hear that the session ended.
  presenter->DSDisconnect();
  ASSERT_TRUE(RunUntil([&] { return attendee_sink.Has("status 4") && late_sink.Has("status 4"); },
                       {&attendee_sink, &late_sink}));
  EXPECT_FALSE(attendee_sink.wrong_thread);
  EXPECT_FALSE(presenter_sink.wrong_thread);
  EXPECT_FALSE(late_sink.wrong_thread);
}

TEST_F(DsTpLoopbackTest, ReleasingFromInsideTheStatusCallbackIsClean) {
  Sink sink;
  IDSTp*& tp = Connect(&sink, Config(u"ds-stop", u"alice", true));
  const std::string caches = Header(50) + ds_test::kCachesFields;
  sink.on_status = [&](int32_t) {
    // More arrives behind the answer; it is dropped (and freed) whether it
    // is queued, in flight or refused by then.
    for (int i = 0; i < 20; ++i) ServerSends("ds-stop", caches);
    DSReleaseTpInstance(tp);
    tp = nullptr;
  };
  ASSERT_TRUE(RunUntil([&] { return tp == nullptr; }, {&sink}));
  EXPECT_TRUE(Members("ds-stop", 0, {}));
  loop_.RunUntilIdle();
  EXPECT_EQ(sink.calls, std::vector<std::string>{"status 2"});
}

TEST_F(DsTpLoopbackTest, ReleasingWithMessagesQueuedFreesThem) {
  Sink sink;
  IDSTp*& tp = Connect(&sink, Config(u"ds-queued", u"bob", false));
  ASSERT_TRUE(Members("ds-queued", 1, {&sink}));
  // Released from inside the first delivery, with the rest queued behind it
  // or still on the transport's threads; the sanitizer build checks that
  // every record is freed whichever way it went.
  sink.on_caches = [&] {
    DSReleaseTpInstance(tp);
    tp = nullptr;
  };
  const std::string message = Header(60) + ds_test::kCommandField + ds_test::kBlockField + ds_test::kMouseInfoField +
                              ds_test::kCachesFields + ds_test::kSharingInfoField;
  for (int i = 0; i < 100; ++i) ServerSends("ds-queued", message);
  ASSERT_TRUE(RunUntil([&] { return tp == nullptr; }, {&sink}));
  loop_.RunUntilIdle();
  EXPECT_EQ(sink.Count("caches"), 1u);
  EXPECT_EQ(sink.Count("blocks"), 0u);
}

}  // namespace
