#include "outside/vzh264/encoder_param_translation.h"

#include <algorithm>

namespace vzh264 {
namespace {

bool SideOk(uint32_t side) { return side >= kMinSide && side <= kMaxSide && side % 2 == 0; }

bool RateOk(float rate) { return rate > 0.0f && rate <= 120.0f; }  // frames per second

}  // namespace

bool TranslateEncoderParam(const EncoderParam& p, const SEncParamExt& defaults, SEncParamExt* out) {
  using W = EncoderParam;
  if (p.At(W::kColorFormat) != W::kColorI420) return false;
  if (!SideOk(p.At(W::kWidth)) || !SideOk(p.At(W::kHeight))) return false;
  const uint32_t layers = p.At(W::kSpatialLayers);
  if (layers < 1 || layers > static_cast<uint32_t>(W::kMaxSpatialLayers)) return false;
  const float frame_rate = p.FloatAt(W::kFrameRate);
  if (!RateOk(frame_rate)) return false;

  *out = defaults;
  out->iUsageType = CAMERA_VIDEO_REAL_TIME;
  out->iTemporalLayerNum = std::clamp(static_cast<int>(p.At(W::kTemporalLevels)), 1, 4);
  out->iSpatialLayerNum = static_cast<int>(layers);
  out->fMaxFrameRate = frame_rate;
  out->iRCMode = p.At(W::kRateControl) == 0 ? RC_QUALITY_MODE : RC_BITRATE_MODE;
  out->uiIntraPeriod = p.At(W::kIntraPeriod);
  out->bEnableLongTermReference = p.At(W::kLongTermReference) != 0;
  // The SVC syntax with prefix NAL units, so receivers see each layer's ids.
  out->bPrefixNalAddingCtrl = true;
  out->bSimulcastAVC = false;
  out->bEnableFrameSkip = false;
  // One thread: the caller's data thread is the encoding thread, and the
  // output does not depend on the machine.
  out->iMultipleThreadIdc = 1;
  out->eSpsPpsIdStrategy = CONSTANT_ID;

  uint32_t total = 0;
  uint32_t prev_w = 0, prev_h = 0;
  for (uint32_t k = 0; k < layers; ++k) {
    const int i = static_cast<int>(k);
    const uint32_t w = p.Layer(i, W::kLayerWidth);
    const uint32_t h = p.Layer(i, W::kLayerHeight);
    if (!SideOk(w) || !SideOk(h) || w < prev_w || h < prev_h) return false;
    prev_w = w;
    prev_h = h;
    SSpatialLayerConfig& layer = out->sSpatialLayers[k];
    layer.iVideoWidth = static_cast<int>(w);
    layer.iVideoHeight = static_cast<int>(h);
    // Every spatial layer runs at the stream's rate: the system's decoder
    // loses its references when a lower layer leaves out access units. The
    // layer rates asked for are reached by dropping temporal levels, which
    // the scalability message announces per layer.
    layer.fFrameRate = frame_rate;
    const uint32_t bitrate = std::min<uint32_t>(p.Layer(i, W::kLayerBitrate), 50000000u);
    layer.iSpatialBitrate = static_cast<int>(bitrate);
    layer.iMaxSpatialBitrate = UNSPECIFIED_BIT_RATE;
    total += bitrate;
    const bool multi_slice = std::bit_cast<float>(p.Layer(i, W::kLayerSliceMode)) != 0.0f ||
                             p.Layer(i, W::kLayerSliceMode) == 1u;
    const uint32_t slices = p.Layer(i, W::kLayerSliceCount);
    if (multi_slice && slices > 1) {
      layer.sSliceArgument.uiSliceMode = SM_FIXEDSLCNUM_SLICE;
      layer.sSliceArgument.uiSliceNum = std::min<uint32_t>(slices, 8u);
    } else {
      layer.sSliceArgument.uiSliceMode = SM_SINGLE_SLICE;
      layer.sSliceArgument.uiSliceNum = 1;
    }
  }
  // The top layer is what the encoder codes at full size; a larger input
  // picture is scaled down to it.
  out->iPicWidth = static_cast<int>(prev_w);
  out->iPicHeight = static_cast<int>(prev_h);
  const uint32_t asked = p.At(W::kTotalBitrate);
  out->iTargetBitrate = static_cast<int>(std::min<uint32_t>(asked != 0 ? asked : total, 200000000u));
  out->iMaxBitrate = UNSPECIFIED_BIT_RATE;
  return true;
}

}  // namespace vzh264
