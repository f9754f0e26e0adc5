// The video session against a fake transport: what reaches the transport
// byte by byte, what the transport's callbacks make of the sink, and the
// join and leave edges.
#include "video/engine/session/vz_video_session.h"

#include <gtest/gtest.h>

#include <memory>

#include "contracts/network_proxy_entry.h"
#include "contracts/session_records.h"
#include "video/engine/session/fake_video_transport_testlib.h"
#include "video/engine/session/session_testlib.h"

namespace {

using video_session_test::Bytes;
using video_session_test::FakeVideoTransport;
using video_session_test::Hex;
using video_session_test::RecordingSessionSink;

void SetRosterId(AVSessionConfig* config, const std::u16string& id) {
  for (size_t i = 0; i < id.size() && i < 128; ++i) config->RosterId[i] = id[i];
}

class VideoSessionTest : public video_session_test::LogCapture {
 protected:
  void SetUp() override {
    LogCapture::SetUp();
    FakeVideoTransport::Next() = &transport;
    session = std::make_unique<CVZVideoSession>(&sink, FakeVideoTransport::Loader());
  }
  void TearDown() override {
    session.reset();
    FakeVideoTransport::Next() = nullptr;
    LogCapture::TearDown();
  }
  void Join(const std::u16string& roster = u"alice") {
    SetRosterId(&config, roster);
    ASSERT_EQ(session->JoinSession(&config, nullptr, nullptr), 1);
  }

  FakeVideoTransport transport;
  RecordingSessionSink sink;
  AVSessionConfig config{};
  std::unique_ptr<CVZVideoSession> session;
};

TEST_F(VideoSessionTest, CreatesAVideoTransportAndJoinsWithTheRecordProxyAndFilter) {
  EXPECT_EQ(transport.created, 1);
  EXPECT_EQ(transport.session_type, 2);
  EXPECT_EQ(transport.sink, static_cast<IMediaTransportSink*>(session.get()));
  NetworkProxyEntry proxy{};
  config.TcpPort = 4242;
  SetRosterId(&config, u"zo\u00eb");
  ASSERT_EQ(session->JoinSession(&config, &proxy, nullptr), 1);
  EXPECT_EQ(transport.joins, 1);
  EXPECT_EQ(transport.joined.TcpPort, 4242);
  EXPECT_EQ(transport.proxy_given, &proxy);
  EXPECT_EQ(session->RosterId(), "zo\xC3\xAB");  // narrowed to UTF-8
  EXPECT_TRUE(Logged("nRet=1 m_rosterid=zo\xC3\xAB"));
}

TEST_F(VideoSessionTest, ARosterIdFillingItsWholeFieldIsReadToTheFieldsEnd) {
  for (auto& unit : config.RosterId) unit = u'r';
  config.MeetId[0] = u'X';  // the next field, which must not be read into the id
  ASSERT_EQ(session->JoinSession(&config, nullptr, nullptr), 1);
  EXPECT_EQ(session->RosterId(), std::string(128, 'r'));
}

TEST_F(VideoSessionTest, AJoinThatNeverStartedIsReportedAsAFailure) {
  EXPECT_EQ(session->JoinSession(nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(transport.joins, 0);
  transport.join_result = 0;
  SetRosterId(&config, u"alice");
  EXPECT_EQ(session->JoinSession(&config, nullptr, nullptr), 0);
  EXPECT_EQ(transport.joins, 1);
  EXPECT_TRUE(sink.Calls().empty());
}

TEST(VideoSessionWithoutTransportTest, JoinFailsSendsDoNothingAndLeaveIsStillReported) {
  RecordingSessionSink sink;
  {
    CVZVideoSession session(&sink, FakeVideoTransport::MissingLibrary());
    EXPECT_FALSE(session.HasTransport());
    AVSessionConfig config{};
    SetRosterId(&config, u"alice");
    EXPECT_EQ(session.JoinSession(&config, nullptr, nullptr), 0);
    EXPECT_EQ(session.StartBroadcastRequest(1), 0);
    const uint8_t packet[12] = {0x80};
    EXPECT_EQ(session.SendRtp(packet, sizeof packet), 0);
    EXPECT_EQ(session.LeaveSession(), 1);
  }
  // The explicit leave, then the destructor's.
  EXPECT_EQ(sink.Calls(), (std::vector<std::string>{"leave 0 0", "leave 0 0"}));
  // A library that exports its create but makes nothing.
  FakeVideoTransport::Next() = nullptr;
  CVZVideoSession session(&sink, FakeVideoTransport::Loader());
  EXPECT_FALSE(session.HasTransport());
}

TEST_F(VideoSessionTest, RequestsGoOutAsCommandRecordsWithTheirGoldenBytes) {
  Join();
  ASSERT_EQ(session->StartBroadcastRequest(2), 1);
  ASSERT_EQ(session->SubscribeVideoRequest({{"a", 1}, {"b", 2}}), 1);
  ASSERT_EQ(session->StopBroadcastRequest(), 1);
  ASSERT_EQ(session->UpdateVideoSizeRequest(0), 1);
  ASSERT_EQ(session->UnsubscribeVideoRequest({{"a", 1}}), 1);
  ASSERT_EQ(session->SetSpotlightRequest("bob"), 1);
  ASSERT_EQ(session->UnsetSpotlightRequest(), 1);
  const std::vector<std::string> sent = transport.Commands();
  ASSERT_EQ(sent.size(), 7u);
  EXPECT_EQ(Hex(sent[0]), "A0 01 07 F0 01 04 E2 03 05 61 6C 69 63 65 B0 04 01 80 05 02");
  EXPECT_EQ(Hex(sent[1]),
            "A0 01 0B F0 01 04 E2 03 05 61 6C 69 63 65 E2 08 06 52 01 61 F0 01 01 E2 08 06 52 01 62 F0 01 02");
  EXPECT_EQ(Hex(sent[2]), "A0 01 09 F0 01 04 E2 03 05 61 6C 69 63 65 B0 04 00");
  EXPECT_EQ(Hex(sent[3]), "A0 01 1A F0 01 04 E2 03 05 61 6C 69 63 65 80 05 00");
  EXPECT_EQ(Hex(sent[4]), "A0 01 0D F0 01 04 E2 03 05 61 6C 69 63 65 E2 08 06 52 01 61 F0 01 01");
  EXPECT_EQ(Hex(sent[5]), "A0 01 13 F0 01 04 E2 03 03 62 6F 62");  // the target, not me
  EXPECT_EQ(Hex(sent[6]), "A0 01 15 F0 01 04");
  EXPECT_EQ(transport.command_streams, 7);
  EXPECT_TRUE(Logged("Want subscribe 2 video"));
  EXPECT_TRUE(Logged("index=1 rosterId=b, wantSize=2"));
  EXPECT_TRUE(Logged("Want unsubscribe 1 video"));
  // The transport's refusal is the request's answer.
  transport.send_result = 0;
  EXPECT_EQ(session->StopBroadcastRequest(), 0);
}

TEST_F(VideoSessionTest, RtpAndRtcpTravelWholeInTheirRecordsAndOversizeIsRefused) {
  Join();
  const std::string rtp = Bytes("80 62 00 01 00 00 00 5A 00 00 10 01 65 88");
  const std::string rtcp = Bytes("81 CE 00 03 00 00 00 07 01 02 03 04");
  EXPECT_EQ(session->SendRtp(reinterpret_cast<const uint8_t*>(rtp.data()), static_cast<uint32_t>(rtp.size())), 1);
  EXPECT_EQ(session->SendRtcp(reinterpret_cast<const uint8_t*>(rtcp.data()), static_cast<uint32_t>(rtcp.size())), 1);
  ASSERT_EQ(transport.RtpPackets(), std::vector<std::string>{rtp});
  ASSERT_EQ(transport.RtcpPackets(), std::vector<std::string>{rtcp});
  // A packet the 16-bit record length cannot carry is not cut short: it is
  // not sent at all.
  const std::vector<uint8_t> huge(70000, 0x80);
  EXPECT_EQ(session->SendRtp(huge.data(), static_cast<uint32_t>(huge.size())), 0);
  EXPECT_EQ(session->SendRtcp(huge.data(), static_cast<uint32_t>(huge.size())), 0);
  EXPECT_EQ(transport.RtpPackets().size(), 1u);
  EXPECT_EQ(transport.RtcpPackets().size(), 1u);
}

TEST_F(VideoSessionTest, TransportCallbacksReachTheSink) {
  Join();
  transport.Confirm(0x1001);
  transport.Reconnecting();
  transport.Confirm(0x1001);
  transport.ReceiveRtp(Bytes("80 62 00 01 00 00 00 5A 00 00 10 02"));
  transport.ReceiveRtcp(Bytes("81 CE 00 03 00 00 00 00 00 00 10 01"));
  transport.ReceiveCommand(Bytes("A0 01 07 E2 03 03 62 6F 62"));
  transport.ConfirmLeave(2, 7);
  EXPECT_EQ(sink.Calls(), (std::vector<std::string>{"join 1 4097", "reconnecting", "join 1 4097",
                                                    "rtp 80 62 00 01 00 00 00 5A 00 00 10 02",
                                                    "rtcp 81 CE 00 03 00 00 00 00 00 00 10 01", "start bob",
                                                    "leave 2 7"}));
}

TEST_F(VideoSessionTest, ReceivedStreamsThatAreNotTheirRecordAreDropped) {
  Join();
  // One byte: ignored before any parse.
  transport.ReceiveCommandStream(Bytes("00"));
  EXPECT_FALSE(Logged("protobuf parse error"));
  EXPECT_FALSE(Logged("type="));
  // An RTP record on the command path, and a command that does not parse.
  transport.ReceiveCommandStream(Bytes("00 08 A0 01 07"));
  EXPECT_TRUE(Logged("dropped a record of kind 8 on the command path"));
  transport.ReceiveCommandStream(Bytes("00 07 A0 01"));
  EXPECT_TRUE(Logged("protobuf parse error"));
  // The kind alone is an empty message: no type, so not supported.
  transport.ReceiveCommandStream(Bytes("00 07"));
  EXPECT_TRUE(Logged("not support type=0"));
  // An RTP record whose length passes the stream's end, an RTCP stream with
  // the RTP kind, and empty packets.
  transport.ReceiveRtpStream(Bytes("00 08 00 00 00 00 00 00 01 00 20 80 62"));
  transport.ReceiveRtcpStream(Bytes("00 08 00 02 81 CE"));
  transport.ReceiveRtpStream(Bytes("00 08 00 00 00 00 00 00 01 00 00"));
  transport.ReceiveRtcpStream(Bytes("00 09 00 00"));
  transport.ReceiveRtpStream("");
  EXPECT_TRUE(Logged("not an RTP record"));
  EXPECT_TRUE(Logged("not an RTCP record"));
  EXPECT_TRUE(sink.Calls().empty());
}

TEST_F(VideoSessionTest, LeaveIsReportedAtOnceAndAgainWhenTheTransportConfirmsIt) {
  Join();
  transport.Confirm(5);
  sink.Clear();
  EXPECT_EQ(session->LeaveSession(), 1);
  EXPECT_EQ(transport.leaves, 1);
  EXPECT_EQ(sink.Calls(), std::vector<std::string>{"leave 0 0"});
  transport.ConfirmLeave(0, 0);
  EXPECT_EQ(sink.Calls(), (std::vector<std::string>{"leave 0 0", "leave 0 0"}));
  // Joins and leaves reuse the session.
  Join(u"alice");
  EXPECT_EQ(transport.joins, 2);
  // Destruction leaves (the sink hears it) and then releases the transport.
  sink.Clear();
  session.reset();
  EXPECT_EQ(sink.Calls(), std::vector<std::string>{"leave 0 0"});
  EXPECT_EQ(transport.leaves, 2);
  EXPECT_EQ(transport.released, 1);
}

TEST(VideoSessionFactoryTest, MakesASessionWhoseJoinOfARecordWithoutServerFails) {
  RecordingSessionSink sink;
  std::unique_ptr<IVZVideoSession> session = CreateVZVideoSession(&sink);
  ASSERT_NE(session, nullptr);
  AVSessionConfig config{};
  SetRosterId(&config, u"alice");
  // With the transport library beside the test or without it, nothing could
  // ever confirm a join of a record that names no server.
  EXPECT_EQ(session->JoinSession(&config, nullptr, nullptr), 0);
}

}  // namespace
