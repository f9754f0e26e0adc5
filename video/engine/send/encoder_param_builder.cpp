#include "video/engine/send/encoder_param_builder.h"

#include <algorithm>

#include "common/trace_client.h"

namespace {

using W = vzh264::EncoderParam;

constexpr int32_t kCaptureSlack = 32;  // pixels a layer may exceed the capture by

}  // namespace

float LayerFrameRate(float stream_rate, float wanted, int temporal_levels) {
  const float e = wanted <= 0.1f ? 1.0f : wanted;
  if (stream_rate <= e) return stream_rate;
  float g = stream_rate;
  int halvings = 0;
  while (halvings < temporal_levels - 1 && g / 2 > e) {
    g /= 2;
    ++halvings;
  }
  // Out of temporal levels: the lowest rate they reach.
  if (halvings == temporal_levels - 1 && g / 2 > e) return g;
  const float f = g / 2;
  if (halvings < temporal_levels - 1 && e - f < (g - e) / 2) return f;
  return g;
}

VseResult BuildEncoderParam(const EncodeLevel& level, const EncoderInputFormat& input,
                            const EncoderSwitches& switches, vzh264::EncoderParam* p, float* stream_rate) {
  if (input.video_type <= kVideoTypeOther || input.video_type > kLastVideoType) return VSE_E_FAIL;
  p->At(W::kWidth) = static_cast<uint32_t>(input.width);
  p->At(W::kHeight) = static_cast<uint32_t>(input.height);
  p->At(W::kTotalBitrate) = 0;
  p->At(W::kSpatialLayers) = 0;
  p->At(W::kColorFormat) = W::kColorI420;
  p->At(9) = p->At(10) = 1;
  p->At(12) = p->At(13) = 1;
  p->At(16) = 30;

  const int count = std::clamp(level.layer_count, 0, EncodeLevel::kMaxLayers);
  uint32_t total = 0;
  int layers = 0;
  for (int i = 0; i < count; ++i) {
    if (switches.limit_to_capture &&
        (level.widths[i] > input.width + kCaptureSlack || level.heights[i] > input.height + kCaptureSlack)) {
      if (i == 0) {
        p->Layer(0, W::kLayerWidth) = static_cast<uint32_t>(input.width);
        p->Layer(0, W::kLayerHeight) = static_cast<uint32_t>(input.height);
        p->Layer(0, W::kLayerFlag) = static_cast<uint32_t>(level.layer_flags[0]);
        p->Layer(0, W::kLayerBitrate) = static_cast<uint32_t>(level.bitrates[0]);
        p->Layer(0, 5) = p->Layer(0, 6) = 0;
        total = static_cast<uint32_t>(level.bitrates[0]);
        layers = 1;
        VZ_LOG("capture width is %d height=%d", input.width, input.height);
      } else {
        // The layer below takes over a third more of the rate.
        const uint32_t extra = p->Layer(i - 1, W::kLayerBitrate) / 3;
        p->Layer(i - 1, W::kLayerBitrate) += extra;
        total += extra;
      }
      break;
    }
    p->Layer(i, W::kLayerWidth) = static_cast<uint32_t>(level.widths[i]);
    p->Layer(i, W::kLayerHeight) = static_cast<uint32_t>(level.heights[i]);
    p->Layer(i, W::kLayerFlag) = static_cast<uint32_t>(level.layer_flags[i]);
    p->Layer(i, W::kLayerBitrate) = static_cast<uint32_t>(level.bitrates[i]);
    p->Layer(i, 5) = p->Layer(i, 6) = 0;
    total += static_cast<uint32_t>(level.bitrates[i]);
    ++layers;
  }
  p->At(W::kTotalBitrate) = total;
  p->At(W::kSpatialLayers) = static_cast<uint32_t>(layers);

  float top = 0;
  for (int i = 0; i < count; ++i) top = std::max(top, level.frame_rates[i]);
  const float c = std::min(input.frame_rate, top);
  *stream_rate = c;
  const int temporal = switches.single_temporal_layer ? 1 : (c >= 18.0f ? 3 : 2);
  p->SetFloat(W::kFrameRate, c);
  p->At(W::kTemporalLevels) = static_cast<uint32_t>(temporal);
  p->At(7) = 1;
  p->At(W::kIntraPeriod) = level.periodic_intra != 0 ? 160u << (temporal - 1) : 0u;

  float rates[EncodeLevel::kMaxLayers] = {};
  for (int k = 0; k < layers; ++k) rates[k] = LayerFrameRate(c, level.frame_rates[k], temporal);
  for (int k = layers - 2; k >= 0; --k) {
    if (rates[k] < 1.0f) rates[k] = rates[k + 1];
  }
  for (int k = 0; k < layers; ++k) p->Layer(k, W::kLayerFrameRate) = std::bit_cast<uint32_t>(rates[k]);

  p->SetFloat(W::kPadding, level.padding);
  p->At(W::kRateControl) = static_cast<uint32_t>(level.rate_control);
  p->At(W::kLongTermReference) = static_cast<uint32_t>(level.long_term_reference);
  for (int k = 0; k < layers; ++k) {
    const bool slices = level.multi_slice != 0 && k == layers - 1;
    p->Layer(k, W::kLayerSliceMode) = slices ? 1u : 0u;
    p->Layer(k, W::kLayerSliceCount) = slices ? 4u : 0u;
  }
  return VSE_S_OK;
}
