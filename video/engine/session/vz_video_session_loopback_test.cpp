// Two video sessions against the real media transport (libvzwire.so, loaded
// as the engine loads it) joined to the library's in-process meeting
// server, which answers as the video server does: what one session's
// requests make of the other's sink, end to end.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "contracts/session_records.h"
#include "video/engine/session/session_testlib.h"
#include "video/engine/session/vz_video_session.h"

namespace {

using video_session_test::Bytes;
using video_session_test::RecordingSessionSink;

void SetText(char16_t* field, size_t chars, const std::string& text) {
  for (size_t i = 0; i + 1 < chars && i < text.size(); ++i) field[i] = static_cast<char16_t>(text[i]);
}

struct Participant {
  explicit Participant(const std::string& roster) : session(&sink) {
    SetText(config.ServerAddr, 256, "loopback");
    SetText(config.MeetId, 128, "meet-session-loopback");
    SetText(config.Token, 128, "tok");
    SetText(config.RosterId, 128, roster);
  }
  bool Join() { return session.JoinSession(&config, nullptr, nullptr) == 1 && sink.WaitFor("join 1 "); }
  uint32_t Ssrc() { return static_cast<uint32_t>(std::stoul(sink.Starting("join 1 ")[0].substr(7))); }

  RecordingSessionSink sink;
  AVSessionConfig config{};
  CVZVideoSession session;
};

TEST(VideoSessionLoopbackTest, TwoSessionsSeeEachOtherSubscribeAndExchangeMedia) {
  Participant alice("alice"), bob("bob");
  ASSERT_TRUE(alice.session.HasTransport()) << "libvzwire.so beside the test";
  ASSERT_TRUE(alice.Join());
  ASSERT_TRUE(bob.Join());
  const uint32_t ssrc_a = alice.Ssrc(), ssrc_b = bob.Ssrc();
  EXPECT_NE(ssrc_a, ssrc_b);
  // bob hears of both with their SSRCs; alice of bob.
  ASSERT_TRUE(bob.sink.WaitFor("roster 1 "));
  EXPECT_EQ(bob.sink.Starting("roster 1 ")[0], "roster 1 [alice 0 0 0 " + std::to_string(ssrc_a) + "] [bob 0 0 0 " +
                                                   std::to_string(ssrc_b) + "]");
  ASSERT_TRUE(alice.sink.WaitFor("roster 1 ", 2));
  EXPECT_EQ(alice.sink.Starting("roster 1 ")[1], "roster 1 [bob 0 0 0 " + std::to_string(ssrc_b) + "]");

  ASSERT_EQ(alice.session.StartBroadcastRequest(2), 1);
  ASSERT_TRUE(bob.sink.WaitFor("start alice"));
  ASSERT_EQ(bob.session.SubscribeVideoRequest({{"alice", 2}}), 1);
  ASSERT_TRUE(alice.sink.WaitFor("subscribed bob 2"));

  // alice's RTP reaches her subscriber; bob's picture-loss request reaches alice.
  std::string rtp = Bytes("80 62 00 01 00 00 00 5A");
  for (int shift = 24; shift >= 0; shift -= 8) rtp.push_back(static_cast<char>(ssrc_a >> shift));
  rtp += "payload";
  ASSERT_EQ(alice.session.SendRtp(reinterpret_cast<const uint8_t*>(rtp.data()), static_cast<uint32_t>(rtp.size())), 1);
  ASSERT_TRUE(bob.sink.WaitFor("rtp "));
  EXPECT_EQ(bob.sink.Starting("rtp ")[0], "rtp " + video_session_test::Hex(rtp));
  std::string pli = Bytes("81 CE 00 03 00 00 00 00");
  for (int shift = 24; shift >= 0; shift -= 8) pli.push_back(static_cast<char>(ssrc_a >> shift));
  ASSERT_EQ(bob.session.SendRtcp(reinterpret_cast<const uint8_t*>(pli.data()), static_cast<uint32_t>(pli.size())), 1);
  ASSERT_TRUE(alice.sink.WaitFor("rtcp "));
  EXPECT_EQ(alice.sink.Starting("rtcp ")[0], "rtcp " + video_session_test::Hex(pli));

  ASSERT_EQ(bob.session.SetSpotlightRequest("alice"), 1);
  ASSERT_TRUE(alice.sink.WaitFor("spotlight alice"));
  ASSERT_EQ(bob.session.UnsubscribeVideoRequest({{"alice", 2}}), 1);
  ASSERT_TRUE(alice.sink.WaitFor("unsubscribed bob 2"));
  ASSERT_EQ(alice.session.StopBroadcastRequest(), 1);
  ASSERT_TRUE(bob.sink.WaitFor("stop alice"));

  // bob leaves: his sink hears it at once, alice hears that he left.
  EXPECT_EQ(bob.session.LeaveSession(), 1);
  EXPECT_EQ(bob.sink.Starting("leave ").at(0), "leave 0 0");
  ASSERT_TRUE(alice.sink.WaitFor("roster 2 "));
  EXPECT_EQ(alice.sink.Starting("roster 2 ")[0], "roster 2 [bob 0 0 0 " + std::to_string(ssrc_b) + "]");
}

}  // namespace
