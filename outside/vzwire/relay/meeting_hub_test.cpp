#include "outside/vzwire/relay/meeting_hub.h"

#include <gtest/gtest.h>

#include "outside/vzwire/relay/member_credential.h"
#include "outside/vzwire/relay/relay_records_testlib.h"

#include <string>
#include <vector>

namespace vzrelay {
namespace {

// A member's link that keeps what it was given.
class FakeLink : public IMemberLink {
 public:
  bool Deliver(FrameKind kind, const uint8_t* payload, size_t size) override {
    frames.push_back({kind, std::vector<uint8_t>(payload, payload + size)});
    if (!reads_at_once) backlog += size;
    return backlog <= limit;
  }
  size_t Backlog() const override { return backlog; }
  void Close(const char* why) override {
    closed = true;
    close_reason = why;
  }
  std::vector<Frame> Of(FrameKind kind) const {
    std::vector<Frame> found;
    for (const Frame& frame : frames) {
      if (frame.kind == kind) found.push_back(frame);
    }
    return found;
  }
  std::vector<Frame> frames;
  size_t backlog = 0;
  size_t limit = SIZE_MAX;
  bool reads_at_once = false;  // its queue never grows
  bool closed = false;
  std::string close_reason;
};

Frame JoinFrame(uint8_t type, const std::string& id, const std::string& token, uint32_t previous_ssrc = 0) {
  JoinRequest join;
  join.session_type = type;
  join.session_id = id;
  join.meet_id = "meet-1";
  join.token = token;
  static int joins = 0;  // every join a roster id of its own: one is held by one connection
  join.roster_id = "r-" + id + "-" + std::to_string(++joins);
  join.previous_ssrc = previous_ssrc;
  return {FrameKind::kJoin, EncodeJoinRequest(join)};
}

// What the link's last join confirm said: its SSRC and the members it
// counted; zeros without a confirm.
struct Confirm {
  uint32_t ssrc = 0;
  uint32_t members = 0;
};
Confirm LastConfirm(const FakeLink& link) {
  Confirm confirm;
  const auto confirms = link.Of(FrameKind::kJoinConfirm);
  if (confirms.empty()) return confirm;
  PayloadReader reader(confirms.back().payload.data(), confirms.back().payload.size());
  reader.GetU32(&confirm.ssrc);
  reader.GetU32(&confirm.members);
  return confirm;
}

uint32_t ConfirmedSsrc(const FakeLink& link) { return LastConfirm(link).ssrc; }

// An RTP record of a packet of stream `ssrc` that is all header.
std::vector<uint8_t> RtpRecordFrom(uint32_t ssrc) {
  return vzrelay_test::RtpRecord(ssrc, 1, vzrelay_test::kRtpHeaderSize);
}

TEST(MeetingHubTest, SessionsAreKeyedByTypeAndIdAndRelayToTheOthersOnly) {
  MeetingHub hub(HubOptions{});
  FakeLink a, b, other_type, other_id;
  const MemberId ia = hub.Connect(&a), ib = hub.Connect(&b);
  const MemberId it = hub.Connect(&other_type), ii = hub.Connect(&other_id);
  hub.OnFrame(ia, JoinFrame(3, "ds-1", "t"));
  hub.OnFrame(ib, JoinFrame(3, "ds-1", "t"));
  hub.OnFrame(it, JoinFrame(2, "ds-1", "t"));
  hub.OnFrame(ii, JoinFrame(3, "ds-2", "t"));
  EXPECT_EQ(hub.SessionCountForTesting(), 3u);
  hub.OnFrame(ia, {FrameKind::kDataUtf8, {'h', 'i'}});
  ASSERT_EQ(b.Of(FrameKind::kDataUtf8).size(), 1u);
  EXPECT_EQ(b.Of(FrameKind::kDataUtf8)[0].payload, (std::vector<uint8_t>{'h', 'i'}));
  EXPECT_TRUE(a.Of(FrameKind::kDataUtf8).empty());
  EXPECT_TRUE(other_type.Of(FrameKind::kDataUtf8).empty());
  EXPECT_TRUE(other_id.Of(FrameKind::kDataUtf8).empty());
  // The last member out closes the session.
  hub.OnFrame(ia, {FrameKind::kLeave, {}});
  hub.Disconnect(ib);
  EXPECT_EQ(hub.FindSession(3, "meet-1", "ds-1"), nullptr);
  EXPECT_TRUE(a.closed);
}

TEST(MeetingHubTest, TokensFromOptionsOrFromTheFirstMember) {
  HubOptions options;
  options.meeting_tokens["meet-1"] = "secret";
  MeetingHub listed(options);
  FakeLink wrong, raw, combined;
  listed.OnFrame(listed.Connect(&wrong), JoinFrame(3, "ds", "secret!"));
  listed.OnFrame(listed.Connect(&raw), JoinFrame(3, "ds", "secret"));
  listed.OnFrame(listed.Connect(&combined), JoinFrame(3, "ds", "VDS meet-1:secret"));
  const std::vector<Frame> refused = wrong.Of(FrameKind::kJoinRefused);
  ASSERT_EQ(refused.size(), 1u);
  PayloadReader reader(refused[0].payload.data(), refused[0].payload.size());
  uint32_t code = 0;
  reader.GetU32(&code);
  EXPECT_EQ(code, kRefusedWrongToken);
  EXPECT_TRUE(wrong.closed);
  EXPECT_NE(ConfirmedSsrc(raw), 0u);
  EXPECT_NE(ConfirmedSsrc(combined), 0u);

  MeetingHub open(HubOptions{});
  FakeLink first, second, third;
  open.OnFrame(open.Connect(&first), JoinFrame(2, "m", "one"));
  open.OnFrame(open.Connect(&second), JoinFrame(2, "m", "two"));
  open.OnFrame(open.Connect(&third), JoinFrame(2, "m", "one"));
  EXPECT_NE(ConfirmedSsrc(first), 0u);
  EXPECT_EQ(second.Of(FrameKind::kJoinRefused).size(), 1u);
  EXPECT_NE(ConfirmedSsrc(third), 0u);
}

// A join of `meeting`'s video session `id` as `roster`, an attendee.
Frame VideoJoin(const std::string& meeting, const std::string& id, const std::string& roster, const std::string& token) {
  JoinRequest join;
  join.session_type = 2;
  join.session_id = id;
  join.meet_id = meeting;
  join.token = token;
  join.roster_id = roster;
  return {FrameKind::kJoin, EncodeJoinRequest(join)};
}

// Session ids repeat across meetings (a video session's id is its
// meeting's), and so do roster ids: each meeting's members join a session
// of their own whichever meeting opened the id first, what one sends stays
// in its meeting, and an emptied session is its own meeting's to open again.
TEST(MeetingHubTest, ASessionIdOpenedByAnotherMeetingLeavesAMeetingItsOwnSession) {
  HubOptions options;
  options.member_secret = "sixteen or more bytes";
  MeetingHub hub(options);
  const auto token = [&](const std::string& meeting) {
    return MakeMemberToken(options.member_secret, meeting, "r1", MemberRole::kAttendee);
  };
  FakeLink of_a, of_b, of_b_again;
  const MemberId ia = hub.Connect(&of_a), ib = hub.Connect(&of_b);
  hub.OnFrame(ia, VideoJoin("meet-A", "meet-B", "r1", token("meet-A")));
  hub.OnFrame(ib, VideoJoin("meet-B", "meet-B", "r1", token("meet-B")));
  EXPECT_EQ(LastConfirm(of_a).members, 1u);
  EXPECT_EQ(LastConfirm(of_b).members, 1u) << "meeting B's member joined A's session, or was refused";
  Session* own = hub.FindSession(2, "meet-B", "meet-B");
  ASSERT_NE(own, nullptr);
  EXPECT_NE(hub.FindSession(2, "meet-A", "meet-B"), own);
  EXPECT_FALSE(of_a.closed) << "the same roster id of another meeting replaced A's member";
  hub.OnFrame(ia, {FrameKind::kDataBinary, {1}});
  hub.OnFrame(ib, {FrameKind::kDataBinary, {2}});
  EXPECT_TRUE(of_a.Of(FrameKind::kDataBinary).empty());
  EXPECT_TRUE(of_b.Of(FrameKind::kDataBinary).empty());

  // B's only member goes: B's session goes, A's stays; B's member is back in
  // a session of B's.
  hub.Disconnect(ib);
  EXPECT_EQ(hub.FindSession(2, "meet-B", "meet-B"), nullptr);
  ASSERT_NE(hub.FindSession(2, "meet-A", "meet-B"), nullptr);
  hub.OnFrame(hub.Connect(&of_b_again), VideoJoin("meet-B", "meet-B", "r1", token("meet-B")));
  EXPECT_EQ(LastConfirm(of_b_again).members, 1u);
  EXPECT_EQ(hub.SessionsNamed(2, "meet-B").size(), 2u);

  // Where the first member sets the token, it sets its own meeting's.
  MeetingHub open(HubOptions{});
  FakeLink first, other_meeting;
  open.OnFrame(open.Connect(&first), VideoJoin("meet-A", "v", "r1", "one"));
  open.OnFrame(open.Connect(&other_meeting), VideoJoin("meet-B", "v", "r1", "two"));
  EXPECT_EQ(LastConfirm(first).members, 1u);
  EXPECT_EQ(LastConfirm(other_meeting).members, 1u);
}

TEST(MeetingHubTest, MalformedOrMisplacedFramesCloseThatMemberOnly) {
  MeetingHub hub(HubOptions{});
  FakeLink early, bad_join, server_kind, good;
  hub.OnFrame(hub.Connect(&early), {FrameKind::kDataBinary, {1}});
  hub.OnFrame(hub.Connect(&bad_join), {FrameKind::kJoin, {3, 0}});
  const MemberId ig = hub.Connect(&good), is = hub.Connect(&server_kind);
  hub.OnFrame(ig, JoinFrame(3, "ds", "t"));
  hub.OnFrame(is, JoinFrame(3, "ds", "t"));
  hub.OnFrame(is, {FrameKind::kPong, std::vector<uint8_t>(16)});
  EXPECT_TRUE(early.closed);
  EXPECT_EQ(bad_join.Of(FrameKind::kJoinRefused).size(), 1u);
  EXPECT_TRUE(server_kind.closed);
  EXPECT_FALSE(good.closed);
  EXPECT_EQ(hub.FindSession(3, "meet-1", "ds")->members.size(), 1u);
}

TEST(MeetingHubTest, SsrcsAreDistinctAndKeptAcrossAReconnection) {
  MeetingHub hub(HubOptions{});
  FakeLink a, b, a_again, thief;
  const MemberId ia = hub.Connect(&a);
  hub.OnFrame(ia, JoinFrame(2, "m", "t"));
  hub.OnFrame(hub.Connect(&b), JoinFrame(2, "m", "t"));
  const uint32_t ssrc_a = ConfirmedSsrc(a), ssrc_b = ConfirmedSsrc(b);
  EXPECT_NE(ssrc_a, ssrc_b);
  hub.Disconnect(ia);
  hub.OnFrame(hub.Connect(&a_again), JoinFrame(2, "m", "t", ssrc_a));
  EXPECT_EQ(ConfirmedSsrc(a_again), ssrc_a);
  hub.OnFrame(hub.Connect(&thief), JoinFrame(2, "m", "t", ssrc_b));  // taken: a fresh one
  EXPECT_NE(ConfirmedSsrc(thief), ssrc_b);
  EXPECT_NE(ConfirmedSsrc(thief), ssrc_a);
}

TEST(MeetingHubTest, SubscriptionsFilterRtpByTheSendersSsrc) {
  MeetingHub hub(HubOptions{});
  FakeLink a, b, viewer;
  const MemberId ia = hub.Connect(&a), ib = hub.Connect(&b), iv = hub.Connect(&viewer);
  hub.OnFrame(ia, JoinFrame(2, "m", "t"));
  hub.OnFrame(ib, JoinFrame(2, "m", "t"));
  hub.OnFrame(iv, JoinFrame(2, "m", "t"));
  std::vector<uint8_t> subscribe;
  PutU32(&subscribe, ConfirmedSsrc(a));
  subscribe.push_back(1);
  hub.OnFrame(iv, {FrameKind::kSubscribe, subscribe});
  hub.OnFrame(ia, {FrameKind::kRtp, RtpRecordFrom(ConfirmedSsrc(a))});
  hub.OnFrame(ib, {FrameKind::kRtp, RtpRecordFrom(ConfirmedSsrc(b))});
  hub.OnFrame(ib, {FrameKind::kRtcp, vzrelay_test::RtcpRecord(vzrelay_test::RtcpPacketBytes(
                                         vzrelay_test::kRtcpBye, 1, 2, {ConfirmedSsrc(b)}))});
  EXPECT_EQ(viewer.Of(FrameKind::kRtp).size(), 1u);
  EXPECT_EQ(viewer.Of(FrameKind::kRtcp).size(), 1u);  // RTCP is not filtered
  EXPECT_EQ(a.Of(FrameKind::kRtp).size(), 1u);        // b's, unfiltered
  // Unsubscribing from the last one receives nothing, not everything.
  subscribe.back() = 0;
  hub.OnFrame(iv, {FrameKind::kSubscribe, subscribe});
  hub.OnFrame(ia, {FrameKind::kRtp, RtpRecordFrom(ConfirmedSsrc(a))});
  EXPECT_EQ(viewer.Of(FrameKind::kRtp).size(), 1u);
}

TEST(MeetingHubTest, ASlowMemberLosesMediaThenIsDroppedAloneWithTheSessionIntact) {
  HubOptions options;
  options.media_backlog_limit = 100;
  MeetingHub hub(options);
  FakeLink sender, slow, fine;
  const MemberId is = hub.Connect(&sender), il = hub.Connect(&slow), ifn = hub.Connect(&fine);
  hub.OnFrame(is, JoinFrame(2, "m", "t"));
  hub.OnFrame(il, JoinFrame(2, "m", "t"));
  hub.OnFrame(ifn, JoinFrame(2, "m", "t"));
  fine.reads_at_once = true;
  slow.backlog = 1000;  // it stopped reading
  slow.limit = 5000;
  for (int i = 0; i < 10; ++i) hub.OnFrame(is, {FrameKind::kRtp, RtpRecordFrom(ConfirmedSsrc(sender))});
  EXPECT_TRUE(slow.Of(FrameKind::kRtp).empty());
  EXPECT_EQ(fine.Of(FrameKind::kRtp).size(), 10u);
  EXPECT_EQ(hub.FindMember(il)->media_dropped, 10u);
  // Signalling still goes to it until its queue is over the limit.
  const std::vector<uint8_t> big(3000, 1);
  hub.OnFrame(is, {FrameKind::kCommand, big});
  EXPECT_FALSE(slow.closed);
  hub.OnFrame(is, {FrameKind::kCommand, big});
  EXPECT_TRUE(slow.closed);
  EXPECT_FALSE(fine.closed);
  EXPECT_EQ(hub.FindSession(2, "meet-1", "m")->members.size(), 2u);
  EXPECT_EQ(fine.Of(FrameKind::kCommand).size(), 2u);
}

Frame MemberJoin(const std::string& roster, const std::string& token, bool presenter) {
  JoinRequest join;
  join.session_type = 3;
  join.session_id = "ds";
  join.meet_id = "meet-1";
  join.token = token;
  join.roster_id = roster;
  join.presenter = presenter;
  return {FrameKind::kJoin, EncodeJoinRequest(join)};
}

TEST(MeetingHubTest, ARosterIdIsHeldByOneConnectionAndTheLastOnesSessionStaysForItsReturn) {
  MeetingHub hub(HubOptions{});
  FakeLink first, second;
  hub.OnFrame(hub.Connect(&first), MemberJoin("x", "t", true));
  Session* session = hub.FindSession(3, "meet-1", "ds");
  hub.OnFrame(hub.Connect(&second), MemberJoin("x", "t", true));
  EXPECT_TRUE(first.closed);
  EXPECT_EQ(first.close_reason, "replaced by a new connection of the same member");
  EXPECT_FALSE(second.closed);
  ASSERT_EQ(hub.FindSession(3, "meet-1", "ds"), session);  // not closed and opened again between them
  ASSERT_EQ(session->members.size(), 1u);
  EXPECT_EQ(session->members[0]->link, &second);
}

// One member reconnecting thousands of times a second (each connection
// replacing the last) kept every other member's program busy. Past its
// credential's budget a join is refused, and the connection it would have
// replaced stays; others' joins are not touched.
TEST(MeetingHubTest, ACredentialThatJoinsTooOftenIsRefusedAndItsLastConnectionStays) {
  HubOptions options;
  options.join_burst = 3;
  options.join_refill_ms = 3600 * 1000;
  MeetingHub hub(options);
  FakeLink links[4], other;
  for (FakeLink& link : links) hub.OnFrame(hub.Connect(&link), MemberJoin("x", "t", false));
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(links[i].closed) << i;
  EXPECT_FALSE(links[2].closed);
  EXPECT_NE(ConfirmedSsrc(links[2]), 0u);
  const auto refused = links[3].Of(FrameKind::kJoinRefused);
  ASSERT_EQ(refused.size(), 1u);
  PayloadReader reader(refused[0].payload.data(), refused[0].payload.size());
  uint32_t code = 0;
  ASSERT_TRUE(reader.GetU32(&code));
  EXPECT_EQ(code, kRefusedJoinsTooOften);
  Session* session = hub.FindSession(3, "meet-1", "ds");
  ASSERT_NE(session, nullptr);
  ASSERT_EQ(session->members.size(), 1u);
  EXPECT_EQ(session->members[0]->link, &links[2]);
  // Its presenter credential, and other members, join as before.
  hub.OnFrame(hub.Connect(&other), MemberJoin("x", "t", true));
  EXPECT_NE(ConfirmedSsrc(other), 0u);
}

TEST(MeetingHubTest, WithASecretTheRoleIsTheTokensAndTheSharedTokenAdmitsNobody) {
  HubOptions options;
  options.member_secret = "sixteen or more bytes";
  options.default_token = "t";  // not used beside a secret
  MeetingHub hub(options);
  const std::string attendee = MakeMemberToken(options.member_secret, "meet-1", "x", MemberRole::kAttendee);
  FakeLink shared, as_presenter, as_attendee;
  hub.OnFrame(hub.Connect(&shared), MemberJoin("x", "t", false));
  hub.OnFrame(hub.Connect(&as_presenter), MemberJoin("x", attendee, true));
  hub.OnFrame(hub.Connect(&as_attendee), MemberJoin("x", "VDS meet-1:" + attendee, false));
  EXPECT_EQ(shared.Of(FrameKind::kJoinRefused).size(), 1u);
  EXPECT_EQ(as_presenter.Of(FrameKind::kJoinRefused).size(), 1u);
  EXPECT_NE(ConfirmedSsrc(as_attendee), 0u);
}

TEST(MeetingHubTest, EndingASessionTellsEveryMemberAndForgetsIt) {
  MeetingHub hub(HubOptions{});
  FakeLink a, b;
  hub.OnFrame(hub.Connect(&a), JoinFrame(3, "ds", "t"));
  hub.OnFrame(hub.Connect(&b), JoinFrame(3, "ds", "t"));
  hub.EndSession(*hub.FindSession(3, "meet-1", "ds"), 9, 1);
  EXPECT_EQ(a.Of(FrameKind::kSessionEnded).size(), 1u);
  EXPECT_TRUE(b.closed);
  EXPECT_EQ(hub.SessionCountForTesting(), 0u);
  EXPECT_EQ(hub.MemberCountForTesting(), 0u);
}

}  // namespace
}  // namespace vzrelay
