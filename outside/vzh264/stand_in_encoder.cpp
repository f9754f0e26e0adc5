#include "outside/vzh264/stand_in_encoder.h"

#include <wels/codec_api.h>

#include <algorithm>
#include <cstring>

#include "common/trace_client.h"
#include "outside/vzh264/encoder_param_translation.h"
#include "outside/vzh264/scalability_sei_writer.h"

namespace vzh264 {

StandInEncoder::StandInEncoder() {
  if (WelsCreateSVCEncoder(&encoder_) != 0 || encoder_ == nullptr) {
    encoder_ = nullptr;
    VZ_LOG_ERROR("vzh264: the H.264 encoder could not be created");
    return;
  }
  // Failures are logged here, once, instead of on standard output.
  int quiet = WELS_LOG_QUIET;
  encoder_->SetOption(ENCODER_OPTION_TRACE_LEVEL, &quiet);
}

StandInEncoder::~StandInEncoder() {
  if (encoder_ == nullptr) return;
  if (initialized_) encoder_->Uninitialize();
  WelsDestroySVCEncoder(encoder_);
}

bool StandInEncoder::Configure(const EncoderParam& param, bool running) {
  SEncParamExt defaults;
  encoder_->GetDefaultParams(&defaults);
  SEncParamExt ext;
  if (!TranslateEncoderParam(param, defaults, &ext)) {
    VZ_LOG_ERROR("vzh264: encoder parameters refused (input %ux%u, %u layers, format %u)",
                 param.At(EncoderParam::kWidth), param.At(EncoderParam::kHeight),
                 param.At(EncoderParam::kSpatialLayers), param.At(EncoderParam::kColorFormat));
    return false;
  }
  ext.bEnableFrameSkip = frame_skip_;
  if (complexity_ > 0) ext.iComplexityMode = static_cast<ECOMPLEXITY_MODE>(complexity_ - 1);
  int rc = 0;
  if (running) {
    // A new layer layout needs a fresh start; the encoder underneath
    // refuses some changes of a running stream.
    rc = encoder_->SetOption(ENCODER_OPTION_SVC_ENCODE_PARAM_EXT, &ext);
    if (rc != 0) {
      encoder_->Uninitialize();
      initialized_ = false;
      rc = encoder_->InitializeExt(&ext);
    }
  } else {
    rc = encoder_->InitializeExt(&ext);
  }
  if (rc != 0) {
    VZ_LOG_ERROR("vzh264: the H.264 encoder refused its parameters (%d)", rc);
    initialized_ = false;
    return false;
  }
  int format = videoFormatI420;
  encoder_->SetOption(ENCODER_OPTION_DATAFORMAT, &format);
  param_ = param;
  initialized_ = true;
  RebuildSei();
  // Receivers need the new layout at once.
  encoder_->ForceIntraFrame(true);
  return true;
}

void StandInEncoder::RebuildSei() {
  std::vector<SeiSpatialLayer> layers;
  const int count = static_cast<int>(param_.At(EncoderParam::kSpatialLayers));
  const float top_rate = param_.FloatAt(EncoderParam::kFrameRate);
  for (int i = 0; i < count; ++i) {
    SeiSpatialLayer l;
    l.width = static_cast<int>(param_.Layer(i, EncoderParam::kLayerWidth));
    l.height = static_cast<int>(param_.Layer(i, EncoderParam::kLayerHeight));
    // Every spatial layer is coded at the stream's rate (see the parameter
    // translation); its temporal levels halve it.
    l.frame_rate = top_rate;
    layers.push_back(l);
  }
  sei_ = WriteScalabilitySei(layers, std::clamp(static_cast<int>(param_.At(EncoderParam::kTemporalLevels)), 1, 4));
}

int32_t StandInEncoder::InitializeExt(const EncoderParam* param, void* /*reserved*/) {
  if (encoder_ == nullptr || param == nullptr) return -1;
  if (initialized_) {
    encoder_->Uninitialize();
    initialized_ = false;
  }
  return Configure(*param, false) ? 0 : -1;
}

int32_t StandInEncoder::Uninitialize() {
  if (encoder_ == nullptr) return -1;
  if (initialized_) encoder_->Uninitialize();
  initialized_ = false;
  return 0;
}

int32_t StandInEncoder::EncodeFrame(const SourcePicture* picture, EncodeOutput* out) {
  if (encoder_ == nullptr || !initialized_ || picture == nullptr || out == nullptr) return kFrameFailed;
  if (picture->width != static_cast<int32_t>(param_.At(EncoderParam::kWidth)) ||
      picture->height != static_cast<int32_t>(param_.At(EncoderParam::kHeight)) ||
      picture->planes[0] == nullptr || picture->planes[1] == nullptr || picture->planes[2] == nullptr ||
      picture->strides[0] < picture->width || picture->strides[1] < picture->width / 2 ||
      picture->strides[2] < picture->width / 2) {
    VZ_LOG_ERROR("vzh264: picture %dx%d refused (configured %ux%u)", picture->width, picture->height,
                 param_.At(EncoderParam::kWidth), param_.At(EncoderParam::kHeight));
    return kFrameFailed;
  }
  return Encode(*picture, out);
}

int32_t StandInEncoder::Encode(const SourcePicture& picture, EncodeOutput* out) {
  SSourcePicture source{};
  source.iColorFormat = videoFormatI420;
  source.iPicWidth = picture.width;
  source.iPicHeight = picture.height;
  for (int i = 0; i < 3; ++i) {
    source.iStride[i] = picture.strides[i];
    source.pData[i] = const_cast<unsigned char*>(picture.planes[i]);
  }
  source.uiTimeStamp = picture.time_stamp_ms;
  SFrameBSInfo info{};
  if (encoder_->EncodeFrame(&source, &info) != cmResultSuccess) {
    VZ_LOG_ERROR("vzh264: the H.264 encoder failed on a %dx%d picture", picture.width, picture.height);
    out->layer_count = 0;
    out->frame_type = kFrameFailed;
    return kFrameFailed;
  }
  int32_t result = kFramePredicted;
  switch (info.eFrameType) {
    case videoFrameTypeIDR: result = kFrameIdr; break;
    case videoFrameTypeI: result = kFrameIntra; break;
    case videoFrameTypeSkip: result = kFrameSkipped; break;
    case videoFrameTypeInvalid: result = kFrameFailed; break;
    default: result = kFramePredicted; break;
  }
  int n = 0;
  // The scalability message leads every IDR frame, ahead of its parameter sets.
  if (result == kFrameIdr && !sei_.empty()) {
    EncodeLayerOutput& sei = out->layers[n++];
    sei = EncodeLayerOutput{};
    sei.layer_type = 0;
    sei.nal_count = 1;
    sei.nal_lengths[0] = static_cast<int32_t>(sei_.size());
    sei.bitstream = sei_.data();
  }
  if (result != kFrameSkipped && result != kFrameFailed) {
    const int layers = std::min(info.iLayerNum, EncodeOutput::kMaxLayers - n);
    for (int i = 0; i < layers; ++i) {
      const SLayerBSInfo& from = info.sLayerInfo[i];
      EncodeLayerOutput& to = out->layers[n++];
      to.layer_type = from.uiLayerType == NON_VIDEO_CODING_LAYER ? 0 : 1;
      to.spatial_id = from.uiSpatialId;
      to.temporal_id = from.uiTemporalId;
      to.quality_id = from.uiQualityId;
      to.nal_count = std::clamp(from.iNalCount, 0, EncodeOutput::kMaxNals);
      for (int k = 0; k < to.nal_count; ++k) to.nal_lengths[k] = from.pNalLengthInByte[k];
      to.bitstream = from.pBsBuf;
    }
  } else {
    n = 0;
  }
  out->layer_count = n;
  out->frame_type = result;
  return result;
}

int32_t StandInEncoder::EncodePauseFrame(int32_t kind, EncodeOutput* out) {
  if (encoder_ == nullptr || !initialized_ || out == nullptr) return -1;
  if (kind != kPauseGrey && kind != kPauseBlack) return -1;
  const int w = static_cast<int>(param_.At(EncoderParam::kWidth));
  const int h = static_cast<int>(param_.At(EncoderParam::kHeight));
  const size_t luma = static_cast<size_t>(w) * h;
  pause_planes_.assign(luma + luma / 2, 128);
  std::memset(pause_planes_.data(), kind == kPauseBlack ? 16 : 128, luma);
  SourcePicture picture;
  picture.width = w;
  picture.height = h;
  picture.strides[0] = w;
  picture.strides[1] = picture.strides[2] = w / 2;
  picture.planes[0] = pause_planes_.data();
  picture.planes[1] = pause_planes_.data() + luma;
  picture.planes[2] = pause_planes_.data() + luma + luma / 4;
  encoder_->ForceIntraFrame(true);
  const int32_t result = Encode(picture, out);
  return result == kFrameIdr || result == kFrameIntra ? 0 : -1;
}

int32_t StandInEncoder::ForceIntraFrame(int32_t idr) {
  if (encoder_ == nullptr || !initialized_) return -1;
  return encoder_->ForceIntraFrame(idr != 0) == 0 ? 0 : -1;
}

int32_t StandInEncoder::SetOption(int32_t id, void* value) {
  if (encoder_ == nullptr || value == nullptr) return -1;
  switch (id) {
    case kOptionReconfigure:
      if (!initialized_) return -1;
      return Configure(*static_cast<const EncoderParam*>(value), true) ? 0 : -1;
    case kOptionFrameSkip: {
      const int32_t v = *static_cast<const int32_t*>(value);
      if (v != 1 && v != 2) return -1;
      frame_skip_ = v == 1;
      if (initialized_) {
        bool on = frame_skip_;
        encoder_->SetOption(ENCODER_OPTION_RC_FRAME_SKIP, &on);
      }
      return 0;
    }
    case kOptionComplexity: {
      const int32_t v = *static_cast<const int32_t*>(value);
      if (v < 1 || v > 3) return -1;
      complexity_ = v;
      if (initialized_) {
        ECOMPLEXITY_MODE mode = static_cast<ECOMPLEXITY_MODE>(v - 1);
        encoder_->SetOption(ENCODER_OPTION_COMPLEXITY, &mode);
      }
      return 0;
    }
    case kOptionTracePath:
      return 0;
    default:
      VZ_LOG_ERROR("vzh264: unknown encoder option %d", id);
      return -1;
  }
}

}  // namespace vzh264
