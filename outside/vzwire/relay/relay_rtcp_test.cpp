// RTCP through a vzrelay process over its real socket: members that try to
// speak for another member's stream, played by raw clients of the relay's
// framing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "outside/vzwire/relay/member_credential.h"
#include "outside/vzwire/relay/raw_member_testlib.h"
#include "outside/vzwire/relay/relay_process_testlib.h"
#include "outside/vzwire/relay/token_join_testlib.h"

namespace {

using vzrelay::Frame;
using vzrelay::FrameKind;
using vzrelay::MemberRole;
using namespace vzrelay_test;  // the raw member, the relay process and the records they send

// A video join of meet-1 under the test relay's secret.
vzrelay::JoinRequest VideoJoin(const std::string& roster, uint32_t previous_ssrc = 0) {
  vzrelay::JoinRequest join = Joining(kVideo, roster, Token(roster, MemberRole::kAttendee));
  join.previous_ssrc = previous_ssrc;
  return join;
}

// The packet's first word: version, count, type and length.
uint32_t HeaderWord(const std::vector<uint8_t>& packet) { return vz::Load32(packet.data()); }

std::vector<uint8_t> Concatenated(std::vector<uint8_t> first, const std::vector<uint8_t>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

// An SR of `ssrc` without report blocks (28 bytes).
std::vector<uint8_t> SenderReport(uint32_t ssrc) {
  return RtcpPacketBytes(kRtcpSenderReport, 0, 7, {ssrc, 1, 2, 3, 4, 5});
}

// Reads RTCP until `marker` comes; the RTCP records that came before it.
std::vector<std::vector<uint8_t>> RtcpBefore(RawMember& member, const std::vector<uint8_t>& marker) {
  std::vector<std::vector<uint8_t>> before;
  Frame frame;
  while (member.NextOfKind(FrameKind::kRtcp, &frame)) {
    if (frame.payload == marker) return before;
    before.push_back(frame.payload);
  }
  ADD_FAILURE() << "the marker never came";
  return before;
}

// alice and bob in the video session of meet-1, under the relay's secret.
class RelayRtcpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(relay.Start());
    ASSERT_TRUE(alice.Join(relay.Port(), VideoJoin("alice")));
    ASSERT_TRUE(bob.Join(relay.Port(), VideoJoin("bob")));
  }

  SecretRelay relay;
  RawMember alice, bob;
};

TEST_F(RelayRtcpTest, ABareHeaderBeforeAPacketDoesNotLetAMemberSpeakForAnother) {
  // Each packet speaks for alice; bob is the PLI's media stream, so it is
  // the one the PLI would reach. A member whose SSRC is the packet's first
  // word puts a one-word header before it.
  struct Variant {
    const char* name;
    std::vector<uint8_t> packet;
  };
  const Variant variants[] = {
      {"SR", SenderReport(alice.ssrc)},
      {"RR", RtcpPacketBytes(201, 0, 2, {alice.ssrc})},
      {"SDES", RtcpPacketBytes(202, 1, 5, {alice.ssrc, 0x010A6361, 0x6D657261, 0x2D6F6E65})},  // CNAME "camera-one"
      {"BYE", RtcpPacketBytes(kRtcpBye, 1, 2, {alice.ssrc})},
      {"PLI", RtcpPacketBytes(kRtcpPayloadFeedback, 1, 3, {alice.ssrc, bob.ssrc})},
  };
  const std::vector<uint8_t> bare = RtcpPacketBytes(201, 0, 1, {});
  for (const Variant& variant : variants) {
    SCOPED_TRACE(variant.name);
    RawMember mallory;
    const std::string roster = std::string("mallory-") + variant.name;
    ASSERT_TRUE(mallory.Join(relay.Port(), VideoJoin(roster, HeaderWord(variant.packet))));
    ASSERT_EQ(mallory.ssrc, HeaderWord(variant.packet));
    ASSERT_TRUE(mallory.client.Send(FrameKind::kRtcp, RtcpRecord(Concatenated(bare, variant.packet))));
    // The same packet alone, and with the bare header after it.
    ASSERT_TRUE(mallory.client.Send(FrameKind::kRtcp, RtcpRecord(variant.packet)));
    ASSERT_TRUE(mallory.client.Send(FrameKind::kRtcp, RtcpRecord(Concatenated(variant.packet, bare))));
    // Its own report reaches everyone.
    const std::vector<uint8_t> marker = RtcpRecord(SenderReport(mallory.ssrc));
    ASSERT_TRUE(mallory.client.Send(FrameKind::kRtcp, marker));
    EXPECT_TRUE(RtcpBefore(alice, marker).empty());
    EXPECT_TRUE(RtcpBefore(bob, marker).empty());
  }
  EXPECT_TRUE(relay.relay.Stop());
}

TEST_F(RelayRtcpTest, AWholeCompoundOfAMembersOwnPacketsIsRelayedAsItCame) {
  // An engine's report, description and goodbye in one compound, and its
  // picture-loss request about bob's stream without a sender.
  const std::vector<uint8_t> own = RtcpRecord(Concatenated(
      Concatenated(SenderReport(alice.ssrc), RtcpPacketBytes(202, 1, 3, {alice.ssrc, 0x01024142})),
      RtcpPacketBytes(kRtcpBye, 1, 2, {alice.ssrc})));
  const std::vector<uint8_t> pli = RtcpRecord(RtcpPacketBytes(kRtcpPayloadFeedback, 1, 3, {0, bob.ssrc}));
  ASSERT_TRUE(alice.client.Send(FrameKind::kRtcp, own));
  ASSERT_TRUE(alice.client.Send(FrameKind::kRtcp, pli));
  Frame frame;
  ASSERT_TRUE(bob.NextOfKind(FrameKind::kRtcp, &frame));
  EXPECT_EQ(frame.payload, own);
  ASSERT_TRUE(bob.NextOfKind(FrameKind::kRtcp, &frame));
  EXPECT_EQ(frame.payload, pli);
  EXPECT_TRUE(relay.relay.Stop());
}

}  // namespace
