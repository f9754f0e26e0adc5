#include "video/engine/send/vz_h264_svc_encoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/trace_client.h"
#include "video/devices/color/video_format_converter.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/video_types.h"

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;
using W = vzh264::EncoderParam;

// Bytes of an I420 picture; 0 for a size that is not one.
int64_t I420Bytes(int32_t w, int32_t h) {
  if (w <= 0 || h <= 0 || w > CVideoFormatConverter::kMaxSide || h > CVideoFormatConverter::kMaxSide) return 0;
  return static_cast<int64_t>(w) * h * 3 / 2;
}

}  // namespace

CVzH264SvcEncoder::CVzH264SvcEncoder() = default;

CVzH264SvcEncoder::~CVzH264SvcEncoder() {
  Lock hold(lock_);
  DestroyCodec();
  if (library_held_) CH264EncoderLibrary::Release();
}

void CVzH264SvcEncoder::DestroyCodec() {
  if (codec_ == nullptr) return;
  codec_->Uninitialize();
  entry_.destroy(codec_);
  codec_ = nullptr;
}

VseResult CVzH264SvcEncoder::Init(const EncodeParams* params, IVideoEncoderSink* sink) {
  Lock hold(lock_);
  if (codec_ != nullptr) return VSE_S_OK;
  if (sink == nullptr) return VSE_E_INVALIDARG;
  if (params == nullptr) return VSE_E_POINTER;
  if (!library_held_) {
    const int32_t loaded = CH264EncoderLibrary::Acquire(&entry_);
    if (loaded != 0) return static_cast<VseResult>(loaded);
    library_held_ = true;
  }
  sink_ = sink;
  if (!input_monitor_) input_monitor_ = std::make_unique<CFrameRateMonitor>(input_.frame_rate);
  if (!encoded_monitor_) encoded_monitor_ = std::make_unique<CFrameRateMonitor>();
  if (!converter_) converter_ = std::make_unique<CVideoFormatConverter>();
  level_ = params->level;
  has_level_ = true;
  param_.At(W::kBelowHd) = static_cast<uint32_t>(params->below_hd);
  return UpdateEncodeParam(true);
}

VseResult CVzH264SvcEncoder::UpdateEncodeParam(bool recreate) {
  float stream_rate = 0;
  if (BuildEncoderParam(level_, input_, switches_, &param_, &stream_rate) != VSE_S_OK) {
    VZ_LOG_ERROR("input video type %d cannot be encoded", input_.video_type);
    return VSE_E_FAIL;
  }
  if (long_term_ != 0) param_.At(W::kLongTermReference) = 1;
  filter_.SetTarget(stream_rate);
  if (recreate || codec_ == nullptr) {
    DestroyCodec();
    if (entry_.create == nullptr || entry_.create(&codec_) != 0 || codec_ == nullptr) {
      codec_ = nullptr;
      VZ_LOG_ERROR("the H.264 encoder could not be created");
      return kNoCodec;
    }
    if (codec_->InitializeExt(&param_, nullptr) != 0) {
      VZ_LOG_ERROR("the H.264 encoder refused %dx%d with %u layers", input_.width, input_.height,
                   param_.At(W::kSpatialLayers));
      DestroyCodec();
      return static_cast<VseResult>(-1);
    }
    VZ_LOG("m_InputVideoFormat.frame_rate=%f", static_cast<double>(input_.frame_rate));
    if (input_monitor_) input_monitor_->set_rate(input_.frame_rate);
  } else if (codec_->SetOption(vzh264::kOptionReconfigure, &param_) != 0) {
    VZ_LOG_ERROR("the H.264 encoder refused the new parameters %dx%d with %u layers", input_.width, input_.height,
                 param_.At(W::kSpatialLayers));
    return static_cast<VseResult>(-1);
  }
  if (sink_ == nullptr) return VSE_E_POINTER;
  sink_->OnEncoderReconfigured(param_);
  return VSE_S_OK;
}

bool CVzH264SvcEncoder::FormatChanged(const VideoFormat& format) const {
  return format.width != input_.width || format.height != input_.height || format.video_type != input_.video_type;
}

void CVzH264SvcEncoder::TakeFormat(const VideoFormat& format) {
  input_.video_type = format.video_type;
  input_.width = format.width;
  input_.height = format.height;
}

VseResult CVzH264SvcEncoder::EncodeFrame(const VideoFormat* format, const uint8_t* data, int32_t length) {
  Lock hold(lock_);
  if (sink_ == nullptr) return VSE_E_POINTER;
  if (format == nullptr || data == nullptr || length < 1) return VSE_E_INVALIDARG;
  if (!input_monitor_) return VSE_E_FAIL;
  bool reconfigure = FormatChanged(*format);
  if (reconfigure) TakeFormat(*format);

  const uint32_t now = VZSE_::NowMs();
  if (now - byte_count_start_ >= kByteCounterMs) {
    byte_count_ = 0;
    byte_count_start_ = now;
  }
  if (input_monitor_->Update(now)) {
    input_.frame_rate = input_monitor_->rate();
    reconfigure = true;
  }
  sink_->OnInputFrameRate(input_monitor_->rate());
  if (reconfigure && codec_ != nullptr) UpdateEncodeParam(false);

  if (!filter_.Pass(now) && !key_frame_pending_) return VSE_S_OK;
  key_frame_pending_ = false;
  if (encoded_monitor_->Update(now)) {
    VZ_LOG("After filter frame,fTargetFps=%f, fActualFps=%f ,fEncodeInputFps=%f; Encoding Width =%d, Encoding "
           "Height =%d, Camera Video Format is %d",
           static_cast<double>(param_.FloatAt(W::kFrameRate)), static_cast<double>(input_monitor_->rate()),
           static_cast<double>(encoded_monitor_->rate()), input_.width, input_.height, input_.video_type);
  }
  if (codec_ == nullptr) return VSE_E_FAIL;
  if (!output_) {
    output_.reset(new (std::nothrow) vzh264::EncodeOutput);
    if (!output_) return VSE_E_OUTOFMEMORY;
  }
  const int32_t w = format->width, h = format->height;
  // An I420 frame goes to the codec as it is, so its length is checked here.
  if (format->video_type == kVideoTypeI420 && length < I420Bytes(w, h)) {
    VZ_LOG_ERROR("I420 frame of %d bytes for %dx%d", length, w, h);
    return VSE_E_INVALIDARG;
  }
  const uint8_t* i420 = converter_->ConvertEncoderInput(*format, data, length);
  if (i420 == nullptr) return VSE_E_FAIL;
  vzh264::SourcePicture picture;
  picture.width = w;
  picture.height = h;
  picture.strides[0] = w;
  picture.strides[1] = picture.strides[2] = w / 2;
  picture.planes[0] = i420;
  picture.planes[1] = i420 + static_cast<size_t>(w) * h;
  picture.planes[2] = picture.planes[1] + static_cast<size_t>(w / 2) * (h / 2);
  picture.time_stamp_ms = format->time_stamp_ms();
  const int32_t type = codec_->EncodeFrame(&picture, output_.get());
  if (type == vzh264::kFrameFailed) {
    VZ_LOG_ERROR("failed, type=%d", type);
    return VSE_E_FAIL;
  }
  if (type == vzh264::kFrameSkipped) {
    VZ_LOG("skip a frame");
    return VSE_S_OK;
  }
  if (type == vzh264::kFrameIdr || type == vzh264::kFrameIntra) {
    VZ_LOG("An IDR(1)/I(2) Frame is generated! type=%d", type);
  }
  // The codec's counts are clamped to the record's arrays before the walk.
  const int layers = std::clamp(output_->layer_count, 0, vzh264::EncodeOutput::kMaxLayers);
  for (int l = 0; l < layers; ++l) {
    const vzh264::EncodeLayerOutput& layer = output_->layers[l];
    if (layer.bitstream == nullptr) continue;
    const int nals = std::clamp(layer.nal_count, 0, vzh264::EncodeOutput::kMaxNals);
    const uint8_t* nal = layer.bitstream;
    for (int n = 0; n < nals; ++n) {
      const int32_t bytes = layer.nal_lengths[n];
      if (bytes <= 0) break;
      sink_->OnFrameEncoded(format->time_stamp_ms(), nal, bytes);
      nal += bytes;
      byte_count_ += static_cast<uint32_t>(bytes);
    }
  }
  return VSE_S_OK;
}

VseResult CVzH264SvcEncoder::GetPauseFrame(const VideoFormat* format, int32_t kind, int32_t size,
                                           const uint8_t** data, int32_t* length) {
  if (kind == 0 || size <= 0 || data == nullptr || length == nullptr) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  *data = nullptr;
  *length = 0;
  if (format != nullptr && FormatChanged(*format)) {
    TakeFormat(*format);
    if (codec_ != nullptr) UpdateEncodeParam(false);
  }
  if (codec_ == nullptr) return VSE_E_FAIL;
  if (!pause_output_) {
    pause_output_.reset(new (std::nothrow) vzh264::EncodeOutput);
    if (!pause_output_) return VSE_E_OUTOFMEMORY;
  }
  if (codec_->EncodePauseFrame(kind, pause_output_.get()) != 0) {
    VZ_LOG_ERROR("pause frame of kind %d failed", kind);
    return VSE_E_FAIL;
  }
  const int layers = std::clamp(pause_output_->layer_count, 0, vzh264::EncodeOutput::kMaxLayers);
  size_t total = 0;
  for (int l = 0; l < layers; ++l) {
    const vzh264::EncodeLayerOutput& layer = pause_output_->layers[l];
    const int nals = std::clamp(layer.nal_count, 0, vzh264::EncodeOutput::kMaxNals);
    for (int n = 0; n < nals; ++n) total += static_cast<size_t>(std::max(layer.nal_lengths[n], 0));
  }
  if (pause_frame_.size() < total) pause_frame_.resize(total, 0);
  size_t copied = 0;
  for (int l = 0; l < layers; ++l) {
    const vzh264::EncodeLayerOutput& layer = pause_output_->layers[l];
    const int nals = std::clamp(layer.nal_count, 0, vzh264::EncodeOutput::kMaxNals);
    if (nals == 0 || layer.bitstream == nullptr) continue;
    if (layer.bitstream[0] != 0) {
      VZ_LOG_ERROR("0 == pLayerBuffer[0]");
      continue;
    }
    size_t bytes = 0;
    for (int n = 0; n < nals; ++n) bytes += static_cast<size_t>(std::max(layer.nal_lengths[n], 0));
    std::memcpy(pause_frame_.data() + copied, layer.bitstream, bytes);
    copied += bytes;
  }
  // The bytes copied, not the sum: skipped layers would leave zeros behind.
  *data = pause_frame_.data();
  *length = static_cast<int32_t>(copied);
  return VSE_S_OK;
}

VseResult CVzH264SvcEncoder::EncodeKeyFrame() {
  Lock hold(lock_);
  if (codec_ == nullptr) return VSE_E_FAIL;
  const int32_t result = codec_->ForceIntraFrame(1);
  key_frame_pending_ = true;
  VZ_LOG("this=%p lret=%d", static_cast<void*>(this), result);
  return static_cast<VseResult>(result);
}

VseResult CVzH264SvcEncoder::SetEncodeParam(const EncodeParams* params) {
  Lock hold(lock_);
  if (params == nullptr || !has_level_) return VSE_E_POINTER;
  level_ = params->level;
  param_.At(W::kBelowHd) = static_cast<uint32_t>(params->below_hd);
  byte_count_ = 0;
  byte_count_start_ = VZSE_::NowMs();
  return UpdateEncodeParam(false);
}

VseResult CVzH264SvcEncoder::SetInputFormat(const VideoFormat* format) {
  if (format == nullptr) return VSE_E_POINTER;
  Lock hold(lock_);
  TakeFormat(*format);
  input_.frame_rate = format->frame_rate < 1.0f ? 1.0f : format->frame_rate;
  return VSE_S_OK;
}

VseResult CVzH264SvcEncoder::SetSink(IVideoEncoderSink* sink) {
  Lock hold(lock_);
  if (sink != nullptr) sink_ = sink;
  return VSE_S_OK;
}

VseResult CVzH264SvcEncoder::SetLongTermReference(uint8_t on) {
  Lock hold(lock_);
  long_term_ = on;
  param_.At(W::kLongTermReference) = on;
  return codec_ != nullptr ? UpdateEncodeParam(false) : VSE_S_OK;
}

uint8_t CVzH264SvcEncoder::GetLongTermReference() {
  Lock hold(lock_);
  return long_term_;
}

VseResult CVzH264SvcEncoder::SetFrameSkipOption(int32_t value) {
  if (value == 0) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  if (codec_ == nullptr) return VSE_E_FAIL;
  return codec_->SetOption(vzh264::kOptionFrameSkip, &value) == 0 ? VSE_S_OK : VSE_E_FAIL;
}

VseResult CVzH264SvcEncoder::SetComplexityOption(int32_t value) {
  if (value == 0) return VSE_E_INVALIDARG;
  Lock hold(lock_);
  if (codec_ == nullptr) return VSE_E_FAIL;
  return codec_->SetOption(vzh264::kOptionComplexity, &value) == 0 ? VSE_S_OK : VSE_E_FAIL;
}

VseResult CVzH264SvcEncoder::SetSingleTemporalLayer(bool on) {
  Lock hold(lock_);
  switches_.single_temporal_layer = on;
  return VSE_S_OK;
}

VseResult CVzH264SvcEncoder::SetLimitToCapture(bool on) {
  Lock hold(lock_);
  switches_.limit_to_capture = on;
  return VSE_S_OK;
}

VseResult CVzH264SvcEncoder::SetInputMonitorRate(float rate) {
  Lock hold(lock_);
  input_.frame_rate = rate;
  if (input_monitor_) input_monitor_->set_rate(rate);
  return VSE_S_OK;
}
