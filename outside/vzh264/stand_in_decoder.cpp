#include "outside/vzh264/stand_in_decoder.h"

#include <wels/codec_api.h>

#include "common/trace_client.h"

namespace vzh264 {

StandInDecoder::StandInDecoder() {
  if (WelsCreateDecoder(&decoder_) != 0 || decoder_ == nullptr) {
    decoder_ = nullptr;
    VZ_LOG_ERROR("vzh264: the H.264 decoder could not be created");
    return;
  }
  // Failures reach the caller as status bits; the decoder's own lines
  // would only flood standard output on a damaged stream.
  int quiet = WELS_LOG_QUIET;
  decoder_->SetOption(DECODER_OPTION_TRACE_LEVEL, &quiet);
}

StandInDecoder::~StandInDecoder() {
  if (decoder_ == nullptr) return;
  if (initialized_) decoder_->Uninitialize();
  WelsDestroyDecoder(decoder_);
}

int32_t StandInDecoder::Initialize(const DecoderParam* param, void* /*reserved*/) {
  if (decoder_ == nullptr || param == nullptr) return -1;
  if (initialized_) decoder_->Uninitialize();
  initialized_ = false;
  pending_ = false;
  // The wanted format is the caller's to convert into: the planes are I420.
  VZ_LOG("vzh264: decoder for output format %u (planes in I420)", param->output_color_format);
  SDecodingParam p{};
  p.sVideoProperty.size = sizeof(p.sVideoProperty);
  p.sVideoProperty.eVideoBsType = VIDEO_BITSTREAM_SVC;
  p.uiTargetDqLayer = param->max_layer;
  p.eEcActiveIdc = param->error_concealment != 0 ? ERROR_CON_SLICE_COPY : ERROR_CON_DISABLE;
  const long rc = decoder_->Initialize(&p);
  initialized_ = rc == 0;
  if (!initialized_) VZ_LOG_ERROR("vzh264: the H.264 decoder refused its parameters (%ld)", rc);
  last_status_ = 0;
  report_pending_ = false;
  pending_ = false;
  mender_.Reset();
  return initialized_ ? 0 : -1;
}

int32_t StandInDecoder::Uninitialize() {
  if (decoder_ == nullptr) return -1;
  if (initialized_) decoder_->Uninitialize();
  initialized_ = false;
  pending_ = false;
  return 0;
}

int32_t StandInDecoder::DecodeFrame(const uint8_t* data, int32_t length, uint8_t* planes[3],
                                    DecodeBufferInfo* info) {
  if (planes == nullptr || info == nullptr) return kDecodeInvalidArgument;
  *info = DecodeBufferInfo{};
  planes[0] = planes[1] = planes[2] = nullptr;
  if (decoder_ == nullptr || !initialized_) return kDecodeNotInitialized;
  const bool flush = data == nullptr && length == 0;
  if (!flush && (data == nullptr || length <= 0 || length > kMaxInputBytes)) {
    VZ_LOG_ERROR("vzh264: access unit of %d bytes refused", length);
    return kDecodeInvalidArgument;
  }
  if (flush) {
    // Hands out the picture the last access unit made, once.
    if (pending_) {
      *info = pending_info_;
      for (int i = 0; i < 3; ++i) planes[i] = pending_planes_[i];
      pending_ = false;
    }
    return 0;
  }
  pending_ = false;
  const AccessUnitMender::Unit unit = mender_.Prepare(data, length);
  if (unit.data == nullptr) {
    // Costs this picture only: nothing refers to it.
    VZ_LOG("vzh264: a picture that came without a layer left out; no other picture refers to it");
    return 0;
  }
  SBufferInfo out{};
  uint8_t* made[3] = {nullptr, nullptr, nullptr};
  const DECODING_STATE state = decoder_->DecodeFrameNoDelay(unit.data, unit.length, made, &out);
  // The states of the decoder underneath are the status bits of this
  // interface (same values); unknown ones read as a bitstream error.
  int32_t status = static_cast<int32_t>(state) &
                   (kDecodeReferenceLost | kDecodeBitstreamError | kDecodeLayerLost | kDecodeNoParameterSets |
                    kDecodeConcealed);
  if (state != dsErrorFree && status == 0) status = kDecodeBitstreamError;
  last_status_ = status;
  report_pending_ = true;
  if (out.iBufferStatus == 1 && made[0] != nullptr && made[1] != nullptr && made[2] != nullptr) {
    pending_ = true;
    pending_info_ = DecodeBufferInfo{};
    pending_info_.buffer_kind = 0;
    pending_info_.picture_ready = 1;
    pending_info_.width = out.UsrData.sSystemBuffer.iWidth;
    pending_info_.height = out.UsrData.sSystemBuffer.iHeight;
    pending_info_.strides[0] = out.UsrData.sSystemBuffer.iStride[0];
    pending_info_.strides[1] = out.UsrData.sSystemBuffer.iStride[1];
    pending_info_.time_stamp = static_cast<int64_t>(out.uiOutYuvTimeStamp);
    for (int i = 0; i < 3; ++i) pending_planes_[i] = made[i];
  }
  return status;
}

int32_t StandInDecoder::SetOption(int32_t id, void* value) {
  if (decoder_ == nullptr || value == nullptr) return -1;
  if (id == kDecoderRenderReady) {
    render_ready_ = *static_cast<const int32_t*>(value) != 0 ? 1 : 0;
    return 0;
  }
  VZ_LOG_ERROR("vzh264: decoder option %d cannot be set", id);
  return -1;
}

int32_t StandInDecoder::GetOption(int32_t id, void* value) {
  if (decoder_ == nullptr || value == nullptr) return -1;
  int32_t* out = static_cast<int32_t*>(value);
  int v = 0;
  switch (id) {
    case kDecoderReferenceLossState:
      *out = (last_status_ & (kDecodeReferenceLost | kDecodeNoParameterSets)) != 0 ? 1 : 0;
      return 0;
    case kDecoderRenderReady:
      *out = render_ready_;
      return 0;
    case kDecoderLongTermFrame:
      if (!initialized_ || decoder_->GetOption(DECODER_OPTION_LTR_MARKED_FRAME_NUM, &v) != 0) v = -1;
      *out = v;
      return 0;
    case kDecoderIdrPictureId:
      if (!initialized_ || decoder_->GetOption(DECODER_OPTION_IDR_PIC_ID, &v) != 0) v = 0;
      *out = v;
      return 0;
    case kDecoderReportPending:
      *out = report_pending_ ? 1 : 0;
      report_pending_ = false;
      return 0;
    case kDecoderFrameNumber:
      if (!initialized_ || decoder_->GetOption(DECODER_OPTION_FRAME_NUM, &v) != 0) v = 0;
      *out = v;
      return 0;
    default:
      VZ_LOG_ERROR("vzh264: unknown decoder option %d", id);
      return -1;
  }
}

}  // namespace vzh264
