// The signalling messages byte by byte: what the client writes (against
// bytes worked out by hand from the field numbers), and what a received
// message makes of the sink.
#include "video/engine/session/av_signalling.h"

#include <gtest/gtest.h>

#include "avdef.pb.h"
#include "video/engine/session/session_testlib.h"

namespace {

using video_session_test::Bytes;
using video_session_test::Hex;
using video_session_test::RecordingSessionSink;

// Tags: type A0 01, client_version F0 01, roster_id E2 03, status B0 04,
// videotype 80 05, rosterType 90 08, rosters E2 08; in AvRoster: roster_id
// 52, status A0 01, videotype F0 01, spotlight C0 02, active 90 03, ssrc E0 03.
TEST(AvRequestTest, RequestsHaveTheirGoldenBytes) {
  EXPECT_EQ(Hex(AvStartVideoRequest("alice", 2)),
            "A0 01 07 F0 01 04 E2 03 05 61 6C 69 63 65 B0 04 01 80 05 02");
  // status 0 is written, not left out.
  EXPECT_EQ(Hex(AvStopVideoRequest("alice")), "A0 01 09 F0 01 04 E2 03 05 61 6C 69 63 65 B0 04 00");
  EXPECT_EQ(Hex(AvUpdateVideoSizeRequest("bob", 1)), "A0 01 1A F0 01 04 E2 03 03 62 6F 62 80 05 01");
  EXPECT_EQ(Hex(AvSubscribeVideoRequest("me", {{"a", 1}, {"b", 2}})),
            "A0 01 0B F0 01 04 E2 03 02 6D 65 "
            "E2 08 06 52 01 61 F0 01 01 "
            "E2 08 06 52 01 62 F0 01 02");
  // "none" (-1) goes out as 0xFFFFFFFF, a five-byte varint.
  EXPECT_EQ(Hex(AvUnsubscribeVideoRequest("me", {{"a", -1}})),
            "A0 01 0D F0 01 04 E2 03 02 6D 65 E2 08 0A 52 01 61 F0 01 FF FF FF FF 0F");
  EXPECT_EQ(Hex(AvSetSpotlightRequest("carol")), "A0 01 13 F0 01 04 E2 03 05 63 61 72 6F 6C");
  EXPECT_EQ(Hex(AvUnsetSpotlightRequest()), "A0 01 15 F0 01 04");
  // An empty list is still a request, from me, naming nobody.
  EXPECT_EQ(Hex(AvSubscribeVideoRequest("me", {})), "A0 01 0B F0 01 04 E2 03 02 6D 65");
}

TEST(AvRequestTest, RequestsParseBackAsTheSchemaReadsThem) {
  AvData start;
  ASSERT_TRUE(start.ParseFromString(AvStartVideoRequest("alice", 0)));
  EXPECT_EQ(start.type(), AV_START_VIDEO_REQUEST);
  EXPECT_EQ(start.client_version(), 4u);
  EXPECT_EQ(start.roster_id(), "alice");
  EXPECT_EQ(start.status(), 1u);
  ASSERT_TRUE(start.has_videotype());  // size 0 is present, not defaulted
  EXPECT_EQ(start.videotype(), 0u);
  EXPECT_FALSE(start.has_code());

  AvData subscribe;
  ASSERT_TRUE(subscribe.ParseFromString(AvSubscribeVideoRequest("me", {{"x", 2}, {"y", -1}})));
  EXPECT_EQ(subscribe.type(), AV_SUBSCRIBE_VIDEO_REQUEST);
  ASSERT_EQ(subscribe.rosters_size(), 2);
  EXPECT_EQ(subscribe.rosters(0).roster_id(), "x");
  EXPECT_EQ(subscribe.rosters(0).videotype(), 2u);
  EXPECT_EQ(subscribe.rosters(1).videotype(), 0xFFFFFFFFu);
  EXPECT_FALSE(subscribe.rosters(0).has_status());

  AvData unset;
  ASSERT_TRUE(unset.ParseFromString(AvUnsetSpotlightRequest()));
  EXPECT_FALSE(unset.has_roster_id());
}

class AvDispatchTest : public video_session_test::LogCapture {
 protected:
  AvDispatch Dispatch(const std::string& bytes) {
    return DispatchAvMessage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &sink);
  }
  RecordingSessionSink sink;
};

TEST_F(AvDispatchTest, RosterChangeGoldenBytesGiveOneServerRosterPerEntry) {
  // type 23, rosterType 1, one roster {bob, status 1, videotype 2,
  // spotlight 0, active 1, ssrc 0x1001}.
  const std::string golden = Bytes(
      "A0 01 17 90 08 01 E2 08 15 52 03 62 6F 62 A0 01 01 F0 01 02 C0 02 00 90 03 01 E0 03 81 20");
  AvData built;
  built.set_type(AV_ROSTER_CHANGE);
  built.set_rostertype(1);
  AvRoster* entry = built.add_rosters();
  entry->set_roster_id("bob");
  entry->set_status(1);
  entry->set_videotype(2);
  entry->set_spotlight(0);
  entry->set_active(1);
  entry->set_ssrc(0x1001);
  EXPECT_EQ(Hex(built.SerializeAsString()), Hex(golden));

  EXPECT_EQ(Dispatch(golden), AvDispatch::kDispatched);
  EXPECT_EQ(sink.Calls(), std::vector<std::string>{"roster 1 [bob 1 0 1 4097]"});
  EXPECT_TRUE(Logged("type=23,len=30"));
}

TEST_F(AvDispatchTest, EveryHandledNotificationReachesItsCall) {
  // start {bob, status 1, videotype 2}; stop {bob}; spotlight {carol};
  // unset; active speaker {dave}; subscribe and unsubscribe from bob.
  EXPECT_EQ(Dispatch(Bytes("A0 01 07 E2 03 03 62 6F 62 B0 04 01 80 05 02")), AvDispatch::kDispatched);
  EXPECT_EQ(Dispatch(Bytes("A0 01 09 E2 03 03 62 6F 62 B0 04 00")), AvDispatch::kDispatched);
  EXPECT_EQ(Dispatch(Bytes("A0 01 13 E2 03 05 63 61 72 6F 6C")), AvDispatch::kDispatched);
  EXPECT_EQ(Dispatch(Bytes("A0 01 15")), AvDispatch::kDispatched);
  EXPECT_EQ(Dispatch(Bytes("A0 01 1F E2 03 04 64 61 76 65")), AvDispatch::kDispatched);
  // The subscriber is the message's roster id; the entry names me; its
  // "none" entry gives no call.
  EXPECT_EQ(Dispatch(Bytes("A0 01 0B E2 03 03 62 6F 62 "
                           "E2 08 07 52 02 6D 65 F0 01 01 "
                           "E2 08 0A 52 01 78 F0 01 FF FF FF FF 0F "
                           "E2 08 07 52 02 6D 65 F0 01 02")),
            AvDispatch::kDispatched);
  EXPECT_EQ(Dispatch(Bytes("A0 01 0D E2 03 03 62 6F 62 E2 08 07 52 02 6D 65 F0 01 02")), AvDispatch::kDispatched);
  EXPECT_EQ(sink.Calls(), (std::vector<std::string>{"start bob", "stop bob", "spotlight carol", "unspotlight",
                                                    "speaker dave", "subscribed bob 1", "subscribed bob 2",
                                                    "unsubscribed bob 2"}));
}

TEST_F(AvDispatchTest, MessagesThatAskForNothingGiveNoCall) {
  // A subscription of "none" entries only, and a roster change without rosters.
  EXPECT_EQ(Dispatch(Bytes("A0 01 0B E2 03 01 62 E2 08 0A 52 01 78 F0 01 FF FF FF FF 0F")),
            AvDispatch::kNoCallback);
  EXPECT_EQ(Dispatch(Bytes("A0 01 0D E2 03 01 62")), AvDispatch::kNoCallback);
  EXPECT_EQ(Dispatch(Bytes("A0 01 17 90 08 02")), AvDispatch::kNoCallback);
  EXPECT_TRUE(sink.Calls().empty());
}

TEST_F(AvDispatchTest, MissingFieldsReadAsEmptyAndZero) {
  // A roster change with one empty roster and no rosterType; a subscription
  // entry without videotype (size 0) from nobody; a start without roster id.
  EXPECT_EQ(Dispatch(Bytes("A0 01 17 E2 08 00")), AvDispatch::kDispatched);
  EXPECT_EQ(Dispatch(Bytes("A0 01 0B E2 08 00")), AvDispatch::kDispatched);
  EXPECT_EQ(Dispatch(Bytes("A0 01 07")), AvDispatch::kDispatched);
  EXPECT_EQ(sink.Calls(), (std::vector<std::string>{"roster 0 [ 0 0 0 0]", "subscribed  0", "start "}));
}

TEST_F(AvDispatchTest, MalformedBytesAreRefusedWithTheParseWarning) {
  for (const char* bad : {"07",                 // wire type 7
                          "A0 01",              // a tag without its value
                          "E2 03 05 61 62",     // a string cut short
                          "E2 08 05 52 07 61",  // a roster whose string passes its end
                          "A0 01 FF FF FF FF FF FF FF FF FF FF 01"}) {  // an eleven-byte varint
    SCOPED_TRACE(bad);
    ClearLog();
    EXPECT_EQ(Dispatch(Bytes(bad)), AvDispatch::kParseError);
    EXPECT_TRUE(Logged("protobuf parse error"));
  }
  EXPECT_EQ(DispatchAvMessage(nullptr, 3, &sink), AvDispatch::kParseError);
  EXPECT_TRUE(sink.Calls().empty());
}

TEST_F(AvDispatchTest, TypesTheClientDoesNotHandleAreLoggedWithTheirNumber) {
  EXPECT_EQ(Dispatch(Bytes("A0 01 18")), AvDispatch::kUnsupported);  // a key-frame request
  EXPECT_TRUE(Logged("not support type=24"));
  EXPECT_EQ(Dispatch(Bytes("A0 01 63")), AvDispatch::kUnsupported);  // 99: not in the schema at all
  EXPECT_TRUE(Logged("not support type=99"));
  EXPECT_EQ(Dispatch(""), AvDispatch::kUnsupported);  // no type
  EXPECT_TRUE(Logged("not support type=0"));
  EXPECT_TRUE(sink.Calls().empty());
}

}  // namespace
