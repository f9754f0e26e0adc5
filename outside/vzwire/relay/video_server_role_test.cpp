// The video server role byte by byte: raw clients on loopback against an
// in-process relay server, reading the signalling back with the schema.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "avdef.pb.h"
#include "contracts/av_roster_change.h"
#include "outside/vzwire/relay/join_request.h"
#include "outside/vzwire/relay/raw_frame_client_testlib.h"
#include "outside/vzwire/relay/relay_records_testlib.h"
#include "outside/vzwire/relay/relay_roles.h"
#include "outside/vzwire/relay/relay_server.h"

namespace {

using vzrelay::Frame;
using vzrelay::FrameKind;
using vzrelay_test::kCommandRecordHeaderSize;
using vzrelay_test::kRtcpRecordHeaderSize;
using vzrelay_test::kRtcpPayloadFeedback;
using vzrelay_test::RtcpPacketBytes;

// One participant: a raw connection and everything it received so far.
class Participant {
 public:
  explicit Participant(std::string roster) : roster_(std::move(roster)) {}

  // `previous_ssrc`: the stream a reconnecting transport had (0: none).
  bool Join(uint16_t port, uint32_t previous_ssrc = 0) {
    vzrelay::JoinRequest join;
    join.previous_ssrc = previous_ssrc;
    join.session_type = 2;
    join.session_id = "meet-v";
    join.meet_id = "meet-v";
    join.token = "tok";
    join.roster_id = roster_;
    Frame confirm;
    if (!client_.Connect(port) || !client_.Send(FrameKind::kJoin, vzrelay::EncodeJoinRequest(join)) ||
        !client_.Next(&confirm) || confirm.kind != FrameKind::kJoinConfirm) {
      return false;
    }
    ssrc_ = vz::Load32(confirm.payload.data());
    return true;
  }
  void Send(const AvData& message) {
    ASSERT_TRUE(client_.Send(FrameKind::kCommand, vzrelay_test::CommandRecord(message.SerializeAsString())))
        << roster_ << " sending a message of type " << message.type();
  }
  void SendCommandRecord(const std::string& record) {
    ASSERT_TRUE(client_.Send(FrameKind::kCommand, std::vector<uint8_t>(record.begin(), record.end())))
        << roster_ << " sending a command record of " << record.size() << " bytes";
  }
  // A packet of its own stream that is all header.
  void SendRtp(uint16_t sequence) {
    ASSERT_TRUE(client_.Send(FrameKind::kRtp, vzrelay_test::RtpRecord(ssrc_, sequence, vzrelay_test::kRtpHeaderSize)))
        << roster_ << " sending RTP packet " << sequence;
  }
  void SendRtcp(const std::vector<uint8_t>& packet) {
    ASSERT_TRUE(client_.Send(FrameKind::kRtcp, vzrelay_test::RtcpRecord(packet)))
        << roster_ << " sending an RTCP packet of " << packet.size() << " bytes";
  }
  // Everything before an active-speaker notice naming `marker`, which the
  // server sends to every member in the order it handles frames.
  void Mark(const std::string& marker) {
    AvData message;
    message.set_type(AV_ACTIVE_SPEAKER);
    message.set_roster_id(marker);
    Send(message);
  }
  bool WaitMark(const std::string& marker) {
    return ReadUntil([&] {
      for (const AvData& m : Signalling()) {
        if (m.type() == AV_ACTIVE_SPEAKER && m.roster_id() == marker) return true;
      }
      return false;
    });
  }
  bool ReadUntil(const std::function<bool()>& done) {
    while (!done()) {
      Frame frame;
      if (!client_.Next(&frame)) return false;
      frames_.push_back(std::move(frame));
    }
    return true;
  }
  std::vector<AvData> Signalling() const {
    std::vector<AvData> messages;
    for (size_t i = 0; i < frames_.size(); ++i) {
      const Frame& frame = frames_[i];
      if (frame.kind != FrameKind::kCommand) continue;
      EXPECT_GE(frame.payload.size(), kCommandRecordHeaderSize) << "frame " << i << " to " << roster_;
      EXPECT_EQ(vz::Load16(frame.payload.data()), vzrelay_test::kCommandRecordKind)
          << "frame " << i << " to " << roster_;
      AvData message;
      EXPECT_TRUE(message.ParseFromArray(frame.payload.data() + kCommandRecordHeaderSize,
                                         static_cast<int>(frame.payload.size() - kCommandRecordHeaderSize)))
          << "frame " << i << " to " << roster_;
      messages.push_back(message);
    }
    return messages;
  }
  std::vector<AvData> Of(AvDataType type) const {
    std::vector<AvData> found;
    for (const AvData& m : Signalling()) {
      if (m.type() == type) found.push_back(m);
    }
    return found;
  }
  size_t Count(FrameKind kind) const {
    return static_cast<size_t>(
        std::count_if(frames_.begin(), frames_.end(), [kind](const Frame& frame) { return frame.kind == kind; }));
  }
  // Sequence numbers of the RTP received, and the RTCP packets.
  std::vector<int> RtpSequences() const {
    std::vector<int> sequences;
    for (const Frame& frame : frames_) {
      if (frame.kind == FrameKind::kRtp) sequences.push_back(vzrelay_test::RtpRecordSequence(frame.payload.data()));
    }
    return sequences;
  }
  std::vector<std::vector<uint8_t>> Rtcp() const {
    std::vector<std::vector<uint8_t>> packets;
    for (const Frame& frame : frames_) {
      if (frame.kind == FrameKind::kRtcp) {
        packets.emplace_back(frame.payload.begin() + kRtcpRecordHeaderSize, frame.payload.end());
      }
    }
    return packets;
  }
  // The relay's answer to a ping: media it dropped for me, media it meant
  // for me.
  bool Ping(uint8_t sequence, uint32_t* dropped, uint32_t* offered) {
    if (!client_.Send(FrameKind::kPing, vzrelay_test::PingPayload(sequence))) return false;
    const Frame* pong = nullptr;
    if (!ReadUntil([&] {
          for (const Frame& frame : frames_) {
            if (frame.kind == FrameKind::kPong && frame.payload[3] == sequence) pong = &frame;
          }
          return pong != nullptr;
        })) {
      return false;
    }
    // The ping's 12 bytes, then the two counts.
    *dropped = vz::Load32(pong->payload.data() + 12);
    *offered = vz::Load32(pong->payload.data() + 16);
    return true;
  }
  void Leave() { ASSERT_TRUE(client_.Send(FrameKind::kLeave, {})); }
  vzrelay_test::RawClient& Client() { return client_; }
  uint32_t Ssrc() const { return ssrc_; }
  const std::string& Roster() const { return roster_; }

 private:
  std::string roster_;
  vzrelay_test::RawClient client_;
  uint32_t ssrc_ = 0;
  std::vector<Frame> frames_;
};

AvData Request(AvDataType type, const std::string& roster) {
  AvData message;
  message.set_type(type);
  message.set_client_version(4);
  message.set_roster_id(roster);
  return message;
}

AvData Subscription(AvDataType type, const std::string& me, const std::string& target, uint32_t size) {
  AvData message = Request(type, me);
  AvRoster* entry = message.add_rosters();
  entry->set_roster_id(target);
  entry->set_videotype(size);
  return message;
}

// A picture-loss request (payload feedback of format 1) from `sender`
// about `media`, its length in words with the header.
std::vector<uint8_t> Pli(uint32_t sender, uint32_t media) {
  return RtcpPacketBytes(kRtcpPayloadFeedback, 1, 3, {sender, media});
}

class VideoServerRoleTest : public ::testing::Test {
 protected:
  void StartServer(const vzrelay::FaultOptions& faults = {}) {
    vzrelay::RelayOptions options;
    options.faults = faults;
    options.fault_seed = 11;
    server_ = std::make_unique<vzrelay::RelayServer>(options);
    vzrelay::InstallRelayRoles(server_->Hub());
    ASSERT_TRUE(server_->Start());
    serving_ = std::thread([this] { server_->Run(); });
  }
  void TearDown() override {
    if (server_) server_->Stop();
    if (serving_.joinable()) serving_.join();
  }
  std::unique_ptr<Participant> Joined(const std::string& roster) {
    auto participant = std::make_unique<Participant>(roster);
    EXPECT_TRUE(participant->Join(server_->Port())) << roster << " did not join";
    return participant;
  }
  // Every participant has seen `marker` from `from`.
  static void Sync(Participant& from, const std::string& marker, std::initializer_list<Participant*> all) {
    from.Mark(marker);
    for (Participant* p : all) ASSERT_TRUE(p->WaitMark(marker)) << p->Roster();
  }

  std::unique_ptr<vzrelay::RelayServer> server_;
  std::thread serving_;
};

TEST_F(VideoServerRoleTest, JoinsAreAnnouncedWithSsrcsAndStatusAndLeavesToo) {
  StartServer();
  auto alice = Joined("alice");
  ASSERT_TRUE(alice->ReadUntil([&] { return !alice->Of(AV_ROSTER_CHANGE).empty(); }));
  AvData own = alice->Of(AV_ROSTER_CHANGE)[0];
  EXPECT_EQ(own.rostertype(), kServerRosterEntered);
  ASSERT_EQ(own.rosters_size(), 1);
  EXPECT_EQ(own.rosters(0).roster_id(), "alice");
  EXPECT_EQ(own.rosters(0).ssrc(), alice->Ssrc());

  AvData start = Request(AV_START_VIDEO_REQUEST, "alice");
  start.set_status(1);
  start.set_videotype(2);
  alice->Send(start);
  auto bob = Joined("bob");
  ASSERT_TRUE(bob->ReadUntil([&] { return !bob->Of(AV_ROSTER_CHANGE).empty(); }));
  // The newcomer hears of everyone, itself included, with what they do.
  const AvData everyone = bob->Of(AV_ROSTER_CHANGE)[0];
  ASSERT_EQ(everyone.rosters_size(), 2);
  EXPECT_EQ(everyone.rosters(0).roster_id(), "alice");
  EXPECT_EQ(everyone.rosters(0).status(), 1u);
  EXPECT_EQ(everyone.rosters(0).videotype(), 2u);
  EXPECT_EQ(everyone.rosters(0).ssrc(), alice->Ssrc());
  EXPECT_EQ(everyone.rosters(1).roster_id(), "bob");
  EXPECT_EQ(everyone.rosters(1).status(), 0u);
  EXPECT_EQ(everyone.rosters(1).ssrc(), bob->Ssrc());
  EXPECT_NE(alice->Ssrc(), bob->Ssrc());
  // The others hear of the newcomer.
  ASSERT_TRUE(alice->ReadUntil([&] { return alice->Of(AV_ROSTER_CHANGE).size() == 2; }));
  const AvData entered = alice->Of(AV_ROSTER_CHANGE)[1];
  EXPECT_EQ(entered.rostertype(), kServerRosterEntered);
  ASSERT_EQ(entered.rosters_size(), 1);
  EXPECT_EQ(entered.rosters(0).roster_id(), "bob");
  EXPECT_EQ(entered.rosters(0).ssrc(), bob->Ssrc());

  // Stop is passed on under the sender's name, whatever the request said.
  bob->Send(Request(AV_STOP_VIDEO_REQUEST, "mallory"));
  ASSERT_TRUE(alice->ReadUntil([&] { return !alice->Of(AV_STOP_VIDEO_REQUEST).empty(); }));
  EXPECT_EQ(alice->Of(AV_STOP_VIDEO_REQUEST)[0].roster_id(), "bob");
  EXPECT_EQ(alice->Of(AV_STOP_VIDEO_REQUEST)[0].status(), 0u);

  bob->Leave();
  ASSERT_TRUE(alice->ReadUntil([&] { return alice->Of(AV_ROSTER_CHANGE).size() == 3; }));
  const AvData left = alice->Of(AV_ROSTER_CHANGE)[2];
  EXPECT_EQ(left.rostertype(), kServerRosterLeft);
  ASSERT_EQ(left.rosters_size(), 1);
  EXPECT_EQ(left.rosters(0).roster_id(), "bob");
  EXPECT_EQ(left.rosters(0).ssrc(), bob->Ssrc());
  // The start went to nobody but bob, who had not joined: alice never hears
  // her own announcements.
  EXPECT_TRUE(alice->Of(AV_START_VIDEO_REQUEST).empty());
}

TEST_F(VideoServerRoleTest, RtpGoesOnlyToTheMembersThatSubscribedToItsSender) {
  StartServer();
  auto alice = Joined("alice");
  auto bob = Joined("bob");
  auto carol = Joined("carol");
  bob->Send(Subscription(AV_SUBSCRIBE_VIDEO_REQUEST, "bob", "alice", 2));
  // The sender hears who subscribes, in the form the client reads.
  ASSERT_TRUE(alice->ReadUntil([&] { return !alice->Of(AV_SUBSCRIBE_VIDEO_REQUEST).empty(); }));
  const AvData subscribed = alice->Of(AV_SUBSCRIBE_VIDEO_REQUEST)[0];
  EXPECT_EQ(subscribed.roster_id(), "bob");
  ASSERT_EQ(subscribed.rosters_size(), 1);
  EXPECT_EQ(subscribed.rosters(0).roster_id(), "alice");
  EXPECT_EQ(subscribed.rosters(0).videotype(), 2u);
  EXPECT_TRUE(carol->Of(AV_SUBSCRIBE_VIDEO_REQUEST).empty());

  alice->SendRtp(1);
  carol->SendRtp(2);  // nobody subscribed to carol
  bob->SendRtp(3);
  Sync(*alice, "m1", {alice.get(), bob.get(), carol.get()});
  Sync(*carol, "m2", {alice.get(), bob.get(), carol.get()});
  Sync(*bob, "m3", {alice.get(), bob.get(), carol.get()});
  EXPECT_EQ(bob->RtpSequences(), std::vector<int>{1});
  EXPECT_TRUE(carol->RtpSequences().empty());
  EXPECT_TRUE(alice->RtpSequences().empty());

  // Unsubscribing stops it; the sender hears by the size it knew.
  bob->Send(Subscription(AV_UNSUBSCRIBE_VIDEO_REQUEST, "bob", "alice", 0xFFFFFFFF));
  ASSERT_TRUE(alice->ReadUntil([&] { return !alice->Of(AV_UNSUBSCRIBE_VIDEO_REQUEST).empty(); }));
  const AvData unsubscribed = alice->Of(AV_UNSUBSCRIBE_VIDEO_REQUEST)[0];
  EXPECT_EQ(unsubscribed.roster_id(), "bob");
  EXPECT_EQ(unsubscribed.rosters(0).videotype(), 2u);
  alice->SendRtp(4);
  Sync(*alice, "m4", {bob.get()});
  EXPECT_EQ(bob->RtpSequences(), std::vector<int>{1});
  // A subscription of size "none" is none.
  bob->Send(Subscription(AV_SUBSCRIBE_VIDEO_REQUEST, "bob", "alice", 0xFFFFFFFF));
  alice->SendRtp(5);
  Sync(*bob, "m5", {alice.get()});
  Sync(*alice, "m6", {bob.get()});
  EXPECT_EQ(bob->RtpSequences(), std::vector<int>{1});
  EXPECT_EQ(alice->Of(AV_SUBSCRIBE_VIDEO_REQUEST).size(), 1u);
}

TEST_F(VideoServerRoleTest, SubscriptionsWaitForTheirTargetAndEndWithTheSubscriber) {
  StartServer();
  auto bob = Joined("bob");
  bob->Send(Subscription(AV_SUBSCRIBE_VIDEO_REQUEST, "bob", "alice", 1));
  Sync(*bob, "m1", {bob.get()});
  // alice comes later, and is told at once who wants her video.
  auto alice = Joined("alice");
  ASSERT_TRUE(alice->ReadUntil([&] { return !alice->Of(AV_SUBSCRIBE_VIDEO_REQUEST).empty(); }));
  EXPECT_EQ(alice->Of(AV_SUBSCRIBE_VIDEO_REQUEST)[0].roster_id(), "bob");
  EXPECT_EQ(alice->Of(AV_SUBSCRIBE_VIDEO_REQUEST)[0].rosters(0).videotype(), 1u);
  alice->SendRtp(7);
  Sync(*alice, "m2", {bob.get()});
  EXPECT_EQ(bob->RtpSequences(), std::vector<int>{7});
  // bob goes: his subscription goes with him, so his return starts afresh.
  bob->Leave();
  ASSERT_TRUE(alice->ReadUntil([&] {
    for (const AvData& m : alice->Of(AV_ROSTER_CHANGE)) {
      if (m.rostertype() == kServerRosterLeft) return true;
    }
    return false;
  }));
  auto bob_again = Joined("bob");
  alice->SendRtp(8);
  Sync(*alice, "m3", {bob_again.get()});
  EXPECT_TRUE(bob_again->RtpSequences().empty());
}

TEST_F(VideoServerRoleTest, KeyFrameRequestsAndFeedbackReachTheSenderAndOtherRtcpEveryone) {
  StartServer();
  auto alice = Joined("alice");
  auto bob = Joined("bob");
  auto carol = Joined("carol");
  // A picture-loss request about alice's stream, as bob's engine sends it
  // (sender SSRC 0), goes to alice alone.
  bob->SendRtcp(Pli(0, alice->Ssrc()));
  // The same with its length counted the other way (words less one) is
  // not whole as the members' engines read it: dropped.
  bob->SendRtcp(RtcpPacketBytes(kRtcpPayloadFeedback, 1, 2, {0, alice->Ssrc()}));
  // A key-frame request message naming alice reaches her as a picture-loss
  // request from carol's SSRC.
  carol->Send(Request(AV_KEY_FRAME_REQUEST, "alice"));
  // A sender report (from alice's own SSRC) goes to everyone else.
  const uint32_t own = alice->Ssrc();
  const std::vector<uint8_t> report =
      RtcpPacketBytes(vzrelay_test::kRtcpSenderReport, 0, 7, {own, 0x01020304, 0x05060708, 9, 10, 11});
  alice->SendRtcp(report);
  // Feedback about a stream nobody sends is dropped.
  bob->SendRtcp(Pli(0, 0xDEAD));
  Sync(*bob, "m1", {alice.get(), bob.get(), carol.get()});
  Sync(*carol, "m2", {alice.get(), bob.get(), carol.get()});
  Sync(*alice, "m3", {alice.get(), bob.get(), carol.get()});
  ASSERT_EQ(alice->Rtcp().size(), 2u);
  EXPECT_EQ(alice->Rtcp()[0], Pli(0, alice->Ssrc()));
  EXPECT_EQ(alice->Rtcp()[1], Pli(carol->Ssrc(), alice->Ssrc()));
  EXPECT_EQ(bob->Rtcp(), std::vector<std::vector<uint8_t>>{report});
  EXPECT_EQ(carol->Rtcp(), std::vector<std::vector<uint8_t>>{report});
  // The request message itself is the server's business.
  EXPECT_TRUE(alice->Of(AV_KEY_FRAME_REQUEST).empty());
}

TEST_F(VideoServerRoleTest, SpotlightAndActiveSpeakerReachEveryoneAndLateJoinersLearnTheSpotlight) {
  StartServer();
  auto alice = Joined("alice");
  auto bob = Joined("bob");
  alice->Send(Request(AV_SET_SPOTLIGHT_REQUEST, "bob"));
  ASSERT_TRUE(alice->ReadUntil([&] { return !alice->Of(AV_SET_SPOTLIGHT_REQUEST).empty(); }));
  ASSERT_TRUE(bob->ReadUntil([&] { return !bob->Of(AV_SET_SPOTLIGHT_REQUEST).empty(); }));
  EXPECT_EQ(bob->Of(AV_SET_SPOTLIGHT_REQUEST)[0].roster_id(), "bob");
  auto carol = Joined("carol");
  ASSERT_TRUE(carol->ReadUntil([&] { return !carol->Of(AV_SET_SPOTLIGHT_REQUEST).empty(); }));
  const AvData roster = carol->Of(AV_ROSTER_CHANGE)[0];
  ASSERT_EQ(roster.rosters_size(), 3);
  EXPECT_EQ(roster.rosters(0).spotlight(), 0u);
  EXPECT_EQ(roster.rosters(1).spotlight(), 1u);
  AvData unset;
  unset.set_type(AV_UNSET_SPOTLIGHT_REQUEST);
  carol->Send(unset);
  for (Participant* p : {alice.get(), bob.get(), carol.get()}) {
    ASSERT_TRUE(p->ReadUntil([&] { return !p->Of(AV_UNSET_SPOTLIGHT_REQUEST).empty(); })) << p->Roster();
  }
  // A keep-alive is answered to its sender only.
  AvData keepalive;
  keepalive.set_type(AV_KEEPALIVE_REQUEST);
  bob->Send(keepalive);
  ASSERT_TRUE(bob->ReadUntil([&] { return !bob->Of(AV_KEEPALIVE_RESPONSE).empty(); }));
  EXPECT_EQ(bob->Of(AV_KEEPALIVE_RESPONSE)[0].code(), AV_CODE_SUCCESS);
}

TEST_F(VideoServerRoleTest, MalformedSignallingAndTextAreDroppedAndTheirSenderStays) {
  StartServer();
  auto alice = Joined("alice");
  auto bob = Joined("bob");
  alice->SendCommandRecord(std::string("\x00\x08\xA0\x01\x07", 5));       // not a command record
  alice->SendCommandRecord(std::string("\x00\x07\xE2\x03\x05\x61", 6));   // a string cut short
  alice->SendCommandRecord(std::string("\x00", 1));                       // shorter than a kind
  alice->SendCommandRecord(std::string("\x00\x07\xA0\x01\x63", 5));       // type 99
  alice->Send(Request(AV_JOIN_CONFERENCE_REQUEST, "alice"));              // a client's join is the transport's
  ASSERT_TRUE(alice->Client().Send(FrameKind::kDataUtf8, {'h', 'i'}));     // text no video member reads
  Sync(*alice, "m1", {alice.get(), bob.get()});
  EXPECT_EQ(bob->Count(FrameKind::kDataUtf8), 0u);
  // bob heard only the roster and the marker.
  for (const AvData& m : bob->Signalling()) {
    EXPECT_TRUE(m.type() == AV_ROSTER_CHANGE || m.type() == AV_ACTIVE_SPEAKER) << m.type();
  }
}

TEST_F(VideoServerRoleTest, InjectedLossTakesMediaButNeverSignalling) {
  vzrelay::FaultOptions faults;
  faults.loss_rate = 0.5;
  StartServer(faults);
  auto alice = Joined("alice");
  auto bob = Joined("bob");
  bob->Send(Subscription(AV_SUBSCRIBE_VIDEO_REQUEST, "bob", "alice", 2));
  ASSERT_TRUE(alice->ReadUntil([&] { return !alice->Of(AV_SUBSCRIBE_VIDEO_REQUEST).empty(); }));
  constexpr int kPackets = 400;
  AvData start = Request(AV_START_VIDEO_REQUEST, "alice");
  start.set_status(1);
  for (int i = 0; i < kPackets; ++i) {
    alice->SendRtp(static_cast<uint16_t>(i));
    if (i % 20 == 0) alice->Send(start);
  }
  // Every announcement arrives.
  ASSERT_TRUE(bob->ReadUntil([&] { return bob->Of(AV_START_VIDEO_REQUEST).size() == kPackets / 20; }));
  // The relay's own count (its answer to a ping) says how much media it
  // meant for bob and how much it dropped; what it let through arrives.
  uint32_t dropped = 0, offered = 0;
  for (uint8_t sequence = 1; offered < kPackets && sequence < 200; ++sequence) {
    ASSERT_TRUE(bob->Ping(sequence, &dropped, &offered))
        << "ping " << static_cast<int>(sequence) << ", " << offered << " packets offered so far";
  }
  ASSERT_EQ(offered, static_cast<uint32_t>(kPackets));
  EXPECT_GT(dropped, kPackets * 3 / 10);
  EXPECT_LT(dropped, kPackets * 7 / 10);
  ASSERT_TRUE(bob->ReadUntil([&] { return bob->RtpSequences().size() == kPackets - dropped; }));
}

}  // namespace

namespace {

TEST_F(VideoServerRoleTest, AParticipantBackBeforeItsOldConnectionWentReplacesItAsOneParticipant) {
  StartServer();
  auto alice = Joined("alice");
  auto bob_old = Joined("bob");
  auto bob_new = Joined("bob");  // reconnected before the relay saw the old connection go
  // alice hears bob leave and come back with his new stream, never two bobs.
  ASSERT_TRUE(alice->ReadUntil([&] { return alice->Of(AV_ROSTER_CHANGE).size() == 4; }));
  const AvData left = alice->Of(AV_ROSTER_CHANGE)[2];
  EXPECT_EQ(left.rostertype(), kServerRosterLeft);
  ASSERT_EQ(left.rosters_size(), 1);
  EXPECT_EQ(left.rosters(0).roster_id(), "bob");
  const AvData back = alice->Of(AV_ROSTER_CHANGE)[3];
  EXPECT_EQ(back.rostertype(), kServerRosterEntered);
  ASSERT_EQ(back.rosters_size(), 1);
  EXPECT_EQ(back.rosters(0).roster_id(), "bob");
  EXPECT_EQ(back.rosters(0).ssrc(), bob_new->Ssrc());
}

}  // namespace

namespace {

// A member reconnecting in a loop (each connection replacing the last) sent
// every other member a "left" and an "entered" each time, which each of
// their programs handled on its UI thread. A reconnection that continues
// the member's stream tells the others nothing; the member keeps its video
// state and its subscriptions, and gets what it needs anew.
TEST_F(VideoServerRoleTest, AReconnectionThatContinuesItsStreamTellsTheOthersNothing) {
  StartServer();
  auto alice = Joined("alice");
  auto bob = Joined("bob");
  AvData start = Request(AV_START_VIDEO_REQUEST, "bob");
  start.set_status(1);
  start.set_videotype(1);
  bob->Send(start);
  bob->Send(Subscription(AV_SUBSCRIBE_VIDEO_REQUEST, "bob", "alice", 1));
  alice->Send(Subscription(AV_SUBSCRIBE_VIDEO_REQUEST, "alice", "bob", 1));
  Sync(*bob, "bob's", {alice.get(), bob.get()});  // each one's frames handled
  Sync(*alice, "before", {alice.get(), bob.get()});
  const size_t heard_before = alice->Signalling().size();

  std::vector<std::unique_ptr<Participant>> connections;
  for (int i = 0; i < 5; ++i) {
    auto again = std::make_unique<Participant>("bob");
    ASSERT_TRUE(again->Join(server_->Port(), bob->Ssrc())) << "reconnection " << i;
    EXPECT_EQ(again->Ssrc(), bob->Ssrc());
    // What the member's program says again once it is back (its video
    // runs: a start, which the others' programs take as nothing new).
    again->Send(Subscription(AV_SUBSCRIBE_VIDEO_REQUEST, "bob", "alice", 1));
    connections.push_back(std::move(again));
  }
  Participant& last = *connections.back();
  Sync(last, "after", {alice.get(), &last});
  // Between the two marks alice heard only the marks.
  const std::vector<AvData> heard = alice->Signalling();
  for (size_t i = heard_before; i + 1 < heard.size(); ++i) {
    if (heard[i].type() != AV_START_VIDEO_REQUEST) ADD_FAILURE() << "alice heard " << heard[i].DebugString();
  }
  EXPECT_EQ(heard.back().type(), AV_ACTIVE_SPEAKER);

  // The newcomer hears everyone as they are, bob's video running, and who
  // subscribes to it; alice's stream still reaches it.
  ASSERT_TRUE(last.ReadUntil([&] { return !last.Of(AV_ROSTER_CHANGE).empty() && !last.Of(AV_SUBSCRIBE_VIDEO_REQUEST).empty(); }));
  const AvData everyone = last.Of(AV_ROSTER_CHANGE)[0];
  ASSERT_EQ(everyone.rosters_size(), 2);
  EXPECT_EQ(everyone.rosters(1).roster_id(), "bob");
  EXPECT_EQ(everyone.rosters(1).status(), 1u);
  EXPECT_EQ(last.Of(AV_SUBSCRIBE_VIDEO_REQUEST)[0].roster_id(), "alice");
  alice->SendRtp(7);
  ASSERT_TRUE(last.ReadUntil([&] { return !last.RtpSequences().empty(); }));
  EXPECT_EQ(last.RtpSequences()[0], 7);

  // Once it leaves, alice hears it go, as always.
  last.Leave();
  ASSERT_TRUE(alice->ReadUntil([&] { return alice->Of(AV_ROSTER_CHANGE).size() == 3; }));
  EXPECT_EQ(alice->Of(AV_ROSTER_CHANGE)[2].rostertype(), kServerRosterLeft);
}

}  // namespace
