#include "weblink/pipe/pipe_frame_cutter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "weblink/pipe/pipe_frame.h"

namespace {

struct Cut {
  uint32_t kind;
  std::string payload;
  bool operator==(const Cut&) const = default;
};

// Feeds `stream` in the given pieces and collects every frame cut after each.
std::vector<Cut> CutPieces(const std::string& stream, const std::vector<size_t>& piece_ends,
                           PipeFrameCutter::Result* last = nullptr) {
  PipeFrameCutter cutter;
  std::vector<Cut> cuts;
  size_t begin = 0;
  PipeFrameCutter::Result result = PipeFrameCutter::Result::kNeedMore;
  for (size_t end : piece_ends) {
    cutter.Append(stream.data() + begin, end - begin);
    begin = end;
    PipeFrameView view;
    while ((result = cutter.Next(&view)) == PipeFrameCutter::Result::kFrame) {
      cuts.push_back({view.kind, std::string(view.payload)});
    }
  }
  if (last) *last = result;
  return cuts;
}

// Several frames, empty payloads among them and one at the very end.
const std::vector<Cut> kFrames = {
    {PIPE_KIND_JSON_TEXT, "{\"type\":\"ping\"}"},
    {PIPE_KIND_BASE64_DATA, "QUJDRA=="},
    {PIPE_KIND_JSON_TEXT, ""},
    {PIPE_KIND_TRACE_LOG, std::string("nul\0inside", 10)},
    {0xFFFFFFFFu, "x"},
    {PIPE_KIND_VALUE2, ""},
};

std::string StreamOf(const std::vector<Cut>& frames) {
  std::string stream;
  for (const Cut& frame : frames) stream += BuildPipeFrame(frame.kind, frame.payload);
  return stream;
}

TEST(PipeFrameTest, HeaderIsBigEndianLengthThenKind) {
  EXPECT_EQ(BuildPipeFrame(PIPE_KIND_JSON_TEXT, "ab"), std::string("\x00\x00\x00\x02\x00\x00\x03\xE8" "ab", 10));
  EXPECT_EQ(BuildPipeFrame(PIPE_KIND_CRASH_REPORT, ""), std::string("\x00\x00\x00\x00\x00\x00\x03\xEA", 8));

  const std::string wire("\xFE\xDC\xBA\x98\x80\x00\x00\x01", 8);
  const PipeFrameHeader header = PipeFrameHeader::ReadFrom(wire.data());
  EXPECT_EQ(header.length, 0xFEDCBA98u);
  EXPECT_EQ(header.kind, 0x80000001u);
  char back[8];
  header.WriteTo(back);
  EXPECT_EQ(std::string(back, 8), wire);
}

TEST(PipeFrameCutterTest, EveryChunkSizeGivesEveryFrameOnceInOrder) {
  const std::string stream = StreamOf(kFrames);
  for (size_t chunk = 1; chunk <= stream.size(); ++chunk) {
    std::vector<size_t> ends;
    for (size_t end = chunk; end < stream.size(); end += chunk) ends.push_back(end);
    ends.push_back(stream.size());
    PipeFrameCutter::Result last;
    EXPECT_EQ(CutPieces(stream, ends, &last), kFrames) << "chunk " << chunk;
    EXPECT_EQ(last, PipeFrameCutter::Result::kNeedMore) << "chunk " << chunk;
  }
}

TEST(PipeFrameCutterTest, EveryPairOfSplitPointsGivesEveryFrameOnceInOrder) {
  const std::string stream = StreamOf(kFrames);
  for (size_t first = 0; first <= stream.size(); ++first) {
    for (size_t second = first; second <= stream.size(); ++second) {
      EXPECT_EQ(CutPieces(stream, {first, second, stream.size()}), kFrames) << first << "," << second;
    }
  }
}

TEST(PipeFrameCutterTest, PartialFramesWaitForTheirLastByte) {
  const std::string frame = BuildPipeFrame(PIPE_KIND_JSON_TEXT, "abc");
  PipeFrameCutter cutter;
  PipeFrameView view;
  cutter.Append(frame.data(), 7);  // not even a header
  EXPECT_EQ(cutter.Next(&view), PipeFrameCutter::Result::kNeedMore);
  cutter.Append(frame.data() + 7, frame.size() - 8);  // all but the last payload byte
  EXPECT_EQ(cutter.Next(&view), PipeFrameCutter::Result::kNeedMore);
  EXPECT_EQ(cutter.BufferedForTesting(), frame.size() - 1);
  cutter.Append(frame.data() + frame.size() - 1, 1);
  ASSERT_EQ(cutter.Next(&view), PipeFrameCutter::Result::kFrame);
  EXPECT_EQ(view.payload, "abc");
  EXPECT_EQ(cutter.BufferedForTesting(), 0u);
}

TEST(PipeFrameCutterTest, LoneEmptyFrameOfEightBytesIsDelivered) {
  const std::string frame = BuildPipeFrame(PIPE_KIND_JSON_TEXT, "");
  PipeFrameCutter cutter;
  cutter.Append(frame.data(), frame.size());
  PipeFrameView view;
  ASSERT_EQ(cutter.Next(&view), PipeFrameCutter::Result::kFrame);
  EXPECT_EQ(view.kind, PIPE_KIND_JSON_TEXT);
  EXPECT_TRUE(view.payload.empty());
  EXPECT_EQ(cutter.Next(&view), PipeFrameCutter::Result::kNeedMore);
}

TEST(PipeFrameCutterTest, ReadLandsInPlaceAndOnlyCommittedBytesCount) {
  const std::string stream = StreamOf(kFrames);
  PipeFrameCutter cutter;
  std::vector<Cut> cuts;
  size_t at = 0;
  while (at < stream.size()) {
    // Offer 32 bytes of room, as a read would, but "read" only 5.
    char* room = cutter.PrepareAppend(32);
    const size_t n = std::min<size_t>(5, stream.size() - at);
    std::copy(stream.data() + at, stream.data() + at + n, room);
    cutter.CommitAppend(n);
    at += n;
    PipeFrameView view;
    while (cutter.Next(&view) == PipeFrameCutter::Result::kFrame) cuts.push_back({view.kind, std::string(view.payload)});
  }
  EXPECT_EQ(cuts, kFrames);
}

TEST(PipeFrameCutterTest, LengthOverTheLimitStopsTheCutterForGood) {
  PipeFrameCutter cutter(16);
  const std::string at_limit = BuildPipeFrame(7, std::string(16, 'a'));
  std::string over = BuildPipeFrame(8, std::string(17, 'b'));
  cutter.Append(at_limit.data(), at_limit.size());
  cutter.Append(over.data(), 8);  // the header alone is enough to refuse it
  PipeFrameView view;
  ASSERT_EQ(cutter.Next(&view), PipeFrameCutter::Result::kFrame);
  EXPECT_EQ(view.payload.size(), 16u);
  EXPECT_EQ(cutter.Next(&view), PipeFrameCutter::Result::kOversized);
  EXPECT_EQ(cutter.RejectedHeader().length, 17u);
  EXPECT_EQ(cutter.RejectedHeader().kind, 8u);
  // Later bytes, even a valid frame, are not cut past a refused header.
  const std::string valid = BuildPipeFrame(1, "ok");
  cutter.Append(over.data() + 8, over.size() - 8);
  cutter.Append(valid.data(), valid.size());
  EXPECT_EQ(cutter.Next(&view), PipeFrameCutter::Result::kOversized);
}

TEST(PipeFrameCutterTest, DefaultLimitRefusesHugeAndWrappingLengths) {
  for (uint32_t length : {kPipeMaxPayload + 1, 0xFFFFFFF8u, 0xFFFFFFFFu}) {
    PipeFrameCutter cutter;
    char header[8];
    PipeFrameHeader{length, PIPE_KIND_JSON_TEXT}.WriteTo(header);
    cutter.Append(header, sizeof(header));
    PipeFrameView view;
    EXPECT_EQ(cutter.Next(&view), PipeFrameCutter::Result::kOversized) << length;
  }
  // The limit itself is a length the cutter waits for.
  PipeFrameCutter cutter;
  char header[8];
  PipeFrameHeader{kPipeMaxPayload, PIPE_KIND_JSON_TEXT}.WriteTo(header);
  cutter.Append(header, sizeof(header));
  PipeFrameView view;
  EXPECT_EQ(cutter.Next(&view), PipeFrameCutter::Result::kNeedMore);
}

TEST(PipeFrameCutterTest, LargeFrameAfterManySmallOnesInOneRead) {
  std::string stream;
  for (int i = 0; i < 1000; ++i) stream += BuildPipeFrame(PIPE_KIND_TRACE_LOG, "line " + std::to_string(i));
  std::string big(3 * 1024 * 1024, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 + 7);
  const std::string big_frame = BuildPipeFrame(PIPE_KIND_BASE64_DATA, big);
  stream += big_frame.substr(0, 100);

  PipeFrameCutter cutter;
  cutter.Append(stream.data(), stream.size());
  PipeFrameView view;
  int small = 0;
  while (cutter.Next(&view) == PipeFrameCutter::Result::kFrame) {
    EXPECT_EQ(view.payload, "line " + std::to_string(small));
    ++small;
  }
  EXPECT_EQ(small, 1000);
  for (size_t at = 100; at < big_frame.size(); at += 32768) {
    cutter.Append(big_frame.data() + at, std::min<size_t>(32768, big_frame.size() - at));
  }
  ASSERT_EQ(cutter.Next(&view), PipeFrameCutter::Result::kFrame);
  EXPECT_TRUE(view.payload == big);
  EXPECT_EQ(cutter.BufferedForTesting(), 0u);
}

// Reads as the stream channel makes them: up to the end of a large frame in
// hand, else a whole chunk. Every payload's line offset is recorded.
struct PlacedCut {
  uint32_t kind;
  std::string payload;
  size_t line_offset;
};

std::vector<PlacedCut> CutPlaced(const std::string& stream, size_t chunk) {
  PipeFrameCutter cutter;
  cutter.SetPayloadPlacement([](uint32_t kind) { return kind * 5; });
  std::vector<PlacedCut> cuts;
  for (size_t at = 0; at < stream.size();) {
    const size_t remainder = cutter.LargeFrameRemainder();
    const size_t wanted = remainder > 0 && remainder < chunk ? remainder : chunk;
    char* room = cutter.PrepareAppend(wanted);
    const size_t n = std::min(wanted, stream.size() - at);
    std::memcpy(room, stream.data() + at, n);
    cutter.CommitAppend(n);
    at += n;
    PipeFrameView view;
    while (cutter.Next(&view) == PipeFrameCutter::Result::kFrame) {
      cuts.push_back({view.kind, std::string(view.payload), reinterpret_cast<uintptr_t>(view.payload.data()) % 64});
    }
  }
  EXPECT_EQ(cutter.BufferedForTesting(), 0u);
  return cuts;
}

std::string Pattern(size_t size, int seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 131 + seed);
  return bytes;
}

TEST(PipeFrameCutterTest, PlacedLargePayloadsLandAtTheirLineOffsetAndStayWhole) {
  // Larger than the first buffer, so placement also runs through its growth;
  // small frames in between and one large frame cut by a chunk's end.
  const std::vector<std::pair<uint32_t, size_t>> frames = {
      {7, 100000}, {7, 100000}, {9, 70000}, {9, 300000}, {1, 10}, {2, 0}, {9, 40000}, {11, 100000}};
  std::string stream;
  for (size_t i = 0; i < frames.size(); ++i) {
    stream += BuildPipeFrame(frames[i].first, Pattern(frames[i].second, static_cast<int>(i)));
  }
  for (size_t chunk : {size_t{1000}, size_t{65536}, size_t{0x40000}}) {
    SCOPED_TRACE(chunk);
    const std::vector<PlacedCut> cuts = CutPlaced(stream, chunk);
    ASSERT_EQ(cuts.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(cuts[i].kind, frames[i].first);
      EXPECT_TRUE(cuts[i].payload == Pattern(frames[i].second, static_cast<int>(i))) << "frame " << i;
    }
    // A large frame right after a large one is placed for the kind before it
    // (the second frame shares the first read when a chunk holds both).
    if (chunk < 2 * 100008) {
      EXPECT_EQ(cuts[1].line_offset, 35u);
    }
    EXPECT_EQ(cuts[2].line_offset, 35u);
    EXPECT_EQ(cuts[3].line_offset, 45u);
  }
}

TEST(PipeFrameCutterTest, WithoutPlacementNoReadIsCutShort) {
  PipeFrameCutter cutter;
  const std::string frame = BuildPipeFrame(7, Pattern(100000, 1));
  cutter.Append(frame.data(), 100);
  EXPECT_EQ(cutter.LargeFrameRemainder(), 0u);
}

}  // namespace
