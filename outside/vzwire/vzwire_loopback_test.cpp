// libvzwire.so as the system loads it (by ordinal, through the transport
// wrapper), joined to its in-process server.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/byte_stream.h"
#include "contracts/vz_transport_wrapper.h"
#include "common/transport_records.h"
#include "outside/vzwire/recording_sink_testlib.h"
#include "contracts/vzwire_loopback.h"
#include "platform/big_endian.h"
#include "platform/module_loader.h"

namespace {

using vzwire_test::RecordingSink;
using vzwire_test::SessionRecord;
using vzwire_test::SharingPayload;

IVzWireLoopback* Loopback() {
  static vz::ModuleHandle module = vz::LoadModule("vzwire").module;
  auto get = reinterpret_cast<IVzWireLoopback* (*)()>(vz::GetModuleSymbol(module, "VzWireLoopback"));
  return get ? get() : nullptr;
}

// One session member: a sink and the transport it was created with.
struct Peer {
  RecordingSink sink;
  CVzTransportWrapper wrapper;
  explicit Peer(uint8_t type) {
    EXPECT_TRUE(wrapper.CreateInstance(&sink, type)) << "session type " << static_cast<int>(type);
  }
};

SessionRecord Sharing(const std::string& ds_id, const std::string& roster, bool presenter) {
  SessionRecord record;
  record.ServerAddr("loopback").MeetId("meet-1").DSId(ds_id).RosterId(roster).Token("VDS meet-1:tok")
      .IsPresenter(presenter ? 1 : 0);
  return record;
}

class VzwireLoopbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Loopback(), nullptr) << "libvzwire.so beside the test must export VzWireLoopback";
    Loopback()->Reset();
  }
};

TEST_F(VzwireLoopbackTest, TwoMembersExchangeDataAndCommandsWholeAndInOrder) {
  Peer a(kTransportSessionSharing), b(kTransportSessionSharing);
  const SessionRecord ra = Sharing("ds-order", "alice", true), rb = Sharing("ds-order", "bob", false);
  ASSERT_EQ(a.wrapper.Join(ra.Data(), nullptr, &a.sink), 1);
  ASSERT_TRUE(a.sink.WaitFor("confirm"));
  ASSERT_EQ(b.wrapper.Join(rb.Data(), nullptr, &b.sink), 1);
  ASSERT_TRUE(b.sink.WaitFor("confirm"));
  EXPECT_NE(a.sink.Events("confirm")[0].thread, std::this_thread::get_id());
  EXPECT_EQ(Loopback()->MemberCount(kTransportSessionSharing, "ds-order"), 2);

  std::vector<std::string> sent;
  for (int i = 0; i < 200; ++i) {
    std::string payload(static_cast<size_t>(i * 37 % 5000), '\0');
    for (size_t j = 0; j < payload.size(); ++j) payload[j] = static_cast<char>((i + j) & 0xFF);
    sent.push_back(SharingPayload(payload));
    ASSERT_EQ(a.wrapper.SendDataBinary(sent.back()), 1) << "payload " << i;
  }
  CByteStream command(nullptr, 1024, false);
  const uint8_t message[] = {0x08, 0x6E, 0x12, 0x00};
  ASSERT_TRUE(WriteCommandRecord(&command, message, sizeof(message)));
  ASSERT_EQ(b.wrapper.SendCommandData(&command), 1);
  ASSERT_EQ(b.wrapper.SendDataUtf8(std::string("hello")), 1);

  ASSERT_TRUE(b.sink.WaitFor("binary", sent.size()));
  const auto received = b.sink.Events("binary");
  ASSERT_EQ(received.size(), sent.size());
  for (size_t i = 0; i < sent.size(); ++i) ASSERT_EQ(received[i].bytes, sent[i]) << "payload " << i;
  ASSERT_TRUE(a.sink.WaitFor("command"));
  EXPECT_EQ(a.sink.Events("command")[0].bytes, std::string("\x00\x07\x08\x6E\x12\x00", 6));
  ASSERT_TRUE(a.sink.WaitFor("utf8"));
  EXPECT_EQ(a.sink.Events("utf8")[0].bytes, "hello");
  EXPECT_EQ(a.sink.Count("binary"), 0u);  // nothing comes back to its sender
}

TEST_F(VzwireLoopbackTest, SendsOutsideTheJoinAreRefused) {
  Peer a(kTransportSessionSharing);
  EXPECT_EQ(a.wrapper.SendDataBinary(SharingPayload("early")), 0);
  const SessionRecord record = Sharing("ds-outside", "alice", true);
  ASSERT_EQ(a.wrapper.Join(record.Data(), nullptr, &a.sink), 1);
  EXPECT_EQ(a.wrapper.Join(record.Data(), nullptr, &a.sink), 0);  // already joining
  ASSERT_TRUE(a.sink.WaitFor("confirm"));
  EXPECT_EQ(a.wrapper.SendDataBinary(SharingPayload("joined")), 1);
  EXPECT_EQ(a.wrapper.Leave(), 1);
  EXPECT_EQ(a.wrapper.SendDataBinary(SharingPayload("late")), 0);
  EXPECT_EQ(a.sink.Count("leave"), 0u);  // a leave of our own is not confirmed as an ending
}

TEST_F(VzwireLoopbackTest, WrongTokenIsRefusedRightTokenJoins) {
  Loopback()->SetMeetingToken("meet-1", "secret");
  Peer bad(kTransportSessionSharing), good(kTransportSessionSharing);
  SessionRecord wrong = Sharing("ds-token", "mallory", false);
  ASSERT_EQ(bad.wrapper.Join(wrong.Data(), nullptr, &bad.sink), 1);
  ASSERT_TRUE(bad.sink.WaitFor("leave"));
  EXPECT_EQ(bad.sink.Events("leave")[0].a, 1);    // refused
  EXPECT_EQ(bad.sink.Events("leave")[0].b, 401);  // wrong token
  EXPECT_EQ(bad.sink.Count("confirm"), 0u);
  SessionRecord right = Sharing("ds-token", "alice", true);
  right.Token("VDS meet-1:secret");
  ASSERT_EQ(good.wrapper.Join(right.Data(), nullptr, &good.sink), 1);
  ASSERT_TRUE(good.sink.WaitFor("confirm"));
  // A refused transport may join again.
  ASSERT_EQ(bad.wrapper.Join(right.Data(), nullptr, &bad.sink), 1);
  ASSERT_TRUE(bad.sink.WaitFor("confirm"));
}

TEST_F(VzwireLoopbackTest, CutConnectionsReconnectAndConfirmAgainWithTheSameSsrc) {
  Peer a(kTransportSessionVideo), b(kTransportSessionVideo);
  SessionRecord record;
  record.ServerAddr("loopback").MeetId("meet-video").RosterId("alice").Token("tok");
  ASSERT_EQ(a.wrapper.Join(record.Data(), nullptr, &a.sink), 1);
  ASSERT_TRUE(a.sink.WaitFor("confirm"));
  record.RosterId("bob");
  ASSERT_EQ(b.wrapper.Join(record.Data(), nullptr, &b.sink), 1);
  ASSERT_TRUE(b.sink.WaitFor("confirm"));
  const int64_t ssrc_a = a.sink.Events("confirm")[0].a, ssrc_b = b.sink.Events("confirm")[0].a;
  EXPECT_NE(ssrc_a, 0);
  EXPECT_NE(ssrc_a, ssrc_b);

  Loopback()->CutConnections();
  ASSERT_TRUE(a.sink.WaitFor("reconnecting"));
  ASSERT_TRUE(a.sink.WaitFor("confirm", 2));
  ASSERT_TRUE(b.sink.WaitFor("confirm", 2));
  EXPECT_EQ(a.sink.Events("confirm")[1].a, ssrc_a);
  EXPECT_EQ(b.sink.Events("confirm")[1].a, ssrc_b);

  // Media flows again after the reconnection, RTP as one record each (to a
  // subscriber: the session ended when both were cut, and its subscriptions
  // with it).
  ASSERT_TRUE(vzwire_test::SubscribeVideo(b.wrapper, "bob", "alice", a.sink));
  CByteStream rtp(nullptr, 1024, false);
  std::vector<uint8_t> packet(12, 0);
  packet[0] = 0x80;
  vz::Store32(&packet[8], ssrc_a);
  ASSERT_TRUE(WriteRtpRecord(&rtp, 1, packet.data(), static_cast<uint32_t>(packet.size())));
  ASSERT_EQ(a.wrapper.SendRtpData(&rtp), 1);
  ASSERT_TRUE(b.sink.WaitFor("rtp"));
  EXPECT_EQ(b.sink.Events("rtp")[0].bytes.size(), 11u + 12u);
}

TEST_F(VzwireLoopbackTest, EndedSessionIsConfirmedAsALeave) {
  Peer a(kTransportSessionSharing);
  const SessionRecord record = Sharing("ds-end", "alice", true);
  ASSERT_EQ(a.wrapper.Join(record.Data(), nullptr, &a.sink), 1);
  ASSERT_TRUE(a.sink.WaitFor("confirm"));
  Loopback()->EndSession(kTransportSessionSharing, "ds-end", 7);
  ASSERT_TRUE(a.sink.WaitFor("leave"));
  EXPECT_EQ(a.sink.Events("leave")[0].a, 2);
  EXPECT_EQ(a.sink.Events("leave")[0].b, 7);
}

TEST_F(VzwireLoopbackTest, AnEndThatComesWhileTheClientWritesIsStillConfirmedAsALeave) {
  // The server ends the session and closes the connection while the client
  // still has a write to make (the sharing side's first consumed report
  // follows the confirm): the write fails, the end frame waits unread.
  Peer a(kTransportSessionSharing);
  bool ended = false;
  a.sink.on_confirm = [&ended] {
    if (ended) return;
    ended = true;
    Loopback()->EndSession(kTransportSessionSharing, "ds-end-writing", 9);
    // Its next task runs only after the turn that wrote the end and closed.
    Loopback()->MemberCount(kTransportSessionSharing, "ds-end-writing");
  };
  const SessionRecord record = Sharing("ds-end-writing", "alice", true);
  ASSERT_EQ(a.wrapper.Join(record.Data(), nullptr, &a.sink), 1);
  ASSERT_TRUE(a.sink.WaitFor("leave"));
  EXPECT_EQ(a.sink.Events("leave")[0].a, 2);
  EXPECT_EQ(a.sink.Events("leave")[0].b, 9);
  EXPECT_EQ(a.sink.Count("reconnecting"), 0u);
}

TEST_F(VzwireLoopbackTest, LeaveAndReleaseInsideACallbackAreSafe) {
  auto a = std::make_unique<Peer>(kTransportSessionSharing);
  Peer b(kTransportSessionSharing);
  const SessionRecord ra = Sharing("ds-inside", "alice", true), rb = Sharing("ds-inside", "bob", false);
  ASSERT_EQ(a->wrapper.Join(ra.Data(), nullptr, &a->sink), 1);
  ASSERT_TRUE(a->sink.WaitFor("confirm"));
  ASSERT_EQ(b.wrapper.Join(rb.Data(), nullptr, &b.sink), 1);
  ASSERT_TRUE(b.sink.WaitFor("confirm"));
  // b leaves from inside its own receive callback; a is released inside its.
  b.sink.on_binary = [&b](const uint8_t*, uint32_t) { b.wrapper.Leave(); };
  Peer* raw_a = a.get();
  a->sink.on_binary = [raw_a](const uint8_t*, uint32_t) { raw_a->wrapper.ReleaseInstance(); };
  ASSERT_EQ(a->wrapper.SendDataBinary(SharingPayload("to b")), 1);
  ASSERT_TRUE(b.sink.WaitFor("binary"));
  ASSERT_TRUE(a->sink.WaitFor("confirm"));
  EXPECT_EQ(b.wrapper.SendDataBinary(SharingPayload("to a")), 0);  // left
  // The loopback server sees b go; a is still there until released.
  Peer c(kTransportSessionSharing);
  const SessionRecord rc = Sharing("ds-inside", "carol", false);
  ASSERT_EQ(c.wrapper.Join(rc.Data(), nullptr, &c.sink), 1);
  ASSERT_TRUE(c.sink.WaitFor("confirm"));
  ASSERT_EQ(c.wrapper.SendDataBinary(SharingPayload("to a")), 1);
  ASSERT_TRUE(a->sink.WaitFor("binary"));
  EXPECT_FALSE(a->wrapper.HasTransport());
  a.reset();
}

TEST_F(VzwireLoopbackTest, RecordsThatCannotBeUsedAreRefusedAtJoin) {
  Peer a(kTransportSessionSharing);
  SessionRecord remote = Sharing("ds-x", "alice", true);
  remote.ServerAddr("meet.example.org").TcpPort(443);
  EXPECT_EQ(a.wrapper.Join(remote.Data(), nullptr, &a.sink), 0);
  SessionRecord no_id = Sharing("", "alice", true);
  EXPECT_EQ(a.wrapper.Join(no_id.Data(), nullptr, &a.sink), 0);
  EXPECT_EQ(a.wrapper.Join(nullptr, nullptr, &a.sink), 0);
}

}  // namespace

namespace {

TEST_F(VzwireLoopbackTest, TheSharingServerAnswersStartWithCodeZero) {
  Peer presenter(kTransportSessionSharing);
  const SessionRecord record = Sharing("ds-start", "alice", true);
  ASSERT_EQ(presenter.wrapper.Join(record.Data(), nullptr, &presenter.sink), 1);
  ASSERT_TRUE(presenter.sink.WaitFor("confirm"));
  // START as the engine writes it: type 10, a sequence, the DS id.
  const std::string start = std::string("\xA0\x01\x0A" "\xF2\x01\x03" "VZN" "\xC2\x02\x08" "ds-start", 20);
  ASSERT_EQ(presenter.wrapper.SendDataBinary(start), 1);
  ASSERT_TRUE(presenter.sink.WaitFor("binary"));
  // The answer: code 0, type 10, the DS id, on the transport's thread.
  EXPECT_EQ(presenter.sink.Events("binary")[0].bytes, std::string("\x50\x00\xA0\x01\x0A\xC2\x02\x08" "ds-start", 16));
  EXPECT_NE(presenter.sink.Events("binary")[0].thread, std::this_thread::get_id());
}

}  // namespace
