#include "video/engine/rtp/rtcp_packet_tool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "video/engine/rtp/rtcp_channel.h"

using namespace vz::rtcp;

namespace {

using Bytes = std::vector<uint8_t>;

// Runs a builder into a 2 KB buffer and gives the packet's bytes.
template <typename Build>
Bytes Built(Build build) {
  uint8_t buffer[2048];
  int size = sizeof(buffer);
  const int result = build(buffer, &size);
  EXPECT_EQ(result, 0);
  return Bytes(buffer, buffer + (result == 0 ? size : 0));
}

TEST(RtcpPackets, GoldenBytesOfEachKind) {
  // PSFB format 1 (PLI) from SSRC 7 for media 0x01020304.
  EXPECT_EQ(Built([&](uint8_t* b, int* size) { return BuildFeedback(kPayloadFeedback, 7, 0x01020304, kPliFormat, nullptr, 0, b, size); }),
            (Bytes{0x81, 0xCE, 0x00, 0x03, 0, 0, 0, 7, 1, 2, 3, 4}));
  const uint8_t fci[4] = {0xAA, 0xBB, 0xCC, 0xDD};
  EXPECT_EQ(Built([&](uint8_t* b, int* size) { return BuildFeedback(kTransportFeedback, 1, 2, 3, fci, 4, b, size); }),
            (Bytes{0x83, 0xCD, 0x00, 0x04, 0, 0, 0, 1, 0, 0, 0, 2, 0xAA, 0xBB, 0xCC, 0xDD}));
  const uint32_t bye = 0x11223344;
  EXPECT_EQ(Built([&](uint8_t* b, int* size) { return BuildBye(&bye, 1, b, size); }),
            (Bytes{0x81, 0xCB, 0x00, 0x02, 0x11, 0x22, 0x33, 0x44}));
  const uint8_t app_data[] = {9, 8, 7, 6};
  EXPECT_EQ(Built([&](uint8_t* b, int* size) { return BuildApp(5, 3, "VZAP", app_data, 4, b, size); }),
            (Bytes{0x83, 0xCC, 0x00, 0x04, 0, 0, 0, 5, 'V', 'Z', 'A', 'P', 9, 8, 7, 6}));
  ReportBlock block{0x0A0B0C0D, (0x000102u << 8) | 0x40, 0x00010005, 17, 0x12345678, 99};
  EXPECT_EQ(Built([&](uint8_t* b, int* size) { return BuildReceiverReport(0x99, &block, 1, b, size); }),
            (Bytes{0x81, 0xC9, 0x00, 0x08, 0, 0, 0, 0x99, 0x0A, 0x0B, 0x0C, 0x0D, 0x40, 0x00, 0x01, 0x02,
                   0, 1, 0, 5, 0, 0, 0, 17, 0x12, 0x34, 0x56, 0x78, 0, 0, 0, 99}));
  SenderInfo info{1, 2, 3, 4, 5};
  EXPECT_EQ(Built([&](uint8_t* b, int* size) { return BuildSenderReport(0x99, &info, nullptr, 0, b, size); }),
            (Bytes{0x80, 0xC8, 0x00, 0x07, 0, 0, 0, 0x99, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4,
                   0, 0, 0, 5}));
  SdesChunk chunk;
  chunk.ssrc = 0x42;
  chunk.item_type = kSdesCname;
  chunk.length = 3;
  std::memcpy(chunk.text, "abc", 3);
  EXPECT_EQ(Built([&](uint8_t* b, int* size) { return BuildSdes(&chunk, 1, b, size); }),
            (Bytes{0x81, 0xCA, 0x00, 0x04, 0, 0, 0, 0x42, 1, 3, 'a', 'b', 'c', 0, 0, 0}));
}

TEST(RtcpPackets, BuildersRefuseMissingArgumentsAndShortBuffers) {
  uint8_t b[64];
  int size = 11;
  EXPECT_EQ(BuildFeedback(kPayloadFeedback, 1, 2, 1, nullptr, 0, b, &size), -1);
  size = 0;
  const uint32_t ssrc = 1;
  EXPECT_EQ(BuildBye(&ssrc, 1, b, &size), -1);
  size = 64;
  EXPECT_EQ(BuildBye(nullptr, 1, b, &size), -1);
  EXPECT_EQ(BuildFeedback(200, 1, 2, 1, nullptr, 0, b, &size), -1);
  SdesChunk chunk;
  EXPECT_EQ(BuildSdes(&chunk, 1, b, &size), -1);  // room for 4 + 264 is required
}

TEST(RtcpPackets, ReportsAndSdesRoundTrip) {
  uint8_t b[2048];
  int size = sizeof(b);
  ReportBlock blocks[3];
  for (int i = 0; i < 3; ++i) blocks[i] = {uint32_t(i + 1), (uint32_t(i) << 8) | 7, 100, 2, 3, 4};
  SenderInfo info{10, 20, 30, 40, 50};
  ASSERT_EQ(BuildSenderReport(0x77, &info, blocks, 3, b, &size), 0);
  EXPECT_EQ(size, 28 + 72);
  EXPECT_EQ(ReadType(b, size), kSenderReport);
  EXPECT_EQ(ReadCount(b, size), 3);
  SenderInfo read_info;
  ASSERT_EQ(ReadSenderInfo(b, size, &read_info), 0);
  EXPECT_EQ(read_info.octet_count, 50u);
  ReportBlock read[16];
  ASSERT_EQ(ReadReportBlocks(b, size, read, 16), 3);
  EXPECT_EQ(read[2].lost, (2u << 8) | 7);
  EXPECT_EQ(ReadReportBlocks(b, size, read, 2), 2);
  const uint8_t* rest = nullptr;
  EXPECT_EQ(ReadDataAfterReports(b, size, &rest), 0);

  SdesChunk chunks[2];
  chunks[0].ssrc = 1;
  chunks[0].item_type = 1;
  chunks[0].length = 5;
  std::memcpy(chunks[0].text, "first", 5);
  chunks[1].ssrc = 2;
  chunks[1].item_type = 1;
  chunks[1].length = 6;
  std::memcpy(chunks[1].text, "second", 6);
  size = sizeof(b);
  ASSERT_EQ(BuildSdes(chunks, 2, b, &size), 0);
  EXPECT_EQ(size, 4 + 12 + 12);
  SdesChunk out[4];
  ASSERT_EQ(ReadSdesChunks(b, size, out, 4), 2);
  EXPECT_STREQ(out[0].text, "first");
  EXPECT_STREQ(out[1].text, "second");
  EXPECT_EQ(out[1].ssrc, 2u);
}

TEST(RtcpPackets, ValidityAndCompoundWalk) {
  uint8_t pli[12] = {0x81, 0xCE, 0x00, 0x03, 0, 0, 0, 7, 1, 2, 3, 4};
  EXPECT_TRUE(IsValidPacket(pli, 12));
  EXPECT_FALSE(IsValidPacket(pli, 11));  // shorter than its length says
  uint8_t wrong[12];
  std::memcpy(wrong, pli, 12);
  wrong[1] = 199;
  EXPECT_FALSE(IsValidPacket(wrong, 12));
  wrong[1] = 207;
  EXPECT_FALSE(IsValidPacket(wrong, 12));
  wrong[1] = 0xCE;
  wrong[0] = 0x41;
  EXPECT_FALSE(IsValidPacket(wrong, 12));

  const uint32_t ssrc = 5;
  uint8_t bye[8];
  int bye_size = 8;
  ASSERT_EQ(BuildBye(&ssrc, 1, bye, &bye_size), 0);
  const uint8_t* parts[] = {pli, bye};
  const int lengths[] = {12, 8};
  uint8_t compound[64];
  int size = 19;
  EXPECT_EQ(Concatenate(parts, lengths, 2, compound, &size), -1);
  size = sizeof(compound);
  ASSERT_EQ(Concatenate(parts, lengths, 2, compound, &size), 0);
  ASSERT_EQ(size, 20);
  std::vector<int> seen;
  auto handler = [&seen](const uint8_t* p, int n) { seen.push_back(p[1] * 1000 + n); };
  EXPECT_EQ(WalkCompound(handler, compound, 20), 0);
  EXPECT_EQ(seen, (std::vector<int>{206012, 203008}));

  // A second packet of length 0 stops the walk after the first.
  seen.clear();
  compound[14] = compound[15] = 0;
  EXPECT_EQ(WalkCompound(handler, compound, 20), -2);
  EXPECT_EQ(seen, (std::vector<int>{206012}));
  // A length past the datagram stops it without handing anything on.
  seen.clear();
  compound[15] = 9;
  EXPECT_EQ(WalkCompound(handler, compound, 20), -3);
  EXPECT_EQ(seen, (std::vector<int>{206012}));
  seen.clear();
  EXPECT_EQ(WalkCompound(handler, compound, 14), -3);  // two stray bytes
  EXPECT_EQ(WalkCompound(handler, compound, 0), 0);
}

TEST(RtcpPackets, ReadersStayInsideThePacket) {
  // A BYE whose count says 31 but which holds one SSRC.
  uint8_t bye[8] = {0x9F, 0xCB, 0x00, 0x02, 0, 0, 0, 1};
  uint32_t ssrcs[31];
  EXPECT_EQ(ReadByeSsrcs(bye, 8, ssrcs, 31), 1);
  // An RR whose count says 2 but holds none.
  uint8_t rr[8] = {0x82, 0xC9, 0x00, 0x02, 0, 0, 0, 1};
  ReportBlock blocks[2];
  EXPECT_EQ(ReadReportBlocks(rr, 8, blocks, 2), 0);
  const uint8_t* rest = nullptr;
  EXPECT_EQ(ReadDataAfterReports(rr, 8, &rest), -1);
  // An SDES chunk whose text runs past the packet.
  uint8_t sdes[12] = {0x81, 0xCA, 0x00, 0x03, 0, 0, 0, 1, 1, 200, 'x', 'y'};
  SdesChunk chunks[1];
  EXPECT_EQ(ReadSdesChunks(sdes, 12, chunks, 1), 0);
  // An SR too short for its sender info.
  uint8_t sr[8] = {0x80, 0xC8, 0x00, 0x02, 0, 0, 0, 1};
  SenderInfo info;
  EXPECT_EQ(ReadSenderInfo(sr, 8, &info), -2);
  // Feedback shorter than its two SSRCs.
  uint8_t fb[8] = {0x81, 0xCE, 0x00, 0x02, 0, 0, 0, 1};
  int format = 0;
  EXPECT_FALSE(ReadFeedback(fb, 8, &format, nullptr, nullptr, nullptr, nullptr));
}

// One channel made by the factory, released at the end of the scope.
struct Channel {
  explicit Channel(IRtcpChannelSink* sink) { EXPECT_EQ(CreateRtcpChannel(sink, &p), VSE_S_OK); }
  ~Channel() {
    if (p != nullptr) p->Release();
  }
  IVseRtcpChannel* operator->() { return p; }
  CRtcpChannel* impl() { return static_cast<CRtcpChannel*>(p); }
  IVseRtcpChannel* p = nullptr;
};

class RecordingSink : public IRtcpChannelSink {
 public:
  bool SendRtcp(const uint8_t* data, int length) override {
    if (!has_transport) return false;
    sent.emplace_back(data, data + length);
    return true;
  }
  void OnKeyFrameRequest(uint32_t media_ssrc) override { key_frames.push_back(media_ssrc); }
  void OnFeedback12(uint32_t media_ssrc, const Feedback12& f) override {
    feedback.push_back({media_ssrc, f.words[0], f.words[2]});
  }
  void OnFeedback16(uint32_t media_ssrc, const Feedback16& f) override {
    feedback.push_back({media_ssrc, f.words[0], f.words[3]});
  }
  bool has_transport = true;
  std::vector<Bytes> sent;
  std::vector<uint32_t> key_frames;
  std::vector<std::vector<uint32_t>> feedback;
};

TEST(RtcpChannel, SendsEachKind) {
  RecordingSink sink;
  Channel channel(&sink);
  EXPECT_EQ(channel->SendPli(7, 0x01020304), 0);
  EXPECT_EQ(sink.sent.back(), (Bytes{0x81, 0xCE, 0x00, 0x03, 0, 0, 0, 7, 1, 2, 3, 4}));
  EXPECT_EQ(channel->SendFeedback12(1, 2, Feedback12{{0x10, 0x20, 0x30}}), 0);
  EXPECT_EQ(sink.sent.back().size(), 24u);
  EXPECT_EQ(sink.sent.back()[0], 0x8F);
  EXPECT_EQ(sink.sent.back()[15], 0x10);
  EXPECT_EQ(channel->SendFeedback16(1, 2, Feedback16{{1, 2, 3, 4}}), 0);
  EXPECT_EQ(sink.sent.back().size(), 28u);
  EXPECT_EQ(channel->SendBye(9), 0);
  EXPECT_EQ(sink.sent.back(), (Bytes{0x81, 0xCB, 0x00, 0x02, 0, 0, 0, 9}));
  EXPECT_EQ(channel->SendSdes(4294967295u, "ann"), 0);
  const Bytes& sdes = sink.sent.back();
  const std::string text(sdes.begin() + 10, sdes.begin() + 10 + sdes[9]);
  EXPECT_EQ(text, "user_name=ann@ssrc_id=4294967295:media_type=VIDEO_CAMERA");
  EXPECT_EQ(sdes.size() % 4, 0u);
  sink.has_transport = false;
  EXPECT_EQ(channel->SendBye(9), VSE_E_POINTER);
  IVseRtcpChannel* orphan = nullptr;
  EXPECT_EQ(CreateRtcpChannel(nullptr, &orphan), VSE_E_INVALIDARG);
  EXPECT_EQ(orphan, nullptr);
  EXPECT_EQ(CreateRtcpChannel(&sink, nullptr), VSE_E_INVALIDARG);
  IRtcpPacketHandler* handler = nullptr;
  ASSERT_EQ(channel->QueryInterface(&IID_IRtcpPacketHandler, reinterpret_cast<void**>(&handler)),
            VSE_S_OK);
  EXPECT_EQ(channel->GetRefCount(), 2);
  channel->Release();
}

TEST(RtcpChannel, LongUserNamesAreCutAtACharacterBoundary) {
  std::string name;
  for (int i = 0; i < 150; ++i) name += "\xC3\xA9";  // 300 bytes of two-byte characters
  const std::string cname = MakeCname(1, name);
  EXPECT_LE(cname.size(), 255u);
  EXPECT_EQ(cname.size() % 2, 0u);  // "user_name=" is 10 bytes, then whole characters
  RecordingSink sink;
  Channel channel(&sink);
  ASSERT_EQ(channel->SendSdes(1, name), 0);
  SdesChunk chunk;
  ASSERT_EQ(ReadSdesChunks(sink.sent.back().data(), static_cast<int>(sink.sent.back().size()), &chunk, 1), 1);
  EXPECT_EQ(chunk.length, cname.size());
}

TEST(RtcpChannel, ReceivedFeedbackReachesTheRightHandler) {
  RecordingSink sink;
  Channel sender(&sink);
  sender->SendPli(7, 0x0A);
  sender->SendFeedback12(7, 0x0B, Feedback12{{1, 2, 3}});
  sender->SendFeedback16(7, 0x0C, Feedback16{{5, 6, 7, 8}});
  sender->SendBye(0x0D);
  Bytes compound;
  for (const Bytes& p : sink.sent) compound.insert(compound.end(), p.begin(), p.end());
  RecordingSink receiver_sink;
  Channel receiver(&receiver_sink);
  EXPECT_EQ(receiver->Input(compound.data(), static_cast<int>(compound.size()), 1234), 0);
  EXPECT_EQ(receiver.impl()->last_arrival_for_testing(), 1234u);
  EXPECT_EQ(receiver_sink.key_frames, (std::vector<uint32_t>{0x0A}));
  ASSERT_EQ(receiver_sink.feedback.size(), 2u);
  EXPECT_EQ(receiver_sink.feedback[0], (std::vector<uint32_t>{0x0B, 1, 3}));
  EXPECT_EQ(receiver_sink.feedback[1], (std::vector<uint32_t>{0x0C, 5, 8}));
  EXPECT_EQ(receiver.impl()->last_bye_ssrc_for_testing(), 0x0Du);
  // Format 15 of another size.
  uint8_t b[64];
  int size = sizeof(b);
  const uint8_t fci[8] = {};
  ASSERT_EQ(BuildFeedback(kPayloadFeedback, 1, 2, 15, fci, 8, b, &size), 0);
  EXPECT_EQ(receiver.impl()->HandlePacket(b, size), VSE_E_FAIL);
}

}  // namespace
