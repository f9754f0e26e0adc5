#include "video/engine/engine/loopback_decoder.h"

#include <cstring>

#include "common/trace_client.h"
#include "contracts/vzh264_codec.h"
#include "platform/module_loader.h"

namespace {

class LoopbackDecoder final : public IListenDecoder {
 public:
  LoopbackDecoder(IListenDecoderSink* sink, IVideoSampleAllocator* allocator) : sink_(sink), allocator_(allocator) {}
  ~LoopbackDecoder() override { Uninit(); }

  int32_t Init(int32_t /*render_video_type*/, int32_t /*decoder_mode*/) override {
    module_ = vz::LoadModule(vzh264::kLibraryName).module;
    if (module_ == nullptr) {
      VZ_LOG_ERROR("cannot load %s", vzh264::kLibraryName);
      return -1;
    }
    create_ = reinterpret_cast<vzh264::CreateDecoderFn>(vz::GetModuleSymbol(module_, vzh264::kCreateDecoderName));
    destroy_ = reinterpret_cast<vzh264::DestroyDecoderFn>(vz::GetModuleSymbol(module_, vzh264::kDestroyDecoderName));
    if (create_ == nullptr || destroy_ == nullptr || create_(&decoder_) != 0 || decoder_ == nullptr) {
      VZ_LOG_ERROR("no decoder in %s", vzh264::kLibraryName);
      Uninit();
      return -1;
    }
    vzh264::DecoderParam param;
    if (decoder_->Initialize(&param, nullptr) != 0) {
      Uninit();
      return -1;
    }
    return 0;
  }

  void Uninit() override {
    if (decoder_) {
      decoder_->Uninitialize();
      destroy_(decoder_);
    }
    decoder_ = nullptr;
    if (module_) vz::FreeModule(module_);
    module_ = nullptr;
  }

  int32_t DecodeFrame(uint32_t time_stamp_ms, const uint8_t* data, int32_t length) override {
    if (decoder_ == nullptr) return -1;
    uint8_t* planes[3] = {};
    vzh264::DecodeBufferInfo info;
    const int32_t status = decoder_->DecodeFrame(data, length, planes, &info);
    const int32_t flushed = decoder_->DecodeFrame(nullptr, 0, planes, &info);
    if ((status & (vzh264::kDecodeReferenceLost | vzh264::kDecodeNoParameterSets | vzh264::kDecodeBitstreamError)) !=
        0) {
      sink_->RequestKeyFrame();
    }
    if (flushed != 0 || info.picture_ready != 1 || info.width <= 0 || info.height <= 0) return status;
    const int32_t w = info.width, h = info.height, cw = (w + 1) / 2, ch = (h + 1) / 2;
    IVideoSample* sample = nullptr;
    if (allocator_->GetSample(w * h + 2 * cw * ch, &sample) != VSE_S_OK) return -1;
    void* base = nullptr;
    sample->GetPointer(&base);
    uint8_t* out = static_cast<uint8_t*>(base);
    for (int y = 0; y < h; ++y) std::memcpy(out + y * w, planes[0] + y * info.strides[0], static_cast<size_t>(w));
    for (int p = 1; p < 3; ++p) {
      uint8_t* dst = out + w * h + (p - 1) * cw * ch;
      for (int y = 0; y < ch; ++y) std::memcpy(dst + y * cw, planes[p] + y * info.strides[1], static_cast<size_t>(cw));
    }
    sample->SetActualDataLength(w * h + 2 * cw * ch);
    VideoFormat format{2, w, h, 0.0f, time_stamp_ms};
    sample->SetFormat(&format);
    sink_->OnDecoded(sample);
    sample->Release();
    return status;
  }

  int32_t SetLossRecovery(int32_t /*value*/) override { return 0; }

 private:
  IListenDecoderSink* const sink_;
  IVideoSampleAllocator* const allocator_;
  vz::ModuleHandle module_ = nullptr;
  vzh264::CreateDecoderFn create_ = nullptr;
  vzh264::DestroyDecoderFn destroy_ = nullptr;
  vzh264::IH264Decoder* decoder_ = nullptr;
};

IListenDecoder* MakeLoopbackDecoder(IListenDecoderSink* sink, IVideoSampleAllocator* allocator) {
  return new LoopbackDecoder(sink, allocator);
}

}  // namespace

ListenDecoderMaker InstallLoopbackDecoder() { return SetListenDecoderMaker(&MakeLoopbackDecoder); }
