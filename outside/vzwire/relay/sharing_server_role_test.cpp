// The sharing server role on a meeting hub without sockets: what one
// member's cache requests and joins cost the server and what they bring.
#include "outside/vzwire/relay/sharing_server_role.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "outside/vzwire/relay/relay_messages_testlib.h"
#include "outside/vzwire/relay/relay_roles.h"

namespace vzrelay {
namespace {

using vzrelay_test::AddBlock;
using vzrelay_test::AddCache;
using vzrelay_test::Header;

// A member's link that keeps the sharing messages it was given and counts
// its queue until the test empties it (nothing is read in between).
class QueueLink : public IMemberLink {
 public:
  explicit QueueLink(size_t limit = SIZE_MAX) : limit_(limit) {}
  bool Deliver(FrameKind kind, const uint8_t* payload, size_t size) override {
    largest = std::max(largest, size);
    ++kinds[kind];
    if (kind == FrameKind::kJoinConfirm && size >= 4) ssrc = vz::Load32(payload);
    if (kind == FrameKind::kDataBinary) {
      DsData message;
      EXPECT_TRUE(message.ParseFromArray(payload, static_cast<int>(size)));
      received.push_back(message);
    }
    backlog += size;
    return backlog <= limit_;
  }
  size_t Backlog() const override { return backlog; }
  void Close(const char* why) override { closed = why; }

  std::vector<DsData> Of(DsDataType type) const {
    std::vector<DsData> found;
    for (const DsData& message : received) {
      if (message.type() == type) found.push_back(message);
    }
    return found;
  }

  std::vector<DsData> received;
  size_t backlog = 0;
  size_t largest = 0;  // the largest payload it was given
  std::map<FrameKind, int> kinds;  // frames it was given of each kind
  uint32_t ssrc = 0;  // its join confirm's
  std::string closed;  // why it was closed; empty while open

 private:
  size_t limit_;
};

class SharingServerRoleTest : public ::testing::Test {
 protected:
  explicit SharingServerRoleTest(size_t backlog_limit = HubOptions{}.member_backlog_limit)
      : hub_(Options(backlog_limit)) {
    InstallRelayRoles(hub_);
  }
  static HubOptions Options(size_t backlog_limit) {
    HubOptions options;
    options.member_backlog_limit = backlog_limit;
    return options;
  }

  MemberId Join(QueueLink& link, const std::string& roster, bool presenter) {
    JoinRequest join;
    join.session_type = 3;
    join.session_id = "ds-1";
    join.meet_id = "meet-1";
    join.token = "VDS meet-1:tok";
    join.roster_id = roster;
    join.presenter = presenter;
    const MemberId id = hub_.Connect(&link);
    hub_.OnFrame(id, {FrameKind::kJoin, EncodeJoinRequest(join)});
    return id;
  }
  void Send(MemberId id, const DsData& message) {
    const std::string bytes = message.SerializeAsString();
    hub_.OnFrame(id, {FrameKind::kDataBinary, std::vector<uint8_t>(bytes.begin(), bytes.end())});
  }
  // A presenter that started and keeps `count` caches of `bytes` each
  // (indices from 1, PDU id ten times the index), each in a message of
  // its own, then a sharing info.
  MemberId Present(size_t count, size_t bytes) {
    const MemberId id = Join(presenter_, "alice", true);
    Send(id, Header(DS_DATA_START));
    for (uint64_t index = 1; index <= count; ++index) {
      DsData caches = Header(DS_DATA_CREATE_CACHES);
      AddCache(&caches, index, index * 10, std::string(bytes, static_cast<char>('a' + index % 26)));
      Send(id, caches);
    }
    DsData info = Header(DS_DATA_CREATE_SHARINGINFO);
    info.mutable_sharing_info()->set_capture_mode(1);
    Send(id, info);
    presenter_.received.clear();
    return id;
  }
  // The empties `link`'s queue and lets the role send what waits for it,
  // until nothing more comes.
  void DrainAll(QueueLink& link, MemberId id) {
    for (size_t before = SIZE_MAX; before != link.received.size();) {
      before = link.received.size();
      link.backlog = 0;
      hub_.OnDrained(id);
    }
  }
  // How often each cache index came in the messages of `type`.
  static std::map<uint64_t, int> CacheCounts(const std::vector<DsData>& messages) {
    std::map<uint64_t, int> counts;
    for (const DsData& message : messages) {
      for (const DsCache& cache : message.caches()) ++counts[cache.index()];
    }
    return counts;
  }
  static DsData Ask(const std::vector<uint64_t>& indices) {
    DsData ask = Header(DS_DATA_GET_CACHES);
    for (const uint64_t index : indices) AddBlock(&ask, 7, 10101, index, index * 10);
    return ask;
  }

  MeetingHub hub_;
  QueueLink presenter_;
};

// A request whose blocks name the same kept caches over and over (the
// first answers copied a cache once per block: 136 KB of request made
// 200 MiB of answer, larger than any frame).
TEST_F(SharingServerRoleTest, ARequestNamingKeptCachesOverAndOverIsAnsweredWithEachOnce) {
  Present(3, 8 << 10);
  QueueLink attendee;
  const MemberId id = Join(attendee, "bob", false);
  std::vector<uint64_t> named;
  for (int i = 0; i < 1500; ++i) named.push_back(i % 10 == 9 ? 3 : 1);  // two caches, overlapping
  named.push_back(2);
  Send(id, Ask(named));

  const std::vector<DsData> answers = attendee.Of(DS_DATA_GET_CACHES);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(CacheCounts(answers), (std::map<uint64_t, int>{{1, 1}, {2, 1}, {3, 1}}));
  ASSERT_EQ(answers[0].blocks_size(), 3);  // one of each cache, in the order named
  EXPECT_EQ(answers[0].blocks(0).cache_index(), 1u);
  EXPECT_EQ(answers[0].blocks(1).cache_index(), 3u);
  EXPECT_EQ(answers[0].blocks(2).cache_index(), 2u);
  EXPECT_LT(attendee.largest, 32u << 10);
  EXPECT_TRUE(presenter_.received.empty());  // every cache named is kept

  // Only the first blocks of a request are looked at (an attendee names
  // fewer caches than that): the cache named behind them waits for the
  // next request.
  std::vector<uint64_t> long_request(kKeptCacheIndexEnd, 1);
  long_request.push_back(2);
  Send(id, Ask(long_request));
  ASSERT_EQ(attendee.Of(DS_DATA_GET_CACHES).size(), 2u);
  EXPECT_EQ(CacheCounts({attendee.Of(DS_DATA_GET_CACHES)[1]}), (std::map<uint64_t, int>{{1, 1}}));
}

// The caches asked for are more than a frame holds: the answer stops
// short of the frame limit, and the member asking again for what it still
// misses (as the attendee's engine does) gets the rest.
TEST_F(SharingServerRoleTest, AnAnswerStopsAtTheFrameLimitAndWhatIsAskedAgainFollows) {
  Present(12, 1 << 20);
  QueueLink attendee;
  const MemberId id = Join(attendee, "bob", false);
  std::vector<uint64_t> wanted;
  for (uint64_t index = 1; index <= 12; ++index) wanted.push_back(index);
  Send(id, Ask(wanted));
  ASSERT_EQ(attendee.Of(DS_DATA_GET_CACHES).size(), 1u);
  const std::map<uint64_t, int> first = CacheCounts(attendee.Of(DS_DATA_GET_CACHES));
  EXPECT_EQ(first.size(), 7u);  // 7 MiB and their framing fit 8 MiB, 8 do not
  EXPECT_LE(attendee.largest, kMaxDataPayload);

  std::vector<uint64_t> still;
  for (const uint64_t index : wanted) {
    if (first.count(index) == 0) still.push_back(index);
  }
  attendee.backlog = 0;
  Send(id, Ask(still));
  EXPECT_EQ(CacheCounts(attendee.Of(DS_DATA_GET_CACHES)).size(), 12u);
  for (const auto& [index, count] : CacheCounts(attendee.Of(DS_DATA_GET_CACHES))) EXPECT_EQ(count, 1) << index;
  EXPECT_LE(attendee.largest, kMaxDataPayload);
  EXPECT_TRUE(attendee.closed.empty()) << attendee.closed;
  EXPECT_TRUE(presenter_.received.empty());
}

class SharingServerRoleRoomTest : public SharingServerRoleTest {
 protected:
  static constexpr size_t kLimit = 4u << 20;
  SharingServerRoleRoomTest() : SharingServerRoleTest(kLimit) {}
};

// What the answer adds to the member's queue is weighed before it is
// built: a member with 2.5 MiB of room gets two caches of 1 MiB, not six
// that would pass its backlog limit and drop it.
TEST_F(SharingServerRoleRoomTest, AnAnswerFitsTheMembersBacklogRoom) {
  Present(6, 1 << 20);
  QueueLink attendee(kLimit);
  const MemberId id = Join(attendee, "bob", false);
  attendee.backlog = kLimit - (5u << 19);
  Send(id, Ask({1, 2, 3, 4, 5, 6}));
  EXPECT_TRUE(attendee.closed.empty()) << attendee.closed;
  EXPECT_EQ(CacheCounts(attendee.Of(DS_DATA_GET_CACHES)), (std::map<uint64_t, int>{{1, 1}, {2, 1}}));
  EXPECT_LE(attendee.backlog, kLimit);
  // With no room at all, nothing is answered and the member stays.
  attendee.backlog = kLimit;
  Send(id, Ask({3}));
  EXPECT_TRUE(attendee.closed.empty()) << attendee.closed;
  EXPECT_EQ(attendee.Of(DS_DATA_GET_CACHES).size(), 1u);
}

// JOINs sent again and again while the member's replay runs restart
// nothing: it gets the sharing info once and every kept cache once, and a
// cache the presenter replaces meanwhile comes once, in its new form, as
// relayed after the replay.
TEST_F(SharingServerRoleTest, AJoinWhileTheReplayRunsRestartsNothing) {
  const MemberId presenter = Present(40, 16 << 10);
  QueueLink attendee;
  const MemberId id = Join(attendee, "bob", false);
  Send(id, Header(DS_DATA_JOIN));
  const size_t first_part = CacheCounts(attendee.received).size();
  ASSERT_GT(first_part, 0u);
  ASSERT_LT(first_part, 40u);  // the replay waits for the member's queue
  attendee.backlog = 0;
  hub_.OnDrained(id);  // a little more of it
  for (int i = 0; i < 1000; ++i) Send(id, Header(DS_DATA_JOIN));
  DsData replaced = Header(DS_DATA_CREATE_CACHES);
  AddCache(&replaced, 39, 777, "tile 39 again");
  Send(presenter, replaced);
  DrainAll(attendee, id);

  EXPECT_EQ(attendee.Of(DS_DATA_JOIN).size(), 1001u);
  EXPECT_EQ(attendee.Of(DS_DATA_CREATE_SHARINGINFO).size(), 1u);
  const std::map<uint64_t, int> counts = CacheCounts(attendee.Of(DS_DATA_CREATE_CACHES));
  EXPECT_EQ(counts.size(), 40u);
  for (const auto& [index, count] : counts) EXPECT_EQ(count, 1) << "cache " << index;
  const DsData& last = attendee.received.back();
  ASSERT_EQ(last.caches_size(), 1);
  EXPECT_EQ(last.caches(0).pdu_id(), 777u);
  EXPECT_TRUE(attendee.closed.empty()) << attendee.closed;

  // Once the replay is over, a JOIN shows the screen anew.
  Send(id, Header(DS_DATA_JOIN));
  DrainAll(attendee, id);
  EXPECT_EQ(attendee.Of(DS_DATA_CREATE_SHARINGINFO).size(), 2u);
  EXPECT_EQ(CacheCounts(attendee.Of(DS_DATA_CREATE_CACHES))[39], 2);
}

// Blocks a presenter sent in several messages of its own: a late joiner
// gets them in messages that each fit a data frame (one larger would never
// be written).
TEST_F(SharingServerRoleTest, ALateJoinersBlocksComeInMessagesThatFitAFrame) {
  const MemberId presenter = Present(1, 16);
  for (uint64_t part = 0; part < 3; ++part) {
    DsData blocks = Header(DS_DATA_CREATE_BLOCKS);
    for (uint64_t i = 0; i < 4; ++i) {
      AddBlock(&blocks, part * 4 + i, part * 4 + i, 1, 10);
      DsBlock* block = blocks.mutable_blocks(static_cast<int>(i));
      block->GetReflection()->MutableUnknownFields(block)->AddLengthDelimited(99, std::string(1 << 20, 'p'));
    }
    Send(presenter, blocks);
  }
  QueueLink late;
  const MemberId id = Join(late, "carol", false);
  Send(id, Header(DS_DATA_JOIN));
  DrainAll(late, id);
  size_t blocks = 0;
  for (const DsData& message : late.Of(DS_DATA_CREATE_BLOCKS)) blocks += static_cast<size_t>(message.blocks_size());
  EXPECT_EQ(blocks, 12u);
  EXPECT_LE(late.largest, kMaxDataPayload);
}

// The presenter answers a key-frame request with its next blocks: while it
// has one to answer, the attendees' requests are not passed on (each one
// reached it, as fast as they were written).
TEST_F(SharingServerRoleTest, KeyFrameRequestsReachThePresenterOneAtATime) {
  const MemberId presenter = Present(1, 16);
  QueueLink bob_link, carol_link;
  const MemberId bob = Join(bob_link, "bob", false), carol = Join(carol_link, "carol", false);
  for (int i = 0; i < 100; ++i) Send(i % 2 == 0 ? bob : carol, Header(DS_DATA_GET_KEYFRAME));
  EXPECT_EQ(presenter_.Of(DS_DATA_GET_KEYFRAME).size(), 1u);
  // Its blocks answer it: the next request is passed on, once.
  DsData blocks = Header(DS_DATA_CREATE_BLOCKS);
  AddBlock(&blocks, 0, 10101, 1, 10);
  Send(presenter, blocks);
  for (int i = 0; i < 100; ++i) Send(carol, Header(DS_DATA_GET_KEYFRAME));
  EXPECT_EQ(presenter_.Of(DS_DATA_GET_KEYFRAME).size(), 2u);
  // A new connection of the presenter was asked nothing yet.
  QueueLink again;
  Send(Join(again, "alice", true), Header(DS_DATA_START));
  Send(bob, Header(DS_DATA_GET_KEYFRAME));
  EXPECT_EQ(again.Of(DS_DATA_GET_KEYFRAME).size(), 1u);
  EXPECT_TRUE(bob_link.closed.empty() && carol_link.closed.empty());
}

// No member of a sharing session reads media: an attendee's RTP and RTCP
// of its own stream reach no one, and cost the others no queue; its text
// and command records still pass as the transport carries them.
TEST_F(SharingServerRoleTest, MediaNoMemberReadsIsDroppedAndTextAndCommandsPass) {
  Present(1, 16);
  QueueLink bob_link, carol_link;
  const MemberId bob = Join(bob_link, "bob", false);
  Join(carol_link, "carol", false);
  const uint32_t ssrc = bob_link.ssrc;
  ASSERT_NE(ssrc, 0u);
  for (uint16_t i = 0; i < 10; ++i) {
    hub_.OnFrame(bob, {FrameKind::kRtp, vzrelay_test::RtpRecord(ssrc, i)});
    hub_.OnFrame(bob, {FrameKind::kRtcp, vzrelay_test::RtcpRecord(vzrelay_test::RtcpPacketBytes(
                                             vzrelay_test::kRtcpBye, 1, 2, {ssrc}))});
  }
  hub_.OnFrame(bob, {FrameKind::kDataUtf8, {'h', 'i'}});
  hub_.OnFrame(bob, {FrameKind::kCommand, vzrelay_test::CommandRecord("c")});
  for (QueueLink* link : {&presenter_, &carol_link}) {
    SCOPED_TRACE(link == &presenter_ ? "the presenter" : "carol");
    EXPECT_EQ(link->kinds[FrameKind::kRtp], 0);
    EXPECT_EQ(link->kinds[FrameKind::kRtcp], 0);
    EXPECT_EQ(link->kinds[FrameKind::kDataUtf8], 1);
    EXPECT_EQ(link->kinds[FrameKind::kCommand], 1);
  }
  EXPECT_EQ(hub_.FindMember(bob)->unread_dropped, 20u);
  EXPECT_TRUE(bob_link.closed.empty()) << bob_link.closed;
}

}  // namespace
}  // namespace vzrelay
