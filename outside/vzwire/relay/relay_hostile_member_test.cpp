// vzrelay as a process under members that are not to be trusted: each one
// played by a raw client of the relay's framing over its real socket.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "outside/vzwire/relay/raw_member_testlib.h"
#include "outside/vzwire/relay/relay_process_testlib.h"
#include "outside/vzwire/relay/sharing_server_role.h"

namespace {

using vzrelay::Frame;
using vzrelay::FrameKind;
using namespace vzrelay_test;  // the raw member, the relay process and the messages they send


// A ping and the milliseconds until its pong.
double PingMs(RawMember& member, uint32_t sequence) {
  const std::vector<uint8_t> ping = PingPayload(sequence);
  const uint64_t sent = vz::MonotonicMs();
  if (!member.client.Send(FrameKind::kPing, ping)) return -1;
  Frame frame;
  while (member.NextOfKind(FrameKind::kPong, &frame)) {
    if (frame.payload.size() >= 4 && std::equal(ping.begin(), ping.begin() + 4, frame.payload.begin())) {
      return static_cast<double>(vz::MonotonicMs() - sent);
    }
  }
  return -1;
}

TEST(RelayHostileMemberTest, ACommandCarriesTheRosterIdItsSenderJoinedWith) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  SharingPair pair;
  ASSERT_TRUE(pair.Start(relay.Port()));
  RawMember mallory;
  ASSERT_TRUE(mallory.Join(relay.Port(), PlainJoin("mallory")));

  // mallory moves the presenter's pointer as bob, who holds control: the
  // presenter reads it as mallory's.
  ASSERT_TRUE(mallory.Send(Command(2, "bob", "alice")));
  DsData seen;
  ASSERT_TRUE(pair.presenter.Next(&seen));
  EXPECT_EQ(seen.command().type(), 2u);
  EXPECT_EQ(seen.command().src_roster_id(), "mallory");
  EXPECT_EQ(seen.command().dst_roster_id(), "alice");

  // A second command field (merged by a parser, so its sender would win)
  // and an answer code change nothing.
  DsData twice = Command(3, "mallory", "alice");
  DsCommand* again = twice.mutable_command();
  std::string bytes = twice.SerializeAsString();
  DsData tail;
  tail.mutable_command()->set_src_roster_id("bob");
  tail.set_code(DS_CODE_ERROR);
  bytes += tail.SerializeAsString();
  (void)again;
  ASSERT_TRUE(mallory.SendBytes(bytes));
  ASSERT_TRUE(pair.presenter.Next(&seen));
  EXPECT_EQ(seen.command().type(), 3u);
  EXPECT_EQ(seen.command().src_roster_id(), "mallory");
  EXPECT_FALSE(seen.has_code());

  // No addressee: everyone else hears it, still as mallory's.
  ASSERT_TRUE(mallory.Send(Command(4, "alice", "")));
  for (RawMember* member : {&pair.attendee, &pair.presenter}) {
    SCOPED_TRACE(member == &pair.attendee ? "the attendee" : "the presenter");
    ASSERT_TRUE(member->Next(&seen));
    EXPECT_EQ(seen.command().type(), 4u);
    EXPECT_EQ(seen.command().src_roster_id(), "mallory");
  }

  // bob's own command is his, unchanged.
  ASSERT_TRUE(pair.attendee.Send(Command(5, "bob", "alice")));
  ASSERT_TRUE(pair.presenter.Next(&seen));
  EXPECT_EQ(seen.command().type(), 5u);
  EXPECT_EQ(seen.command().src_roster_id(), "bob");
  EXPECT_TRUE(relay.Stop());
}

TEST(RelayHostileMemberTest, OnlyThePresenterSendsItsRecordsAndCodesAreTheServers) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  SharingPair pair;
  ASSERT_TRUE(pair.Start(relay.Port()));
  RawMember web;
  ASSERT_TRUE(web.Join(relay.Port(), PlainJoin("vzweb-R3")));

  // A web attendee's cache record with an error code, blocks, a sharing
  // info and a cursor, and a message whose last type (the one a parser
  // keeps) is a cache record behind a command's type.
  DsData caches = Header(DS_DATA_CREATE_CACHES);
  caches.set_code(DS_CODE_ERROR);
  AddCache(&caches, 7, 70, "forged tile");
  ASSERT_TRUE(web.Send(caches));
  DsData blocks = Header(DS_DATA_CREATE_BLOCKS);
  AddBlock(&blocks, 1, 101, 7, 70);
  ASSERT_TRUE(web.Send(blocks));
  DsData info = Header(DS_DATA_CREATE_SHARINGINFO);
  info.mutable_sharing_info()->set_capture_mode(9);
  ASSERT_TRUE(web.Send(info));
  DsData mouse = Header(DS_DATA_CREATE_MOUSEINFO);
  mouse.mutable_mouse_info()->set_cache_index(7);
  ASSERT_TRUE(web.Send(mouse));
  DsData disguised = Header(DS_DATA_COMMAND);
  disguised.mutable_command()->set_type(1);
  DsData retyped = Header(DS_DATA_CREATE_CACHES);
  AddCache(&retyped, 8, 80, "forged again");
  ASSERT_TRUE(web.SendBytes(disguised.SerializeAsString() + retyped.SerializeAsString()));

  // The presenter's own record with a code comes through without it, and
  // is the first thing the attendee sees.
  DsData real = Header(DS_DATA_CREATE_CACHES);
  real.set_code(DS_CODE_ERROR);
  AddCache(&real, 1, 10, "tile 1");
  ASSERT_TRUE(pair.presenter.Send(real));
  DsData seen;
  ASSERT_TRUE(pair.attendee.Next(&seen));
  EXPECT_EQ(seen.type(), DS_DATA_CREATE_CACHES);
  EXPECT_FALSE(seen.has_code());
  ASSERT_EQ(seen.caches_size(), 1);
  EXPECT_EQ(seen.caches(0).cache_data(0).data(), "tile 1");
  EXPECT_FALSE(seen.has_sharing_info());

  // A late joiner is shown the presenter's screen only.
  RawMember late;
  ASSERT_TRUE(late.Join(relay.Port(), PlainJoin("carol")));
  ASSERT_TRUE(late.Send(Header(DS_DATA_JOIN)));
  ASSERT_TRUE(late.Next(&seen));
  EXPECT_EQ(seen.type(), DS_DATA_JOIN);
  ASSERT_TRUE(late.Next(&seen));
  ASSERT_EQ(seen.type(), DS_DATA_CREATE_CACHES);
  ASSERT_EQ(seen.caches_size(), 1);
  EXPECT_EQ(seen.caches(0).index(), 1u);
  // Then nothing more until the presenter's next message.
  DsData marker = Header(DS_DATA_CREATE_MOUSEINFO);
  marker.mutable_mouse_info()->set_monitor_id(1);
  ASSERT_TRUE(pair.presenter.Send(marker));
  ASSERT_TRUE(late.Next(&seen));
  EXPECT_EQ(seen.type(), DS_DATA_CREATE_MOUSEINFO);
  EXPECT_EQ(seen.mouse_info().monitor_id(), 1u);
  EXPECT_TRUE(relay.Stop());
}

// The presenter's engine would take a sharing info, caches, blocks or a
// cursor in any message as its own screen's, and a code as the end of its
// session: what an attendee sends reaches it without any of them.
TEST(RelayHostileMemberTest, AnAttendeesMessagesReachThePresenterWithoutDrawnFieldsOrACode) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  SharingPair pair;
  ASSERT_TRUE(pair.Start(relay.Port()));
  RawMember mallory;
  ASSERT_TRUE(mallory.Join(relay.Port(), PlainJoin("mallory")));

  // Every type, and one the protocol lacks (77, written behind the first
  // as a parser reads the last), each with a code, the presenter's monitor
  // as 64 x 64, a cursor, a cache and a block naming a cache nobody has.
  const DsDataType kTypes[] = {DS_DATA_KEEPALIVE, DS_DATA_START, DS_DATA_STOP, DS_DATA_JOIN, DS_DATA_LEAVE,
                               DS_DATA_CREATE_CACHES, DS_DATA_CREATE_BLOCKS, DS_DATA_CREATE_SHARINGINFO,
                               DS_DATA_CREATE_MOUSEINFO, DS_DATA_GET_KEYFRAME, DS_DATA_GET_CACHES, DS_DATA_COMMAND,
                               DS_DATA_SERVER_DISCONNECT};
  for (int undefined = 0; undefined < 2; ++undefined) {
    for (const DsDataType type : kTypes) {
      DsData forged = Header(type);
      forged.set_code(DS_CODE_INVALID_DSID);
      DsSharingInfo* info = forged.mutable_sharing_info();
      info->mutable_rect()->set_width(64);
      info->mutable_rect()->set_height(64);
      DsMonitor* monitor = info->add_monitors();
      monitor->set_monitor_id(1);
      monitor->mutable_rect()->set_width(64);
      monitor->mutable_rect()->set_height(64);
      monitor->set_bits_pixel(32);
      forged.mutable_mouse_info()->set_monitor_id(1);
      forged.mutable_mouse_info()->set_cache_index(5);
      forged.mutable_mouse_info()->set_cache_pdu_id(77);
      AddCache(&forged, 30, 300, "forged tile");
      AddBlock(&forged, 0, 10101, 4000, 999999);
      if (type == DS_DATA_COMMAND) *forged.mutable_command() = Command(41, "", "alice").command();
      std::string bytes = forged.SerializeAsString();
      if (undefined == 1) bytes += std::string("\xA0\x01\x4D", 3);  // type 77
      ASSERT_TRUE(mallory.SendBytes(bytes)) << "type " << type;
    }
  }
  // Behind them, a command for everyone: what came before it has been relayed.
  ASSERT_TRUE(mallory.Send(Command(42, "", "")));

  for (RawMember* member : {&pair.presenter, &pair.attendee}) {
    const bool presenter = member == &pair.presenter;
    SCOPED_TRACE(presenter ? "the presenter" : "the attendee");
    std::vector<int> types;
    DsData seen;
    do {
      ASSERT_TRUE(member->Next(&seen)) << types.size() << " messages so far";
      types.push_back(seen.type());
      SCOPED_TRACE("message " + std::to_string(types.size()) + " of type " + std::to_string(seen.type()));
      EXPECT_FALSE(seen.has_code());
      EXPECT_FALSE(seen.has_sharing_info());
      EXPECT_FALSE(seen.has_mouse_info());
      EXPECT_EQ(seen.caches_size(), 0);
      EXPECT_EQ(seen.blocks_size(), 0);
    } while (!(seen.type() == DS_DATA_COMMAND && seen.command().type() == 42));
    // The requests and the command addressed to the presenter still reach
    // it, once (their copies retyped 77 are dropped); the last command
    // reaches everyone.
    const auto count = [&types](int type) { return std::count(types.begin(), types.end(), type); };
    EXPECT_EQ(count(DS_DATA_GET_KEYFRAME), presenter ? 1 : 0);
    EXPECT_EQ(count(DS_DATA_GET_CACHES), presenter ? 1 : 0);
    EXPECT_EQ(count(DS_DATA_COMMAND), presenter ? 2 : 1);
    EXPECT_EQ(types.size(), presenter ? 4u : 1u);
  }
  EXPECT_TRUE(relay.Stop());
}

TEST(RelayHostileMemberTest, ALateJoinerGetsFortyMebibytesOfKeptCachesPacedAndStarts) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  SharingPair pair;
  ASSERT_TRUE(pair.Start(relay.Port()));
  // Ten tiles of 4 MiB, all on screen.
  constexpr int kTiles = 10;
  DsData blocks = Header(DS_DATA_CREATE_BLOCKS);
  DsData seen;
  for (int i = 1; i <= kTiles; ++i) {
    DsData caches = Header(DS_DATA_CREATE_CACHES);
    AddCache(&caches, static_cast<uint64_t>(i), static_cast<uint64_t>(i * 10),
             std::string(4u << 20, static_cast<char>('a' + i)));
    ASSERT_TRUE(pair.presenter.Send(caches)) << "tile " << i;
    ASSERT_TRUE(pair.attendee.Next(&seen)) << "tile " << i;  // relayed: the relay has it
    AddBlock(&blocks, static_cast<uint64_t>(i), 10101 + static_cast<uint64_t>(i), static_cast<uint64_t>(i),
             static_cast<uint64_t>(i * 10));
  }
  ASSERT_TRUE(pair.presenter.Send(blocks));
  ASSERT_TRUE(pair.attendee.Next(&seen));

  RawMember late;
  ASSERT_TRUE(late.Join(relay.Port(), PlainJoin("carol")));
  ASSERT_TRUE(late.Send(Header(DS_DATA_JOIN)));
  ASSERT_TRUE(late.Next(&seen));
  EXPECT_EQ(seen.type(), DS_DATA_JOIN);
  EXPECT_EQ(seen.code(), DS_CODE_SUCCESS);
  // The presenter goes on while the replay runs; that comes after it.
  DsData live = Header(DS_DATA_CREATE_CACHES);
  AddCache(&live, 99, 990, "a new tile");
  ASSERT_TRUE(pair.presenter.Send(live));
  std::vector<uint64_t> tiles;
  int blocks_seen = 0;
  bool live_seen = false;
  while (!live_seen) {
    ASSERT_TRUE(late.Next(&seen)) << tiles.size() << " tiles so far";
    if (seen.type() == DS_DATA_CREATE_CACHES && seen.caches(0).index() == 99) {
      live_seen = true;
      EXPECT_EQ(blocks_seen, kTiles) << "the live message came inside the replay";
    } else if (seen.type() == DS_DATA_CREATE_CACHES) {
      EXPECT_EQ(blocks_seen, 0) << "caches come before the blocks that show them";
      for (const DsCache& cache : seen.caches()) {
        EXPECT_EQ(cache.cache_data(0).data().size(), 4u << 20) << "cache " << cache.index();
        tiles.push_back(cache.index());
      }
    } else if (seen.type() == DS_DATA_CREATE_BLOCKS) {
      blocks_seen += seen.blocks_size();
    }
  }
  EXPECT_EQ(tiles.size(), static_cast<size_t>(kTiles));
  EXPECT_EQ(blocks_seen, kTiles);
  // Still a member: it hears the presenter's next message.
  ASSERT_TRUE(pair.presenter.Send(Command(1, "alice", "carol")));
  ASSERT_TRUE(late.Next(&seen));
  EXPECT_EQ(seen.type(), DS_DATA_COMMAND);
  EXPECT_TRUE(relay.Stop());
}

TEST(RelayHostileMemberTest, ALateJoinerGetsTheLatestBlockOfEachPositionAndTheCachesAttendeesKeep) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  SharingPair pair;
  ASSERT_TRUE(pair.Start(relay.Port()));
  // Position 101 shows cache 1, then cache 2; position 102 shows cache 3.
  // A thousand blocks of other indices name position 101 again. Caches 0
  // and 7000 are outside what an attendee keeps.
  DsData first = Header(DS_DATA_CREATE_CACHES);
  AddCache(&first, 1, 10, "tile 1");
  AddCache(&first, 0, 5, "tile 0");
  AddCache(&first, 7000, 70000, "tile 7000");
  ASSERT_TRUE(pair.presenter.Send(first));
  DsData blocks = Header(DS_DATA_CREATE_BLOCKS);
  AddBlock(&blocks, 0, 101, 1, 10);
  ASSERT_TRUE(pair.presenter.Send(blocks));
  DsData second = Header(DS_DATA_CREATE_CACHES);
  AddCache(&second, 2, 20, "tile 2");
  AddCache(&second, 3, 30, "tile 3");
  ASSERT_TRUE(pair.presenter.Send(second));
  DsData many = Header(DS_DATA_CREATE_BLOCKS);
  for (uint64_t index = 2; index < 1002; ++index) AddBlock(&many, index, 101, 2, 20);
  AddBlock(&many, 1, 102, 3, 30);
  ASSERT_TRUE(pair.presenter.Send(many));
  DsData seen;
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(pair.attendee.Next(&seen)) << "message " << i;

  RawMember late;
  ASSERT_TRUE(late.Join(relay.Port(), PlainJoin("carol")));
  ASSERT_TRUE(late.Send(Header(DS_DATA_JOIN)));
  ASSERT_TRUE(late.Next(&seen));
  // Cache 1 no block shows now, but the presenter may show it again
  // without sending it again. One cache a message.
  for (uint64_t index = 1; index <= 3; ++index) {
    SCOPED_TRACE("cache " + std::to_string(index));
    ASSERT_TRUE(late.Next(&seen));
    ASSERT_EQ(seen.type(), DS_DATA_CREATE_CACHES);
    ASSERT_EQ(seen.caches_size(), 1);
    EXPECT_EQ(seen.caches(0).index(), index);
  }
  ASSERT_TRUE(late.Next(&seen));
  ASSERT_EQ(seen.type(), DS_DATA_CREATE_BLOCKS);
  ASSERT_EQ(seen.blocks_size(), 2);
  EXPECT_EQ(seen.blocks(0).position(), 101u);
  EXPECT_EQ(seen.blocks(0).index(), 1001u);  // the latest of its position
  EXPECT_EQ(seen.blocks(1).position(), 102u);
  EXPECT_TRUE(relay.Stop());
}

TEST(RelayHostileMemberTest, ThreeMillionBlockPositionsKeepABoundedFrame) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  RawMember presenter;
  ASSERT_TRUE(presenter.Join(relay.Port(), PresenterJoin("alice")));
  ASSERT_EQ(Ask(presenter, DS_DATA_START), DS_CODE_SUCCESS);
  const size_t before = ProcessKib(relay.Pid(), "VmRSS");
  constexpr uint64_t kBlocks = 3000000, kPerMessage = 300000;
  for (uint64_t first = 0; first < kBlocks; first += kPerMessage) {
    DsData blocks = Header(DS_DATA_CREATE_BLOCKS);
    for (uint64_t index = first; index < first + kPerMessage; ++index) AddBlock(&blocks, index, 101 + index, 0, 0);
    ASSERT_TRUE(presenter.Send(blocks)) << "blocks from index " << first;
  }
  ASSERT_TRUE(presenter.Synced());  // all taken, however slow the machine
  RawMember late;
  ASSERT_TRUE(late.Join(relay.Port(), PlainJoin("carol")));
  ASSERT_TRUE(late.Send(Header(DS_DATA_JOIN)));
  DsData seen;
  ASSERT_TRUE(late.Next(&seen));
  size_t replayed = 0;
  while (replayed < vzrelay::kMaxKeptBlocks && late.Next(&seen)) {
    ASSERT_EQ(seen.type(), DS_DATA_CREATE_BLOCKS) << "after " << replayed << " blocks replayed";
    replayed += static_cast<size_t>(seen.blocks_size());
  }
  EXPECT_EQ(replayed, vzrelay::kMaxKeptBlocks);
  std::printf("relay after 3 million block positions: VmRSS %zu KiB (%zu before them), VmHWM %zu KiB\n",
              ProcessKib(relay.Pid(), "VmRSS"), before, ProcessKib(relay.Pid(), "VmHWM"));
  EXPECT_TRUE(relay.Stop());
}

// An RTCP record holding a BYE for `ssrc` (lengths in words, header included).
std::vector<uint8_t> Bye(uint32_t ssrc) { return RtcpRecord(RtcpPacketBytes(kRtcpBye, 1, 2, {ssrc})); }

TEST(RelayHostileMemberTest, MediaAndReportsAreTiedToTheSsrcAnnouncedForTheirSender) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  // A video session, where media is read: alice takes mallory's stream.
  RawMember alice, bob, mallory;
  ASSERT_TRUE(alice.Join(relay.Port(), PlainJoin("alice", kVideo, "meet-v")));
  ASSERT_TRUE(bob.Join(relay.Port(), PlainJoin("bob", kVideo, "meet-v")));
  ASSERT_TRUE(mallory.Join(relay.Port(), PlainJoin("mallory", kVideo, "meet-v")));
  ASSERT_NE(bob.ssrc, mallory.ssrc);
  ASSERT_TRUE(alice.Send(SubscribeRequest("alice", "mallory")));
  AvData notice;
  ASSERT_TRUE(mallory.Next(AV_SUBSCRIBE_VIDEO_REQUEST, &notice));

  ASSERT_TRUE(mallory.client.Send(FrameKind::kRtp, RtpRecord(bob.ssrc, 1)));     // as bob
  ASSERT_TRUE(mallory.client.Send(FrameKind::kRtcp, Bye(bob.ssrc)));      // ends bob's stream
  // A report as bob, in a record whose length says 12 bytes where 8 follow.
  std::vector<uint8_t> sender_report = RtcpRecord(RtcpPacketBytes(kRtcpSenderReport, 0, 2, {bob.ssrc}));
  vz::Store16(&sender_report[2], 12);
  ASSERT_TRUE(mallory.client.Send(FrameKind::kRtcp, sender_report));
  std::vector<uint8_t> too_short = RtpRecord(bob.ssrc, 3);
  too_short.resize(4);  // too short to name one
  ASSERT_TRUE(mallory.client.Send(FrameKind::kRtp, too_short));
  ASSERT_TRUE(mallory.client.Send(FrameKind::kRtp, RtpRecord(mallory.ssrc, 2)));  // its own
  ASSERT_TRUE(mallory.client.Send(FrameKind::kRtcp, Bye(mallory.ssrc)));

  std::vector<Frame> got;  // the media, in order (the signalling left out)
  Frame frame;
  while (got.size() < 2 && alice.client.Next(&frame)) {
    if (frame.kind != FrameKind::kCommand) got.push_back(frame);
  }
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].kind, FrameKind::kRtp);
  EXPECT_EQ(got[0].payload, RtpRecord(mallory.ssrc, 2));
  EXPECT_EQ(got[1].kind, FrameKind::kRtcp);
  EXPECT_EQ(got[1].payload, Bye(mallory.ssrc));
  EXPECT_TRUE(relay.Stop());
}

TEST(RelayHostileMemberTest, ConnectionsThatDoNotJoinAreClosedAndCounted) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({"--join-deadline", "1", "--max-connections", "64"}));
  // Silent: closed at the deadline.
  RawClient silent;
  ASSERT_TRUE(silent.Connect(relay.Port()));
  // An 8 MiB data frame before any join: closed long before the deadline
  // would matter, as soon as it passes the little taken before a join.
  std::vector<RawClient> loud(60);
  const std::vector<uint8_t> header = RawFrame(FrameKind::kDataBinary, vzrelay::kMaxDataPayload, {});
  const std::vector<uint8_t> junk(256u << 10, 0x55);
  for (size_t i = 0; i < loud.size(); ++i) {
    ASSERT_TRUE(loud[i].Connect(relay.Port())) << "connection " << i;
    ASSERT_TRUE(loud[i].WriteAll(header)) << "connection " << i;
    loud[i].WriteAll(junk);  // may fail once the relay has closed it
  }
  std::printf("relay with 60 unjoined connections that sent 256 KiB each: VmRSS %zu KiB, VmHWM %zu KiB\n",
              ProcessKib(relay.Pid(), "VmRSS"), ProcessKib(relay.Pid(), "VmHWM"));
  for (size_t i = 0; i < loud.size(); ++i) EXPECT_TRUE(loud[i].WaitClosed(20000)) << "connection " << i;
  EXPECT_TRUE(silent.WaitClosed(20000));

  EXPECT_TRUE(relay.Stop());
}

// The unjoined share (a quarter of --max-connections: 2 here) is full: a
// newcomer that sends nothing either closes the oldest connection that sent
// nothing; members are served on, the connections left may still join, and
// so may a newcomer.
TEST(RelayHostileMemberTest, ANewcomerBeyondTheUnjoinedShareClosesTheOldestAndMembersAreServedOn) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({"--join-deadline", "600", "--max-connections", "8"}));
  RawMember alice;
  ASSERT_TRUE(alice.Join(relay.Port(), PlainJoin("alice", kVideo, "meet-v")));
  std::vector<RawClient> waiting(3);
  for (size_t i = 0; i < 2; ++i) ASSERT_TRUE(waiting[i].Connect(relay.Port())) << "connection " << i;
  ASSERT_GE(PingMs(alice, 1), 0.0);  // the relay has taken both
  ASSERT_TRUE(waiting[2].Connect(relay.Port()));
  EXPECT_TRUE(waiting[0].WaitClosed(20000));
  ASSERT_GE(PingMs(alice, 2), 0.0);
  for (size_t i = 1; i < 3; ++i) {
    ASSERT_TRUE(waiting[i].Send(FrameKind::kJoin,
                                vzrelay::EncodeJoinRequest(PlainJoin("carol-" + std::to_string(i), kVideo, "meet-v"))))
        << "connection " << i;
    Frame confirm;
    ASSERT_TRUE(waiting[i].Next(&confirm)) << "connection " << i << " was closed";
    EXPECT_EQ(confirm.kind, FrameKind::kJoinConfirm) << "connection " << i;
  }
  RawMember newcomer;
  EXPECT_TRUE(newcomer.Join(relay.Port(), PlainJoin("bob", kVideo, "meet-v")));
  EXPECT_TRUE(relay.Stop());
}

TEST(RelayHostileMemberTest, AFloodInOneSessionLeavesAnotherSessionsMembersAnswered) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  RawMember calm, calm_peer;
  ASSERT_TRUE(calm.Join(relay.Port(), PlainJoin("calm", kVideo, "meet-calm")));
  ASSERT_TRUE(calm_peer.Join(relay.Port(), PlainJoin("calm-peer", kVideo, "meet-calm")));
  RawMember sender;
  ASSERT_TRUE(sender.Join(relay.Port(), PlainJoin("sender", kVideo, "meet-flood")));
  std::vector<RawMember> sleepers(40);  // join, then never read
  for (size_t i = 0; i < sleepers.size(); ++i) {
    ASSERT_TRUE(sleepers[i].Join(relay.Port(), PlainJoin("sleeper-" + std::to_string(i), kVideo, "meet-flood")))
        << "sleeper " << i << " refused (" << sleepers[i].refused << ") " << sleepers[i].refusal;
  }
  constexpr int kPayloads = 12;
  std::atomic<bool> done{false};
  std::atomic<int> sent{0};
  std::thread flood([&] {
    const std::vector<uint8_t> payload(vzrelay::kMaxDataPayload, 0x42);
    for (int i = 0; i < kPayloads && sender.client.Send(FrameKind::kDataBinary, payload); ++i) ++sent;
    done = true;
  });
  std::vector<double> latencies;
  uint32_t sequence = 0;
  while (!done || latencies.size() < 20) {
    const double ms = PingMs(calm, ++sequence);
    if (ms < 0) break;
    latencies.push_back(ms);
  }
  flood.join();
  EXPECT_EQ(sent.load(), kPayloads);
  ASSERT_GE(latencies.size(), 20u) << "a ping of the calm session went unanswered";
  std::vector<double> sorted = latencies;
  std::sort(sorted.begin(), sorted.end());
  std::printf("pings of another session during a flood of %d x 8 MiB to 40 members that do not read: %zu pings, "
              "median %.0f ms, max %.0f ms; relay VmHWM %zu KiB, VmRSS %zu KiB\n",
              kPayloads, sorted.size(), sorted[sorted.size() / 2], sorted.back(), ProcessKib(relay.Pid(), "VmHWM"),
              ProcessKib(relay.Pid(), "VmRSS"));
  // Generous, for a loaded machine: the figures above are what counts.
  EXPECT_LT(sorted[sorted.size() / 2], 2000.0);
  // One copy of each payload, however many members it is queued for.
  EXPECT_LT(ProcessKib(relay.Pid(), "VmHWM"), 512u << 10);
  // The calm session is whole: its members still hear each other.
  ASSERT_TRUE(calm.client.Send(FrameKind::kDataBinary, {1, 2, 3}));
  Frame frame;
  EXPECT_TRUE(calm_peer.NextOfKind(FrameKind::kDataBinary, &frame));
  EXPECT_TRUE(relay.Stop());
}

}  // namespace
