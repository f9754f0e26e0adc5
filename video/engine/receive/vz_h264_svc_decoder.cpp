#include "video/engine/receive/vz_h264_svc_decoder.h"

#include <new>

#include "common/trace_client.h"
#include "video/devices/color/video_format_converter.h"
#include "video/engine/core/video_types.h"

namespace {

constexpr uint32_t kNoRemembered = 0xFFFFFFFFu;

}  // namespace

CVzH264SvcDecoder::CVzH264SvcDecoder(IVideoDecoderSink* sink, IVideoSampleAllocator* allocator)
    : sink_(sink), allocator_(allocator) {
  if (allocator_ != nullptr) allocator_->AddRef();
  refresh_.words = {1, 0, kNoRemembered, 0};
}

CVzH264SvcDecoder::~CVzH264SvcDecoder() {
  Uninit();
  if (allocator_ != nullptr) allocator_->Release();
}

std::unique_ptr<IVideoDecoder> CreateH264SvcDecoder(IVideoDecoderSink* sink, IVideoSampleAllocator* allocator) {
  std::unique_ptr<IVideoDecoder> decoder(new (std::nothrow) CVzH264SvcDecoder(sink, allocator));
  if (decoder == nullptr) VZ_LOG_ERROR("no memory for a decoder");
  return decoder;
}

VseResult CVzH264SvcDecoder::Init(int32_t video_type, int32_t mode) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (initialized_) return VSE_S_OK;
  if (!counted_) {
    counted_ = true;
    CH264DecoderLibrary::AddUser(&entry_);
  }
  if (entry_.create == nullptr || entry_.destroy == nullptr) {
    VZ_LOG_OBJ("no codec library");
    return VSE_E_FAIL;
  }
  const uint32_t format = GetColorSpace(video_type);
  if (format == kNoColorSpace || (mode != kModeSvc && mode != kModeSimple)) {
    VZ_LOG_OBJ("type=%d mode=%d refused", video_type, mode);
    return kBadTypeOrMode;
  }
  if (codec_ == nullptr) {
    if (entry_.create(&codec_) != 0) {
      VZ_LOG_OBJ("the codec could not be made");
      codec_ = nullptr;
      return VSE_E_FAIL;
    }
    if (codec_ == nullptr) {
      VZ_LOG_OBJ("the codec library gave no decoder");
      return VSE_E_POINTER;
    }
  }
  output_format_ = format;
  vzh264::DecoderParam param;
  param.output_color_format = format;  // the codec gives planes; they are converted here into it
  param.mode_code = mode == kModeSvc ? 2 : 1;
  mode_ = mode;
  loss_recovery_ = 0;
  const int32_t result = codec_->Initialize(&param, nullptr);
  if (result != 0) VZ_LOG_OBJ("the codec refused its parameters (%d)", result);
  converter_ = std::make_unique<CVideoFormatConverter>();
  initialized_ = true;
  return static_cast<VseResult>(result);
}

VseResult CVzH264SvcDecoder::Uninit() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  int32_t result = 0;
  if (codec_ != nullptr) {
    result = codec_->Uninitialize();
    entry_.destroy(codec_);
    codec_ = nullptr;
  }
  // Only a wrapper that counted itself takes itself off: a second Uninit or
  // a wrapper that never initialised must not free the library under
  // another wrapper's codec.
  if (counted_) {
    counted_ = false;
    entry_ = H264DecoderEntryPoints{};
    CH264DecoderLibrary::RemoveUser();
  }
  converter_.reset();
  initialized_ = false;
  return static_cast<VseResult>(result);
}

VseResult CVzH264SvcDecoder::SetOption(int32_t id, void* value) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (value == nullptr) return VSE_E_INVALIDARG;
  if (codec_ == nullptr) return VSE_E_POINTER;
  if (id == kOptionOutputFormat) {
    output_format_ = *static_cast<const uint32_t*>(value);
    return VSE_S_OK;
  }
  if (codec_->SetOption(id, value) != 0) {
    VZ_LOG_OBJ("option %d refused", id);
    return VSE_E_FAIL;
  }
  return VSE_S_OK;
}

VseResult CVzH264SvcDecoder::GetOption(int32_t id, void* value) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (value == nullptr) return VSE_E_INVALIDARG;
  if (codec_ == nullptr) return VSE_E_POINTER;
  if (id == kOptionOutputFormat) {
    *static_cast<uint32_t*>(value) = output_format_;
    return VSE_S_OK;
  }
  if (codec_->GetOption(id, value) != 0) {
    VZ_LOG_OBJ("option %d not read", id);
    return VSE_E_FAIL;
  }
  return VSE_S_OK;
}

VseResult CVzH264SvcDecoder::SetLossRecovery(int32_t on) {
  loss_recovery_ = static_cast<uint8_t>(on & 0xFF);
  return VSE_S_OK;
}

bool CVzH264SvcDecoder::initialized_for_testing() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return initialized_;
}

uint32_t CVzH264SvcDecoder::output_format_for_testing() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return output_format_;
}

int32_t CVzH264SvcDecoder::CodecOption(int32_t id, int32_t fallback) {
  int32_t value = fallback;
  if (codec_->GetOption(id, &value) != 0) value = fallback;
  return value;
}

VseResult CVzH264SvcDecoder::DecodeFrame(uint32_t time_stamp, const uint8_t* data, int32_t length) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (sink_ == nullptr) return VSE_E_INVALIDARG;
  if (codec_ == nullptr) return VSE_E_POINTER;
  if (data == nullptr || length <= 0) {
    VZ_LOG_OBJ("no data (%d bytes) refused", length);
    return VSE_E_INVALIDARG;
  }
  if (allocator_ == nullptr) return VSE_E_OUTOFMEMORY;

  int32_t codec_ready = 0;
  if (codec_->GetOption(vzh264::kDecoderRenderReady, &codec_ready) != 0) {
    VZ_LOG_OBJ("render state not read");
    return VSE_E_FAIL;
  }
  int32_t ready = sink_->IsRenderReady();
  if (ready != codec_ready && codec_->SetOption(vzh264::kDecoderRenderReady, &ready) != 0) {
    VZ_LOG_OBJ("render state not set");
    return VSE_E_FAIL;
  }

  uint8_t* planes[3] = {nullptr, nullptr, nullptr};
  vzh264::DecodeBufferInfo info;
  int32_t status = codec_->DecodeFrame(data, length, planes, &info);
  if (status != 0) {
    HandleLoss(status);
    VZ_LOG_WARN("failed,uiTimeStamp=%d iLen=%d ret=%d", static_cast<int32_t>(time_stamp), length, status);
    return VSE_E_FAIL;
  }
  status = codec_->DecodeFrame(nullptr, 0, planes, &info);
  HandleLoss(status);
  HandleReport(status);
  if (status != 0) {
    VZ_LOG_WARN("failed,uiTimeStamp=%d iLen=%d ret=%d", static_cast<int32_t>(time_stamp), length, status);
    return VSE_E_FAIL;
  }
  if (info.picture_ready != 1) return VSE_S_OK;
  if (info.buffer_kind == 1) {
    sink_->OnDecodedImage(time_stamp, planes[0], info);
    return VSE_S_OK;
  }
  const DecodeBufferInfo described{info.width, info.height, info.strides[0], info.strides[1]};
  IVideoSample* sample = converter_->ConvertDecodedImage(output_format_, described, allocator_, planes);
  if (sample == nullptr) {
    // A picture that reaches nobody is a failure, not a decode.
    VZ_LOG_OBJ("picture %dx%d not converted to format 0x%X", info.width, info.height, output_format_);
    return VSE_E_FAIL;
  }
  sink_->OnDecoded(output_format_, time_stamp, info.width, info.height, sample);
  sample->Release();
  return VSE_S_OK;
}

void CVzH264SvcDecoder::HandleLoss(int32_t status) {
  int32_t answer = 0;
  const bool recovery = loss_recovery_.load() != 0;
  if (mode_ == kModeSimple) {
    answer = status != 0 ? 2 : 0;
  } else {
    const int32_t lost = CodecOption(vzh264::kDecoderReferenceLossState, -1);
    if (status != 0) {
      if ((status & vzh264::kDecodeNoParameterSets) != 0) {
        answer = 2;
      } else if (((status & vzh264::kDecodeReferenceLost) != 0 && lost == 1) || lost == 0) {
        answer = 1;
      }
    } else if (recovery && lost == 0) {
      // A clean picture: remember the codec's long-term reference for the
      // next refresh request, forgotten when a new IDR picture began.
      const uint32_t idr = static_cast<uint32_t>(CodecOption(vzh264::kDecoderIdrPictureId, 0));
      if (idr != refresh_.words[1]) {
        refresh_.words[1] = idr;
        refresh_.words[2] = kNoRemembered;
      }
      const int32_t long_term = CodecOption(vzh264::kDecoderLongTermFrame, -1);
      if (long_term >= 0) refresh_.words[2] = static_cast<uint32_t>(long_term);
    }
  }
  if (answer == 0) return;
  if (recovery && mode_ == kModeSvc) {
    if (answer == 2) {
      sink_->RequestKeyFrame();
      return;
    }
    const uint32_t idr = static_cast<uint32_t>(CodecOption(vzh264::kDecoderIdrPictureId, 0));
    if (idr != refresh_.words[1]) {
      refresh_.words[1] = idr;
      refresh_.words[2] = kNoRemembered;
    }
    refresh_.words[0] = 1;
    refresh_.words[3] = static_cast<uint32_t>(CodecOption(vzh264::kDecoderLongTermFrame, -1));
    const uint8_t* bytes = nullptr;
    int size = 0;
    refresh_.Serialise(&bytes, &size);
    sink_->RequestRefresh(bytes);
    return;
  }
  sink_->RequestKeyFrame();
}

void CVzH264SvcDecoder::HandleReport(int32_t status) {
  if (CodecOption(vzh264::kDecoderReportPending, 0) == 0) return;
  report_.words = {status != 0 ? 5u : 4u, static_cast<uint32_t>(CodecOption(vzh264::kDecoderIdrPictureId, 0)),
                   static_cast<uint32_t>(CodecOption(vzh264::kDecoderFrameNumber, 0))};
  const uint8_t* bytes = nullptr;
  int size = 0;
  report_.Serialise(&bytes, &size);
  sink_->ReportDecoderEvent(bytes);
}
