#include "video/engine/rtp/rtp_session_svc.h"

#include <gtest/gtest.h>

#include <memory>
#include <algorithm>
#include <vector>

#include "platform/big_endian.h"
#include "video/engine/rtp/rtp_packet.h"

namespace {

using Bytes = std::vector<uint8_t>;

class CollectingSink : public IRtpSessionSink {
 public:
  void OnNalUnit(std::unique_ptr<CVseRtpPacket> packet) override {
    nals.emplace_back(packet->Payload(), packet->Payload() + packet->PayloadLength());
    incomplete.push_back(packet->incomplete());
  }
  std::vector<Bytes> nals;
  std::vector<int> incomplete;
};

Bytes Nal(int length, uint8_t header, uint8_t seed) {
  Bytes nal(static_cast<size_t>(length));
  nal[0] = header;
  for (int i = 1; i < length; ++i) nal[i] = static_cast<uint8_t>(seed + i * 7);
  return nal;
}

Bytes WithStartCode(const Bytes& nal) {
  Bytes out(4 + nal.size(), 0);
  out[3] = 1;
  std::copy(nal.begin(), nal.end(), out.begin() + 4);
  return out;
}

struct Packets {
  explicit Packets(int count) {
    for (int i = 0; i < count; ++i) {
      owned.push_back(std::make_unique<CVseRtpPacket>());
      ptrs.push_back(owned.back().get());
    }
  }
  std::vector<std::unique_ptr<CVseRtpPacket>> owned;
  std::vector<CVseRtpPacket*> ptrs;
};

TEST(SvcSessionSend, FragmentsCarryTheNalUnitInEqualChunks) {
  CMMRTPSession4SVC session(nullptr, 0xABCD);
  session.SetSequencesForTesting(100, 500);
  const Bytes nal = Nal(2501, 0x65, 1);
  Packets p(3);
  ASSERT_EQ(session.Fragment(9000, 2501, nal.data(), 3, p.ptrs.data()), 0);
  EXPECT_EQ(p.ptrs[0]->PayloadLength(), 2 + 833);
  EXPECT_EQ(p.ptrs[1]->PayloadLength(), 2 + 834);
  EXPECT_EQ(p.ptrs[2]->PayloadLength(), 2 + 833);
  // FU indicator keeps NRI with type 28; S and E on the first and last.
  EXPECT_EQ(p.ptrs[0]->Payload()[0], 0x7C);
  EXPECT_EQ(p.ptrs[0]->Payload()[1], 0x85);
  EXPECT_EQ(p.ptrs[1]->Payload()[1], 0x05);
  EXPECT_EQ(p.ptrs[2]->Payload()[1], 0x45);
  EXPECT_EQ(p.ptrs[0]->Payload()[2], nal[1]);
  EXPECT_FALSE(p.ptrs[0]->marker_for_testing());
  EXPECT_FALSE(p.ptrs[1]->marker_for_testing());
  EXPECT_TRUE(p.ptrs[2]->marker_for_testing());
  const Bytes golden_header = {0x80, 0x62, 0x00, 100, 0, 0, 0x23, 0x28, 0, 0, 0xAB, 0xCD};
  EXPECT_EQ(Bytes(p.ptrs[0]->Data(), p.ptrs[0]->Data() + 12), golden_header);
  EXPECT_EQ(p.ptrs[2]->sequence(), 102);
  EXPECT_EQ(session.next_media_sequence_for_testing(), 103);
}

TEST(SvcSessionSend, SingleAndAggregatePackets) {
  CMMRTPSession4SVC session(nullptr, 1);
  session.SetSequencesForTesting(7, 1);
  CVseRtpPacket packet;
  const Bytes nal = Nal(5, 0x41, 3);
  ASSERT_EQ(session.Single(90, 5, nal.data(), &packet), 0);
  EXPECT_EQ(Bytes(packet.Payload(), packet.Payload() + 5), nal);
  EXPECT_TRUE(packet.marker_for_testing());
  EXPECT_EQ(session.Single(90, 5, nullptr, &packet), -1);

  const Bytes low = {0x21, 0xAA};         // NRI 1
  const Bytes high = {0x66, 0xBB, 0xCC};  // NRI 3
  const uint8_t* units[] = {low.data(), high.data()};
  const int lengths[] = {2, 3};
  ASSERT_EQ(session.AggregateForTesting(90, 2, lengths, units, &packet), 0);
  const Bytes golden = {0x78, 0x00, 0x02, 0x21, 0xAA, 0x00, 0x03, 0x66, 0xBB, 0xCC};
  EXPECT_EQ(Bytes(packet.Payload(), packet.Payload() + packet.PayloadLength()), golden);
  EXPECT_EQ(session.AggregateForTesting(90, 2, lengths, nullptr, &packet), -1);
}

TEST(SvcSessionSend, ParametersAreChecked) {
  CMMRTPSession4SVC session(nullptr, 1);
  EXPECT_EQ(session.SetPayloadTypes(98, 98), -1);
  EXPECT_EQ(session.SetPayloadTypes(98, 111), 0);
  EXPECT_EQ(session.SetFecModeForTesting(2), -1);
  Packets media(200), fec(57);
  EXPECT_EQ(session.MakeReedSolomonFec(media.ptrs.data(), 200, fec.ptrs.data(), 57), -1);
  // A missing first (or later) media entry is refused, never read.
  std::vector<CVseRtpPacket*> holes = {nullptr, media.ptrs[1], media.ptrs[2]};
  EXPECT_EQ(session.MakeReedSolomonFec(holes.data(), 3, fec.ptrs.data(), 2), -1);
  holes = {media.ptrs[0], media.ptrs[1], nullptr};
  EXPECT_EQ(session.MakeReedSolomonFec(holes.data(), 3, fec.ptrs.data(), 2), -1);
  ASSERT_EQ(session.SetFecModeForTesting(0), 0);
  EXPECT_EQ(session.MakeReedSolomonFec(media.ptrs.data(), 2, fec.ptrs.data(), 1), -2);
  EXPECT_EQ(CreateVseRTPSession(nullptr, 1, 1), nullptr);
  CMMRTPSession4SVC* made = CreateVseRTPSession(nullptr, 1, kSvcSessionKind);
  ASSERT_NE(made, nullptr);
  DestroyVseRTPSession(made);
}

TEST(SvcSessionSend, ReedSolomonHeaderAndRuns) {
  CMMRTPSession4SVC session(nullptr, 0x01020304);
  Packets media(3), fec(2);
  const uint16_t sequences[] = {65534, 65535, 0};
  for (int i = 0; i < 3; ++i) {
    const Bytes payload(static_cast<size_t>(10 + i), static_cast<uint8_t>(i + 1));
    media.ptrs[i]->SetPayload(payload.data(), 10 + i);
    media.ptrs[i]->set_sequence(sequences[i]);
    media.ptrs[i]->set_timestamp(i == 1 ? 0x10 : 0xFFFFFFF0u);  // 0x10 is later across the wrap
  }
  session.SetSequencesForTesting(1, 4000);
  ASSERT_EQ(session.MakeReedSolomonFec(media.ptrs.data(), 3, fec.ptrs.data(), 2), 0);
  const CVseRtpPacket& f = *fec.ptrs[1];
  EXPECT_EQ(f.sequence(), 4001);
  EXPECT_EQ(f.payload_type(), 111);
  EXPECT_EQ(f.timestamp(), 0x10u);
  EXPECT_EQ(f.ssrc(), 0x01020304u);
  EXPECT_EQ(f.PayloadLength(), 8 + 24);
  const uint8_t* h = f.Payload();
  EXPECT_EQ(h[0], 0xFF);  // base 65534
  EXPECT_EQ(h[1], 0xFE);
  EXPECT_EQ(h[4], 1);  // j
  EXPECT_EQ(h[5], 2);  // m
  EXPECT_EQ(h[6], 3);  // k
  EXPECT_EQ(h[7], 0);
  // Parity of the lengths 22, 23, 24 with row 4 of the (3, 5) code, little-endian low bytes.
  EXPECT_NE(vz::Load16(&h[2]), 0);

  media.ptrs[2]->set_sequence(2);  // 65534, 65535, 2: a gap
  EXPECT_EQ(session.MakeReedSolomonFec(media.ptrs.data(), 3, fec.ptrs.data(), 2), -1);
}

// Sends media and FEC through a receive session with the given losses.
struct Group {
  std::vector<Bytes> media;
  std::vector<Bytes> fec;
};

Group MakeGroup(CMMRTPSession4SVC* sender, const Bytes& nal, int count, int m, uint32_t ts) {
  SCOPED_TRACE(testing::Message() << "group of " << count << " + " << m << " at ts " << ts);
  Packets media(count), fec(m);
  if (count == 1) {
    EXPECT_EQ(sender->Single(ts, static_cast<int>(nal.size()), nal.data(), media.ptrs[0]), 0);
  } else {
    EXPECT_EQ(sender->Fragment(ts, static_cast<int>(nal.size()), nal.data(), count, media.ptrs.data()), 0);
  }
  Group g;
  if (m > 0) {
    EXPECT_EQ(sender->MakeReedSolomonFec(media.ptrs.data(), count, fec.ptrs.data(), m), 0);
  }
  for (auto* p : media.ptrs) g.media.emplace_back(p->Data(), p->Data() + p->TotalLength());
  for (int j = 0; j < m; ++j) g.fec.emplace_back(fec.ptrs[j]->Data(), fec.ptrs[j]->Data() + fec.ptrs[j]->TotalLength());
  return g;
}

int Feed(CMMRTPSession4SVC* s, const Bytes& b, uint32_t at = 0) {
  return s->Input(b.data(), static_cast<int>(b.size()), at);
}

TEST(SvcSessionReceive, TwoLossesRebuiltFromTwoFecPackets) {
  CMMRTPSession4SVC sender(nullptr, 5);
  sender.SetSequencesForTesting(100, 9);
  const Bytes nal = Nal(4800, 0x65, 9);
  Group g = MakeGroup(&sender, nal, 5, 2, 1000);
  CollectingSink sink;
  CMMRTPSession4SVC receiver(&sink, 5);
  for (int i : {0, 2, 4}) Feed(&receiver, g.media[i]);
  EXPECT_TRUE(sink.nals.empty());
  Feed(&receiver, g.fec[0]);
  EXPECT_TRUE(sink.nals.empty());
  Feed(&receiver, g.fec[1]);
  ASSERT_EQ(sink.nals.size(), 1u);
  EXPECT_EQ(sink.nals[0], WithStartCode(nal));
  EXPECT_EQ(sink.incomplete[0], 0);
  EXPECT_EQ(receiver.stats().packets_recovered, 2u);
  EXPECT_EQ(receiver.stored_fec_for_testing(), 0u);
}

TEST(SvcSessionReceive, FecFirstThenMediaAndDuplicates) {
  CMMRTPSession4SVC sender(nullptr, 5);
  sender.SetSequencesForTesting(65533, 9);  // the NAL unit spans the wrap
  const Bytes nal = Nal(3000, 0x41, 2);
  Group g = MakeGroup(&sender, nal, 4, 1, 2000);
  CollectingSink sink;
  CMMRTPSession4SVC receiver(&sink, 5);
  Feed(&receiver, g.fec[0]);
  EXPECT_EQ(receiver.stored_fec_for_testing(), 1u);
  Feed(&receiver, g.media[3]);
  Feed(&receiver, g.media[0]);
  Feed(&receiver, g.media[0]);  // a duplicate: only the input counters move
  EXPECT_EQ(receiver.stats().media_received, 2u);
  EXPECT_EQ(receiver.stats().packets_received, 4u);
  Feed(&receiver, g.media[2]);
  ASSERT_EQ(sink.nals.size(), 1u);
  EXPECT_EQ(sink.nals[0], WithStartCode(nal));
  Feed(&receiver, g.media[1]);  // arrives after being rebuilt: nothing more
  EXPECT_EQ(sink.nals.size(), 1u);
}

TEST(SvcSessionReceive, LostMiddleFragmentIsDeliveredOnlyByFlushAndMarkedIncomplete) {
  CMMRTPSession4SVC sender(nullptr, 5);
  sender.SetSequencesForTesting(10, 9);
  const Bytes first = Nal(3000, 0x65, 1);
  const Bytes second = Nal(2000, 0x41, 2);
  Group a = MakeGroup(&sender, first, 3, 0, 3000);
  Group b = MakeGroup(&sender, second, 2, 0, 3000);
  CollectingSink sink;
  CMMRTPSession4SVC receiver(&sink, 5);
  Feed(&receiver, a.media[0]);
  Feed(&receiver, a.media[2]);
  for (const Bytes& p : b.media) Feed(&receiver, p);
  // The adjacent NAL unit is rebuilt on its own, not run into the first.
  ASSERT_EQ(sink.nals.size(), 1u);
  EXPECT_EQ(sink.nals[0], WithStartCode(second));
  EXPECT_EQ(receiver.FlushFrameForTesting(3000), 0);
  ASSERT_EQ(sink.nals.size(), 2u);
  EXPECT_EQ(sink.incomplete[1], 1);
  // Up to the gap: start code, header and the first fragment's data.
  Bytes expected = WithStartCode(first);
  expected.resize(4 + 1000);
  EXPECT_EQ(sink.nals[1], expected);
  EXPECT_EQ(receiver.FlushFrameForTesting(3000), 1);  // nothing left
}

TEST(SvcSessionReceive, FramesAgeOutAfterFiveSeconds) {
  CMMRTPSession4SVC sender(nullptr, 5);
  const Bytes nal = Nal(3000, 0x65, 1);
  Group a = MakeGroup(&sender, nal, 3, 1, 100);
  Group b = MakeGroup(&sender, nal, 1, 0, 200);
  Group c = MakeGroup(&sender, nal, 1, 0, 300);
  CollectingSink sink;
  CMMRTPSession4SVC receiver(&sink, 5);
  Feed(&receiver, a.media[0], 1000);
  Feed(&receiver, a.fec[0], 1000);
  EXPECT_EQ(receiver.stored_frames_for_testing(), 1u);
  Feed(&receiver, b.media[0], 6000);
  EXPECT_EQ(receiver.stored_frames_for_testing(), 2u);
  Feed(&receiver, c.media[0], 6001);  // more than 5,000 ms after the first frame
  EXPECT_EQ(receiver.stored_frames_for_testing(), 2u);
  EXPECT_EQ(receiver.stored_fec_for_testing(), 0u);
  EXPECT_EQ(receiver.stored_media_for_testing(), 2u);
}

// What a frame's packets keep (their sequence numbers, taken by any later
// packet as a duplicate) goes 5,000 ms after the frame began whatever comes
// next: packets that fail the RTP check (version 1 here), or copies of
// packets still kept. A stream sent again with the same numbers after that
// is rebuilt again, media and FEC alike.
TEST(SvcSessionReceive, FramesAgeOutWhenOnlyMalformedPacketsOrCopiesFollow) {
  CMMRTPSession4SVC sender(nullptr, 5);
  sender.SetSequencesForTesting(300, 40);
  const Bytes nal = Nal(3000, 0x65, 3);
  Group g = MakeGroup(&sender, nal, 3, 1, 9000);
  CollectingSink sink;
  CMMRTPSession4SVC receiver(&sink, 5);
  for (const Bytes& p : g.media) Feed(&receiver, p, 1000);
  Feed(&receiver, g.fec[0], 1000);
  ASSERT_EQ(sink.nals.size(), 1u);

  // Six seconds of the same stream with a wrong RTP version: all refused.
  for (uint32_t at = 1000; at <= 7000; at += 500) {
    for (Bytes p : g.media) {
      p[0] = static_cast<uint8_t>((p[0] & 0x3F) | 0x40);
      EXPECT_EQ(Feed(&receiver, p, at), 1);
    }
  }
  // The valid stream again, its first packet lost: the FEC packet is
  // taken, not a copy, and rebuilds it.
  Feed(&receiver, g.fec[0], 7100);
  for (size_t i = 1; i < g.media.size(); ++i) Feed(&receiver, g.media[i], 7100);
  ASSERT_EQ(sink.nals.size(), 2u);
  EXPECT_EQ(sink.nals[1], WithStartCode(nal));
  EXPECT_EQ(receiver.stats().packets_recovered, 1u);

  // Copies of one kept packet, for six seconds: the frame still goes.
  for (uint32_t at = 7100; at <= 13100; at += 500) Feed(&receiver, g.media[1], at);
  for (const Bytes& p : g.media) Feed(&receiver, p, 13200);
  ASSERT_EQ(sink.nals.size(), 3u);
  EXPECT_EQ(sink.nals[2], WithStartCode(nal));
}

TEST(SvcSessionReceive, MalformedDatagramsAreDropped) {
  CollectingSink sink;
  CMMRTPSession4SVC receiver(&sink, 5);
  EXPECT_EQ(receiver.Input(nullptr, 10, 0), -1);
  Bytes cc15(13, 0);
  cc15[0] = 0x8F;
  cc15[1] = 98;
  EXPECT_EQ(Feed(&receiver, cc15), 1);
  Bytes ext(16, 0);
  ext[0] = 0x90;
  ext[1] = 98;
  ext[14] = 0x03;
  ext[15] = 0xE8;
  EXPECT_EQ(Feed(&receiver, ext), 1);
  Bytes other(20, 0);
  other[0] = 0x80;
  other[1] = 96;
  EXPECT_EQ(Feed(&receiver, other), 1);
  EXPECT_EQ(receiver.Input(cc15.data(), 0, 0), 1);  // zero-length

  // An FEC packet whose length parity lies: the rebuilt length is refused.
  CMMRTPSession4SVC sender(nullptr, 5);
  const Bytes nal = Nal(2000, 0x65, 4);
  Group g = MakeGroup(&sender, nal, 2, 1, 4000);
  Bytes lying = g.fec[0];
  lying[12 + 2] = 0xFF;
  lying[12 + 3] = 0xFF;
  Feed(&receiver, g.media[0]);
  Feed(&receiver, lying);
  EXPECT_TRUE(sink.nals.empty());
  EXPECT_EQ(receiver.stats().packets_recovered, 0u);
  // An FEC header with j >= m, or k = 0.
  Bytes bad = g.fec[0];
  bad[12 + 4] = 5;
  Feed(&receiver, bad);
  bad = g.fec[0];
  bad[12 + 6] = 0;
  Feed(&receiver, bad);
  EXPECT_EQ(receiver.stats().packets_recovered, 0u);
  Feed(&receiver, g.fec[0]);  // the honest one repairs it
  ASSERT_EQ(sink.nals.size(), 1u);
  EXPECT_EQ(sink.nals[0], WithStartCode(nal));
}

TEST(SvcSessionXor, MaskBitsAndSingleLossRecovery) {
  CMMRTPSession4SVC sender(nullptr, 0x55);
  ASSERT_EQ(sender.SetFecModeForTesting(0), 0);
  sender.SetSequencesForTesting(1000, 77);
  Packets media(3);
  const Bytes nal = Nal(2500, 0x65, 5);
  ASSERT_EQ(sender.Fragment(1234, 2500, nal.data(), 3, media.ptrs.data()), 0);
  CVseRtpPacket fec;
  ASSERT_EQ(sender.MakeXorFecForTesting(media.ptrs.data(), 3, 0x5, &fec), 0);  // packets 0 and 2
  const uint8_t* h = fec.Data() + 12;
  EXPECT_EQ(vz::Load16(&h[0]), 1000);
  EXPECT_EQ(vz::Load24(&h[5]), (1u << 23) | (1u << 21));
  EXPECT_EQ(sender.MakeXorFecForTesting(media.ptrs.data(), 3, 0, &fec), -1);
  EXPECT_EQ(fec.TotalLength(), 12 + 12 + (media.ptrs[0]->TotalLength() - 12));

  CVseRtpPacket all;
  ASSERT_EQ(sender.MakeXorFecForTesting(media.ptrs.data(), 3, 0x7, &all), 0);
  CollectingSink sink;
  CMMRTPSession4SVC receiver(&sink, 0x55);
  ASSERT_EQ(receiver.SetFecModeForTesting(0), 0);
  receiver.Input(media.ptrs[0]->Data(), media.ptrs[0]->TotalLength(), 0);
  receiver.Input(all.Data(), all.TotalLength(), 0);
  receiver.Input(media.ptrs[2]->Data(), media.ptrs[2]->TotalLength(), 0);
  ASSERT_EQ(sink.nals.size(), 1u);
  EXPECT_EQ(sink.nals[0], WithStartCode(nal));
}

TEST(SvcSessionReceive, StapAUnitsEachBehindAStartCode) {
  CMMRTPSession4SVC sender(nullptr, 5);
  CVseRtpPacket packet;
  const Bytes a = {0x67, 1, 2, 3};
  const Bytes b = {0x68, 4, 5};
  const uint8_t* units[] = {a.data(), b.data()};
  const int lengths[] = {4, 3};
  ASSERT_EQ(sender.AggregateForTesting(90, 2, lengths, units, &packet), 0);
  CollectingSink sink;
  CMMRTPSession4SVC receiver(&sink, 5);
  receiver.Input(packet.Data(), packet.TotalLength(), 0);
  ASSERT_EQ(sink.nals.size(), 2u);
  EXPECT_EQ(sink.nals[0], WithStartCode(a));
  EXPECT_EQ(sink.nals[1], WithStartCode(b));
}

}  // namespace
