// Who a member is, who presents and whose records reach the attendees,
// through a vzrelay process over its real socket: every member, honest or
// not, is played by a raw client of the relay's framing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "contracts/av_roster_change.h"
#include "outside/vzwire/relay/meeting_hub.h"
#include "outside/vzwire/relay/member_credential.h"
#include "outside/vzwire/relay/raw_member_testlib.h"
#include "outside/vzwire/relay/relay_process_testlib.h"
#include "outside/vzwire/relay/token_join_testlib.h"
#include "platform/clock.h"

namespace {

using vzrelay::MemberRole;
using namespace vzrelay_test;  // the raw member, the relay process and the messages they send

constexpr char kPlainToken[] = "VDS meet-1:tok";

// A block at `position` showing cache 1.
void AddBlock(DsData* message, uint64_t position) { vzrelay_test::AddBlock(message, position, position, 1, 1); }

TEST(RelayMemberIdentityTest, TheRelaysMemberTokenIsTheLibrarysAndNeedsItsSecret) {
  SecretRelay relay;
  ASSERT_TRUE(relay.Start());
  vz::PipedChild maker;
  ASSERT_TRUE(maker.Start(VZ_RELAY_BINARY, {"vzrelay", "--secret-file", relay.secret_file, "--member-token", "meet-1",
                                            "alice", "presenter"}, {}));
  std::string printed(65, '\0');
  ASSERT_TRUE(maker.ReadExactly(printed.data(), printed.size(), 10000));
  int code = -1;
  ASSERT_TRUE(maker.Wait(10000, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(printed, Token("alice", MemberRole::kPresenter) + "\n");

  // Without a secret, or with an unknown role, no token is printed.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"vzrelay", "--member-token", "meet-1", "alice", "presenter"},
        std::vector<std::string>{"vzrelay", "--secret-file", relay.secret_file, "--member-token", "meet-1", "alice",
                                 "host"}}) {
    std::string command;
    for (const std::string& arg : args) command += arg + " ";
    SCOPED_TRACE(command);
    vz::PipedChild refused;
    ASSERT_TRUE(refused.Start(VZ_RELAY_BINARY, args, {}));
    ASSERT_TRUE(refused.Wait(10000, &code));
    EXPECT_EQ(code, 2);
  }
}

TEST(RelayMemberIdentityTest, WithASecretNoMemberJoinsAsAnotherRosterIdOrRole) {
  SecretRelay relay;
  ASSERT_TRUE(relay.Start());
  RawMember alice, bob;
  ASSERT_TRUE(alice.Join(relay.Port(),
                         Joining(kSharing, "alice", "VDS meet-1:" + Token("alice", MemberRole::kPresenter), true)));
  ASSERT_EQ(Ask(alice, DS_DATA_START), DS_CODE_SUCCESS);
  ASSERT_TRUE(bob.Join(relay.Port(), Joining(kSharing, "bob", Token("bob", MemberRole::kAttendee))));
  ASSERT_EQ(Ask(bob, DS_DATA_JOIN), DS_CODE_SUCCESS);

  // mallory holds her own attendee token and the plain one of old.
  const std::string own = Token("mallory", MemberRole::kAttendee);
  struct Attempt {
    std::string roster, token;
    bool presenter;
  };
  const Attempt attempts[] = {
      {"alice", own, false},                                   // the presenter's roster id
      {"alice", own, true},                                    // ...as its presenter
      {"bob", "VDS meet-1:" + own, false},                      // an attendee's
      {"mallory", own, true},                                  // her own as a presenter
      {"alice", kPlainToken, true},                            // the meeting's shared token
      {"alice", Token("alice", MemberRole::kAttendee, "meet-2"), false},  // another meeting's
      {"alice", Token("alice", MemberRole::kPresenter).substr(0, 63), true},  // a token cut short
  };
  for (const Attempt& attempt : attempts) {
    RawMember mallory;
    EXPECT_FALSE(mallory.Join(relay.Port(), Joining(kSharing, attempt.roster, attempt.token, attempt.presenter)))
        << attempt.roster << " " << attempt.token;
    EXPECT_EQ(mallory.refused, vzrelay::kRefusedWrongToken) << attempt.roster << " " << attempt.token;
    EXPECT_TRUE(mallory.client.WaitClosed()) << attempt.roster << " " << attempt.token;
  }

  // alice and bob are still the only ones who hold their roster ids: a
  // command to alice reaches her, stamped as bob's.
  ASSERT_TRUE(bob.Send(Command(2, "", "alice")));
  DsData seen;
  ASSERT_TRUE(alice.Next(&seen));
  EXPECT_EQ(seen.command().src_roster_id(), "bob");

  // In video as well: an impostor of alice is refused, and alice's
  // stream still reaches bob, who subscribed to it.
  RawMember alice_video, bob_video, impostor;
  ASSERT_TRUE(alice_video.Join(relay.Port(), Joining(kVideo, "alice", Token("alice", MemberRole::kAttendee))));
  ASSERT_TRUE(bob_video.Join(relay.Port(), Joining(kVideo, "bob", Token("bob", MemberRole::kAttendee))));
  ASSERT_TRUE(bob_video.Send(SubscribeRequest("bob", "alice")));
  AvData notice;
  ASSERT_TRUE(alice_video.Next(AV_SUBSCRIBE_VIDEO_REQUEST, &notice));
  EXPECT_FALSE(impostor.Join(relay.Port(), Joining(kVideo, "alice", own)));
  EXPECT_EQ(impostor.refused, vzrelay::kRefusedWrongToken);
  ASSERT_TRUE(alice_video.SendRtp(1));
  EXPECT_TRUE(bob_video.NextRtp());
  EXPECT_TRUE(relay.relay.Stop());
}

TEST(RelayMemberIdentityTest, ASecondJoinWithTheSameCredentialReplacesTheFirstAsAReconnectionDoes) {
  SecretRelay relay;
  ASSERT_TRUE(relay.Start());
  RawMember alice, bob;
  ASSERT_TRUE(alice.Join(relay.Port(), Joining(kVideo, "alice", Token("alice", MemberRole::kAttendee))));
  ASSERT_TRUE(bob.Join(relay.Port(), Joining(kVideo, "bob", Token("bob", MemberRole::kAttendee))));
  AvData seen;
  ASSERT_TRUE(bob.Next(AV_ROSTER_CHANGE, &seen));  // everyone, as bob joined
  ASSERT_EQ(seen.rosters_size(), 2);
  ASSERT_TRUE(bob.Send(SubscribeRequest("bob", "alice")));
  ASSERT_TRUE(alice.Next(AV_SUBSCRIBE_VIDEO_REQUEST, &seen));

  // alice again, as a reconnection: the old connection is closed, bob
  // hears alice leave and come back (one alice, never two).
  RawMember again;
  ASSERT_TRUE(again.Join(relay.Port(), Joining(kVideo, "alice", Token("alice", MemberRole::kAttendee))));
  EXPECT_EQ(again.members, 2u);
  EXPECT_TRUE(alice.client.WaitClosed());
  ASSERT_TRUE(bob.Next(AV_ROSTER_CHANGE, &seen));
  EXPECT_EQ(seen.rostertype(), kServerRosterLeft);
  ASSERT_TRUE(bob.Next(AV_ROSTER_CHANGE, &seen));
  EXPECT_EQ(seen.rostertype(), kServerRosterEntered);
  ASSERT_EQ(seen.rosters_size(), 1);
  EXPECT_EQ(seen.rosters(0).roster_id(), "alice");
  EXPECT_EQ(seen.rosters(0).ssrc(), again.ssrc);

  // The subscription is the new connection's, and so is the stream.
  ASSERT_TRUE(again.Next(AV_SUBSCRIBE_VIDEO_REQUEST, &seen));
  EXPECT_EQ(seen.roster_id(), "bob");
  ASSERT_TRUE(again.SendRtp(1));
  EXPECT_TRUE(bob.NextRtp());
  EXPECT_TRUE(relay.relay.Stop());
}

TEST(RelayMemberIdentityTest, OnlyAMemberJoinedAsPresenterStartsAndAReconnectingPresenterGetsItBack) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  SharingPair pair;
  ASSERT_TRUE(pair.Start(relay.Port()));
  RawMember &alice = pair.presenter, &bob = pair.attendee, carol;
  ASSERT_TRUE(carol.Join(relay.Port(), PlainJoin("carol")));
  ASSERT_EQ(Ask(carol, DS_DATA_JOIN), DS_CODE_SUCCESS);

  // While the presenter is away, an attendee asks to present: refused,
  // and its blocks do not reach carol.
  alice.client.Socket().Close();
  EXPECT_EQ(Ask(bob, DS_DATA_START), DS_CODE_ERROR);
  DsData forged = Header(DS_DATA_CREATE_BLOCKS);
  AddBlock(&forged, 9);
  ASSERT_TRUE(bob.Send(forged));
  ASSERT_TRUE(bob.Synced());

  // The presenter comes back (and again while its last connection is still
  // open): its START succeeds, and carol sees its screen, not bob's.
  RawMember back, back_again;
  ASSERT_TRUE(back.Join(relay.Port(), PresenterJoin("alice")));
  ASSERT_EQ(Ask(back, DS_DATA_START), DS_CODE_SUCCESS);
  ASSERT_TRUE(back_again.Join(relay.Port(), PresenterJoin("alice")));
  ASSERT_EQ(Ask(back_again, DS_DATA_START), DS_CODE_SUCCESS);
  EXPECT_TRUE(back.client.WaitClosed());
  DsData screen = Header(DS_DATA_CREATE_BLOCKS);
  AddBlock(&screen, 1);
  ASSERT_TRUE(back_again.Send(screen));
  DsData seen;
  ASSERT_TRUE(carol.Next(&seen));
  ASSERT_EQ(seen.blocks_size(), 1);
  EXPECT_EQ(seen.blocks(0).position(), 1u);
  EXPECT_TRUE(relay.Stop());
}

TEST(RelayMemberIdentityTest, RecordsInsideAnyMessageReachAttendeesOnlyFromThePresenter) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  SharingPair pair;
  ASSERT_TRUE(pair.Start(relay.Port()));
  RawMember &alice = pair.presenter, &bob = pair.attendee, mallory;
  ASSERT_TRUE(mallory.Join(relay.Port(), PlainJoin("mallory")));

  // Caches, blocks, a sharing info and a cursor under a type the protocol
  // does not define, under no type, and inside commands with and without
  // an addressee.
  DsData records = Header(DS_DATA_COMMAND);
  AddCache(&records, 7, 7, "forged tile");
  AddBlock(&records, 3);
  records.mutable_sharing_info()->set_capture_mode(1);
  records.mutable_mouse_info()->set_monitor_id(1);
  DsData untyped = records;
  untyped.clear_type();
  untyped.clear_command();
  // Type 999 (field 20 as a varint), written by hand: the schema has no such value.
  const std::string undefined = untyped.SerializeAsString() + std::string("\xA0\x01\xE7\x07", 4);
  DsData addressed = records;
  addressed.mutable_command()->set_type(7);
  addressed.mutable_command()->set_dst_roster_id("bob");
  DsData unaddressed = records;
  unaddressed.mutable_command()->set_type(8);
  ASSERT_TRUE(mallory.SendBytes(undefined));
  for (const DsData* message : {&untyped, &addressed, &unaddressed}) {
    ASSERT_TRUE(mallory.Send(*message)) << "the message of command type " << message->command().type();
  }
  ASSERT_TRUE(mallory.Synced());

  // Then the presenter's own block, the last thing bob is to see.
  DsData screen = Header(DS_DATA_CREATE_BLOCKS);
  AddBlock(&screen, 1);
  ASSERT_TRUE(alice.Send(screen));

  std::vector<uint32_t> commands;
  DsData seen;
  for (;;) {
    SCOPED_TRACE("after " + std::to_string(commands.size()) + " commands");
    ASSERT_TRUE(bob.Next(&seen));
    if (seen.type() == DS_DATA_CREATE_BLOCKS && seen.blocks_size() == 1 && seen.blocks(0).position() == 1) break;
    EXPECT_EQ(seen.type(), DS_DATA_COMMAND);
    EXPECT_EQ(seen.caches_size(), 0);
    EXPECT_EQ(seen.blocks_size(), 0);
    EXPECT_FALSE(seen.has_sharing_info());
    EXPECT_FALSE(seen.has_mouse_info());
    commands.push_back(seen.command().type());
  }
  EXPECT_EQ(commands, (std::vector<uint32_t>{7, 8}));
  EXPECT_TRUE(relay.Stop());
}

// A command rides only in a command message, which the relay stamps with
// its sender: one tucked into the presenter's blocks, naming another member
// as its sender, reaches attendees without it.
TEST(RelayMemberIdentityTest, ACommandInsideThePresentersRecordsDoesNotReachAttendees) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  SharingPair pair;
  ASSERT_TRUE(pair.Start(relay.Port()));
  DsData screen = Header(DS_DATA_CREATE_BLOCKS);
  AddBlock(&screen, 4);
  screen.mutable_command()->set_type(7);
  screen.mutable_command()->set_src_roster_id("carol");
  screen.mutable_command()->set_dst_roster_id("bob");
  ASSERT_TRUE(pair.presenter.Send(screen));
  DsData seen;
  ASSERT_TRUE(pair.attendee.Next(&seen));
  EXPECT_EQ(seen.type(), DS_DATA_CREATE_BLOCKS);
  ASSERT_EQ(seen.blocks_size(), 1);
  EXPECT_FALSE(seen.has_command()) << "a command as carol reached bob: " << seen.command().ShortDebugString();

  // A late joiner's replay of the kept blocks holds none either.
  RawMember late;
  ASSERT_TRUE(late.Join(relay.Port(), PlainJoin("dave")));
  ASSERT_TRUE(late.Send(Header(DS_DATA_JOIN)));
  bool blocks_seen = false;
  while (!blocks_seen && late.Next(&seen)) {
    if (seen.type() != DS_DATA_CREATE_BLOCKS) continue;
    blocks_seen = true;
    EXPECT_FALSE(seen.has_command()) << "the replay kept the command";
  }
  EXPECT_TRUE(blocks_seen);
  EXPECT_TRUE(relay.Stop());
}

// Roster ids such as R1 repeat across meetings, and a video session's id is
// its meeting's id. A member of meeting A, holding A's own valid tokens,
// opened meeting B's session ids before B's members came, and B's members
// were refused. A meeting's sessions are its own now: A's member is in
// sessions of A's that bear those ids, B's members join B's, and nothing
// passes between them.
TEST(RelayMemberIdentityTest, AMeetingsMembersJoinTheirOwnSessionsWhicheverIdsAnotherMeetingOpenedFirst) {
  SecretRelay relay;
  ASSERT_TRUE(relay.Start());
  const auto of_a = [](uint8_t type, MemberRole role, const std::string& session) {
    return Joining(type, "mallory", Token("mallory", role, "meet-A"), role == MemberRole::kPresenter, "meet-A",
                   session);
  };
  const auto of_b = [](uint8_t type, const std::string& roster, MemberRole role) {
    return Joining(type, roster, Token(roster, role, "meet-B"), role == MemberRole::kPresenter, "meet-B",
                   type == kSharing ? "DS-B" : "meet-B");
  };
  RawMember mallory_video, mallory_sharing;
  ASSERT_TRUE(mallory_video.Join(relay.Port(), of_a(kVideo, MemberRole::kAttendee, "meet-B")));
  ASSERT_TRUE(mallory_sharing.Join(relay.Port(), of_a(kSharing, MemberRole::kPresenter, "DS-B")));
  ASSERT_EQ(Ask(mallory_sharing, DS_DATA_START), DS_CODE_SUCCESS);

  RawMember presenter, attendee, alice, bob;
  int confirmed = 0;
  confirmed += presenter.Join(relay.Port(), of_b(kSharing, "R1", MemberRole::kPresenter));
  confirmed += attendee.Join(relay.Port(), of_b(kSharing, "R2", MemberRole::kAttendee));
  confirmed += alice.Join(relay.Port(), of_b(kVideo, "alice", MemberRole::kAttendee));
  confirmed += bob.Join(relay.Port(), of_b(kVideo, "bob", MemberRole::kAttendee));
  std::printf("meeting B's joins into its session ids, opened first by a member of meeting A: %d of 4 confirmed\n",
              confirmed);
  ASSERT_EQ(confirmed, 4) << "refused with " << presenter.refused << " " << presenter.refusal;
  ASSERT_EQ(Ask(presenter, DS_DATA_START), DS_CODE_SUCCESS) << "B's presenter is not the presenter of B's session";
  ASSERT_EQ(Ask(attendee, DS_DATA_JOIN), DS_CODE_SUCCESS);
  // B's video roster is B's own.
  AvData roster;
  ASSERT_TRUE(bob.Next(AV_ROSTER_CHANGE, &roster));
  ASSERT_EQ(roster.rosters_size(), 2) << roster.ShortDebugString();
  for (const AvRoster& entry : roster.rosters()) EXPECT_NE(entry.roster_id(), "mallory");
  // A's R1, a presenter too, joins A's session of B's sharing id: B's R1 stays.
  RawMember r1_of_a;
  ASSERT_TRUE(r1_of_a.Join(relay.Port(), Joining(kSharing, "R1", Token("R1", MemberRole::kPresenter, "meet-A"), true,
                                                 "meet-A", "DS-B")));
  EXPECT_EQ(r1_of_a.members, 2u);  // with mallory
  ASSERT_TRUE(presenter.Synced()) << "meeting B's R1 was replaced by meeting A's";

  // bob asks for alice's stream, and mallory's were she there; mallory for
  // alice's.
  AvData notice;
  ASSERT_TRUE(bob.Send(SubscribeRequest("bob", "alice")));
  ASSERT_TRUE(bob.Send(SubscribeRequest("bob", "mallory")));
  ASSERT_TRUE(mallory_video.Send(SubscribeRequest("mallory", "alice")));
  ASSERT_TRUE(alice.Next(AV_SUBSCRIBE_VIDEO_REQUEST, &notice));

  // A's screen and stream, then B's: B's members get B's only.
  DsData forged = Header(DS_DATA_CREATE_BLOCKS);
  forged.set_ds_id("DS-B");
  AddBlock(&forged, 9);
  ASSERT_TRUE(mallory_sharing.Send(forged));
  ASSERT_TRUE(mallory_video.client.Send(vzrelay::FrameKind::kRtp, RtpRecord(mallory_video.ssrc, 99)));
  ASSERT_TRUE(mallory_sharing.Synced());
  ASSERT_TRUE(mallory_video.Synced());
  DsData screen = Header(DS_DATA_CREATE_BLOCKS);
  screen.set_ds_id("DS-B");
  AddBlock(&screen, 5);
  ASSERT_TRUE(presenter.Send(screen));
  ASSERT_TRUE(alice.SendRtp(1));
  DsData seen;
  do {
    ASSERT_TRUE(attendee.Next(&seen)) << "B's attendee did not get B's screen";
  } while (seen.type() != DS_DATA_CREATE_BLOCKS);
  ASSERT_EQ(seen.blocks_size(), 1);
  EXPECT_EQ(seen.blocks(0).position(), 5u) << "meeting A's block reached meeting B";
  vzrelay::Frame rtp;
  ASSERT_TRUE(bob.NextOfKind(vzrelay::FrameKind::kRtp, &rtp));
  EXPECT_EQ(RtpRecordSequence(rtp.payload.data()), 1u) << "meeting A's stream reached meeting B";

  // And the other way: B's screen and stream reach none of A's.
  ASSERT_TRUE(mallory_sharing.Synced());
  ASSERT_TRUE(mallory_video.Synced());
  vzrelay::Frame frame;
  bool ended = false;
  while (mallory_video.client.Next(&frame, &ended, 200)) EXPECT_NE(frame.kind, vzrelay::FrameKind::kRtp);
  while (mallory_sharing.client.Next(&frame, &ended, 200)) EXPECT_NE(frame.kind, vzrelay::FrameKind::kDataBinary);
  EXPECT_TRUE(relay.relay.Stop());
}

// An emptied session was retired at once and its id free for anyone: a
// member of meeting A asking for B's video session every 20 ms took it in
// the moment B's only member reconnected, and B's member was refused.
TEST(RelayMemberIdentityTest, AnotherMeetingsMemberCannotTakeASessionWhileItsOnlyMemberReconnects) {
  SecretRelay relay;
  ASSERT_TRUE(relay.Start());
  const vzrelay::JoinRequest of_b = Joining(kVideo, "alice", Token("alice", MemberRole::kAttendee, "meet-B"), false,
                                            "meet-B", "meet-B");
  const vzrelay::JoinRequest of_a = Joining(kVideo, "mallory", Token("mallory", MemberRole::kAttendee, "meet-A"),
                                            false, "meet-A", "meet-B");
  auto alice = std::make_unique<RawMember>();
  ASSERT_TRUE(alice->Join(relay.Port(), of_b));
  std::atomic<bool> asking{true};
  std::atomic<int> tries{0};
  std::thread mallory([&] {
    while (asking) {
      RawMember attempt;  // each a new connection, which replaces her last
      attempt.Join(relay.Port(), of_a);
      ++tries;
      vz::SleepMs(20);
    }
  });
  constexpr int kReconnections = 5;
  int rejoined = 0;
  for (int i = 0; i < kReconnections; ++i) {
    const int before = tries;
    while (tries < before + 3) vz::SleepMs(5);  // she is asking
    alice.reset();  // the session is empty now
    while (tries < before + 10) vz::SleepMs(5);  // about the half second a reconnection takes
    alice = std::make_unique<RawMember>();
    if (alice->Join(relay.Port(), of_b)) {
      ++rejoined;
    } else {
      ADD_FAILURE() << "B's member was refused with " << alice->refused << " after a reconnection: "
                    << alice->refusal;
    }
  }
  asking = false;
  mallory.join();
  std::printf("B's only member reconnected %d times beside a member of A asking for B's session id every 20 ms "
              "(%d tries): %d rejoined\n",
              kReconnections, tries.load(), rejoined);
  EXPECT_EQ(rejoined, kReconnections);
  EXPECT_TRUE(relay.relay.Stop());
}

// One member of a meeting, with its presenter and attendee tokens, opened
// video sessions named after eight other meetings (four a credential) and
// locked all eight out of their video.
TEST(RelayMemberIdentityTest, OneMemberWithTwoTokensLocksNoMeetingOutOfItsVideo) {
  SecretRelay relay;
  ASSERT_TRUE(relay.Start());
  constexpr int kMeetings = 8;
  std::vector<RawMember> held(kMeetings);
  for (int i = 0; i < kMeetings; ++i) {
    const MemberRole role = i % 2 == 0 ? MemberRole::kAttendee : MemberRole::kPresenter;
    ASSERT_TRUE(held[i].Join(relay.Port(), Joining(kVideo, "mallory", Token("mallory", role, "meet-A"),
                                                   role == MemberRole::kPresenter, "meet-A",
                                                   "meet-" + std::to_string(i))))
        << "video session " << i << " refused with " << held[i].refused;
  }
  std::vector<RawMember> owners(kMeetings);
  int joined = 0;
  for (int i = 0; i < kMeetings; ++i) {
    const std::string meeting = "meet-" + std::to_string(i);
    if (owners[i].Join(relay.Port(), Joining(kVideo, "R1", Token("R1", MemberRole::kAttendee, meeting), false,
                                             meeting, meeting))) {
      ++joined;
      EXPECT_EQ(owners[i].members, 1u) << meeting << "'s video holds another meeting's member";
    }
  }
  std::printf("meetings that joined their own video beside one member of another meeting holding their ids with "
              "two tokens: %d of %d\n",
              joined, kMeetings);
  EXPECT_EQ(joined, kMeetings);
  EXPECT_TRUE(relay.relay.Stop());
}

// The plain token tells members apart by nothing, but keeps the sessions of
// meetings apart: a member naming its own meeting joins that meeting's
// session, whatever id it names.
TEST(RelayMemberIdentityTest, WithAPlainTokenSessionsStayApartByMeeting) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({"--token", "shared"}));
  RawMember of_b, of_a;
  ASSERT_TRUE(of_b.Join(relay.Port(), Joining(kVideo, "R1", "shared", false, "meet-B", "session-B")));
  ASSERT_TRUE(of_a.Join(relay.Port(), Joining(kVideo, "R1", "shared", false, "meet-A", "session-B")));
  EXPECT_EQ(of_a.members, 1u) << "meeting A's R1 joined meeting B's session";
  ASSERT_TRUE(of_b.Synced()) << "meeting B's R1 was replaced by meeting A's";
  ASSERT_TRUE(of_a.client.Send(vzrelay::FrameKind::kDataBinary, {1, 2, 3}));
  ASSERT_TRUE(of_a.Synced());
  ASSERT_TRUE(of_b.Synced());
  vzrelay::Frame frame;
  bool ended = false;
  while (of_b.client.Next(&frame, &ended, 200)) EXPECT_NE(frame.kind, vzrelay::FrameKind::kDataBinary);
  EXPECT_TRUE(relay.Stop());
}

// One attendee token on fresh session ids of its meeting took every joined
// connection the meeting had; now it holds a few sessions, and the
// meeting's honest members still join.
TEST(RelayMemberIdentityTest, OneCredentialHoldsAFewSessionsAndCannotFillItsMeeting) {
  SecretRelay relay;
  ASSERT_TRUE(relay.Start({"--max-connections", "16"}));
  const std::string token = Token("mallory", MemberRole::kAttendee);
  std::vector<RawMember> sessions(20);
  int confirmed = 0;
  for (size_t i = 0; i < sessions.size(); ++i) {
    if (sessions[i].Join(relay.Port(), Joining(kSharing, "mallory", token, false, "meet-1", "ds-" + std::to_string(i)))) {
      ++confirmed;
    } else {
      EXPECT_EQ(sessions[i].refused, vzrelay::kRefusedTooManySessions) << "session " << i;
    }
  }
  EXPECT_EQ(confirmed, 4);
  // A join of a session it is in already is a reconnection, not one more.
  RawMember again;
  EXPECT_TRUE(again.Join(relay.Port(), Joining(kSharing, "mallory", token, false, "meet-1", "ds-0")));
  EXPECT_TRUE(sessions[0].client.WaitClosed());

  RawMember honest;
  EXPECT_TRUE(honest.Join(relay.Port(), Joining(kSharing, "bob", Token("bob", MemberRole::kAttendee))))
      << "refused with " << honest.refused << " " << honest.refusal;
  EXPECT_TRUE(relay.relay.Stop());
}

// A token is for one member: with a secret there is none for an empty
// roster id, and a join without one is refused before its token is read.
TEST(RelayMemberIdentityTest, WithASecretEveryMemberHasARosterId) {
  SecretRelay relay;
  ASSERT_TRUE(relay.Start());
  vz::PipedChild maker;
  ASSERT_TRUE(maker.Start(VZ_RELAY_BINARY,
                          {"vzrelay", "--secret-file", relay.secret_file, "--member-token", "meet-1", "", "attendee"}, {}));
  int code = -1;
  ASSERT_TRUE(maker.Wait(10000, &code));
  EXPECT_EQ(code, 2);
  RawMember nobody;
  EXPECT_FALSE(nobody.Join(relay.Port(), Joining(kVideo, "", Token("bob", MemberRole::kAttendee))));
  EXPECT_EQ(nobody.refused, vzrelay::kRefusedBadRequest);
  EXPECT_NE(nobody.refusal.find("no roster id"), std::string::npos) << nobody.refusal;
  EXPECT_TRUE(relay.relay.Stop());
}

// Without a secret, members without a roster id are members of their own:
// one leaving is told as a leave, and its stream is not another's.
TEST(RelayMemberIdentityTest, AMemberWithoutARosterIdThatLeavesIsToldAsLeft) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  RawMember first, second, carol;
  ASSERT_TRUE(first.Join(relay.Port(), PlainJoin("", kVideo, "v-1")));
  ASSERT_TRUE(second.Join(relay.Port(), PlainJoin("", kVideo, "v-1")));
  ASSERT_TRUE(carol.Join(relay.Port(), PlainJoin("carol", kVideo, "v-1")));
  ASSERT_TRUE(carol.Synced());
  second.client.Socket().Close();
  AvData change;
  do {
    ASSERT_TRUE(carol.Next(AV_ROSTER_CHANGE, &change)) << "carol was not told of the leave";
  } while (change.rostertype() == kServerRosterEntered);  // the entries as carol joined
  EXPECT_EQ(change.rostertype(), kServerRosterLeft) << "a leave told as an update";
  ASSERT_EQ(change.rosters_size(), 1);
  EXPECT_EQ(change.rosters(0).ssrc(), second.ssrc);
  EXPECT_TRUE(relay.Stop());
}

// The secret is refused where others may read it or it is only a link to it.
TEST(RelayMemberIdentityTest, ASecretFileOthersMayReadOrALinkIsRefused) {
  vz::ScopedTestFolder folder;
  const std::string readable = folder.path() + "/readable", link = folder.path() + "/link",
                    own = folder.path() + "/own";
  ASSERT_TRUE(vz::WriteFileAtomic(readable, std::string(kSecret) + "\n", 0644));
  ASSERT_TRUE(vz::WriteFileAtomic(own, std::string(kSecret) + "\n", 0600));
  ASSERT_EQ(::symlink(own.c_str(), link.c_str()), 0);
  struct Refused {
    std::string file, told;
  };
  for (const Refused& refused : {Refused{readable, "chmod 600 " + readable}, Refused{link, "symbolic link"}}) {
    vz::PipedChild relay;
    // Through a shell, for what vzrelay says on its standard error.
    ASSERT_TRUE(relay.Start("/bin/sh", {"sh", "-c", "exec \"$0\" --port 0 --secret-file \"$1\" 2>&1", VZ_RELAY_BINARY,
                                        refused.file}, {}))
        << refused.file;
    std::string said(400, '\0');
    size_t got = 0;
    bool ended = false;
    while (got < said.size() && relay.ReadExactly(&said[got], 1, 10000, &ended)) ++got;
    said.resize(got);
    int code = -1;
    ASSERT_TRUE(relay.Wait(10000, &code)) << refused.file;
    EXPECT_EQ(code, 2) << refused.file;
    EXPECT_NE(said.find(refused.told), std::string::npos) << refused.file << ": " << said;
  }
}

}  // namespace

namespace {

// Roster changes `member` was sent up to now (the relay answers its ping
// after everything sent to it before).
int RosterChangesUntilSynced(RawMember& member) {
  if (!member.client.Send(vzrelay::FrameKind::kPing, std::vector<uint8_t>(12, 7))) return -1;
  int changes = 0;
  vzrelay::Frame frame;
  while (member.client.Next(&frame, nullptr, 30000)) {
    if (frame.kind == vzrelay::FrameKind::kPong) return changes;
    AvData message;
    if (frame.kind == vzrelay::FrameKind::kCommand && frame.payload.size() >= 2 &&
        message.ParseFromArray(frame.payload.data() + 2, static_cast<int>(frame.payload.size() - 2)) &&
        message.type() == AV_ROSTER_CHANGE) {
      ++changes;
    }
  }
  return -1;
}

// One video member reconnecting 6,000-11,000 times in 15 s, each connection
// replacing the last, sent every other member a leave and an entry each
// time. Now its credential joins a few times a second at most, and a
// reconnection that continues its stream tells the others nothing.
TEST(RelayMemberIdentityTest, AMemberReconnectingInALoopReachesTheOthersAFewTimesASecondOrNotAtAll) {
  SecretRelay relay;
  ASSERT_TRUE(relay.Start());
  RawMember alice;
  ASSERT_TRUE(alice.Join(relay.Port(), Joining(kVideo, "alice", Token("alice", MemberRole::kAttendee))));
  ASSERT_GE(RosterChangesUntilSynced(alice), 1);  // the roster as she joined

  // Fresh joins (no stream named), one after another as fast as the relay answers.
  const vzrelay::JoinRequest fresh = Joining(kVideo, "mallory", Token("mallory", MemberRole::kAttendee));
  // Two seconds, or longer until one is refused (a loaded machine answers slowly).
  constexpr uint64_t kLoopMs = 2000, kLongestLoopMs = 20000;
  int attempts = 0, confirmed = 0, refused = 0;
  std::unique_ptr<RawMember> last;
  const uint64_t began = vz::MonotonicMs();
  while (vz::MonotonicMs() - began < (refused == 0 ? kLongestLoopMs : kLoopMs)) {
    auto member = std::make_unique<RawMember>();
    ++attempts;
    if (member->Join(relay.Port(), fresh)) {
      ++confirmed;
      last = std::move(member);
    } else {
      ASSERT_EQ(member->refused, vzrelay::kRefusedJoinsTooOften) << member->refusal;
      ++refused;
    }
  }
  const uint64_t took_ms = vz::MonotonicMs() - began;
  const int heard = RosterChangesUntilSynced(alice);
  std::printf("a member joining anew for %llu ms: %d attempts, %d confirmed, %d refused; the other member was sent "
              "%d roster changes\n",
              static_cast<unsigned long long>(took_ms), attempts, confirmed, refused, heard);
  EXPECT_GT(refused, 0);
  EXPECT_LE(confirmed, static_cast<int>(vzrelay::kJoinBurst + took_ms / vzrelay::kJoinRefillMs + 1));
  EXPECT_LE(heard, 2 * confirmed);
  ASSERT_NE(last, nullptr);
  EXPECT_TRUE(last->Synced()) << "the last connection admitted stays";

  // Reconnections that continue their stream: the other member hears of
  // the first join only.
  const vzrelay::JoinRequest first = Joining(kVideo, "trudy", Token("trudy", MemberRole::kAttendee));
  auto trudy = std::make_unique<RawMember>();
  ASSERT_TRUE(trudy->Join(relay.Port(), first));
  for (int i = 0; i < 10; ++i) {
    vzrelay::JoinRequest again = first;
    again.previous_ssrc = trudy->ssrc;
    auto next = std::make_unique<RawMember>();
    ASSERT_TRUE(next->Join(relay.Port(), again)) << "reconnection " << i << ": " << next->refusal;
    EXPECT_EQ(next->ssrc, trudy->ssrc);
    trudy = std::move(next);
  }
  EXPECT_EQ(RosterChangesUntilSynced(alice), 1);
  EXPECT_TRUE(relay.relay.Stop());
}

}  // namespace
