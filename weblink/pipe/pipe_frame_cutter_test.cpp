#include "weblink/pipe/pipe_frame_cutter.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(last, PipeFrameCutter::Result::kNeedMore);
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
  EXPECT_EQ(cutter.Buffered(), frame.size() - 1);
  cutter.Append(frame.data() + frame.size() - 1, 1);
  ASSERT_EQ(cutter.Next(&view), PipeFrameCutter::Result::kFrame);
  EXPECT_EQ(view.payload, "abc");
  EXPECT_EQ(cutter.Buffered(), 0u);
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
  EXPECT_EQ(cutter.Buffered(), 0u);
}

}  // namespace
