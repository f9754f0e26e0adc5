#include <gtest/gtest.h>
#include <wels/codec_api.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "contracts/vzh264_codec.h"
#include "outside/vzh264/encoder_param_translation.h"
#include "outside/vzh264/scalability_sei_writer.h"
#include "platform/module_loader.h"

namespace {

using vzh264::EncoderParam;

// 160x90 / 320x180 / 640x360 at 30 fps, three temporal levels, as the
// encoder wrapper writes it for a 640x360 capture.
EncoderParam ThreeLayerParam(int width = 640, int height = 360) {
  EncoderParam p;
  p.At(EncoderParam::kWidth) = static_cast<uint32_t>(width);
  p.At(EncoderParam::kHeight) = static_cast<uint32_t>(height);
  p.At(EncoderParam::kTemporalLevels) = 3;
  p.At(EncoderParam::kSpatialLayers) = 3;
  p.SetFloat(EncoderParam::kFrameRate, 30.0f);
  p.At(EncoderParam::kColorFormat) = EncoderParam::kColorI420;
  p.At(EncoderParam::kRateControl) = 1;
  const int sizes[3][2] = {{160, 90}, {320, 180}, {640, 360}};
  const uint32_t rates[3] = {64000, 180000, 520000};
  const float fps[3] = {7.5f, 15.0f, 30.0f};
  uint32_t total = 0;
  for (int i = 0; i < 3; ++i) {
    p.Layer(i, EncoderParam::kLayerWidth) = static_cast<uint32_t>(sizes[i][0]);
    p.Layer(i, EncoderParam::kLayerHeight) = static_cast<uint32_t>(sizes[i][1]);
    p.Layer(i, EncoderParam::kLayerFrameRate) = std::bit_cast<uint32_t>(fps[i]);
    p.Layer(i, EncoderParam::kLayerFlag) = 1;
    p.Layer(i, EncoderParam::kLayerBitrate) = rates[i];
    total += rates[i];
  }
  p.At(EncoderParam::kTotalBitrate) = total;
  return p;
}

// ---- Parameter translation -------------------------------------------------

TEST(Vzh264ParamTranslation, LayersRatesAndSvcSyntax) {
  SEncParamExt defaults{};
  SEncParamExt ext{};
  EncoderParam p = ThreeLayerParam(1280, 720);
  p.At(EncoderParam::kIntraPeriod) = 640;
  p.Layer(2, EncoderParam::kLayerSliceMode) = std::bit_cast<uint32_t>(1.0f);
  p.Layer(2, EncoderParam::kLayerSliceCount) = 4;
  ASSERT_TRUE(vzh264::TranslateEncoderParam(p, defaults, &ext));
  EXPECT_EQ(ext.iSpatialLayerNum, 3);
  EXPECT_EQ(ext.iTemporalLayerNum, 3);
  // The coded size is the top layer's; the larger input is scaled to it.
  EXPECT_EQ(ext.iPicWidth, 640);
  EXPECT_EQ(ext.iPicHeight, 360);
  EXPECT_EQ(ext.iTargetBitrate, 764000);
  EXPECT_EQ(ext.sSpatialLayers[0].iVideoWidth, 160);
  EXPECT_EQ(ext.sSpatialLayers[1].iSpatialBitrate, 180000);
  // Every spatial layer is coded in every access unit; lower layers reach
  // their rates through the temporal levels.
  EXPECT_FLOAT_EQ(ext.sSpatialLayers[0].fFrameRate, 30.0f);
  EXPECT_EQ(ext.sSpatialLayers[0].sSliceArgument.uiSliceMode, SM_SINGLE_SLICE);
  EXPECT_EQ(ext.sSpatialLayers[2].sSliceArgument.uiSliceMode, SM_FIXEDSLCNUM_SLICE);
  EXPECT_EQ(ext.sSpatialLayers[2].sSliceArgument.uiSliceNum, 4u);
  EXPECT_EQ(ext.uiIntraPeriod, 640u);
  EXPECT_TRUE(ext.bPrefixNalAddingCtrl);
  EXPECT_FALSE(ext.bSimulcastAVC);
  EXPECT_EQ(ext.iRCMode, RC_BITRATE_MODE);
}

TEST(Vzh264ParamTranslation, UnrunnableRecordsAreRefused) {
  SEncParamExt defaults{};
  SEncParamExt ext{};
  auto refused = [&](auto change) {
    EncoderParam p = ThreeLayerParam();
    change(p);
    return !vzh264::TranslateEncoderParam(p, defaults, &ext);
  };
  EXPECT_FALSE(refused([](EncoderParam&) {}));
  EXPECT_TRUE(refused([](EncoderParam& p) { p.At(EncoderParam::kColorFormat) = 1; }));
  EXPECT_TRUE(refused([](EncoderParam& p) { p.At(EncoderParam::kWidth) = 641; }));
  EXPECT_TRUE(refused([](EncoderParam& p) { p.At(EncoderParam::kHeight) = 8; }));
  EXPECT_TRUE(refused([](EncoderParam& p) { p.At(EncoderParam::kWidth) = 8192; }));
  EXPECT_TRUE(refused([](EncoderParam& p) { p.At(EncoderParam::kSpatialLayers) = 0; }));
  EXPECT_TRUE(refused([](EncoderParam& p) { p.At(EncoderParam::kSpatialLayers) = 5; }));
  EXPECT_TRUE(refused([](EncoderParam& p) { p.SetFloat(EncoderParam::kFrameRate, 0.0f); }));
  // A lower layer larger than the one above it.
  EXPECT_TRUE(refused([](EncoderParam& p) { p.Layer(0, EncoderParam::kLayerWidth) = 480; }));
  // A layer count that names a layer never written (width 0).
  EXPECT_TRUE(refused([](EncoderParam& p) { p.At(EncoderParam::kSpatialLayers) = 4; }));
}

TEST(Vzh264SeiWriter, OutOfRangeLayoutsGiveNothing) {
  EXPECT_TRUE(vzh264::WriteScalabilitySei({}, 3).empty());
  EXPECT_TRUE(vzh264::WriteScalabilitySei({{160, 90, 30}}, 0).empty());
  EXPECT_TRUE(vzh264::WriteScalabilitySei({{160, 90, 30}}, 5).empty());
  EXPECT_TRUE(vzh264::WriteScalabilitySei(std::vector<vzh264::SeiSpatialLayer>(5, {160, 90, 30}), 1).empty());
  const std::vector<uint8_t> sei = vzh264::WriteScalabilitySei({{160, 90, 30}, {320, 180, 30}}, 2);
  ASSERT_GT(sei.size(), 7u);
  EXPECT_EQ(sei[4], 0x06);
  EXPECT_EQ(sei[5], 24);
  // No start-code emulation after the start code.
  for (size_t i = 6; i + 2 < sei.size(); ++i) {
    EXPECT_FALSE(sei[i] == 0 && sei[i + 1] == 0 && sei[i + 2] <= 3 && sei[i + 2] != 3) << "at " << i;
  }
}

// ---- The library, loaded by name -------------------------------------------

class Vzh264Library : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = vz::LoadModule(vzh264::kLibraryName).module;
    ASSERT_NE(module_, nullptr);
    create_encoder_ = reinterpret_cast<vzh264::CreateEncoderFn>(
        vz::GetModuleSymbol(module_, vzh264::kCreateEncoderName));
    destroy_encoder_ = reinterpret_cast<vzh264::DestroyEncoderFn>(
        vz::GetModuleSymbol(module_, vzh264::kDestroyEncoderName));
    create_decoder_ = reinterpret_cast<vzh264::CreateDecoderFn>(
        vz::GetModuleSymbol(module_, vzh264::kCreateDecoderName));
    destroy_decoder_ = reinterpret_cast<vzh264::DestroyDecoderFn>(
        vz::GetModuleSymbol(module_, vzh264::kDestroyDecoderName));
  }
  // Kept loaded for the run, as the engine keeps it.
  void SetUp() override {
    ASSERT_NE(create_encoder_, nullptr);
    ASSERT_NE(destroy_encoder_, nullptr);
    ASSERT_NE(create_decoder_, nullptr);
    ASSERT_NE(destroy_decoder_, nullptr);
    ASSERT_EQ(create_encoder_(&encoder_), 0);
    ASSERT_EQ(create_decoder_(&decoder_), 0);
    vzh264::DecoderParam dp;
    ASSERT_EQ(decoder_->Initialize(&dp, nullptr), 0);
  }
  void TearDown() override {
    if (encoder_) destroy_encoder_(encoder_);
    if (decoder_) destroy_decoder_(decoder_);
  }

  // A moving diagonal gradient with a bright square, I420.
  static std::vector<uint8_t> Picture(int w, int h, int frame) {
    std::vector<uint8_t> yuv(static_cast<size_t>(w) * h * 3 / 2);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        int v = ((x + 2 * frame) * 200 / w + y * 50 / h);
        const int sx = (frame * 4) % (w - 64);
        if (x >= sx && x < sx + 64 && y >= 40 && y < 104) v = 235;
        yuv[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(16 + v % 220);
      }
    }
    uint8_t* u = yuv.data() + static_cast<size_t>(w) * h;
    uint8_t* v = u + static_cast<size_t>(w / 2) * (h / 2);
    for (int y = 0; y < h / 2; ++y) {
      for (int x = 0; x < w / 2; ++x) {
        u[y * (w / 2) + x] = static_cast<uint8_t>(90 + x * 60 / w);
        v[y * (w / 2) + x] = static_cast<uint8_t>(160 - y * 60 / h);
      }
    }
    return yuv;
  }
  static vzh264::SourcePicture Source(const std::vector<uint8_t>& yuv, int w, int h, int64_t ts) {
    vzh264::SourcePicture s;
    s.width = w;
    s.height = h;
    s.strides[0] = w;
    s.strides[1] = s.strides[2] = w / 2;
    s.planes[0] = yuv.data();
    s.planes[1] = yuv.data() + static_cast<size_t>(w) * h;
    s.planes[2] = s.planes[1] + static_cast<size_t>(w / 2) * (h / 2);
    s.time_stamp_ms = ts;
    return s;
  }
  static std::vector<uint8_t> AccessUnit(const vzh264::EncodeOutput& out) {
    std::vector<uint8_t> au;
    for (int l = 0; l < out.layer_count; ++l) {
      const vzh264::EncodeLayerOutput& layer = out.layers[l];
      size_t bytes = 0;
      for (int n = 0; n < layer.nal_count; ++n) bytes += static_cast<size_t>(layer.nal_lengths[n]);
      au.insert(au.end(), layer.bitstream, layer.bitstream + bytes);
    }
    return au;
  }
  // Luma PSNR of a decoded picture against the source.
  static double LumaPsnr(const uint8_t* source, int w, int h, const uint8_t* decoded, int stride) {
    double squared = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const double d = double(source[y * w + x]) - double(decoded[y * stride + x]);
        squared += d * d;
      }
    }
    const double mse = squared / (double(w) * h);
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
  }

  static inline vz::ModuleHandle module_ = nullptr;
  static inline vzh264::CreateEncoderFn create_encoder_ = nullptr;
  static inline vzh264::DestroyEncoderFn destroy_encoder_ = nullptr;
  static inline vzh264::CreateDecoderFn create_decoder_ = nullptr;
  static inline vzh264::DestroyDecoderFn destroy_decoder_ = nullptr;
  vzh264::IH264Encoder* encoder_ = nullptr;
  vzh264::IH264Decoder* decoder_ = nullptr;
};

TEST_F(Vzh264Library, ThreeLayerStreamDecodesBackAboveThirtyDecibels) {
  const EncoderParam param = ThreeLayerParam();
  ASSERT_EQ(encoder_->InitializeExt(&param, nullptr), 0);
  auto out = std::make_unique<vzh264::EncodeOutput>();
  std::set<std::pair<int, int>> prefix_layers;  // (D, T) of prefix and SVC slice NAL units
  int decoded = 0;
  for (int f = 0; f < 30; ++f) {
    SCOPED_TRACE(testing::Message() << "frame " << f);
    const std::vector<uint8_t> yuv = Picture(640, 360, f);
    const vzh264::SourcePicture src = Source(yuv, 640, 360, f * 33);
    const int32_t result = encoder_->EncodeFrame(&src, out.get());
    ASSERT_NE(result, vzh264::kFrameFailed);
    ASSERT_NE(result, vzh264::kFrameSkipped);
    if (f == 0) {
      EXPECT_EQ(result, vzh264::kFrameIdr);
      // The scalability message leads the IDR frame: 9 layers (3 x 3).
      const vzh264::EncodeLayerOutput& first = out->layers[0];
      ASSERT_EQ(first.nal_count, 1);
      EXPECT_EQ(first.bitstream[4] & 0x1F, 6);
      EXPECT_EQ(first.bitstream[5], 24);
    }
    for (int l = 0; l < out->layer_count; ++l) {
      const vzh264::EncodeLayerOutput& layer = out->layers[l];
      const uint8_t* nal = layer.bitstream;
      for (int n = 0; n < layer.nal_count; ++n) {
        ASSERT_GE(layer.nal_lengths[n], 8) << "layer " << l << " unit " << n;
        ASSERT_EQ(0, std::memcmp(nal, "\0\0\0\1", 4)) << "4-byte start code, layer " << l << " unit " << n;
        const int type = nal[4] & 0x1F;
        if (type == 14 || type == 20) prefix_layers.insert({(nal[6] >> 4) & 7, nal[7] >> 5});
        nal += layer.nal_lengths[n];
      }
    }
    const std::vector<uint8_t> au = AccessUnit(*out);
    uint8_t* planes[3];
    vzh264::DecodeBufferInfo info;
    ASSERT_EQ(decoder_->DecodeFrame(au.data(), static_cast<int32_t>(au.size()), planes, &info), 0) << f;
    EXPECT_EQ(info.picture_ready, 0) << "the picture waits for the call without data";
    ASSERT_EQ(decoder_->DecodeFrame(nullptr, 0, planes, &info), 0);
    ASSERT_EQ(info.picture_ready, 1) << "frame " << f;
    ASSERT_EQ(info.width, 640);
    ASSERT_EQ(info.height, 360);
    EXPECT_GT(LumaPsnr(yuv.data(), 640, 360, planes[0], info.strides[0]), 30.0) << "frame " << f;
    ++decoded;
  }
  EXPECT_EQ(decoded, 30);
  const std::set<std::pair<int, int>> all = {{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1},
                                             {1, 2}, {2, 0}, {2, 1}, {2, 2}};
  EXPECT_EQ(prefix_layers, all);
}

// Packets lost on the way: a base slice without its prefix unit, and a
// picture that nothing refers to without its top layer. The first is put
// right, the second costs its own picture only; every other picture decodes
// clean, where the decoder underneath alone would damage all of them up to
// the next IDR frame.
TEST_F(Vzh264Library, LostPrefixAndLostTopLayerOfAnUnreferencedPictureDamageNothingElse) {
  const EncoderParam param = ThreeLayerParam();
  ASSERT_EQ(encoder_->InitializeExt(&param, nullptr), 0);
  auto out = std::make_unique<vzh264::EncodeOutput>();
  bool dropped_prefix = false;
  int dropped_top_frame = -1;
  int clean = 0;
  for (int f = 0; f < 24; ++f) {
    SCOPED_TRACE(testing::Message() << "frame " << f);
    const std::vector<uint8_t> yuv = Picture(640, 360, f);
    const vzh264::SourcePicture src = Source(yuv, 640, 360, f * 33);
    ASSERT_NE(encoder_->EncodeFrame(&src, out.get()), vzh264::kFrameFailed);
    // The frame's NAL units, without the ones lost.
    std::vector<uint8_t> au;
    for (int l = 0; l < out->layer_count; ++l) {
      const uint8_t* nal = out->layers[l].bitstream;
      for (int n = 0; n < out->layers[l].nal_count; ++n) {
        const int32_t size = out->layers[l].nal_lengths[n];
        const int type = nal[4] & 0x1F;
        const int temporal_id = (type == 14 || type == 20) ? nal[7] >> 5 : -1;
        const int dependency_id = (type == 14 || type == 20) ? (nal[6] >> 4) & 7 : -1;
        bool lost = false;
        if (f > 8 && !dropped_prefix && type == 14 && temporal_id == 1) lost = dropped_prefix = true;
        if (f > 12 && dropped_top_frame < 0 && type == 20 && temporal_id == 2 && dependency_id == 2) {
          lost = true;
          dropped_top_frame = f;
        }
        if (!lost) au.insert(au.end(), nal, nal + size);
        nal += size;
      }
    }
    uint8_t* planes[3];
    vzh264::DecodeBufferInfo info;
    ASSERT_EQ(decoder_->DecodeFrame(au.data(), static_cast<int32_t>(au.size()), planes, &info), 0) << f;
    ASSERT_EQ(decoder_->DecodeFrame(nullptr, 0, planes, &info), 0) << f;
    if (f == dropped_top_frame) {
      EXPECT_EQ(info.picture_ready, 0) << "a picture without its top layer is left out";
      continue;
    }
    ASSERT_EQ(info.picture_ready, 1) << "frame " << f;
    ASSERT_EQ(info.width, 640);
    EXPECT_GT(LumaPsnr(yuv.data(), 640, 360, planes[0], info.strides[0]), 30.0) << "frame " << f;
    ++clean;
  }
  EXPECT_TRUE(dropped_prefix);
  EXPECT_GT(dropped_top_frame, 0);
  EXPECT_EQ(clean, 23);
}

TEST_F(Vzh264Library, ReconfigureAndForcedIntraStartWithAnIdrFrame) {
  EncoderParam param = ThreeLayerParam();
  ASSERT_EQ(encoder_->InitializeExt(&param, nullptr), 0);
  auto out = std::make_unique<vzh264::EncodeOutput>();
  const std::vector<uint8_t> yuv = Picture(640, 360, 0);
  const vzh264::SourcePicture src = Source(yuv, 640, 360, 0);
  EXPECT_EQ(encoder_->EncodeFrame(&src, out.get()), vzh264::kFrameIdr);
  EXPECT_EQ(encoder_->EncodeFrame(&src, out.get()), vzh264::kFramePredicted);
  EXPECT_EQ(encoder_->ForceIntraFrame(1), 0);
  EXPECT_EQ(encoder_->EncodeFrame(&src, out.get()), vzh264::kFrameIdr);

  // Down to two spatial layers: the next frame is IDR with a new message.
  param.At(EncoderParam::kSpatialLayers) = 2;
  param.Layer(1, EncoderParam::kLayerWidth) = 640;
  param.Layer(1, EncoderParam::kLayerHeight) = 360;
  EXPECT_EQ(encoder_->SetOption(vzh264::kOptionReconfigure, &param), 0);
  EXPECT_EQ(encoder_->EncodeFrame(&src, out.get()), vzh264::kFrameIdr);
  int max_d = 0;
  for (int l = 0; l < out->layer_count; ++l) max_d = std::max(max_d, out->layers[l].spatial_id);
  EXPECT_EQ(max_d, 1);

  // A picture of another size than configured is refused.
  const std::vector<uint8_t> small = Picture(320, 180, 0);
  const vzh264::SourcePicture wrong = Source(small, 320, 180, 0);
  EXPECT_EQ(encoder_->EncodeFrame(&wrong, out.get()), vzh264::kFrameFailed);
  // Refused records and options leave the encoder as it was.
  EncoderParam bad = param;
  bad.At(EncoderParam::kColorFormat) = 4;
  EXPECT_EQ(encoder_->SetOption(vzh264::kOptionReconfigure, &bad), -1);
  EXPECT_EQ(encoder_->SetOption(77, &bad), -1);
  EXPECT_EQ(encoder_->SetOption(vzh264::kOptionFrameSkip, nullptr), -1);
  int32_t three = 3;
  EXPECT_EQ(encoder_->SetOption(vzh264::kOptionFrameSkip, &three), -1);
  EXPECT_EQ(encoder_->SetOption(vzh264::kOptionComplexity, &three), 0);
  EXPECT_NE(encoder_->EncodeFrame(&src, out.get()), vzh264::kFrameFailed);
}

TEST_F(Vzh264Library, PauseFrameDecodesToAFlatPicture) {
  const EncoderParam param = ThreeLayerParam();
  EXPECT_EQ(encoder_->EncodePauseFrame(vzh264::kPauseGrey, nullptr), -1);
  ASSERT_EQ(encoder_->InitializeExt(&param, nullptr), 0);
  auto out = std::make_unique<vzh264::EncodeOutput>();
  EXPECT_EQ(encoder_->EncodePauseFrame(9, out.get()), -1);
  ASSERT_EQ(encoder_->EncodePauseFrame(vzh264::kPauseBlack, out.get()), 0);
  const std::vector<uint8_t> au = AccessUnit(*out);
  uint8_t* planes[3];
  vzh264::DecodeBufferInfo info;
  ASSERT_EQ(decoder_->DecodeFrame(au.data(), static_cast<int32_t>(au.size()), planes, &info), 0);
  ASSERT_EQ(decoder_->DecodeFrame(nullptr, 0, planes, &info), 0);
  ASSERT_EQ(info.picture_ready, 1);
  EXPECT_NEAR(planes[0][info.strides[0] * 180 + 320], 16, 2);
  // Taken once.
  ASSERT_EQ(decoder_->DecodeFrame(nullptr, 0, planes, &info), 0);
  EXPECT_EQ(info.picture_ready, 0);
  EXPECT_EQ(planes[0], nullptr);
}

TEST_F(Vzh264Library, MalformedAccessUnitsAreRefusedOrReportedNeverDecodedAsPictures) {
  uint8_t* planes[3];
  vzh264::DecodeBufferInfo info;
  const uint8_t byte = 0;
  EXPECT_EQ(decoder_->DecodeFrame(nullptr, 5, planes, &info), vzh264::kDecodeInvalidArgument);
  EXPECT_EQ(decoder_->DecodeFrame(&byte, -1, planes, &info), vzh264::kDecodeInvalidArgument);
  EXPECT_EQ(decoder_->DecodeFrame(&byte, vzh264::IH264Decoder::kMaxInputBytes + 1, planes, &info),
            vzh264::kDecodeInvalidArgument);
  EXPECT_EQ(decoder_->DecodeFrame(&byte, 1, nullptr, &info), vzh264::kDecodeInvalidArgument);

  // A slice without parameter sets, then random bytes behind start codes.
  const uint8_t orphan[] = {0, 0, 0, 1, 0x65, 0x88, 0x84, 0x00, 0x33, 0xFF, 0x12};
  EXPECT_NE(decoder_->DecodeFrame(orphan, sizeof(orphan), planes, &info), 0);
  EXPECT_EQ(decoder_->DecodeFrame(nullptr, 0, planes, &info), 0);
  EXPECT_EQ(info.picture_ready, 0);
  int32_t lost = -1;
  EXPECT_EQ(decoder_->GetOption(vzh264::kDecoderReferenceLossState, &lost), 0);
  EXPECT_EQ(lost, 1);
  std::mt19937 rng(7);
  for (int i = 0; i < 200; ++i) {
    std::vector<uint8_t> junk(1 + rng() % 400);
    for (uint8_t& b : junk) b = static_cast<uint8_t>(rng());
    if (junk.size() > 5) std::memcpy(junk.data(), "\0\0\0\1", 4);
    decoder_->DecodeFrame(junk.data(), static_cast<int32_t>(junk.size()), planes, &info);
  }

  // A real stream cut short, then the whole stream: the decoder recovers at
  // the next IDR frame.
  const EncoderParam param = ThreeLayerParam();
  ASSERT_EQ(encoder_->InitializeExt(&param, nullptr), 0);
  auto out = std::make_unique<vzh264::EncodeOutput>();
  const std::vector<uint8_t> yuv = Picture(640, 360, 3);
  const vzh264::SourcePicture src = Source(yuv, 640, 360, 0);
  ASSERT_EQ(encoder_->EncodeFrame(&src, out.get()), vzh264::kFrameIdr);
  const std::vector<uint8_t> au = AccessUnit(*out);
  for (size_t cut : {au.size() / 3, au.size() / 2, au.size() - 7}) {
    decoder_->DecodeFrame(au.data(), static_cast<int32_t>(cut), planes, &info);
  }
  vzh264::DecoderParam dp;
  ASSERT_EQ(decoder_->Initialize(&dp, nullptr), 0);
  EXPECT_EQ(decoder_->DecodeFrame(au.data(), static_cast<int32_t>(au.size()), planes, &info), 0);
  decoder_->DecodeFrame(nullptr, 0, planes, &info);
  EXPECT_EQ(info.picture_ready, 1);

  // Another wanted format still gives I420 planes (the caller converts).
  dp.output_color_format = 4;
  ASSERT_EQ(decoder_->Initialize(&dp, nullptr), 0);
  EXPECT_EQ(decoder_->DecodeFrame(au.data(), static_cast<int32_t>(au.size()), planes, &info), 0);
  decoder_->DecodeFrame(nullptr, 0, planes, &info);
  EXPECT_EQ(info.picture_ready, 1);
}

}  // namespace
