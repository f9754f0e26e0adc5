// The decoder wrapper over the real codec library, loaded by name.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "video/engine/core/video_types.h"
#include "video/engine/core/vz_video_sample_allocator.h"
#include "video/engine/receive/h264_stream_testlib.h"
#include "video/engine/receive/receive_testlib.h"
#include "video/engine/receive/vz_h264_svc_decoder.h"

namespace {

using receive_test::EncodedStream;
using receive_test::LogCapture;

class KeepingSink : public IVideoDecoderSink {
 public:
  void OnDecoded(uint32_t format, uint32_t time_stamp, int32_t width, int32_t height, IVideoSample* sample) override {
    void* data = nullptr;
    int32_t length = 0;
    sample->GetPointer(&data);
    sample->GetActualDataLength(&length);
    const auto* bytes = static_cast<const uint8_t*>(data);
    last.assign(bytes, bytes + length);
    last_format = format;
    last_time_stamp = time_stamp;
    last_width = width;
    last_height = height;
    ++pictures;
  }
  int32_t IsRenderReady() override { return 1; }
  void OnDecodedImage(uint32_t, const uint8_t*, const vzh264::DecodeBufferInfo&) override {}
  void RequestKeyFrame() override { ++key_frames; }
  void RequestRefresh(const uint8_t*) override { ++refreshes; }
  void ReportDecoderEvent(const uint8_t*) override { ++reports; }

  std::vector<uint8_t> last;
  uint32_t last_format = 0;
  uint32_t last_time_stamp = 0;
  int32_t last_width = 0;
  int32_t last_height = 0;
  int pictures = 0;
  int key_frames = 0;
  int refreshes = 0;
  int reports = 0;
};

class DecoderStreamTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { stream_ = new EncodedStream(receive_test::EncodeStream(640, 360, 20)); }
  static void TearDownTestSuite() {
    delete stream_;
    stream_ = nullptr;
  }
  void SetUp() override {
    ASSERT_EQ(stream_->access_units.size(), 20u) << "the codec library encodes nothing";
    allocator_ = new CVzVideoSampleAllocator(64, 0, 0);
    allocator_->AddRef();
  }
  void TearDown() override { allocator_->Release(); }

  static inline EncodedStream* stream_ = nullptr;
  CVzVideoSampleAllocator* allocator_ = nullptr;
};

TEST_F(DecoderStreamTest, RoundTripKeepsThePicture) {
  KeepingSink sink;
  CVzH264SvcDecoder decoder(&sink, allocator_);
  ASSERT_EQ(decoder.Init(2, IVideoDecoder::kModeSvc), VSE_S_OK);
  for (size_t f = 0; f < stream_->access_units.size(); ++f) {
    SCOPED_TRACE(testing::Message() << "frame " << f);
    const auto& au = stream_->access_units[f];
    ASSERT_EQ(decoder.DecodeFrame(static_cast<uint32_t>(f * 33), au.data(), static_cast<int32_t>(au.size())), VSE_S_OK)
        << "frame " << f;
    ASSERT_EQ(sink.pictures, static_cast<int>(f + 1));
    ASSERT_EQ(sink.last_width, 640);
    ASSERT_EQ(sink.last_height, 360);
    ASSERT_EQ(sink.last.size(), 640u * 360u * 3u / 2u);
    EXPECT_EQ(sink.last_format, 23u);
    EXPECT_EQ(sink.last_time_stamp, f * 33);
    EXPECT_GT(receive_test::LumaPsnr(stream_->pictures[f].data(), 640, 360, sink.last.data(), 640), 30.0)
        << "frame " << f;
  }
  EXPECT_EQ(sink.key_frames, 0);

  // A 32-bit render format.
  uint32_t bgra = GetColorSpace(8);
  ASSERT_EQ(decoder.SetOption(IVideoDecoder::kOptionOutputFormat, &bgra), VSE_S_OK);
  const auto& au = stream_->access_units[0];
  ASSERT_EQ(decoder.DecodeFrame(0, au.data(), static_cast<int32_t>(au.size())), VSE_S_OK);
  EXPECT_EQ(sink.last.size(), 640u * 360u * 4u);
}

TEST_F(DecoderStreamTest, MalformedAccessUnitsAreRefusedWithALogLine) {
  LogCapture log;
  KeepingSink sink;
  CVzH264SvcDecoder decoder(&sink, allocator_);
  ASSERT_EQ(decoder.Init(2, IVideoDecoder::kModeSvc), VSE_S_OK);
  decoder.SetLossRecovery(1);

  // Larger than the codec takes.
  std::vector<uint8_t> huge(static_cast<size_t>(vzh264::IH264Decoder::kMaxInputBytes) + 1, 0);
  EXPECT_EQ(decoder.DecodeFrame(1, huge.data(), static_cast<int32_t>(huge.size())), VSE_E_FAIL);
  EXPECT_EQ(log.Count("failed,uiTimeStamp=1 iLen=8388609 ret=4096"), 1u);

  // A slice of a predicted frame with no parameter sets before it.
  const auto& later = stream_->access_units[5];
  EXPECT_EQ(decoder.DecodeFrame(2, later.data(), static_cast<int32_t>(later.size())), VSE_E_FAIL);
  EXPECT_EQ(log.Count("failed,uiTimeStamp=2"), 1u);
  EXPECT_GE(sink.key_frames + sink.refreshes, 1);

  // Noise behind start codes: never a picture, never a crash.
  std::mt19937 random(7);
  for (int i = 0; i < 20; ++i) {
    std::vector<uint8_t> noise(64 + random() % 2000);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    noise[0] = noise[1] = noise[2] = 0;
    noise[3] = 1;
    decoder.DecodeFrame(100 + i, noise.data(), static_cast<int32_t>(noise.size()));
  }
  EXPECT_EQ(sink.pictures, 0);
  EXPECT_GE(log.Count("failed,uiTimeStamp="), 3u);

  // The stream from its key frame decodes again afterwards.
  decoder.Uninit();
  ASSERT_EQ(decoder.Init(2, IVideoDecoder::kModeSvc), VSE_S_OK);
  const auto& first = stream_->access_units[0];
  EXPECT_EQ(decoder.DecodeFrame(3, first.data(), static_cast<int32_t>(first.size())), VSE_S_OK);
  EXPECT_EQ(sink.pictures, 1);
}

// Wrappers of several channels made, used and dropped on their own threads
// share the one library.
TEST_F(DecoderStreamTest, ChannelsOnSeveralThreadsShareTheLibrary) {
  std::atomic<int> decoded{0};
  auto channel = [&] {
    for (int round = 0; round < 3; ++round) {
      KeepingSink sink;
      CVzH264SvcDecoder decoder(&sink, allocator_);
      if (decoder.Init(2, IVideoDecoder::kModeSvc) != VSE_S_OK) return;
      for (size_t f = 0; f < 4; ++f) {
        const auto& au = stream_->access_units[f];
        if (decoder.DecodeFrame(0, au.data(), static_cast<int32_t>(au.size())) == VSE_S_OK) ++decoded;
      }
    }
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < 3; ++i) threads.emplace_back(channel);
  for (auto& t : threads) t.join();
  EXPECT_EQ(decoded.load(), 3 * 3 * 4);
  EXPECT_EQ(CH264DecoderLibrary::users_for_testing(), 0);
  EXPECT_FALSE(CH264DecoderLibrary::loaded_for_testing());
}

}  // namespace
