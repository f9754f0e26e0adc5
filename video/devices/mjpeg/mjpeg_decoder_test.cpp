#include "video/devices/mjpeg/mjpeg_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "video/devices/mjpeg/mjpeg_frame_header.h"
#include "video/devices/mjpeg/mjpeg_table_choice.h"
#include "video/devices/mjpeg/mjpeg_testlib.h"

namespace nsVZVP {
namespace {

using mjpeg_testing::Compare;
using mjpeg_testing::EncodeFrame;
using mjpeg_testing::EncodeOptions;
using mjpeg_testing::Form;
using mjpeg_testing::ReferenceI420;

// The transform here and the reference's differ in rounding only.
constexpr int kMaxDifference = 3;
constexpr double kMaxMeanDifference = 0.35;

struct OracleCase {
  int width;
  int height;
  Form form;
  bool strip_tables;
  int restart;  // 0: none; -1: one MCU row (divides the count); else MCUs
};

std::string CaseName(const testing::TestParamInfo<OracleCase>& info) {
  const OracleCase& c = info.param;
  std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) +
                     (c.form == Form::k420 ? "_420" : "_422") + (c.strip_tables ? "_noDHT" : "_DHT");
  if (c.restart == -1) name += "_rowRestart";
  if (c.restart > 0) name += "_restart" + std::to_string(c.restart);
  return name;
}

class MjpegOracleTest : public testing::TestWithParam<OracleCase> {};

// Each frame decodes, into a buffer of exactly its I420 size (so ASan sees
// any store past the edge MCUs), to libjpeg-turbo's planes within rounding.
TEST_P(MjpegOracleTest, MatchesReferenceDecode) {
  const OracleCase& c = GetParam();
  EncodeOptions options;
  options.width = c.width;
  options.height = c.height;
  options.form = c.form;
  options.restart_interval = c.restart == -1 ? (c.width + 15) / 16 : c.restart;
  std::vector<uint8_t> frame = EncodeFrame(options);
  if (c.strip_tables) frame = mjpeg_testing::StripSegments(frame, 0xC4);
  const std::vector<uint8_t> reference = ReferenceI420(EncodeFrame(options), c.width, c.height, c.form);
  ASSERT_FALSE(reference.empty());

  CMjpegDecoder decoder;
  uint32_t size = 0;
  int32_t height = 0, width = 0, planes = 0, progressive = 0, reserved = 7;
  ASSERT_EQ(CMjpegDecoder::kOk, decoder.Probe(static_cast<uint32_t>(frame.size()), frame.data(), &size, &height,
                                              &width, &planes, &progressive, &reserved));
  EXPECT_EQ(c.width, width);
  EXPECT_EQ(c.height, height);
  ASSERT_EQ(reference.size(), size);
  std::vector<uint8_t> output(size);
  ASSERT_EQ(CMjpegDecoder::kOk,
            decoder.Decode(static_cast<uint32_t>(frame.size()), frame.data(), output.data(), size));
  const mjpeg_testing::Difference d = Compare(output, reference);
  EXPECT_LE(d.max, kMaxDifference);
  EXPECT_LE(d.mean, kMaxMeanDifference);
}

std::vector<OracleCase> OracleCases() {
  std::vector<OracleCase> cases;
  const int sizes[][2] = {{640, 360}, {1280, 720}, {1920, 1080}, {424, 240}};
  for (const auto& size : sizes) {
    for (Form form : {Form::k420, Form::k422}) {
      for (bool strip : {false, true}) {
        for (int restart : {0, -1, 7}) cases.push_back({size[0], size[1], form, strip, restart});
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Sizes, MjpegOracleTest, testing::ValuesIn(OracleCases()), CaseName);

int DecodeInto(const std::vector<uint8_t>& frame, std::vector<uint8_t>* output) {
  CMjpegDecoder decoder;
  return decoder.Decode(static_cast<uint32_t>(frame.size()), frame.data(), output->data(),
                        static_cast<uint32_t>(output->size()));
}

int DecodeResult(const std::vector<uint8_t>& frame, uint32_t capacity) {
  std::vector<uint8_t> output(capacity);
  return DecodeInto(frame, &output);
}

std::vector<uint8_t> Frame(int width, int height, Form form, int restart = 0, bool own_tables = false) {
  EncodeOptions options;
  options.width = width;
  options.height = height;
  options.form = form;
  options.restart_interval = restart;
  options.optimize_tables = own_tables;
  return EncodeFrame(options);
}

int ProbeResult(const std::vector<uint8_t>& frame) {
  CMjpegDecoder decoder;
  uint32_t size = 0;
  int32_t height = 0, width = 0, planes = 0, progressive = 0, reserved = 0;
  return decoder.Probe(static_cast<uint32_t>(frame.size()), frame.data(), &size, &height, &width, &planes,
                       &progressive, &reserved);
}

void PutBe16(std::vector<uint8_t>* frame, size_t at, int value) {
  (*frame)[at] = static_cast<uint8_t>(value >> 8);
  (*frame)[at + 1] = static_cast<uint8_t>(value);
}

TEST(MjpegProbeTest, GivesTheI420SizeAndFixedOutputs) {
  const std::vector<uint8_t> frame = Frame(640, 480, Form::k422);
  CMjpegDecoder decoder;
  uint32_t size = 0;
  int32_t height = 0, width = 0, planes = 0, progressive = 0, reserved = 9;
  ASSERT_EQ(CMjpegDecoder::kOk, decoder.Probe(static_cast<uint32_t>(frame.size()), frame.data(), &size, &height,
                                              &width, &planes, &progressive, &reserved));
  EXPECT_EQ(460800u, size);
  EXPECT_EQ(480, height);
  EXPECT_EQ(640, width);
  EXPECT_EQ(1, planes);
  EXPECT_EQ(1, progressive);
  EXPECT_EQ(0, reserved);

  // A refused frame leaves the outputs as they were.
  const std::vector<uint8_t> grey = Frame(640, 480, Form::kGrey);
  size = 1;
  EXPECT_EQ(CMjpegDecoder::kBadForm, decoder.Probe(static_cast<uint32_t>(grey.size()), grey.data(), &size, &height,
                                                   &width, &planes, &progressive, &reserved));
  EXPECT_EQ(1u, size);
}

TEST(MjpegRefusalTest, FormsSizesAndCodingProcesses) {
  EXPECT_EQ(CMjpegDecoder::kBadForm, DecodeResult(Frame(640, 480, Form::kGrey), 460800));
  EXPECT_EQ(CMjpegDecoder::kBadForm, DecodeResult(Frame(640, 480, Form::k444), 460800));
  // Four components (CMYK) in one scan: refused for their form, as grey is.
  EXPECT_EQ(CMjpegDecoder::kBadForm, DecodeResult(Frame(640, 480, Form::kCmyk), 460800));
  EXPECT_EQ(CMjpegDecoder::kBadForm, ProbeResult(Frame(640, 480, Form::kCmyk)));
  EncodeOptions progressive;
  progressive.progressive = true;
  EXPECT_EQ(CMjpegDecoder::kBadData, DecodeResult(EncodeFrame(progressive), 460800));
  EXPECT_EQ(CMjpegDecoder::kBadSize, ProbeResult(Frame(1280, 722, Form::k420)));
  EXPECT_EQ(CMjpegDecoder::kBadSize, DecodeResult(Frame(1280, 722, Form::k420), 1280 * 730 * 2));

  // Sizes no camera sends may not make the caller allocate without bound.
  std::vector<uint8_t> huge = Frame(640, 480, Form::k420);
  const long sof = mjpeg_testing::FindMarker(huge, 0xC0);
  ASSERT_GT(sof, 0);
  PutBe16(&huge, static_cast<size_t>(sof) + 7, 65528);  // width
  EXPECT_EQ(CMjpegDecoder::kBadSize, ProbeResult(huge));
  PutBe16(&huge, static_cast<size_t>(sof) + 7, 640);
  PutBe16(&huge, static_cast<size_t>(sof) + 5, 0);  // height 0: defined later by a marker cameras never send
  EXPECT_EQ(CMjpegDecoder::kBadSize, ProbeResult(huge));

  CMjpegDecoder decoder;
  uint8_t byte = 0;
  EXPECT_EQ(CMjpegDecoder::kBadData, decoder.Decode(0, nullptr, &byte, 1));
  const std::vector<uint8_t> no_soi(4096, 0x55);
  EXPECT_EQ(CMjpegDecoder::kBadData, DecodeResult(no_soi, 1 << 20));
  // Markers up to the scan but no frame header.
  EXPECT_EQ(CMjpegDecoder::kBadData, DecodeResult(mjpeg_testing::StripSegments(Frame(64, 64, Form::k420), 0xC0), 6144));
}

TEST(MjpegRefusalTest, SmallBufferIsRefusedBeforeAnyWrite) {
  const std::vector<uint8_t> frame = Frame(424, 240, Form::k420);
  std::vector<uint8_t> output(424 * 240 * 3 / 2 - 1, 0xAB);
  EXPECT_EQ(CMjpegDecoder::kBadSize, DecodeInto(frame, &output));
  for (size_t i = 0; i < output.size(); ++i) ASSERT_EQ(0xAB, output[i]) << "byte " << i;
}

// The edge MCUs of sizes that are not multiples of 16 store only their
// visible part: nothing past the I420 size changes.
TEST(MjpegEdgeTest, PartialMcusStayInsideThePicture) {
  const struct {
    int width, height;
    Form form;
  } cases[] = {{1920, 1080, Form::k420}, {640, 360, Form::k420}, {424, 240, Form::k422}, {424, 248, Form::k420},
               {8, 8, Form::k420},       {24, 8, Form::k422}};
  for (const auto& c : cases) {
    const size_t size = static_cast<size_t>(c.width) * c.height * 3 / 2;
    std::vector<uint8_t> output(size + 4096, 0xAB);
    const std::vector<uint8_t> frame = Frame(c.width, c.height, c.form);
    ASSERT_EQ(CMjpegDecoder::kOk, DecodeInto(frame, &output)) << c.width << "x" << c.height;
    for (size_t i = size; i < output.size(); ++i) ASSERT_EQ(0xAB, output[i]) << c.width << "x" << c.height;
    output.resize(size);
    const mjpeg_testing::Difference d = Compare(output, ReferenceI420(frame, c.width, c.height, c.form));
    EXPECT_LE(d.max, kMaxDifference) << c.width << "x" << c.height;
  }
}

// A Huffman table segment of one table: class and id, the first code-length counts, the symbols.
std::vector<uint8_t> HuffmanSegment(uint8_t class_id, std::vector<uint8_t> counts, const std::vector<uint8_t>& symbols) {
  counts.resize(16);
  std::vector<uint8_t> segment(5 + 16 + symbols.size());
  segment[0] = 0xFF;
  segment[1] = 0xC4;
  segment[3] = static_cast<uint8_t>(2 + 1 + 16 + symbols.size());
  segment[4] = class_id;
  for (size_t i = 0; i < 16; ++i) segment[5 + i] = counts[i];
  for (size_t i = 0; i < symbols.size(); ++i) segment[21 + i] = symbols[i];
  return segment;
}

bool StandardPath(const std::vector<uint8_t>& frame) {
  MjpegFrameHeader header;
  EXPECT_EQ(CMjpegDecoder::kOk, ParseMjpegFrameHeader(frame.data(), static_cast<uint32_t>(frame.size()), &header));
  MjpegOwnTables own;
  MjpegScanTables tables;
  return ChooseMjpegTables(header, &own, &tables);
}

TEST(MjpegTablesTest, TypicalTablesTakeTheStandardPathOthersTheGeneral) {
  const std::vector<uint8_t> with_tables = Frame(320, 240, Form::k422);
  const std::vector<uint8_t> without = mjpeg_testing::StripSegments(with_tables, 0xC4);
  const std::vector<uint8_t> own = Frame(320, 240, Form::k422, 0, true);
  EXPECT_TRUE(StandardPath(without));
  EXPECT_TRUE(StandardPath(with_tables));
  EXPECT_FALSE(StandardPath(own));

  // The same picture with and without its (typical) tables decodes to the same bytes.
  std::vector<uint8_t> a(320 * 240 * 3 / 2), b(a.size()), c(a.size());
  ASSERT_EQ(CMjpegDecoder::kOk, DecodeInto(with_tables, &a));
  ASSERT_EQ(CMjpegDecoder::kOk, DecodeInto(without, &b));
  EXPECT_EQ(a, b);
  // Its own tables decode with the general path to the reference.
  ASSERT_EQ(CMjpegDecoder::kOk, DecodeInto(own, &c));
  EXPECT_LE(Compare(c, ReferenceI420(own, 320, 240, Form::k422)).max, kMaxDifference);
}

// A frame's own tables change only how its coefficients are coded, so the
// general path must give the standard path's bytes exactly: whole and edge
// MCUs, both forms, with and without restart intervals.
TEST(MjpegTablesTest, OwnTablesDecodeToTheSameBytesAsTypicalOnes) {
  struct Case {
    int width;
    int height;
    Form form;
    int restart;
  };
  for (const Case& c : {Case{640, 360, Form::k420, 0}, Case{424, 240, Form::k420, 7}, Case{424, 240, Form::k422, 0},
                        Case{1280, 720, Form::k422, 11}}) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << (c.form == Form::k420 ? " 4:2:0" : " 4:2:2")
                                    << " restart " << c.restart);
    const std::vector<uint8_t> typical = Frame(c.width, c.height, c.form, c.restart);
    const std::vector<uint8_t> own = Frame(c.width, c.height, c.form, c.restart, true);
    ASSERT_FALSE(StandardPath(own));
    std::vector<uint8_t> expected(static_cast<size_t>(c.width * c.height * 3 / 2)), output(expected.size());
    ASSERT_EQ(CMjpegDecoder::kOk, DecodeInto(typical, &expected));
    ASSERT_EQ(CMjpegDecoder::kOk, DecodeInto(own, &output));
    EXPECT_EQ(expected, output) << c.width << "x" << c.height << " restart " << c.restart;
  }
}

TEST(MjpegTablesTest, SegmentsAreReadTableByTableWithinTheirLength) {
  const std::vector<uint8_t> frame = Frame(320, 240, Form::k420);
  std::vector<uint8_t> expected(320 * 240 * 3 / 2), output(expected.size());
  ASSERT_EQ(CMjpegDecoder::kOk, DecodeInto(frame, &expected));

  // Both quantisation tables in one segment, each with its own id byte.
  const std::vector<uint8_t> merged = mjpeg_testing::MergeQuantSegments(frame);
  ASSERT_EQ(frame.size() - 4, merged.size());
  ASSERT_EQ(CMjpegDecoder::kOk, DecodeInto(merged, &output));
  EXPECT_EQ(expected, output);

  // A Huffman table of id 3, which no scan here uses, is passed over.
  const std::vector<uint8_t> id3 = HuffmanSegment(0x13, {1}, {0x05});
  ASSERT_EQ(CMjpegDecoder::kOk, DecodeInto(mjpeg_testing::InsertSegment(frame, 0xDA, id3), &output));
  EXPECT_EQ(expected, output);

  // More symbols than the segment holds, a code space overfilled, an id
  // beyond 3, 16-bit quantisation entries: all refused.
  std::vector<uint8_t> long_count = HuffmanSegment(0x00, {0, 200}, {1, 2, 3});
  EXPECT_EQ(CMjpegDecoder::kBadData, ProbeResult(mjpeg_testing::InsertSegment(frame, 0xDA, long_count)));
  const std::vector<uint8_t> overfull = HuffmanSegment(0x00, {3}, {1, 2, 3});
  EXPECT_EQ(CMjpegDecoder::kBadData, ProbeResult(mjpeg_testing::InsertSegment(frame, 0xDA, overfull)));
  const std::vector<uint8_t> id5 = HuffmanSegment(0x15, {1}, {0x05});
  EXPECT_EQ(CMjpegDecoder::kBadData, ProbeResult(mjpeg_testing::InsertSegment(frame, 0xDA, id5)));
  std::vector<uint8_t> wide(4 + 1 + 128, 1);
  wide[0] = 0xFF, wide[1] = 0xDB, wide[2] = 0, wide[3] = 131, wide[4] = 0x10;
  EXPECT_EQ(CMjpegDecoder::kBadData, ProbeResult(mjpeg_testing::InsertSegment(frame, 0xDA, wide)));
  // A segment whose length runs past the frame.
  std::vector<uint8_t> cut = frame;
  PutBe16(&cut, static_cast<size_t>(mjpeg_testing::FindMarker(cut, 0xDB)) + 2, 0xFFF0);
  EXPECT_EQ(CMjpegDecoder::kBadData, ProbeResult(cut));

  // A scan that selects a table id the frame cannot hold.
  std::vector<uint8_t> scan_id2 = frame;
  const long sos = mjpeg_testing::FindMarker(scan_id2, 0xDA);
  scan_id2[static_cast<size_t>(sos) + 6] = 0x22;
  EXPECT_EQ(CMjpegDecoder::kBadData, ProbeResult(scan_id2));
}

// Restart intervals that do not divide the MCU count, and restart markers in
// greater or smaller number than the intervals.
TEST(MjpegRestartTest, IntervalsAndStrayMarkers) {
  const std::vector<uint8_t> frame = Frame(424, 240, Form::k420, 7);
  std::vector<uint8_t> expected(424 * 240 * 3 / 2), output(expected.size());
  ASSERT_EQ(CMjpegDecoder::kOk, DecodeInto(frame, &expected));

  // Extra restart markers before the end of image: the offsets stay bounded.
  std::vector<uint8_t> extra = frame;
  for (int i = 0; i < 40; ++i) extra.insert(extra.end() - 2, {0xFF, static_cast<uint8_t>(0xD0 + i % 8)});
  EXPECT_EQ(CMjpegDecoder::kOk, DecodeInto(extra, &output));
  EXPECT_EQ(expected, output);

  // Without its restart markers the intervals' data are missing.
  std::vector<uint8_t> none;
  for (size_t i = 0; i < frame.size(); ++i) {
    if (i + 1 < frame.size() && frame[i] == 0xFF && frame[i + 1] >= 0xD0 && frame[i + 1] <= 0xD7 &&
        static_cast<long>(i) > mjpeg_testing::FindMarker(frame, 0xDA)) {
      ++i;
      continue;
    }
    none.push_back(frame[i]);
  }
  ASSERT_LT(none.size(), frame.size());
  EXPECT_NE(CMjpegDecoder::kOk, DecodeInto(none, &output));
}

// Frames cut short stop at the end of their data on both paths.
TEST(MjpegMalformedTest, TruncatedFramesRunOutOfData) {
  for (bool own_tables : {false, true}) {
    const std::vector<uint8_t> frame = Frame(640, 360, Form::k422, 0, own_tables);
    const long scan = mjpeg_testing::FindMarker(frame, 0xDA);
    std::vector<uint8_t> half(frame.begin(), frame.begin() + static_cast<long>(scan + frame.size()) / 2);
    EXPECT_EQ(CMjpegDecoder::kShortData, DecodeResult(half, 640 * 360 * 3 / 2)) << own_tables;
    // Cut, then closed with an end of image as some cameras do.
    half.insert(half.end(), {0xFF, 0xD9});
    EXPECT_EQ(CMjpegDecoder::kShortData, DecodeResult(half, 640 * 360 * 3 / 2)) << own_tables;
    for (size_t cut = 0; cut < frame.size(); cut += frame.size() / 97 + 1) {
      const std::vector<uint8_t> part(frame.begin(), frame.begin() + static_cast<long>(cut));
      EXPECT_NE(CMjpegDecoder::kOk, DecodeResult(part, 640 * 360 * 3 / 2)) << cut;
    }
  }
}

bool SameTable(const MjpegHuffmanSpec& a, const MjpegHuffmanSpec& b) {
  return a.present == b.present && a.total == b.total && std::memcmp(a.counts, b.counts, sizeof a.counts) == 0 &&
         std::memcmp(a.symbols, b.symbols, sizeof a.symbols) == 0;
}

// Tables of ids 2 and 3, which a scan here cannot select, are read past:
// they land in no slot of the frame's own tables (ids 0 and 1).
TEST(MjpegTablesTest, TablesOfIdsTwoAndThreeLeaveTheOwnTablesAlone) {
  for (bool own_tables : {false, true}) {
    SCOPED_TRACE(own_tables ? "own tables" : "standard tables");
    const std::vector<uint8_t> frame = Frame(320, 240, Form::k420, 0, own_tables);
    std::vector<uint8_t> expected(320 * 240 * 3 / 2), output(expected.size());
    ASSERT_EQ(CMjpegDecoder::kOk, DecodeInto(frame, &expected));
    for (uint8_t class_id : {0x02, 0x03, 0x12, 0x13}) {
      const std::vector<uint8_t> extra = HuffmanSegment(class_id, {1}, {0x05});
      const std::vector<uint8_t> damaged = mjpeg_testing::InsertSegment(frame, 0xDA, extra);
      MjpegFrameHeader plain, with_extra;
      ASSERT_EQ(CMjpegDecoder::kOk, ParseMjpegFrameHeader(frame.data(), static_cast<uint32_t>(frame.size()), &plain))
          << int(class_id);
      ASSERT_EQ(CMjpegDecoder::kOk,
                ParseMjpegFrameHeader(damaged.data(), static_cast<uint32_t>(damaged.size()), &with_extra))
          << int(class_id);
      for (int id = 0; id < 2; ++id) {
        EXPECT_TRUE(SameTable(plain.dc[id], with_extra.dc[id])) << int(class_id) << " dc " << id;
        EXPECT_TRUE(SameTable(plain.ac[id], with_extra.ac[id])) << int(class_id) << " ac " << id;
      }
      EXPECT_EQ(plain.restart_interval, with_extra.restart_interval) << int(class_id);
      ASSERT_EQ(CMjpegDecoder::kOk, DecodeInto(damaged, &output)) << int(class_id);
      EXPECT_EQ(expected, output) << int(class_id);
    }
  }
}

// Flipped bytes give an error code the damage allows, or a picture, and
// nothing is ever written past the output (the sanitizer builds also check
// every access). Damage inside the entropy-coded data leaves the header
// sound: such a frame still probes to its size and fails, if at all, only
// for its data.
TEST(MjpegMalformedTest, FlippedAndRandomBytesGiveTheCodesTheirDamageAllows) {
  const std::vector<uint8_t> frames[] = {Frame(320, 240, Form::k420, 5),
                                         mjpeg_testing::StripSegments(Frame(320, 240, Form::k422), 0xC4),
                                         Frame(320, 248, Form::k420, 0, true)};
  const uint32_t sizes[] = {320 * 240 * 3 / 2, 320 * 240 * 3 / 2, 320 * 248 * 3 / 2};
  uint32_t seed = 2024;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  CMjpegDecoder decoder;
  constexpr uint32_t kCapacity = 320 * 248 * 3 / 2;
  constexpr size_t kGuard = 4096;
  std::vector<uint8_t> output(kCapacity + kGuard);
  auto decode = [&](const std::vector<uint8_t>& frame) {
    std::fill(output.begin() + kCapacity, output.end(), uint8_t{0xA5});
    const int result =
        decoder.Decode(static_cast<uint32_t>(frame.size()), frame.data(), output.data(), kCapacity);
    for (size_t i = kCapacity; i < output.size(); ++i) {
      if (output[i] != 0xA5) {
        ADD_FAILURE() << "written past the output at " << i;
        break;
      }
    }
    return result;
  };
  int decoded = 0, refused_for_data = 0;
  for (int round = 0; round < 300; ++round) {
    const int which = round % 3;
    std::vector<uint8_t> frame = frames[which];
    const size_t scan = static_cast<size_t>(mjpeg_testing::FindMarker(frame, 0xDA)) + 14;
    // Odd rounds damage the entropy-coded data only (not its end of image).
    const bool data_only = round % 2 == 1;
    const size_t from = data_only ? scan : 0;
    const size_t span = frame.size() - 2 - from;
    const int flips = 1 + static_cast<int>(next() % 8);
    for (int i = 0; i < flips; ++i) frame[from + next() % span] ^= static_cast<uint8_t>(1u << (next() % 8));
    const int result = decode(frame);
    if (!data_only) {
      EXPECT_TRUE(result == CMjpegDecoder::kOk || result == CMjpegDecoder::kBadForm ||
                  result == CMjpegDecoder::kBadSize || result == CMjpegDecoder::kBadData ||
                  result == CMjpegDecoder::kShortData)
          << "round " << round << ": " << result;
      continue;
    }
    EXPECT_TRUE(result == CMjpegDecoder::kOk || result == CMjpegDecoder::kBadData ||
                result == CMjpegDecoder::kShortData)
        << "round " << round << ": " << result;
    decoded += result == CMjpegDecoder::kOk;
    refused_for_data += result != CMjpegDecoder::kOk;
    uint32_t size = 0;
    int32_t height = 0, width = 0, planes = 0, progressive = 0, reserved = 0;
    EXPECT_EQ(CMjpegDecoder::kOk, decoder.Probe(static_cast<uint32_t>(frame.size()), frame.data(), &size, &height,
                                                &width, &planes, &progressive, &reserved))
        << "round " << round;
    EXPECT_EQ(sizes[which], size) << "round " << round;
  }
  // Both outcomes occur, so neither branch above went untried.
  EXPECT_GT(decoded, 0);
  EXPECT_GT(refused_for_data, 0);
  // Random bytes after a valid header: the scan is all noise.
  std::vector<uint8_t> noisy = frames[0];
  const size_t scan = static_cast<size_t>(mjpeg_testing::FindMarker(noisy, 0xDA)) + 14;
  for (size_t i = scan; i + 2 < noisy.size(); ++i) noisy[i] = static_cast<uint8_t>(next() >> 24);
  const int result = decode(noisy);
  EXPECT_TRUE(result == CMjpegDecoder::kOk || result == CMjpegDecoder::kBadData ||
              result == CMjpegDecoder::kShortData)
      << result;
}

}  // namespace
}  // namespace nsVZVP
