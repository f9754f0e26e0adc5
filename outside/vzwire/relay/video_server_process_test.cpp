// The video server's answers through a vzrelay process and the transport
// library, as the video session uses them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/byte_stream.h"
#include "common/transport_records.h"
#include "contracts/av_roster_change.h"
#include "contracts/vz_transport_wrapper.h"
#include "outside/vzwire/recording_sink_testlib.h"
#include "outside/vzwire/transport_peer_testlib.h"
#include "outside/vzwire/relay/relay_messages_testlib.h"
#include "outside/vzwire/relay/relay_process_testlib.h"

namespace {

using vzrelay_test::AvRequest;
using vzrelay_test::RelayProcess;
using vzwire_test::SessionRecord;

struct Member : vzwire_test::TransportPeer {
  uint32_t ssrc = 0;
  Member() : TransportPeer(kTransportSessionVideo) {}
  bool Join(uint16_t port, const std::string& roster) {
    SessionRecord record;
    record.ServerAddr("127.0.0.1").TcpPort(port).MeetId("meet-v").RosterId(roster).Token("tok");
    if (!TransportPeer::Join(record)) return false;
    ssrc = static_cast<uint32_t>(sink.Events("confirm")[0].a);
    return true;
  }
  void Send(const AvData& message) {
    const std::string bytes = message.SerializeAsString();
    CByteStream stream(nullptr, 1024, false);
    ASSERT_TRUE(WriteCommandRecord(&stream, reinterpret_cast<const uint8_t*>(bytes.data()),
                                   static_cast<uint32_t>(bytes.size())))
        << "a message of type " << message.type();
    ASSERT_EQ(wrapper.SendCommandData(&stream), 1) << "a message of type " << message.type();
  }
  void SendRtp(uint16_t sequence) {
    std::vector<uint8_t> packet = vzrelay_test::RtpPacket(ssrc, sequence, 200);
    packet[1] = 98;  // the payload type
    CByteStream stream(nullptr, 1024, false);
    ASSERT_TRUE(WriteRtpRecord(&stream, 1, packet.data(), static_cast<uint32_t>(packet.size())))
        << "packet " << sequence;
    ASSERT_EQ(wrapper.SendRtpData(&stream), 1) << "packet " << sequence;
  }
  // The signalling among `events`, parsed, of one type.
  static std::vector<AvData> Parsed(const std::vector<vzwire_test::SinkEvent>& events, AvDataType type) {
    std::vector<AvData> found;
    for (const auto& event : events) {
      if (event.name != "command") continue;
      AvData message;
      EXPECT_TRUE(message.ParseFromString(event.bytes.substr(2)));
      if (message.type() == type) found.push_back(message);
    }
    return found;
  }
  std::vector<AvData> Of(AvDataType type) { return Parsed(sink.Events("command"), type); }
  // The sink's lock is held while the condition is tested: read the events
  // it is given, never the sink.
  bool WaitFor(AvDataType type, size_t count = 1) {
    return sink.WaitUntil([&](const auto& events, const auto&) { return Parsed(events, type).size() >= count; });
  }
};

TEST(VideoServerProcessTest, RostersSubscriptionsRtpAndKeyFrameRequestsThroughTheRelay) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  Member alice, bob;
  ASSERT_TRUE(alice.Join(relay.Port(), "alice"));
  ASSERT_TRUE(bob.Join(relay.Port(), "bob"));
  ASSERT_TRUE(bob.WaitFor(AV_ROSTER_CHANGE));
  const AvData everyone = bob.Of(AV_ROSTER_CHANGE)[0];
  ASSERT_EQ(everyone.rosters_size(), 2);
  EXPECT_EQ(everyone.rosters(0).roster_id(), "alice");
  EXPECT_EQ(everyone.rosters(0).ssrc(), alice.ssrc);
  ASSERT_TRUE(alice.WaitFor(AV_ROSTER_CHANGE, 2));
  EXPECT_EQ(alice.Of(AV_ROSTER_CHANGE)[1].rosters(0).ssrc(), bob.ssrc);

  AvData start = AvRequest(AV_START_VIDEO_REQUEST, "alice");
  start.set_status(1);
  start.set_videotype(1);
  alice.Send(start);
  ASSERT_TRUE(bob.WaitFor(AV_START_VIDEO_REQUEST));
  EXPECT_EQ(bob.Of(AV_START_VIDEO_REQUEST)[0].videotype(), 1u);

  bob.Send(vzrelay_test::SubscribeRequest("bob", "alice"));
  ASSERT_TRUE(alice.WaitFor(AV_SUBSCRIBE_VIDEO_REQUEST));
  EXPECT_EQ(alice.Of(AV_SUBSCRIBE_VIDEO_REQUEST)[0].roster_id(), "bob");

  for (uint16_t i = 0; i < 50; ++i) alice.SendRtp(i);
  ASSERT_TRUE(bob.sink.WaitFor("rtp", 50));
  // A record: its header, then the packet as sent.
  EXPECT_EQ(bob.sink.Events("rtp")[49].bytes.size(), vzrelay_test::kRtpRecordHeaderSize + 200u);

  bob.Send(AvRequest(AV_KEY_FRAME_REQUEST, "alice"));
  ASSERT_TRUE(alice.sink.WaitFor("rtcp"));
  const std::string pli = alice.sink.Events("rtcp")[0].bytes;
  // Its header, then 12 bytes of picture-loss request naming alice's stream
  // at bytes 8 to 11.
  ASSERT_EQ(pli.size(), vzrelay_test::kRtcpRecordHeaderSize + 12);
  const auto* packet = reinterpret_cast<const uint8_t*>(pli.data()) + vzrelay_test::kRtcpRecordHeaderSize;
  EXPECT_EQ(packet[1], vzrelay_test::kRtcpPayloadFeedback);
  EXPECT_EQ(vz::Load32(packet + 8), alice.ssrc);

  bob.wrapper.Leave();
  ASSERT_TRUE(alice.sink.WaitUntil([&](const auto& events, const auto&) {
    for (const AvData& m : Member::Parsed(events, AV_ROSTER_CHANGE)) {
      if (m.rostertype() == kServerRosterLeft && m.rosters(0).roster_id() == "bob") return true;
    }
    return false;
  }));
  EXPECT_TRUE(relay.Stop());
}

TEST(VideoServerProcessTest, LossOnMediaLeavesSignallingWhole) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({"--loss", "1"}));
  Member alice, bob;
  ASSERT_TRUE(alice.Join(relay.Port(), "alice"));
  ASSERT_TRUE(bob.Join(relay.Port(), "bob"));
  ASSERT_TRUE(vzwire_test::SubscribeVideo(bob.wrapper, "bob", "alice", alice.sink));
  AvData start = AvRequest(AV_START_VIDEO_REQUEST, "alice");
  start.set_status(1);
  for (uint16_t i = 0; i < 100; ++i) {
    alice.SendRtp(i);
    if (i % 10 == 0) alice.Send(start);
  }
  ASSERT_TRUE(bob.WaitFor(AV_START_VIDEO_REQUEST, 10));
  EXPECT_EQ(bob.sink.Count("rtp"), 0u);
  EXPECT_TRUE(relay.Stop());
}

}  // namespace
