#include "video/engine/receive/vz_h264_svc_decoder.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <vector>

#include "video/engine/core/vz_video_sample_allocator.h"
#include "video/engine/receive/receive_testlib.h"

namespace {

using receive_test::LogCapture;

// A codec whose answers the test scripts.
class FakeCodec final : public vzh264::IH264Decoder {
 public:
  int32_t Initialize(const vzh264::DecoderParam* param, void*) override {
    last_param = *param;
    ++initialize_calls;
    return initialize_result;
  }
  int32_t Uninitialize() override { return 0; }
  int32_t DecodeFrame(const uint8_t* data, int32_t, uint8_t* planes[3], vzh264::DecodeBufferInfo* info) override {
    *info = vzh264::DecodeBufferInfo{};
    if (data != nullptr) {
      ++decode_calls;
      const int32_t s = data_status.empty() ? 0 : data_status.front();
      if (!data_status.empty()) data_status.pop_front();
      return s;
    }
    const int32_t s = flush_status.empty() ? 0 : flush_status.front();
    if (!flush_status.empty()) flush_status.pop_front();
    if (s == 0 && picture) {
      info->picture_ready = 1;
      info->buffer_kind = image_path ? 1 : 0;
      info->width = 64;
      info->height = 32;
      info->strides[0] = 64;
      info->strides[1] = 32;
      planes[0] = pixels.data();
      planes[1] = pixels.data() + 64 * 32;
      planes[2] = planes[1] + 32 * 16;
    }
    return s;
  }
  int32_t SetOption(int32_t id, void* value) override {
    if (id == vzh264::kDecoderRenderReady) ++render_ready_sets;
    options[id] = *static_cast<int32_t*>(value);
    return 0;
  }
  int32_t GetOption(int32_t id, void* value) override {
    const auto it = options.find(id);
    if (it == options.end()) return -1;
    *static_cast<int32_t*>(value) = it->second;
    return 0;
  }

  vzh264::DecoderParam last_param;
  int initialize_calls = 0;
  int32_t initialize_result = 0;
  int decode_calls = 0;
  std::deque<int32_t> data_status;
  std::deque<int32_t> flush_status;
  bool picture = true;
  bool image_path = false;
  std::map<int32_t, int32_t> options = {{4, 0}, {5, 1}, {7, -1}, {8, 3}, {9, 0}, {10, 0}};
  int render_ready_sets = 0;
  std::vector<uint8_t> pixels = std::vector<uint8_t>(64 * 32 * 3 / 2, 0x80);
};

struct FakeLibrary {
  static inline std::vector<FakeCodec*> live;
  static inline int created = 0;
  static inline int32_t create_answer = 0;
  static int32_t Create(vzh264::IH264Decoder** out) {
    if (create_answer != 0) return create_answer;
    auto* codec = new FakeCodec;
    live.push_back(codec);
    ++created;
    *out = codec;
    return 0;
  }
  static void Destroy(vzh264::IH264Decoder* codec) {
    auto* fake = static_cast<FakeCodec*>(codec);
    std::erase(live, fake);
    delete fake;
  }
};

class RecordingDecoderSink : public IVideoDecoderSink {
 public:
  void OnDecoded(uint32_t format, uint32_t time_stamp, int32_t width, int32_t height, IVideoSample* sample) override {
    int32_t length = 0;
    sample->GetActualDataLength(&length);
    pictures.push_back({format, time_stamp, width, height, length});
  }
  int32_t IsRenderReady() override { return render_ready; }
  void OnDecodedImage(uint32_t time_stamp, const uint8_t*, const vzh264::DecodeBufferInfo&) override {
    images.push_back(time_stamp);
  }
  void RequestKeyFrame() override { ++key_frames; }
  void RequestRefresh(const uint8_t* block) override { refreshes.emplace_back(block, block + 16); }
  void ReportDecoderEvent(const uint8_t* block) override { reports.emplace_back(block, block + 12); }

  struct Picture {
    uint32_t format;
    uint32_t time_stamp;
    int32_t width;
    int32_t height;
    int32_t length;
  };
  std::vector<Picture> pictures;
  std::vector<uint32_t> images;
  int32_t render_ready = 1;
  int key_frames = 0;
  std::vector<std::vector<uint8_t>> refreshes;
  std::vector<std::vector<uint8_t>> reports;
};

class DecoderWrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CH264DecoderLibrary::users_for_testing(), 0);
    entry_ = {&FakeLibrary::Create, &FakeLibrary::Destroy};
    CH264DecoderLibrary::SetForTesting(&entry_);
    FakeLibrary::created = 0;
    FakeLibrary::create_answer = 0;
    allocator_ = new CVzVideoSampleAllocator(64, 0, 0);
    allocator_->AddRef();
  }
  void TearDown() override {
    EXPECT_EQ(CH264DecoderLibrary::users_for_testing(), 0);
    EXPECT_TRUE(FakeLibrary::live.empty());
    CH264DecoderLibrary::SetForTesting(nullptr);
    allocator_->Release();
  }
  std::unique_ptr<CVzH264SvcDecoder> Make() { return std::make_unique<CVzH264SvcDecoder>(&sink_, allocator_); }
  static FakeCodec& Codec() { return *FakeLibrary::live.back(); }
  VseResult Decode(CVzH264SvcDecoder& decoder, uint32_t ts = 90) {
    const uint8_t unit[8] = {0, 0, 0, 1, 0x65, 1, 2, 3};
    return decoder.DecodeFrame(ts, unit, sizeof(unit));
  }

  H264DecoderEntryPoints entry_;
  CVzVideoSampleAllocator* allocator_ = nullptr;
  RecordingDecoderSink sink_;
};

TEST_F(DecoderWrapperTest, LibraryStaysWhileAnyWrapperCounts) {
  const int loads = CH264DecoderLibrary::loads_for_testing();
  const int frees = CH264DecoderLibrary::frees_for_testing();
  auto a = Make();
  auto b = Make();
  ASSERT_EQ(a->Init(2, 1), VSE_S_OK);
  ASSERT_EQ(b->Init(2, 1), VSE_S_OK);
  EXPECT_EQ(a->Init(2, 1), VSE_S_OK);  // already initialised: counted once
  EXPECT_EQ(CH264DecoderLibrary::users_for_testing(), 2);
  EXPECT_EQ(CH264DecoderLibrary::loads_for_testing(), loads + 1);
  a->Uninit();
  a->Uninit();  // a second Uninit takes nothing more off
  EXPECT_TRUE(CH264DecoderLibrary::loaded_for_testing());
  EXPECT_EQ(CH264DecoderLibrary::users_for_testing(), 1);
  // A wrapper destroyed without Init does not count either.
  Make().reset();
  EXPECT_EQ(CH264DecoderLibrary::users_for_testing(), 1);
  EXPECT_EQ(Decode(*b), VSE_S_OK);
  b.reset();
  EXPECT_FALSE(CH264DecoderLibrary::loaded_for_testing());
  EXPECT_EQ(CH264DecoderLibrary::frees_for_testing(), frees + 1);
  // Init after Uninit counts again.
  ASSERT_EQ(a->Init(2, 3), VSE_S_OK);
  EXPECT_EQ(CH264DecoderLibrary::users_for_testing(), 1);
}

TEST_F(DecoderWrapperTest, InitRefusalsAndParameters) {
  LogCapture log;
  auto decoder = Make();
  EXPECT_EQ(decoder->Init(0, 1), IVideoDecoder::kBadTypeOrMode);
  EXPECT_EQ(decoder->Init(2, 2), IVideoDecoder::kBadTypeOrMode);
  EXPECT_EQ(FakeLibrary::created, 0);
  EXPECT_FALSE(decoder->initialized_for_testing());
  ASSERT_EQ(decoder->Init(7, 1), VSE_S_OK);
  EXPECT_EQ(decoder->output_format_for_testing(), 0x80000005u);
  const vzh264::DecoderParam& p = Codec().last_param;
  EXPECT_EQ(uint32_t{p.output_color_format}, 0x80000005u);  // the wanted format; the wrapper converts the planes
  EXPECT_EQ(int{p.max_layer}, 255);
  EXPECT_EQ(int{p.error_concealment}, 1);
  EXPECT_EQ(uint32_t{p.bit_depth}, 8u);
  EXPECT_EQ(uint32_t{p.mode_code}, 2u);
  decoder->Uninit();
  ASSERT_EQ(decoder->Init(2, 3), VSE_S_OK);
  EXPECT_EQ(uint32_t{Codec().last_param.mode_code}, 1u);
  decoder->Uninit();

  FakeLibrary::create_answer = 5;
  EXPECT_EQ(decoder->Init(2, 1), VSE_E_FAIL);
  decoder->Uninit();
  FakeLibrary::create_answer = 0;

  // A library lacking an export: every Init fails, and it is not loaded
  // again while anyone counts.
  const H264DecoderEntryPoints lacking{&FakeLibrary::Create, nullptr};
  CH264DecoderLibrary::SetForTesting(&lacking);
  const int loads = CH264DecoderLibrary::loads_for_testing();
  auto other = Make();
  EXPECT_EQ(decoder->Init(2, 1), VSE_E_FAIL);
  EXPECT_EQ(other->Init(2, 1), VSE_E_FAIL);
  EXPECT_EQ(CH264DecoderLibrary::loads_for_testing(), loads + 1);
  EXPECT_GE(log.Count("lacks VZCreateH264Decoder or VZDestroyH264Decoder"), 2u);
  decoder.reset();
  other.reset();
  CH264DecoderLibrary::SetForTesting(&entry_);
}

TEST_F(DecoderWrapperTest, RefusedCallsAndOptions) {
  LogCapture log;
  auto decoder = Make();
  EXPECT_EQ(Decode(*decoder), VSE_E_POINTER);
  int32_t value = 0;
  EXPECT_EQ(decoder->GetOption(8, &value), VSE_E_POINTER);
  ASSERT_EQ(decoder->Init(2, 1), VSE_S_OK);
  EXPECT_EQ(decoder->DecodeFrame(0, nullptr, 10), VSE_E_INVALIDARG);
  const uint8_t byte = 0;
  EXPECT_EQ(decoder->DecodeFrame(0, &byte, 0), VSE_E_INVALIDARG);
  EXPECT_EQ(log.Count("no data"), 2u);
  EXPECT_EQ(decoder->GetOption(8, nullptr), VSE_E_INVALIDARG);
  EXPECT_EQ(decoder->GetOption(8, &value), VSE_S_OK);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(decoder->GetOption(99, &value), VSE_E_FAIL);
  uint32_t format = 2;  // RGBA32
  EXPECT_EQ(decoder->SetOption(IVideoDecoder::kOptionOutputFormat, &format), VSE_S_OK);
  EXPECT_EQ(Decode(*decoder), VSE_S_OK);
  ASSERT_EQ(sink_.pictures.size(), 1u);
  EXPECT_EQ(sink_.pictures[0].format, 2u);
  EXPECT_EQ(sink_.pictures[0].length, 64 * 32 * 4);

  CVzH264SvcDecoder no_sink(nullptr, allocator_);
  ASSERT_EQ(no_sink.Init(2, 1), VSE_S_OK);
  EXPECT_EQ(Decode(no_sink), VSE_E_INVALIDARG);
}

TEST_F(DecoderWrapperTest, PicturesReachTheSinkConverted) {
  auto decoder = Make();
  ASSERT_EQ(decoder->Init(2, 1), VSE_S_OK);
  EXPECT_EQ(Decode(*decoder, 1234), VSE_S_OK);
  ASSERT_EQ(sink_.pictures.size(), 1u);
  EXPECT_EQ(sink_.pictures[0].format, 23u);
  EXPECT_EQ(sink_.pictures[0].time_stamp, 1234u);
  EXPECT_EQ(sink_.pictures[0].width, 64);
  EXPECT_EQ(sink_.pictures[0].height, 32);
  EXPECT_EQ(sink_.pictures[0].length, 64 * 32 * 3 / 2);
  // The pooled sample went back after the call.
  EXPECT_EQ(allocator_->PooledCountForTesting(), 1);

  Codec().image_path = true;
  EXPECT_EQ(Decode(*decoder, 77), VSE_S_OK);
  EXPECT_EQ(sink_.images, std::vector<uint32_t>{77});

  Codec().picture = false;
  EXPECT_EQ(Decode(*decoder), VSE_S_OK);
  EXPECT_EQ(sink_.pictures.size(), 1u);
}

TEST_F(DecoderWrapperTest, PictureThatCannotBeConvertedIsAFailure) {
  LogCapture log;
  auto decoder = Make();
  ASSERT_EQ(decoder->Init(2, 1), VSE_S_OK);
  uint32_t format = 0x7777;  // no conversion for it
  decoder->SetOption(IVideoDecoder::kOptionOutputFormat, &format);
  EXPECT_EQ(Decode(*decoder), VSE_E_FAIL);
  EXPECT_TRUE(sink_.pictures.empty());
  EXPECT_EQ(log.Count("not converted"), 1u);
}

TEST_F(DecoderWrapperTest, RenderReadyIsSetOnlyWhenItDiffers) {
  auto decoder = Make();
  ASSERT_EQ(decoder->Init(2, 1), VSE_S_OK);
  Decode(*decoder);
  EXPECT_EQ(Codec().render_ready_sets, 0);
  sink_.render_ready = 0;
  Decode(*decoder);
  Decode(*decoder);
  EXPECT_EQ(Codec().render_ready_sets, 1);
  EXPECT_EQ(Codec().options[5], 0);
}

TEST_F(DecoderWrapperTest, LossesBecomeKeyFrameRequestsOrRefreshBlocks) {
  LogCapture log;
  auto decoder = Make();
  ASSERT_EQ(decoder->Init(2, 1), VSE_S_OK);
  decoder->SetLossRecovery(1);
  // Parameter sets missing: one key-frame request per decode call.
  Codec().data_status = {vzh264::kDecodeNoParameterSets};
  EXPECT_EQ(Decode(*decoder, 5), VSE_E_FAIL);
  EXPECT_EQ(sink_.key_frames, 1);
  EXPECT_EQ(log.Count("failed,uiTimeStamp=5 iLen=8 ret=16"), 1u);
  EXPECT_EQ(Codec().decode_calls, 1);

  // A lost reference before any clean decode: refresh with no remembered
  // long-term frame.
  Codec().options[4] = 1;
  Codec().options[8] = 0x0A0B;
  Codec().options[7] = 6;
  Codec().data_status = {vzh264::kDecodeReferenceLost};
  EXPECT_EQ(Decode(*decoder), VSE_E_FAIL);
  ASSERT_EQ(sink_.refreshes.size(), 1u);
  EXPECT_EQ(sink_.refreshes[0], (std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0x0A, 0x0B, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 6}));

  // A clean decode with the reference in place remembers option 7.
  Codec().options[4] = 0;
  Codec().options[7] = 42;
  EXPECT_EQ(Decode(*decoder), VSE_S_OK);
  Codec().options[4] = 1;
  Codec().options[7] = 43;
  Codec().data_status = {vzh264::kDecodeReferenceLost};
  Decode(*decoder);
  ASSERT_EQ(sink_.refreshes.size(), 2u);
  EXPECT_EQ(sink_.refreshes[1], (std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0x0A, 0x0B, 0, 0, 0, 42, 0, 0, 0, 43}));

  // A new IDR picture forgets the remembered frame.
  Codec().options[8] = 0x0A0C;
  Codec().data_status = {vzh264::kDecodeReferenceLost};
  Decode(*decoder);
  ASSERT_EQ(sink_.refreshes.size(), 3u);
  EXPECT_EQ(std::vector<uint8_t>(sink_.refreshes[2].begin() + 8, sink_.refreshes[2].begin() + 12),
            (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(sink_.key_frames, 1);

  // Recovery is off again after Uninit and Init: the same loss asks for a
  // key frame.
  decoder->Uninit();
  ASSERT_EQ(decoder->Init(2, 1), VSE_S_OK);
  EXPECT_FALSE(decoder->loss_recovery_for_testing());
  Codec().options[4] = 1;
  Codec().data_status = {vzh264::kDecodeReferenceLost};
  Decode(*decoder);
  EXPECT_EQ(sink_.key_frames, 2);
  EXPECT_EQ(sink_.refreshes.size(), 3u);

  // A loss the codec does not tie to a reference asks for nothing.
  Codec().data_status = {vzh264::kDecodeBitstreamError};
  Decode(*decoder);
  EXPECT_EQ(sink_.key_frames, 2);
}

TEST_F(DecoderWrapperTest, SimpleModeAsksForKeyFramesOnEveryError) {
  auto decoder = Make();
  ASSERT_EQ(decoder->Init(2, 3), VSE_S_OK);
  decoder->SetLossRecovery(1);
  Codec().data_status = {vzh264::kDecodeBitstreamError};
  EXPECT_EQ(Decode(*decoder), VSE_E_FAIL);
  Codec().flush_status = {vzh264::kDecodeConcealed};
  EXPECT_EQ(Decode(*decoder), VSE_E_FAIL);
  EXPECT_EQ(sink_.key_frames, 2);
  EXPECT_TRUE(sink_.refreshes.empty());
}

TEST_F(DecoderWrapperTest, DecoderEventBlocks) {
  auto decoder = Make();
  ASSERT_EQ(decoder->Init(2, 1), VSE_S_OK);
  Decode(*decoder);
  EXPECT_TRUE(sink_.reports.empty());  // nothing pending
  Codec().options[9] = 1;
  Codec().options[8] = 7;
  Codec().options[10] = 0x01020304;
  EXPECT_EQ(Decode(*decoder), VSE_S_OK);
  ASSERT_EQ(sink_.reports.size(), 1u);
  EXPECT_EQ(sink_.reports[0], (std::vector<uint8_t>{0, 0, 0, 4, 0, 0, 0, 7, 1, 2, 3, 4}));
  Codec().flush_status = {vzh264::kDecodeConcealed};
  EXPECT_EQ(Decode(*decoder), VSE_E_FAIL);
  ASSERT_EQ(sink_.reports.size(), 2u);
  EXPECT_EQ(sink_.reports[1][3], 5);
  // An error in the access unit itself reports nothing.
  Codec().data_status = {vzh264::kDecodeBitstreamError};
  Decode(*decoder);
  EXPECT_EQ(sink_.reports.size(), 2u);
}

}  // namespace
