#include "video/engine/send/vz_h264_svc_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <set>
#include <vector>

#include "video/engine/core/engine_clock.h"
#include "video/engine/rtp/svc_priority_generator.h"
#include "video/engine/send/encode_param_generator.h"

namespace {

using W = vzh264::EncoderParam;

struct RecordingSink final : IVideoEncoderSink {
  struct Nal {
    uint32_t ts;
    std::vector<uint8_t> bytes;
  };
  void OnFrameEncoded(uint32_t ts, const uint8_t* nal, int32_t length) override {
    nals.push_back({ts, std::vector<uint8_t>(nal, nal + length)});
  }
  void OnEncoderReconfigured(const W& p) override {
    last_param = p;
    ++reconfigured;
  }
  void OnInputFrameRate(float rate) override { last_rate = rate; }
  std::vector<Nal> nals;
  W last_param;
  int reconfigured = 0;
  float last_rate = 0;
};

// A codec that answers from a script: each EncodeFrame takes the next
// result and layer layout.
struct ScriptedCodec final : vzh264::IH264Encoder {
  struct Frame {
    int32_t result;
    std::vector<std::vector<int32_t>> layers;  // NAL lengths per layer
    int32_t claimed_layers = -1;               // overrides layer_count when >= 0
  };
  int32_t InitializeExt(const W* p, void*) override {
    params.push_back(*p);
    return init_result;
  }
  int32_t Uninitialize() override { return 0; }
  int32_t EncodeFrame(const vzh264::SourcePicture* pic, vzh264::EncodeOutput* out) override {
    pictures.push_back(*pic);
    if (script.empty()) return vzh264::kFramePredicted;
    const Frame f = script.front();
    script.pop_front();
    bytes.clear();
    for (const auto& layer : f.layers) {
      for (int32_t len : layer) {
        for (int32_t i = 0; i < std::max(len, 0); ++i) bytes.push_back(static_cast<uint8_t>(bytes.size()));
      }
    }
    size_t offset = 0;
    out->layer_count = f.claimed_layers >= 0 ? f.claimed_layers : static_cast<int32_t>(f.layers.size());
    for (size_t l = 0; l < f.layers.size(); ++l) {
      out->layers[l].nal_count = static_cast<int32_t>(f.layers[l].size());
      out->layers[l].bitstream = bytes.data() + offset;
      for (size_t n = 0; n < f.layers[l].size(); ++n) {
        out->layers[l].nal_lengths[n] = f.layers[l][n];
        offset += static_cast<size_t>(std::max(f.layers[l][n], 0));
      }
    }
    return f.result;
  }
  int32_t EncodePauseFrame(int32_t, vzh264::EncodeOutput* out) override {
    // Two layers; the second's bitstream does not start with a zero byte.
    pause = {0, 0, 0, 1, 0x67, 0xAA, 0, 0, 0, 1, 0x65, 0xBB, 0xCC, 7, 7, 7};
    out->layer_count = 3;
    out->layers[0].nal_count = 1;
    out->layers[0].nal_lengths[0] = 6;
    out->layers[0].bitstream = pause.data();
    out->layers[1].nal_count = 1;
    out->layers[1].nal_lengths[0] = 3;
    out->layers[1].bitstream = pause.data() + 13;
    out->layers[2].nal_count = 1;
    out->layers[2].nal_lengths[0] = 7;
    out->layers[2].bitstream = pause.data() + 6;
    return 0;
  }
  int32_t ForceIntraFrame(int32_t) override {
    ++intra_requests;
    return 0;
  }
  int32_t SetOption(int32_t id, void* value) override {
    if (id == vzh264::kOptionReconfigure) params.push_back(*static_cast<W*>(value));
    options.push_back(id);
    return 0;
  }

  int32_t init_result = 0;
  std::deque<Frame> script;
  std::vector<W> params;
  std::vector<int32_t> options;
  std::vector<vzh264::SourcePicture> pictures;
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> pause;
  int intra_requests = 0;
};

ScriptedCodec* g_codec = nullptr;
int g_created = 0;
int g_destroyed = 0;

int32_t CreateScripted(vzh264::IH264Encoder** out) {
  ++g_created;
  *out = g_codec;
  return g_codec != nullptr ? 0 : -1;
}
void DestroyScripted(vzh264::IH264Encoder*) { ++g_destroyed; }

EncodeParams Params(int generator_level) {
  std::unique_ptr<CVseBaseEncodeParamGenerator> g(CVseEncodeParamFactory::Create(1));
  EncodeParams p;
  g->GetLevel(generator_level, &p.level);
  p.below_hd = 1;
  return p;
}

VideoFormat I420Format(int w, int h, uint32_t ts) {
  VideoFormat f{2, w, h, 30.0f, 0};
  f.set_time_stamp_ms(ts);
  return f;
}

class ScriptedEncoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VZSE_::SetEngineClockForTest(&clock_);
    g_codec = &codec_;
    g_created = g_destroyed = 0;
    H264EncoderEntryPoints fake{&CreateScripted, &DestroyScripted};
    CH264EncoderLibrary::SetForTesting(&fake);
    encoder_ = new CVzH264SvcEncoder();
    encoder_->AddRef();
    VideoFormat f = I420Format(640, 360, 0);
    encoder_->SetInputFormat(&f);
  }
  void TearDown() override {
    encoder_->Release();
    EXPECT_EQ(CH264EncoderLibrary::users_for_testing(), 0);
    CH264EncoderLibrary::SetForTesting(nullptr);
    VZSE_::SetEngineClockForTest(nullptr);
  }
  VseResult Encode(uint32_t ts) {
    VideoFormat f = I420Format(640, 360, ts);
    return encoder_->EncodeFrame(&f, frame_.data(), static_cast<int32_t>(frame_.size()));
  }

  VZSE_::FakeEngineClock clock_;
  ScriptedCodec codec_;
  RecordingSink sink_;
  CVzH264SvcEncoder* encoder_ = nullptr;
  std::vector<uint8_t> frame_ = std::vector<uint8_t>(640 * 360 * 3 / 2, 0x80);
};

TEST_F(ScriptedEncoderTest, InitChecksArgumentsAndConfiguresTheCodecOnce) {
  const EncodeParams params = Params(19);
  EXPECT_EQ(encoder_->Init(&params, nullptr), VSE_E_INVALIDARG);
  EXPECT_EQ(encoder_->Init(nullptr, &sink_), VSE_E_POINTER);
  EXPECT_EQ(encoder_->EncodeFrame(nullptr, nullptr, 0), VSE_E_POINTER);  // no sink yet
  ASSERT_EQ(encoder_->Init(&params, &sink_), VSE_S_OK);
  EXPECT_EQ(CH264EncoderLibrary::users_for_testing(), 1);
  EXPECT_EQ(encoder_->Init(&params, &sink_), VSE_S_OK);  // already initialised
  EXPECT_EQ(g_created, 1);
  ASSERT_EQ(codec_.params.size(), 1u);
  const W& p = codec_.params[0];
  EXPECT_EQ(p.At(W::kWidth), 640u);
  EXPECT_EQ(p.At(W::kSpatialLayers), 3u);
  EXPECT_EQ(p.At(W::kBelowHd), 1u);
  EXPECT_EQ(sink_.reconfigured, 1);
  EXPECT_EQ(sink_.last_param.At(W::kTotalBitrate), p.At(W::kTotalBitrate));

  // A new level reconfigures the running codec (option 2).
  const EncodeParams lower = Params(5);
  EXPECT_EQ(encoder_->SetEncodeParam(&lower), VSE_S_OK);
  EXPECT_EQ(codec_.options.back(), vzh264::kOptionReconfigure);
  EXPECT_EQ(codec_.params.back().At(W::kSpatialLayers), 2u);
  EXPECT_EQ(g_created, 1);
  EXPECT_EQ(encoder_->SetEncodeParam(nullptr), VSE_E_POINTER);
  EXPECT_EQ(encoder_->SetFrameSkipOption(0), VSE_E_INVALIDARG);
  EXPECT_EQ(encoder_->SetFrameSkipOption(1), VSE_S_OK);
  EXPECT_EQ(codec_.options.back(), vzh264::kOptionFrameSkip);
}

TEST_F(ScriptedEncoderTest, EveryNalGoesToTheSinkInOrderWithTheFrameTimeStamp) {
  const EncodeParams params = Params(19);
  ASSERT_EQ(encoder_->Init(&params, &sink_), VSE_S_OK);
  codec_.script.push_back({vzh264::kFrameIdr, {{10, 20}, {5}, {}}});
  ASSERT_EQ(Encode(1234), VSE_S_OK);
  ASSERT_EQ(sink_.nals.size(), 3u);
  EXPECT_EQ(sink_.nals[0].bytes.size(), 10u);
  EXPECT_EQ(sink_.nals[1].bytes.size(), 20u);
  EXPECT_EQ(sink_.nals[1].bytes[0], 10);  // follows the first in the bitstream
  EXPECT_EQ(sink_.nals[2].bytes[0], 30);
  for (size_t i = 0; i < sink_.nals.size(); ++i) EXPECT_EQ(sink_.nals[i].ts, 1234u) << "unit " << i;
  EXPECT_EQ(encoder_->encoded_bytes_for_testing(), 35u);
  ASSERT_EQ(codec_.pictures.size(), 1u);
  EXPECT_EQ(codec_.pictures[0].strides[1], 320);

  // Skipped: 0 and nothing handed on; failed: VSE_E_FAIL.
  clock_.AdvanceMs(100);
  codec_.script.push_back({vzh264::kFrameSkipped, {{10}}});
  EXPECT_EQ(Encode(1334), VSE_S_OK);
  clock_.AdvanceMs(100);
  codec_.script.push_back({vzh264::kFrameFailed, {{10}}});
  EXPECT_EQ(Encode(1434), VSE_E_FAIL);
  EXPECT_EQ(sink_.nals.size(), 3u);

  // Counts beyond the record and a negative length end the walk there.
  clock_.AdvanceMs(100);
  codec_.script.push_back({vzh264::kFramePredicted, {{4, -1, 9}, {6}}, 100000});
  EXPECT_EQ(Encode(1534), VSE_S_OK);
  ASSERT_EQ(sink_.nals.size(), 5u);
  EXPECT_EQ(sink_.nals[3].bytes.size(), 4u);
  EXPECT_EQ(sink_.nals[4].bytes.size(), 6u);
}

TEST_F(ScriptedEncoderTest, FilterThinsFramesAndAKeyFrameRequestPassesTheNext) {
  EncodeParams params = Params(19);
  params.level.frame_rates[2] = 15.0f;  // the stream runs at 15
  ASSERT_EQ(encoder_->Init(&params, &sink_), VSE_S_OK);
  int encoded = 0;
  for (int i = 0; i < 30; ++i) {
    const size_t before = codec_.pictures.size();
    ASSERT_EQ(Encode(static_cast<uint32_t>(i * 33)), VSE_S_OK) << "frame " << i;
    encoded += static_cast<int>(codec_.pictures.size() - before);
    clock_.AdvanceMs(33);
  }
  EXPECT_EQ(encoded, 15);
  // The next frame would be filtered; a key-frame request lets it through.
  ASSERT_EQ(Encode(990), VSE_S_OK);
  const size_t before = codec_.pictures.size();
  EXPECT_EQ(encoder_->EncodeKeyFrame(), VSE_S_OK);
  EXPECT_EQ(codec_.intra_requests, 1);
  ASSERT_EQ(Encode(991), VSE_S_OK);
  EXPECT_EQ(codec_.pictures.size(), before + 1);
}

TEST_F(ScriptedEncoderTest, ShortPicturesAreRefusedBeforeTheCodecSeesThem) {
  const EncodeParams params = Params(19);
  ASSERT_EQ(encoder_->Init(&params, &sink_), VSE_S_OK);
  VideoFormat f = I420Format(640, 360, 5);
  EXPECT_EQ(encoder_->EncodeFrame(&f, frame_.data(), 640 * 360), VSE_E_INVALIDARG);
  EXPECT_EQ(encoder_->EncodeFrame(&f, frame_.data(), 0), VSE_E_INVALIDARG);
  VideoFormat rgb{1, 640, 360, 30.0f, 0};
  clock_.AdvanceMs(200);
  EXPECT_EQ(encoder_->EncodeFrame(&rgb, frame_.data(), 640 * 360 * 2), VSE_E_FAIL);  // 3 bytes a pixel needed
  EXPECT_TRUE(codec_.pictures.empty());
}

TEST_F(ScriptedEncoderTest, PauseFrameReportsTheBytesCopiedNotTheSum) {
  const EncodeParams params = Params(19);
  const uint8_t* data = nullptr;
  int32_t length = -1;
  EXPECT_EQ(encoder_->GetPauseFrame(nullptr, 1, 100, &data, &length), VSE_E_FAIL);  // no codec
  ASSERT_EQ(encoder_->Init(&params, &sink_), VSE_S_OK);
  EXPECT_EQ(encoder_->GetPauseFrame(nullptr, 0, 100, &data, &length), VSE_E_INVALIDARG);
  EXPECT_EQ(encoder_->GetPauseFrame(nullptr, 1, 0, &data, &length), VSE_E_INVALIDARG);
  ASSERT_EQ(encoder_->GetPauseFrame(nullptr, 1, 100, &data, &length), VSE_S_OK);
  // Layers of 6 and 7 bytes; the 3-byte layer without a leading zero is skipped.
  ASSERT_EQ(length, 13);
  const uint8_t expected[] = {0, 0, 0, 1, 0x67, 0xAA, 0, 0, 0, 1, 0x65, 0xBB, 0xCC};
  EXPECT_EQ(0, std::memcmp(data, expected, sizeof(expected)));
}

TEST_F(ScriptedEncoderTest, CodecCreationAndInitialisationFailures) {
  g_codec = nullptr;
  const EncodeParams params = Params(19);
  EXPECT_EQ(encoder_->Init(&params, &sink_), CVzH264SvcEncoder::kNoCodec);
  g_codec = &codec_;
  codec_.init_result = -1;
  EXPECT_EQ(encoder_->Init(&params, &sink_), static_cast<VseResult>(-1));
  EXPECT_EQ(g_destroyed, 1);
  codec_.init_result = 0;
  EXPECT_EQ(encoder_->Init(&params, &sink_), VSE_S_OK);
  EXPECT_EQ(CH264EncoderLibrary::users_for_testing(), 1);  // counted once per encoder
}

TEST(H264EncoderLibrary, MissingEntryPointsAreReported) {
  H264EncoderEntryPoints half{&CreateScripted, nullptr};
  CH264EncoderLibrary::SetForTesting(&half);
  H264EncoderEntryPoints out;
  EXPECT_EQ(CH264EncoderLibrary::Acquire(&out), CH264EncoderLibrary::kNoEntryPoints);
  EXPECT_EQ(CH264EncoderLibrary::users_for_testing(), 0);
  CH264EncoderLibrary::SetForTesting(nullptr);
}

// ---- Through the codec library itself ---------------------------------------

TEST(H264SvcEncoderWithLibrary, LayersReachThePriorityGeneratorAsTheSeiDescribesThem) {
  VZSE_::FakeEngineClock clock;
  VZSE_::SetEngineClockForTest(&clock);
  auto* encoder = new CVzH264SvcEncoder();
  encoder->AddRef();
  RecordingSink sink;
  VideoFormat f = I420Format(640, 360, 0);
  encoder->SetInputFormat(&f);
  EncodeParams params = Params(19);
  ASSERT_EQ(encoder->Init(&params, &sink), VSE_S_OK) << "libvzh264.so beside the test";
  std::vector<uint8_t> yuv(640 * 360 * 3 / 2);
  for (int i = 0; i < 8; ++i) {
    for (size_t k = 0; k < 640 * 360; ++k) yuv[k] = static_cast<uint8_t>((k % 640 + i * 3) & 0xFF);
    std::fill(yuv.begin() + 640 * 360, yuv.end(), 128);
    f.set_time_stamp_ms(static_cast<uint32_t>(i * 42));
    ASSERT_EQ(encoder->EncodeFrame(&f, yuv.data(), static_cast<int32_t>(yuv.size())), VSE_S_OK) << "frame " << i;
    clock.AdvanceMs(42);
  }
  encoder->Release();
  VZSE_::SetEngineClockForTest(nullptr);

  // A 160x90 class at 6 fps and a 640x360 class at 24 fps.
  CSvcPriorityGenerator generator;
  SvcOutput outputs[2];
  outputs[0].width = 160;
  outputs[0].height = 90;
  outputs[0].frame_rate = 6;
  outputs[1].index = 1;
  outputs[1].width = 640;
  outputs[1].height = 360;
  outputs[1].frame_rate = 24;
  generator.SetOutputs(2, outputs);
  ASSERT_FALSE(sink.nals.empty());
  EXPECT_EQ(sink.nals[0].bytes[4] & 0x1F, 6) << "the scalability message comes first";
  std::set<int> small_class_d, top_class_d;
  int slices = 0;
  for (size_t i = 0; i < sink.nals.size(); ++i) {
    const auto& nal = sink.nals[i];
    ASSERT_EQ(generator.InputNal(nal.bytes.data() + 4, static_cast<int>(nal.bytes.size()) - 4), 0) << "unit " << i;
    const int type = nal.bytes[4] & 0x1F;
    if (type != 20 && type != 14) continue;
    int priorities[2];
    generator.Priorities(priorities, 2);
    int d, t, q;
    generator.LayerIdentity(&d, &t, &q);
    if (type == 20) ++slices;
    if (priorities[0] != CSvcPriorityGenerator::kNotNeeded) small_class_d.insert(d);
    if (priorities[1] != CSvcPriorityGenerator::kNotNeeded) top_class_d.insert(d);
  }
  EXPECT_GT(slices, 0);
  EXPECT_EQ(small_class_d, std::set<int>({0}));
  EXPECT_EQ(top_class_d, std::set<int>({0, 1, 2}));
}

}  // namespace
